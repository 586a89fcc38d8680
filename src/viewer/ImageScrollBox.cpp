#include "viewer/ImageScrollBox.h"

#include "graphics/GraphicDocument.h"
#include "graphics/GraphicRegistry.h"
#include "graphics/TiffGraphic.h"
#include "viewer/DisplayCopy.h"
#include "viewer/ReadGraphicThread.h"

#include <QApplication>
#include <QImageReader>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <cmath>

namespace {

constexpr int kFrameInterval = 200; // ms between the frames of an animated page

// A busy cursor for as long as the object lives; nested ones stack.
class TBusyCursor {
public:
  TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;
};

} // namespace

struct TImageScrollBox::TDisplayCache {
  QImage Image;
  QRect Part; // in display coordinates
};

TImageScrollBox::TImageScrollBox(QWidget* parent)
    : QAbstractScrollArea(parent), FGraphic(std::make_unique<TDibGraphic>()),
      FReadAhead(std::make_unique<TReadAhead>()), FCache(std::make_unique<TDisplayCache>()) {
  resize(100, 100);
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  horizontalScrollBar()->setTracking(true);
  verticalScrollBar()->setTracking(true);
  viewport()->setMouseTracking(true);
  for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
    bar->installEventFilter(this);
    connect(bar, &QScrollBar::actionTriggered, this, [this, bar](int) {
      BeginScroll();
      if (!bar->isSliderDown() && QApplication::mouseButtons() == Qt::NoButton)
        QTimer::singleShot(0, this, [this] { EndScroll(); });
    });
    connect(bar, &QScrollBar::sliderReleased, this, [this] { EndScroll(); });
  }
  FFrameTimer = new QTimer(this);
  FFrameTimer->setInterval(kFrameInterval);
  connect(FFrameTimer, &QTimer::timeout, this, [this] { AnimateFrame(); });
  SetMouseHandlerKind(mhDrag);
}

TImageScrollBox::~TImageScrollBox() {
  FFrameTimer->stop();
}

// Files -------------------------------------------------------------------

void TImageScrollBox::SetFileName(const std::string& fileName) {
  if (fileName.empty()) {
    FFrameTimer->stop();
    FDocument.reset();
    FFileName.clear();
    FAnnotationText.clear();
    ReplaceGraphic(std::make_unique<TDibGraphic>());
    Redraw(true);
    return;
  }
  LoadPage(fileName, 1);
}

std::unique_ptr<TDibGraphic> TImageScrollBox::ReadPage(const std::string& fileName,
                                                       int pageNumber) {
  const auto progress = [this](int percent) {
    if (OnReadWriteProgress) OnReadWriteProgress(this, percent);
  };
  if (!FindGraphicFormat(FileExtension(fileName))) {
    // Formats outside the table go through the toolkit's own picture reader.
    progress(0);
    QImageReader reader(QString::fromStdString(fileName));
    progress(25);
    const QImage image = reader.read();
    if (image.isNull()) throw EGraphicError(reader.errorString().toStdString());
    progress(90);
    auto graphic = std::make_unique<TDibGraphic>();
    graphic->Assign(image);
    progress(100);
    return graphic;
  }
  progress(0);
  std::unique_ptr<TDibGraphic> graphic;
  if (pageNumber == 0) {
    graphic = GraphicForFile(fileName);
    graphic->SetMultiImage(true);
    graphic->LoadFromFile(fileName);
  } else {
    if (FDocument == nullptr || FDocument->FileName() != fileName || !FDocument->StillCurrent()) {
      FDocument.reset();
      FDocument = std::make_unique<TGraphicDocument>(fileName);
    }
    graphic = FDocument->LoadPage(pageNumber);
  }
  progress(100);
  return graphic;
}

void TImageScrollBox::LoadPage(const std::string& fileName, int pageNumber) {
  FFrameTimer->stop();
  std::unique_ptr<TDibGraphic> graphic;
  if (pageNumber == 1 && FReadAhead->Ready(fileName) &&
      QString::fromStdString(fileName).compare(QString::fromStdString(FReadAheadFileName),
                                               Qt::CaseInsensitive) == 0) {
    graphic = FReadAhead->Take(fileName);
    FReadAheadFileName.clear();
  }
  if (graphic == nullptr) {
    try {
      graphic = ReadPage(fileName, pageNumber);
    } catch (...) {
      // The name stays the one asked for, so its other pages can still be chosen.
      FFileName = fileName;
      FAnnotationText.clear();
      ReplaceGraphic(std::make_unique<TDibGraphic>());
      Redraw(true);
      throw;
    }
  }
  ReplaceGraphic(std::move(graphic));
  AfterLoad(fileName);
}

