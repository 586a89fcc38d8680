// The viewer's mouse: handlers, and the page's mouse events.
#include "viewer/ImageScrollBox.h"

#include <QMouseEvent>
#include <QScrollBar>

void TImageScrollBox::InstallHandler(TMouseHandler* handler, TMouseHandlerKind kind, bool owned) {
  std::unique_ptr<TMouseHandler> previous = std::move(FOwnedHandler);
  if (owned) FOwnedHandler.reset(handler);
  FMouseHandler = handler;
  FMouseHandlerKind = kind;
  FMouseCaptured = false;
  viewport()->setCursor(handler != nullptr ? handler->Cursor() : Qt::ArrowCursor);
  viewport()->update();
}

void TImageScrollBox::SetMouseHandlerKind(TMouseHandlerKind kind) {
  // Handlers the viewer makes are always its own.
  switch (kind) {
  case mhDrag:
    InstallHandler(new TDragMouseHandler, kind, true);
    break;
  case mhQuickSelect:
    InstallHandler(new TQuickSelectMouseHandler, kind, true);
    break;
  default:
    InstallHandler(nullptr, mhNone, true);
    break;
  }
}

void TImageScrollBox::SetMouseHandler(TMouseHandler* handler, TMouseHandlerKind kind) {
  InstallHandler(handler, handler != nullptr ? kind : mhNone, FMouseHandlerOwnership);
}

bool TImageScrollBox::InsideImage(QPoint widget) const {
  return FImageVisible && Geometry().DisplayToWidget(Geometry().DisplayRect()).contains(widget);
}

void TImageScrollBox::mousePressEvent(QMouseEvent* event) {
  const QPoint widget = event->position().toPoint();
  if (!InsideImage(widget)) return;
  FMouseCaptured = true;
  const QPoint display = Geometry().WidgetToDisplay(widget);
  if (FMouseHandler != nullptr) FMouseHandler->MouseDown(*this, event->button(), display);
  if (OnImageMouseDown) OnImageMouseDown(this, event->button(), event->modifiers(), display);
}

void TImageScrollBox::mouseMoveEvent(QMouseEvent* event) {
  const QPoint widget = event->position().toPoint();
  if (!FMouseCaptured && !InsideImage(widget)) return;
  const QPoint display = Geometry().WidgetToDisplay(widget);
  if (FMouseHandler != nullptr) FMouseHandler->MouseMove(*this, event->buttons(), display);
  if (OnImageMouseMove) OnImageMouseMove(this, event->modifiers(), display);
}

void TImageScrollBox::mouseReleaseEvent(QMouseEvent* event) {
  if (!FMouseCaptured) return;
  if (event->buttons() == Qt::NoButton) FMouseCaptured = false;
  const QPoint display = Geometry().WidgetToDisplay(event->position().toPoint());
  if (FMouseHandler != nullptr) FMouseHandler->MouseUp(*this, event->button(), display);
  if (OnImageMouseUp) OnImageMouseUp(this, event->button(), event->modifiers(), display);
}

void TImageScrollBox::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint widget = event->position().toPoint();
  if (!InsideImage(widget)) return;
  if (OnImageDblClick)
    OnImageDblClick(this, event->button(), event->modifiers(), Geometry().WidgetToDisplay(widget));
}

bool TImageScrollBox::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == horizontalScrollBar() || watched == verticalScrollBar()) &&
      event->type() == QEvent::MouseButtonRelease)
    EndScroll();
  return QAbstractScrollArea::eventFilter(watched, event);
}
