#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>

class QLabel;

// One thumbnail of the strip: the reduced first page of a batch file,
// centred in a square cell, with the file's full path as its identity and
// tool-tip. Its caption label ("File " + position) is a child of the strip's
// content but belongs to the thumbnail and goes with it.
//
// A left-button press may start a drag once the mouse has moved by the
// desktop's drag distance; a thumbnail accepts only another thumbnail being
// dropped on it.
class TThumbnail : public QWidget {
  Q_OBJECT

public:
  TThumbnail(QWidget* content, const QString& path, QImage picture, int size);
  ~TThumbnail() override;

  const QString& Path() const { return FPath; }
  void SetPath(const QString& path);
  const QImage& Picture() const { return FPicture; }
  void SetPicture(QImage picture);
  QLabel* CaptionLabel() const { return FCaption; }
  // Puts the caption label directly below the thumbnail's left edge.
  void PlaceCaption();

  // The mime type of a thumbnail being dragged.
  static const char* const kMimeType;

signals:
  void Pressed(TThumbnail* thumbnail, Qt::MouseButton button);
  void DroppedOn(TThumbnail* dragged, TThumbnail* target);

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  // The thumbnail a drag event carries, when it is another one of this strip.
  TThumbnail* DraggedThumbnail(const QDropEvent* event) const;

  QString FPath;
  QImage FPicture;
  QLabel* FCaption;
  QPoint FPressPosition;
  bool FDragArmed = false;
};
