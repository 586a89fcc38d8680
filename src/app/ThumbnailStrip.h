#pragma once

#include "app/StripGrid.h"

#include <QImage>
#include <QScrollArea>

#include <functional>
#include <string>
#include <vector>

class TThumbnail;
class QFrame;

// The strip of thumbnails on the left of the main window: one thumbnail per
// batch file on a grid of square cells (StripGrid.h), a caption "File n"
// under each, and the selection frame beneath the selected one. The strip
// keeps reduced pictures only, never whole pages.
class TThumbnailStrip : public QScrollArea {
  Q_OBJECT

public:
  // Makes the reduced first page of a file for a cell of size pixels; a null
  // image when the file cannot be read. May raise for an extension that no
  // graphic class reads.
  using TPictureReader = std::function<QImage(const std::string& path, int size)>;

  TThumbnailStrip(int thumbSize, int thumbSpace, QWidget* parent = nullptr);
  ~TThumbnailStrip() override;

  int ThumbSize() const { return FThumbSize; }
  int ThumbSpace() const { return FThumbSpace; }
  int ThumbColumns() const { return FThumbColumns; }
  // Thumbnails in creation order.
  const std::vector<TThumbnail*>& Thumbnails() const { return FThumbnails; }
  int Count() const { return static_cast<int>(FThumbnails.size()); }
  TThumbnail* Find(const QString& path) const;
  // Gives the thumbnail of path, when the strip has one, the picture of a
  // page already in memory (the page just written to the file).
  void RedrawThumbnail(const QString& path, const class TDibGraphic& page);
  QWidget* Content() const { return widget(); }

  // Reads the first page of file and adds its thumbnail at cell, captioned
  // with the count of thumbnails, and scrolls it into view. Returns null,
  // adding nothing, when the file cannot be read; an extension that no
  // graphic class reads raises to the caller.
  TThumbnail* AddThumbnail(const QString& file, QPoint cell);
  // The same with the picture already made (a page still in memory), so the
  // file is not read back.
  TThumbnail* AddThumbnail(const QString& file, QPoint cell, QImage picture);
  // Destroys one thumbnail (with its caption); the selection goes with it.
  void RemoveThumbnail(TThumbnail* thumbnail);
  void Clear();
  // Moves every thumbnail that is not in its cell there and renumbers its
  // caption; returns the walk standing on the cell after the last one.
  TStripGrid RelayoutThumbnails();
  // A fresh walk at the first cell.
  TStripGrid StartGrid() const { return TStripGrid(FThumbSize, FThumbSpace, FThumbColumns); }

  // The thumbnail inside the selection frame, or null with the frame hidden.
  TThumbnail* Selected() const { return FSelected; }
  void SetSelected(TThumbnail* thumbnail);
  QFrame* SelectionFrame() const { return FShapeSelector; }

  void SetPictureReader(TPictureReader reader) { FReadPicture = std::move(reader); }
  // The reduced first page of a file as the strip shows it.
  static QImage ReadThumbnailPicture(const std::string& path, int size);
  // The picture of a page already in memory.
  static QImage ThumbnailPictureOf(const class TDibGraphic& page, int size);

signals:
  void ThumbnailPressed(TThumbnail* thumbnail, Qt::MouseButton button);
  void ThumbnailDropped(TThumbnail* dragged, TThumbnail* target);
  void BackgroundClicked();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  // ScrollBoxPreviewResize: the column count for the current width.
  void UpdateColumns();
  // The content covers every thumbnail and caption, and at least the viewport.
  void UpdateContentSize();
  void PlaceSelectionFrame();

  int FThumbSize;
  int FThumbSpace;
  int FThumbColumns = 0;
  std::vector<TThumbnail*> FThumbnails;
  TThumbnail* FSelected = nullptr;
  QFrame* FShapeSelector;
  TPictureReader FReadPicture;
};