void TImageScrollBox::AfterLoad(const std::string& fileName) {
  if (OnNewGraphic) OnNewGraphic(*FGraphic);
  const auto* tiff = dynamic_cast<const TTiffGraphic*>(FGraphic.get());
  FAnnotationText = tiff != nullptr ? tiff->Annotation() : std::string();
  FLargestFrame = QSize();
  if (FGraphic->FrameCount() > 1) {
    for (int frame = FGraphic->FrameCount(); frame >= 1; --frame) {
      FGraphic->SelectFrame(frame);
      FLargestFrame = FLargestFrame.expandedTo(QSize(FGraphic->Width(), FGraphic->Height()));
    }
  }
  Redraw(true);
  FFileName = fileName;
  if (FGraphic->FrameCount() > 1) FFrameTimer->start();
}

int TImageScrollBox::PageCount(const std::string& fileName) {
  if (!FindGraphicFormat(FileExtension(fileName))) return 1;
  if (FDocument == nullptr || FDocument->FileName() != fileName || !FDocument->StillCurrent()) {
    FDocument.reset();
    FDocument = std::make_unique<TGraphicDocument>(fileName);
  }
  return FDocument->PageCount();
}

void TImageScrollBox::SetReadAheadFileName(const std::string& fileName) {
  FReadAheadFileName = fileName;
  if (fileName.empty())
    FReadAhead->Clear();
  else
    FReadAhead->Start(fileName);
}

bool TImageScrollBox::ReadAheadReady() const {
  return FReadAhead->Ready(FReadAheadFileName);
}

void TImageScrollBox::SaveToFile(const std::string& fileName) {
  std::unique_ptr<TDibGraphic> target = GraphicForFile(fileName);
  TBusyCursor busy;
  target->Assign(*FGraphic);
  if (auto* tiff = dynamic_cast<TTiffGraphic*>(target.get()))
    tiff->SetTag(TTiffGraphic::kFirstApplicationTag, FAnnotationText);
  if (OnBeforeSave) OnBeforeSave(this, *target);
  if (OnReadWriteProgress) OnReadWriteProgress(this, 0);
  target->SaveToFile(fileName);
  if (OnReadWriteProgress) OnReadWriteProgress(this, 100);
}

void TImageScrollBox::ReplaceGraphic(std::unique_ptr<TDibGraphic> graphic) {
  FGraphic = std::move(graphic);
  InvalidateDisplayCache();
}

void TImageScrollBox::AnimateFrame() {
  const int count = FGraphic->FrameCount();
  if (count < 2) {
    FFrameTimer->stop();
    return;
  }
  FGraphic->SelectFrame(FGraphic->CurrentFrame() % count + 1);
  Redraw();
}

// View settings -------------------------------------------------------------

void TImageScrollBox::SetAntiAliased(bool antiAliased) {
  if (antiAliased == FAntiAliased) return;
  FAntiAliased = antiAliased;
  if (FGraphic->ImageFormat() == ifBlackWhite && !FGraphic->Empty()) Redraw();
}

void TImageScrollBox::SetZoomMode(TZoomMode mode) {
  if (mode == FZoomMode) return;
  FZoomMode = mode;
  Redraw();
}

void TImageScrollBox::SetZoomPercent(float zoom) {
  if ((FZoomMode == zmPercent && zoom == FZoomPercent) || FGraphic->Empty() || !(zoom > 0.1f) ||
      !std::isfinite(zoom))
    return;
  FPreviousZoom = FZoomPercent;
  FZoomPercent = zoom;
  FZoomMode = zmPercent;
  const float reported = FPreviousZoom;
  Redraw(true);
  // A redraw that ran has told the new zoom already.
  if (FPreviousZoom == reported && OnZoomChange) OnZoomChange(this, zoom);
}

void TImageScrollBox::SetCentered(bool centered) {
  FCentered = centered;
  Redraw();
}

// Drawing -----------------------------------------------------------------

QSize TImageScrollBox::ClientSize(bool horizontalBar, bool verticalBar) const {
  const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  const QSize whole = contentsRect().size();
  return {std::max(0, whole.width() - (verticalBar ? extent : 0)),
          std::max(0, whole.height() - (horizontalBar ? extent : 0))};
}

