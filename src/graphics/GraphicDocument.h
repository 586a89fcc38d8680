#pragma once

#include "graphics/DibGraphic.h"

#include <memory>
#include <string>

// A page-image file kept open while its pages are read one by one: the file
// is opened once (others may still read and write it), a TIFF file's chain of
// directories or a PDF file's cross-reference and page tree are read once,
// and each page is then decoded on its own without going through the pages
// before it again.
//
// Pages are graphics of the class the format table registers for the file's
// extension, as that class's own reader makes them.
class TGraphicDocument {
public:
  // Raises "Graphic files of %s format are not supported or not registered"
  // for an extension without a class, the file stream's error for a file
  // that cannot be opened, and the format's error for a file it cannot read.
  explicit TGraphicDocument(const std::string& fileName);
  TGraphicDocument(const TGraphicDocument&) = delete;
  TGraphicDocument& operator=(const TGraphicDocument&) = delete;
  ~TGraphicDocument();

  const std::string& FileName() const;
  bool IsOpen() const;
  // Releases the file; afterwards PageCount is 0 and pages cannot be loaded.
  void Close();
  // Whether the file under the name is still the one opened, unchanged
  // (same file, size and modification time).
  bool StillCurrent() const;

  int PageCount() const;
  // Page numbers count from 1; another number raises EGraphicError
  // "Page %d does not exist". Read failures raise the format's error.
  std::unique_ptr<TDibGraphic> LoadPage(int pageNumber);
  // The page's picture for a thumbnail cell. For a bilevel TIFF page the
  // page is decoded straight into the reduced picture, which equals
  // RenderThumbnailPicture of the whole page exactly; a JPEG file or a
  // JPEG-coded TIFF page is decoded by libjpeg already scaled down (to at least twice the picture's
  // size), then smoothed to the picture's size like any other page. Every other page is read whole
  // and goes through RenderThumbnailPicture.
  std::unique_ptr<TDibGraphic> ThumbnailPicture(int pageNumber, int cellWidth, int cellHeight);

private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};
