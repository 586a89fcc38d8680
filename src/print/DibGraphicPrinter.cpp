#include "print/DibGraphicPrinter.h"

#include "core/Exception.h"
#include "graphics/DibGraphic.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>

namespace {

// The wait cursor for the drawing; Qt's override cursors nest, so inner
// busy sections leave the outer one's cursor in place.
class TBusyCursor {
public:
  TBusyCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;
  ~TBusyCursor() { QGuiApplication::restoreOverrideCursor(); }
};

TPictureSize PictureOf(const TDibGraphic& graphic) {
  return {graphic.Width(), graphic.Height(), graphic.XDpi(), graphic.YDpi()};
}

} // namespace

TDibGraphicPrinter::TDibGraphicPrinter(QPrinter& printer) : FPrinter(printer) {
  SetSizeMode(psFitToPage);
}

TPrinterMetrics TDibGraphicPrinter::ReadMetrics(const QPrinter& printer) {
  const QRectF page = printer.pageRect(QPrinter::DevicePixel);
  const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
  TPrinterMetrics metrics;
  metrics.HorzRes = qRound(page.width());
  metrics.VertRes = qRound(page.height());
  metrics.PixelsPerInchX = printer.logicalDpiX();
  metrics.PixelsPerInchY = printer.logicalDpiY();
  metrics.OffsetX = qRound(page.left() - paper.left());
  metrics.OffsetY = qRound(page.top() - paper.top());
  return metrics;
}

void TDibGraphicPrinter::SetOrientation(bool landscape) {
  FPrinter.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
}

void TDibGraphicPrinter::SetSizeMode(TPrintSizeMode mode) {
  if (FPlacement.Mode == psFixedSize && FManageJob)
    SetOrientation(FPlacement.WidthInches > FPlacement.HeightInches);
  FMetrics = ReadMetrics(FPrinter);
  FPlacement.Mode = mode;
}

void TDibGraphicPrinter::Draw(const TDibGraphic& graphic, QPainter& painter,
                              const TPrintRect& rect) {
  graphic.Draw(painter, QRectF(rect.Left, rect.Top, rect.Width, rect.Height));
}

TPrintRect TDibGraphicPrinter::Print(const TDibGraphic& graphic) {
  if (FManageJob) {
    if (FPlacement.Mode == psFixedSize)
      SetOrientation(FPlacement.WidthInches > FPlacement.HeightInches);
    else
      SetOrientation(graphic.Width() > graphic.Height());
  }
  FMetrics = ReadMetrics(FPrinter);
  const TPrintRect rect = PrintRectangle(PictureOf(graphic), FMetrics, FPlacement);
  TBusyCursor busy;
  if (!FManageJob) {
    if (FCanvas == nullptr || !FCanvas->isActive()) throw Exception("No print job is open");
    Draw(graphic, *FCanvas, rect);
    return rect;
  }
  FPrinter.setDocName(QString::fromStdString(FJobTitle));
  QPainter painter;
  if (!painter.begin(&FPrinter)) throw Exception("The print job could not be started");
  try {
    Draw(graphic, painter, rect);
  } catch (...) {
    FPrinter.abort();
    painter.end();
    throw;
  }
  if (!painter.end()) throw Exception("The print job could not be finished");
  return rect;
}