void TImageScrollBox::ShowBars(bool horizontal, bool vertical) {
  FHorizontalBar = horizontal;
  FVerticalBar = vertical;
  setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

float TImageScrollBox::ComputeZoom() {
  const float width = static_cast<float>(FGraphic->Width());
  const float height = static_cast<float>(FGraphic->Height());
  switch (FZoomMode) {
  case zmOriginalSize:
    return 100;
  case zmFitWidth:
    return static_cast<float>(ClientSize(FHorizontalBar, FVerticalBar).width()) / width * 100;
  case zmFitHeight:
    ShowBars(false, false);
    return static_cast<float>(ClientSize(false, false).height()) / height * 100;
  case zmFullPage:
  case zmFitToPage: {
    ShowBars(FHorizontalBar, false);
    const float across = static_cast<float>(ClientSize(FHorizontalBar, false).width()) / width;
    ShowBars(false, false);
    const float down = static_cast<float>(ClientSize(false, false).height()) / height;
    const float zoom = std::min(across, down) * 100;
    return FZoomMode == zmFitToPage && zoom > 100 ? 100 : zoom;
  }
  case zmPercent:
    return FZoomPercent;
  }
  return 100;
}

void TImageScrollBox::Redraw(bool force) {
  if (FRedrawing || !isVisible()) return;
  FRedrawing = true;
  struct TDone {
    bool& flag;
    ~TDone() { flag = false; }
  } done{FRedrawing};
  InvalidateDisplayCache();
  if (FGraphic->Empty()) {
    ShowBars(false, false);
    FImageVisible = false;
    FDisplaySize = QSize();
    FImageRect = QRect();
    viewport()->update();
    return;
  }
  const float zoom = ComputeZoom();
  const bool changed = zoom != FPreviousZoom;
  if (changed || force)
    if (FMouseHandler != nullptr) FMouseHandler->BeforeRedraw(*this);
  FZoomPercent = zoom;
  if (changed) {
    FPreviousZoom = zoom;
    if (OnZoomChange) OnZoomChange(this, zoom);
  }
  FDisplaySize = DisplaySizeFor(QSize(FGraphic->Width(), FGraphic->Height()), zoom);
  // Frames shown in turn keep the room of the largest one.
  const QSize image = FGraphic->FrameCount() > 1 && FLargestFrame.isValid()
                          ? FDisplaySize.expandedTo(DisplaySizeFor(FLargestFrame, zoom))
                          : FDisplaySize;
  const QSize client = ClientSize(false, false);
  ShowBars(client.width() < image.width(), client.height() < image.height());
  const QSize shown = ClientSize(FHorizontalBar, FVerticalBar);
  horizontalScrollBar()->setRange(0, std::max(0, image.width() - shown.width()));
  horizontalScrollBar()->setPageStep(shown.width());
  horizontalScrollBar()->setValue(0);
  verticalScrollBar()->setRange(0, std::max(0, image.height() - shown.height()));
  verticalScrollBar()->setPageStep(shown.height());
  verticalScrollBar()->setValue(0);
  FImageRect = QRect(PlacementFor(image, shown, FCentered), image);
  if (OnRedraw) OnRedraw(*FGraphic);
  FImageVisible = true;
  if (changed || force)
    if (FMouseHandler != nullptr) FMouseHandler->AfterRedraw(*this);
  viewport()->update();
}

TViewGeometry TImageScrollBox::Geometry() const {
  return {QSize(FGraphic->Width(), FGraphic->Height()), FDisplaySize, FImageRect.topLeft(),
          QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value())};
}

std::unique_ptr<TDibGraphic> TImageScrollBox::DisplayCopy(const QRect& displayRect) const {
  auto copy = std::make_unique<TDibGraphic>();
  copy->Assign(BuildDisplayPart(*FGraphic, FDisplaySize, FAntiAliased, displayRect));
  return copy;
}

void TImageScrollBox::InvalidateDisplayCache() {
  FCache->Image = QImage();
  FCache->Part = QRect();
}

void TImageScrollBox::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), palette().color(QPalette::Window));
  if (!FImageVisible || FGraphic->Empty()) return;
  const TViewGeometry geometry = Geometry();
  const QRect visible = geometry.VisibleDisplayRect(viewport()->rect());
  if (visible.isEmpty()) return;
  if (!FCache->Part.contains(visible)) {
    // Build a little beyond the view, so that short scrolls reuse it.
    const int marginX = viewport()->width() / 2, marginY = viewport()->height() / 2;
    const QRect part =
        visible.adjusted(-marginX, -marginY, marginX, marginY).intersected(geometry.DisplayRect());
    FCache->Image = BuildDisplayPart(*FGraphic, FDisplaySize, FAntiAliased, part);
    FCache->Part = part;
  }
  painter.drawImage(geometry.DisplayToWidget(visible.topLeft()), FCache->Image,
                    visible.translated(-FCache->Part.topLeft()));
  if (FMouseHandler != nullptr) FMouseHandler->Paint(*this, painter);
}

void TImageScrollBox::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  Redraw();
}

void TImageScrollBox::showEvent(QShowEvent* event) {
  QAbstractScrollArea::showEvent(event);
  Redraw();
}

void TImageScrollBox::scrollContentsBy(int, int) {
  viewport()->update();
}

void TImageScrollBox::ScrollBy(QPoint delta) {
  horizontalScrollBar()->setValue(horizontalScrollBar()->value() + delta.x());
  verticalScrollBar()->setValue(verticalScrollBar()->value() + delta.y());
  viewport()->repaint();
}

void TImageScrollBox::BeginScroll() {
  if (FScrolling) return;
  FScrolling = true;
  if (OnBeginScroll) OnBeginScroll(this);
  viewport()->repaint();
}

void TImageScrollBox::EndScroll() {
  if (!FScrolling) return;
  FScrolling = false;
  if (OnEndScroll) OnEndScroll(this);
  viewport()->repaint();
}
