#pragma once

#include "core/Stream.h"
#include "raster/BlobList.h"
#include "raster/DIBTypes.h"
#include "tessivane/pagemem.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The layout of a new packed DIB as TDIB::NewImage makes it, for a caller
// that builds one in memory of its own.
struct TNewDIBLayout {
  int Width, Height, Bits, Colours;
  size_t Stride;
  size_t BitsOffset() const; // the header and the palette come first
  size_t BlockSize() const;
};
// Raises EDIBError for a format it does not make or a page too large.
TNewDIBLayout NewDIBLayout(int width, int height, TPixelFormat pixelFormat);
// Writes the header and the palette (black and white, or a grey ramp) at block.
void WriteNewDIBHeader(void* block, const TNewDIBLayout& layout, int xDpi, int yDpi);

// One page held as a packed device-independent bitmap in one relocatable
// block: a 40-byte information header, a palette of 2, 16 or 256 entries
// (none for 24 bits) and the rows, bottom row first, each padded to a
// multiple of 4 bytes. Rows are numbered from the top. A 1-bit page is kept
// with 0 = black and 1 = white.
//
// 24-bit pixel values are RGB colour values: red in bits 0-7, green in 8-15,
// blue in 16-23. Palette entries are blue in bits 0-7, green 8-15, red 16-23.
class TDIB {
public:
  using THistogram = std::array<uint64_t, 256>;

  TDIB();
  TDIB(const TDIB&) = delete;
  TDIB& operator=(const TDIB&) = delete;
  // Moving hands the block over; the source is left empty.
  TDIB(TDIB&& other) noexcept;
  TDIB& operator=(TDIB&& other) noexcept;
  ~TDIB();

  // Memory
  void NewImage(int width, int height, TPixelFormat pixelFormat, int xDpi, int yDpi);
  void AttachHandle(TSV_HANDLE handle);
  TSV_HANDLE Handle() const { return FHandle; }
  void* Lock();
  void Unlock();
  void Clear();
  bool OwnsHandle() const { return FOwnsHandle; }
  void SetOwnsHandle(bool owns) { FOwnsHandle = owns; }

  // Geometry
  TPixelFormat PixelFormat() const { return FPixelFormat; }
  int Width() const;
  int Height() const;
  int BitCount() const;
  int XResolution() const;
  int YResolution() const;
  // Stores the resolution as it is kept, in pixels per metre.
  void SetPelsPerMetre(int32_t x, int32_t y) {
    RequireImage();
    FInfoHeader->biXPelsPerMeter = x;
    FInfoHeader->biYPelsPerMeter = y;
  }
  int Stride() const { return FStride; }
  int RowBytes() const { return FRowBytes; }
  int ColorCount() const { return FColorCount; }
  // biClrUsed as the header had it; the palette always has ColorCount entries.
  uint32_t ColorsUsed() const { return FColorsUsed; }
  size_t BlockSize() const { return FBlockSize; }
  bool Empty() const { return FInfoHeader == nullptr; }
  const TBitmapFileHeader& FileHeader() const { return FFileHeader; }
  const TBitmapInfoHeader* InfoHeader() const { return FInfoHeader; }

  // Rows and pixels; row 0 is the top of the page.
  uint8_t* ScanLine(int row) { return FRows[static_cast<size_t>(row)]; }
  const uint8_t* ScanLine(int row) const { return FRows[static_cast<size_t>(row)]; }
  int GetPixel(int x, int row) const { return FPixelReader(FRows[static_cast<size_t>(row)], x); }
  void SetPixel(int x, int row, int value) {
    FPixelWriter(FRows[static_cast<size_t>(row)], x, value);
  }
  void FillBits(uint8_t value);

  // Palette
  uint32_t PaletteEntry(int index) const { return FPalette[index]; }
  void SetPaletteEntry(int index, uint32_t value) { FPalette[index] = value; }
  void SetPaletteFromLogPalette(const TLogPalette& palette);
  int WhiteIndex() const;
  int BlackIndex() const;
  bool HasStandardPalette() const;

