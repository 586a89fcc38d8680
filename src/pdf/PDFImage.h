#pragma once

#include "core/MemoryStream.h"
#include "pdf/JpegCodec.h"
#include "raster/DIB.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TPDFWriter;

// How an image's samples are compressed in the PDF file.
enum TImageCompression : uint8_t {
  icFlate = 0,   // 24-bit RGB, deflated
  icJPEG = 1,    // JPEG data
  icCCITT1D = 2, // CCITT Group 3, one-dimensional
  icCCITT2D = 3, // CCITT Group 3, two-dimensional
  icCCITT4 = 4   // CCITT Group 4
};

inline constexpr int kDefaultJPEGQuality = 80;

// One image XObject, compressed completely when it is made; it is written to
// the file once, after which only its name, number and size remain.
class TPDFImage {
public:
  // From a page in memory. Raises "Not valid image." for a page without
  // pixels; the CCITT kinds need a 1-bit page ("Not b/w image.").
  TPDFImage(const TDIB& bitmap, TImageCompression kind, int jpegQuality = kDefaultJPEGQuality);
  // From JPEG data: icJPEG keeps the data unchanged; icFlate decodes it; the
  // CCITT kinds fail with "CCITT compression work only for bitmap".
  TPDFImage(const TJPEGImage& jpeg, TImageCompression kind);

  TImageCompression Kind() const { return FKind; }
  const std::string& Name() const { return FName; }
  int ObjectNumber() const { return FObjectNumber; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int BitsPerComponent() const { return FBitsPerComponent; }
  bool Grayscale() const { return FGrayscale; }
  bool Written() const { return FWritten; }
  const TMemoryStream& Data() const { return FData; }

  // Writes the XObject (taking its object number now) unless it is written.
  void WriteXObject(TPDFWriter& writer);

private:
  friend class TPDFImages;
  void BuildFromBitmap(const TDIB& bitmap, int jpegQuality);
  void BuildFlate(const TDIB& bitmap);

  TImageCompression FKind;
  std::string FName;
  int FObjectNumber = -1;
  int FWidth = 0;
  int FHeight = 0;
  int FBitsPerComponent = 8;
  bool FGrayscale = false;
  bool FWritten = false;
  TMemoryStream FData;
};

// The document's images in the order they were added; an image's index is
// its position. Images are only removed all together.
class TPDFImages {
public:
  // Names the image "Im" + its index and returns the index.
  int Add(std::unique_ptr<TPDFImage> image);
  int Count() const { return static_cast<int>(FItems.size()); }
  TPDFImage& operator[](int index) { return *FItems[static_cast<size_t>(index)]; }
  const TPDFImage& operator[](int index) const { return *FItems[static_cast<size_t>(index)]; }
  void Clear() { FItems.clear(); }

private:
  std::vector<std::unique_ptr<TPDFImage>> FItems;
};
