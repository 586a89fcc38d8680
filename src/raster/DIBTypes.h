#pragma once

#include "core/Exception.h"
#include "tessivane/dib.h"

#include <bit>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "packed bitmaps are read and written in place as little-endian records");

// Pixel-format codes; the numbering follows the usual toolkit enumeration,
// of which pages use 1, 4, 8 and 24 bits.
enum TPixelFormat : int {
  pfDevice = 0,
  pf1bit = 1,
  pf4bit = 2,
  pf8bit = 3,
  pf15bit = 4,
  pf16bit = 5,
  pf24bit = 6,
  pf32bit = 7,
  pfCustom = 8
};

using TBitmapFileHeader = tsv_bitmap_file_header;
using TBitmapInfoHeader = tsv_bitmap_info_header;

constexpr uint16_t kBitmapSignature = 0x4D42; // "BM"

struct TPaletteEntry {
  uint8_t peRed;
  uint8_t peGreen;
  uint8_t peBlue;
  uint8_t peFlags;
};

// A logical palette: version 0x300, entry count, 256 entries (1028 bytes).
struct TLogPalette {
  uint16_t palVersion = 0x300;
  uint16_t palNumEntries = 0;
  TPaletteEntry palPalEntry[256] = {};
};
static_assert(sizeof(TLogPalette) == 1028);

// Palette entries and 24-bit colour values.
constexpr uint32_t PaletteColor(uint8_t red, uint8_t green, uint8_t blue) {
  return static_cast<uint32_t>(blue) | (static_cast<uint32_t>(green) << 8) |
         (static_cast<uint32_t>(red) << 16);
}
constexpr uint8_t PaletteRed(uint32_t entry) {
  return static_cast<uint8_t>(entry >> 16);
}
constexpr uint8_t PaletteGreen(uint32_t entry) {
  return static_cast<uint8_t>(entry >> 8);
}
constexpr uint8_t PaletteBlue(uint32_t entry) {
  return static_cast<uint8_t>(entry);
}
constexpr int RGBValue(uint8_t red, uint8_t green, uint8_t blue) {
  return static_cast<int>(red) | (static_cast<int>(green) << 8) | (static_cast<int>(blue) << 16);
}

// Stride of a row: bytes from one row to the next, a multiple of 4.
constexpr int64_t DIBStride(int64_t width, int bits) {
  return ((width * bits + 31) / 32) * 4;
}
// Significant bytes of a row, without the padding.
constexpr int64_t DIBRowBytes(int64_t width, int bits) {
  return (width * bits + 7) / 8;
}

// The largest pixel area a page may have: refuses absurd sizes announced by
// damaged or hostile files before anything is allocated.
constexpr int64_t kMaxImageBytes = int64_t{1} << 30;

// Resolution, in dots per inch, of a page whose file gives none: every
// reader, the PDF page size and the thumbnails take this one value, never
// the screen's, so a page reads and saves the same on every machine.
constexpr int kDefaultPageDpi = 96;

// Errors of the raster library.
class EDIBError : public Exception {
public:
  using Exception::Exception;
};

// Raises EDIBError when a page of this size and depth would exceed kMaxImageBytes.
void CheckImageSize(int64_t width, int64_t height, int bits);
