#pragma once

#include "pdf/PDFFile.h"
#include "raster/DIB.h"

#include <set>
#include <string>
#include <vector>

// One operation of a page's content as written: operands and operator.
struct TPDFContentOperation {
  std::string Operator;
  std::vector<std::string> Operands;
};

// A page that holds one image and nothing else.
struct TPDFImagePage {
  double MediaBox[4] = {0, 0, 0, 0};
  const TPDFObject* CropBox = nullptr; // as stored, or null
  int Rotate = 0;                      // 0, 90, 180 or 270
  // Only graphics-state saves and restores, transformations and the one
  // image drawing.
  std::vector<TPDFContentOperation> Content;
  const TPDFObject* Image = nullptr; // the image XObject, a stream of the file
  // Where the image is drawn: the transformation in force at its drawing,
  // [a b c d e f], taking the image's unit square into the page's space.
  double Matrix[6] = {1, 0, 0, 1, 0, 0};

  double Width() const; // of the media box, in points
  double Height() const;
};

// Most bytes the content of an image-only page may take once decoded.
inline constexpr size_t kMaxPDFContentBytes = size_t{1} << 20;
// Deepest page tree the reader walks, and most pages it takes.
inline constexpr int kMaxPDFPageTreeDepth = 64;
inline constexpr size_t kMaxPDFPages = size_t{1} << 20;

// Reads image-only PDF files: one image per page, drawn with nothing else.
// The pages are found when the file is opened; each page is checked when it
// is asked for, so a file with other pages still gives its image pages.
class TPDFImageReader {
public:
  // Raises EPDFReadError as TPDFFile does, and for a file without a page tree.
  explicit TPDFImageReader(std::vector<uint8_t> bytes);

  int PageCount() const { return static_cast<int>(FPages.size()); }
  // Page index from 0. Raises EPDFReadError "PDF page %d does not exist",
  // "PDF page %d is not an image-only page" (text, drawings, forms, inline
  // images), "PDF page %d holds more than one image" and "PDF page %d holds
  // no image", page numbers counting from 1.
  TPDFImagePage Page(int index);
  // The page's image as a raster page (1, 4, 8 or 24 bits with its palette;
  // 1-bit pages 0 = black). Raises EPDFReadError for images it cannot take,
  // EDIBError for absurd sizes.
  void DecodeImage(const TPDFImagePage& page, TDIB& image);

  TPDFFile& File() { return FFile; }
  // The document information dictionary, or null.
  const TPDFObject* Info();

private:
  struct TPageEntry {
    const TPDFObject* Page = nullptr;
    const TPDFObject* MediaBox = nullptr;
    const TPDFObject* CropBox = nullptr;
    const TPDFObject* Resources = nullptr;
    const TPDFObject* Rotate = nullptr;
  };
  void Walk(const TPDFObject& node, TPageEntry inherited, int depth);
  std::vector<TPDFContentOperation> ReadContent(const TPDFObject& page, int number);

  TPDFFile FFile;
  std::vector<TPageEntry> FPages;
  std::set<const TPDFObject*> FVisited; // the nodes from the root to the one walked
  size_t FNodesWalked = 0;
};