  // Tone
  void Invert();
  void InvertKeepingAppearance();
  THistogram Histogram() const;
  static int HistogramThreshold(const THistogram& histogram, double k);
  int CountRun(int x, int row, int colourOrThreshold, int length) const;

  // Moving rows and pixels, canvas size
  void ShiftLine(int row, int n);
  void ShiftLines(int n);
  void ShiftRows(int n);
  void ResizeCanvas(int newWidth, int newHeight, uint8_t fill);

  // Deskew (DIBSkew.cpp, DIBRotate.cpp). Angles in degrees; positive is the
  // skew of text lines rising from left to right.
  double DetectSkew(int stripHeight, double maxAngle, double angleStep) const;
  void Rotate(bool fillWithWhite, bool interpolate, double rowAngle, double columnAngle,
              bool enlarge);
  // Returns the angle the page was turned by: 0 when it was left as it was.
  double Deskew(bool fillWithWhite, bool interpolate, double maxAngle);

  // Despeckle (DIBBlobs.cpp), on 1-bit pages.
  void FindBlobs(int minWidth, int minHeight, int minPixelCount, int maxWidth, int maxHeight,
                 int maxPixelCount, TBlobList* blobs) const;
  void FillRect(const TPixelRect& rect, int value);
  void FillBlobRects(const TBlobList& blobs, int first, int last, int value);
  // Returns the number of groups removed.
  int Despeckle(int maxWidth, int maxHeight);

  // Files
  void LoadFromStream(TStream& stream, int pageIndex = 0);
  void LoadBmpFromStream(TStream& stream);
  void LoadPngFromStream(TStream& stream);
  // CMYK and YCCK JPEG data becomes true colour as viewers show it: JPEG
  // files marked by Adobe's APP14 segment hold inverted ink values; JPEG data
  // of a PDF image holds its samples as its Decode array says (cmykInverted).
  void LoadJpegFromStream(TStream& stream);
  void LoadJpegFromStream(TStream& stream, bool cmykInverted);
  void SaveBmpToStream(TStream& stream);
  void SaveToBmpFile(const std::string& fileName);

  static int TiffPageCount(TStream& stream);
  // Returns the rows per strip found in the file.
  int LoadTiffFromStream(TStream& stream, int pageIndex);
  void SaveToTiffStream(TStream& stream, bool append, int rowsPerStrip, int compression);
  void SaveToTiffFile(const std::string& fileName, bool append, int rowsPerStrip, int compression);

private:
  using TPixelReader = int (*)(const uint8_t* row, int x);
  using TPixelWriter = void (*)(uint8_t* row, int x, int value);

  void ParseHeader(); // reads the locked header; builds the row table
  // cmykForm: 0 as an Adobe marker says, 1 plain, 2 inverted ink values.
  void LoadJpeg(TStream& stream, int cmykForm);
  void AllocateBlock(size_t size);
  void RequireImage() const;
  // Raises EDIBError for a page without rows or columns, which no file may hold.
  void RequireNonEmptyPage() const;
  void WriteTiffPage(TStream& stream, bool append, int rowsPerStrip, int compression);
  uint8_t WhiteFillByte() const;

  std::vector<uint8_t*> FRows;
  TSV_HANDLE FHandle = nullptr;
  void* FHeader = nullptr;
  bool FOwnsHandle = true;
  size_t FBlockSize = 0;
  TPixelFormat FPixelFormat = pf8bit;
  unsigned FLockCount = 0;
  TBitmapFileHeader FFileHeader{};
  TBitmapInfoHeader* FInfoHeader = nullptr;
  uint32_t* FPalette = nullptr;
  uint8_t* FBits = nullptr;
  int FColorCount = 0;
  uint32_t FColorsUsed = 0;
  int FStride = 0;
  int FRowBytes = 0;
  TPixelWriter FPixelWriter = nullptr;
  TPixelReader FPixelReader = nullptr;
};
