#include "app/Thumbnail.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

const char* const TThumbnail::kMimeType = "application/x-tessivane-thumbnail";

TThumbnail::TThumbnail(QWidget* content, const QString& path, QImage picture, int size)
    : QWidget(content), FPath(path), FPicture(std::move(picture)), FCaption(new QLabel(content)) {
  setObjectName("Thumbnail");
  setToolTip(path);
  setAcceptDrops(true);
  resize(size, size);
  FCaption->setObjectName("ThumbnailCaption");
  FCaption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  FCaption->setAttribute(Qt::WA_TranslucentBackground);
  FCaption->setAutoFillBackground(false);
  FCaption->setAttribute(Qt::WA_TransparentForMouseEvents);
}

// The caption label is a child of the strip's content, so it would outlive
// the thumbnail; it goes with it.
TThumbnail::~TThumbnail() {
  delete FCaption;
}

void TThumbnail::SetPath(const QString& path) {
  FPath = path;
  setToolTip(path);
}

void TThumbnail::SetPicture(QImage picture) {
  FPicture = std::move(picture);
  update();
}

void TThumbnail::PlaceCaption() {
  FCaption->setGeometry(x(), y() + height(), width(), FCaption->fontMetrics().height());
}

void TThumbnail::paintEvent(QPaintEvent*) {
  if (FPicture.isNull()) return;
  QPainter painter(this);
  const QPoint origin((width() - FPicture.width()) / 2, (height() - FPicture.height()) / 2);
  painter.drawImage(origin, FPicture);
}

void TThumbnail::mousePressEvent(QMouseEvent* event) {
  FDragArmed = event->button() == Qt::LeftButton;
  FPressPosition = event->position().toPoint();
  emit Pressed(this, event->button());
}

void TThumbnail::mouseMoveEvent(QMouseEvent* event) {
  if (!FDragArmed || !(event->buttons() & Qt::LeftButton)) return;
  if ((event->position().toPoint() - FPressPosition).manhattanLength() <
      QApplication::startDragDistance())
    return;
  FDragArmed = false;
  auto* mime = new QMimeData;
  mime->setData(kMimeType, FPath.toUtf8());
  QDrag drag(this);
  drag.setMimeData(mime);
  if (!FPicture.isNull())
    drag.setPixmap(QPixmap::fromImage(FPicture.scaled(48, 48, Qt::KeepAspectRatio)));
  drag.exec(Qt::MoveAction);
}

void TThumbnail::mouseReleaseEvent(QMouseEvent*) {
  FDragArmed = false;
}

TThumbnail* TThumbnail::DraggedThumbnail(const QDropEvent* event) const {
  // The drag names its thumbnail by path; only a sibling in the same strip
  // counts, so drags from another program or window are refused.
  if (!event->mimeData()->hasFormat(kMimeType)) return nullptr;
  const QString path = QString::fromUtf8(event->mimeData()->data(kMimeType));
  for (auto* sibling : parentWidget()->findChildren<TThumbnail*>(Qt::FindDirectChildrenOnly))
    if (sibling != this && sibling->Path() == path) return sibling;
  return nullptr;
}

void TThumbnail::dragEnterEvent(QDragEnterEvent* event) {
  if (DraggedThumbnail(event))
    event->acceptProposedAction();
  else
    event->ignore();
}

void TThumbnail::dropEvent(QDropEvent* event) {
  TThumbnail* dragged = DraggedThumbnail(event);
  if (!dragged) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  emit DroppedOn(dragged, this);
}
