#pragma once

#include "pdf/JpegCodec.h"
#include "pdf/PDFDocument.h"
#include "raster/DIB.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// Places pages on a document the way a batch is saved as PDF: each page
// becomes one image (Group 4 for a 1-bit page, JPEG at the document's quality
// otherwise) drawn over one whole PDF page, which is sized in device units
// from the page's pixels and resolution; at the default Resolution of 72 that
// is the physical size of the scan in points. The first page goes on the
// document's first page, every later one on a new page.
class TPDFBatch {
public:
  explicit TPDFBatch(TPDFDocument& document) : FDocument(document) {}

  // Raises EMathError "Floating point division by zero" for a page without a
  // horizontal or vertical resolution.
  void AddPage(const TDIB& page);
  // A page whose JPEG data goes into the document unchanged, sized from the
  // data's pixels and the resolution given (0 for none: the default one).
  void AddJpegPage(const TJPEGImage& jpeg, int xDpi, int yDpi);
  int Written() const { return FWritten; }

private:
  struct TPageSize {
    int Width = 0;
    int Height = 0;
  };
  static TPageSize PageSizeOf(int width, int height, int xDpi, int yDpi);
  // Draws image index over a new page of the size given.
  void PlaceImage(int index, TPageSize size);

  TPDFDocument& FDocument;
  int FWritten = 0;
};

// Writes fileName as a new PDF file with the document's defaults, holding the
// pages addPages places on the batch, and returns the number of pages
// written. A failure raised by addPages stops there; the document is still
// finished, so the file holds the pages completed before it, and the failure
// is raised (or EndDoc's own, when finishing fails too and the file is
// removed). When no page was completed the file is left as it was.
int WriteBatchPdf(const std::string& fileName, const std::function<void(TPDFBatch&)>& addPages);

// Saves every page of every TIFF file, in order, as one PDF file with the
// document's defaults, and returns the number of pages written. onFile, when
// given, is called with a file's index before the file is read. Any failure
// stops at the page where it happens; the document is still finished, so the
// file holds the pages completed before it, and the failure is raised (or
// EndDoc's own, when finishing fails too and the file is removed).
int SaveBatchAsPdf(const std::string& fileName, const std::vector<std::string>& files,
                   const std::function<void(size_t)>& onFile = {});
