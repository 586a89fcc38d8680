#include "app/ThumbnailStrip.h"

#include "app/AppTexts.h"
#include "app/Thumbnail.h"
#include "graphics/GraphicDocument.h"
#include "graphics/GraphicRegistry.h"
#include "graphics/Thumbnail.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

TThumbnailStrip::TThumbnailStrip(int thumbSize, int thumbSpace, QWidget* parent)
    : QScrollArea(parent), FThumbSize(thumbSize), FThumbSpace(thumbSpace),
      FReadPicture(&TThumbnailStrip::ReadThumbnailPicture) {
  setObjectName("ScrollBoxPreview");
  setFrameShape(QFrame::NoFrame);
  setWidgetResizable(false);
  auto* content = new QWidget;
  content->setObjectName("ScrollBoxPreviewContent");
  content->setAutoFillBackground(true);
  QPalette colours = content->palette();
  colours.setColor(QPalette::Window, colours.color(QPalette::Disabled, QPalette::WindowText));
  content->setPalette(colours);
  content->installEventFilter(this);
  viewport()->installEventFilter(this);
  setWidget(content);
  FShapeSelector = new QFrame(content);
  FShapeSelector->setObjectName("ShapeSelector");
  FShapeSelector->setStyleSheet("#ShapeSelector { background: yellow; border: 1px solid silver; }");
  FShapeSelector->hide();
}

TThumbnailStrip::~TThumbnailStrip() = default;

TThumbnail* TThumbnailStrip::Find(const QString& path) const {
  const auto found = std::find_if(FThumbnails.begin(), FThumbnails.end(),
                                  [&](const TThumbnail* t) { return t->Path() == path; });
  return found == FThumbnails.end() ? nullptr : *found;
}

QImage TThumbnailStrip::ThumbnailPictureOf(const TDibGraphic& page, int size) {
  return RenderThumbnailPicture(page, size, size)->ToQImage();
}

void TThumbnailStrip::RedrawThumbnail(const QString& path, const TDibGraphic& page) {
  if (TThumbnail* thumbnail = Find(path))
    thumbnail->SetPicture(ThumbnailPictureOf(page, FThumbSize));
}

QImage TThumbnailStrip::ReadThumbnailPicture(const std::string& path, int size) {
  GraphicForFile(path); // an unregistered extension is the caller's error
  try {
    TGraphicDocument document(path);
    return document.ThumbnailPicture(1, size, size)->ToQImage();
  } catch (const std::exception&) {
    return {}; // an unreadable file just gets no thumbnail
  }
}

TThumbnail* TThumbnailStrip::AddThumbnail(const QString& file, QPoint cell) {
  return AddThumbnail(file, cell, FReadPicture(file.toStdString(), FThumbSize));
}

TThumbnail* TThumbnailStrip::AddThumbnail(const QString& file, QPoint cell, QImage picture) {
  if (picture.isNull()) return nullptr;
  auto* thumbnail = new TThumbnail(widget(), file, std::move(picture), FThumbSize);
  thumbnail->move(cell);
  FThumbnails.push_back(thumbnail);
  thumbnail->CaptionLabel()->setText(AppTexts::kFilePrefix + QString::number(Count()));
  thumbnail->PlaceCaption();
  connect(thumbnail, &TThumbnail::Pressed, this, &TThumbnailStrip::ThumbnailPressed);
  connect(thumbnail, &TThumbnail::DroppedOn, this, &TThumbnailStrip::ThumbnailDropped);
  thumbnail->show();
  thumbnail->CaptionLabel()->show();
  UpdateContentSize();
  ensureWidgetVisible(thumbnail, 0, 0);
  return thumbnail;
}

void TThumbnailStrip::RemoveThumbnail(TThumbnail* thumbnail) {
  const auto found = std::find(FThumbnails.begin(), FThumbnails.end(), thumbnail);
  if (found == FThumbnails.end()) return;
  FThumbnails.erase(found);
  if (FSelected == thumbnail) SetSelected(nullptr);
  delete thumbnail;
  UpdateContentSize();
}

void TThumbnailStrip::Clear() {
  SetSelected(nullptr);
  for (TThumbnail* thumbnail : FThumbnails) delete thumbnail;
  FThumbnails.clear();
  horizontalScrollBar()->setValue(0);
  verticalScrollBar()->setValue(0);
  UpdateContentSize();
}

TStripGrid TThumbnailStrip::RelayoutThumbnails() {
  TStripGrid grid = StartGrid();
  int k = 0;
  for (TThumbnail* thumbnail : FThumbnails) {
    if (thumbnail->pos() != grid.Cell()) {
      thumbnail->setGeometry(QRect(grid.Cell(), QSize(FThumbSize, FThumbSize)));
      thumbnail->PlaceCaption();
      thumbnail->CaptionLabel()->setText(AppTexts::kFilePrefix + QString::number(k + 1));
    }
    grid.Advance();
    ++k;
  }
  PlaceSelectionFrame();
  UpdateContentSize();
  return grid;
}

void TThumbnailStrip::SetSelected(TThumbnail* thumbnail) {
  FSelected = thumbnail;
  PlaceSelectionFrame();
}

void TThumbnailStrip::PlaceSelectionFrame() {
  if (!FSelected) {
    FShapeSelector->hide();
    return;
  }
  FShapeSelector->setGeometry(FSelected->geometry().adjusted(-2, -2, 2, 2));
  FShapeSelector->lower();
  FShapeSelector->show();
}

void TThumbnailStrip::UpdateColumns() {
  const int scrollBarWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  const int columns =
      StripColumnCount(viewport()->width(), scrollBarWidth, verticalScrollBar()->maximum() >= 1,
                       FThumbSize, FThumbSpace);
  if (columns == FThumbColumns) return;
  FThumbColumns = columns;
  RelayoutThumbnails();
}

void TThumbnailStrip::UpdateContentSize() {
  QRect covered;
  for (const TThumbnail* thumbnail : FThumbnails)
    covered |= thumbnail->geometry() | thumbnail->CaptionLabel()->geometry();
  const int width = std::max(viewport()->width(), covered.right() + 1 + FThumbSpace);
  const int height = std::max(viewport()->height(), covered.bottom() + 1 + FThumbSpace);
  widget()->resize(width, height);
}

bool TThumbnailStrip::eventFilter(QObject* watched, QEvent* event) {
  // The client area changes with the strip's size and with its scroll bars
  // coming and going.
  if (watched == viewport() && event->type() == QEvent::Resize) {
    UpdateColumns();
    UpdateContentSize();
    return false;
  }
  if (watched == widget() && event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    emit BackgroundClicked();
    return true;
  }
  return QScrollArea::eventFilter(watched, event);
}
