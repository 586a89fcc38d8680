#include "viewer/MouseHandlers.h"

#include "viewer/ImageScrollBox.h"

#include <QPainter>
#include <algorithm>

void TMouseHandler::BeforeRedraw(TImageScrollBox&) {}
void TMouseHandler::AfterRedraw(TImageScrollBox&) {}

void TMouseHandler::MouseDown(TImageScrollBox&, Qt::MouseButton, QPoint) {
  FButtonDown = true;
}

void TMouseHandler::MouseUp(TImageScrollBox&, Qt::MouseButton, QPoint) {
  FButtonDown = false;
}

void TMouseHandler::MouseMove(TImageScrollBox&, Qt::MouseButtons, QPoint) {}
void TMouseHandler::Paint(TImageScrollBox&, QPainter&) {}

void TDragMouseHandler::MouseDown(TImageScrollBox& viewer, Qt::MouseButton button, QPoint display) {
  TMouseHandler::MouseDown(viewer, button, display);
  if (button == Qt::RightButton || !(viewer.HorizontalBarShown() || viewer.VerticalBarShown()))
    return;
  FStart = display;
  FDragging = true;
  viewer.viewport()->setCursor(Qt::ClosedHandCursor);
}

void TDragMouseHandler::MouseMove(TImageScrollBox& viewer, Qt::MouseButtons, QPoint display) {
  // The point under the mouse moves with the page as it scrolls, so the
  // page keeps following the mouse.
  if (FDragging && ButtonDown()) viewer.ScrollBy(FStart - display);
}

void TDragMouseHandler::MouseUp(TImageScrollBox& viewer, Qt::MouseButton button, QPoint display) {
  TMouseHandler::MouseUp(viewer, button, display);
  if (!FDragging) return;
  FDragging = false;
  viewer.viewport()->setCursor(Cursor());
}

namespace {

QPoint Clamped(QPoint point, QSize size) {
  return {std::clamp(point.x(), 0, size.width()), std::clamp(point.y(), 0, size.height())};
}

QRect Normalised(QPoint a, QPoint b) {
  return QRect(std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::abs(a.x() - b.x()),
               std::abs(a.y() - b.y()));
}

} // namespace

QRect TQuickSelectMouseHandler::Frame() const {
  return FSelecting ? Normalised(FStart, FEnd) : QRect();
}

void TQuickSelectMouseHandler::MouseDown(TImageScrollBox& viewer, Qt::MouseButton button,
                                         QPoint display) {
  TMouseHandler::MouseDown(viewer, button, display);
  if (viewer.Centered()) return;
  FStart = FEnd = display;
  FSelecting = true;
  viewer.viewport()->update();
}

void TQuickSelectMouseHandler::MouseMove(TImageScrollBox& viewer, Qt::MouseButtons buttons,
                                         QPoint display) {
  if (!FSelecting || !(buttons & Qt::LeftButton)) return;
  FEnd = Clamped(display, viewer.DisplaySize());
  viewer.viewport()->update();
}

void TQuickSelectMouseHandler::MouseUp(TImageScrollBox& viewer, Qt::MouseButton button,
                                       QPoint display) {
  TMouseHandler::MouseUp(viewer, button, display);
  if (!FSelecting) return;
  FSelecting = false;
  viewer.viewport()->update();
  const QRect rect = Normalised(FStart, Clamped(display, viewer.DisplaySize()));
  if (rect.width() <= 0 || rect.height() <= 0) return;
  std::unique_ptr<TDibGraphic> cropped = viewer.DisplayCopy(rect);
  if (viewer.OnQuickSelect) viewer.OnQuickSelect(&viewer, *cropped, rect);
}

void TQuickSelectMouseHandler::Paint(TImageScrollBox& viewer, QPainter& painter) {
  if (!FSelecting) return;
  painter.save();
  // Inverting what lies beneath keeps the frame visible on any page.
  painter.setCompositionMode(QPainter::RasterOp_NotDestination);
  painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(viewer.Geometry().DisplayToWidget(Frame()));
  painter.restore();
}
