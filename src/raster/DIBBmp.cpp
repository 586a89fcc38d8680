#include "raster/DIB.h"

#include "core/Exception.h"
#include "core/FileStream.h"

#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitFields = 3;
constexpr uint32_t kBiAlphaBitFields = 6;

uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Extracts a channel given by a bit mask and scales it to 0..255.
struct TChannel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;
  explicit TChannel(uint32_t m) : mask(m) {
    if (mask == 0) return;
    while (((mask >> shift) & 1) == 0) ++shift;
    max = mask >> shift;
  }
  uint8_t operator()(uint32_t pixel) const {
    if (max == 0) return 0;
    return static_cast<uint8_t>(uint64_t{(pixel & mask) >> shift} * 255 / max);
  }
};

// The header fields every variant of the bitmap information header shares.
struct TForeignHeader {
  uint32_t size = 0;
  int64_t width = 0;
  int64_t height = 0; // negative: rows stored top-down
  int bits = 0;
  uint32_t compression = 0;
  int32_t xPelsPerMetre = 0;
  int32_t yPelsPerMetre = 0;
  uint32_t colorsUsed = 0;
  uint32_t sizeImage = 0;
  uint32_t masks[3] = {0, 0, 0};
};

// Run-length coded rows (RLE8 for 8 bits, RLE4 for 4): pairs of a count and
// a value, or 0 and an escape (end of row, end of picture, a move, or a run
// of literal pixels padded to a whole word). Pixels are handed to
// put(x, y) with y counted from the bottom row; those beyond the picture
// are dropped, and pixels the data never reaches stay 0.
template <typename Put>
void DecodeRle(const std::vector<uint8_t>& data, int bits, int64_t width, int64_t height,
               Put&& put) {
  int64_t x = 0, y = 0;
  size_t at = 0;
  auto pixel = [&](uint8_t value, int64_t i) {
    return bits == 8 ? value : static_cast<uint8_t>(i % 2 == 0 ? value >> 4 : value & 15);
  };
  while (at + 1 < data.size() && y < height) {
    const uint8_t count = data[at], value = data[at + 1];
    at += 2;
    if (count > 0) {
      for (int64_t i = 0; i < count; ++i, ++x)
        if (x < width) put(x, y, pixel(value, i));
    } else if (value == 0) {
      x = 0, ++y;
    } else if (value == 1) {
      return;
    } else if (value == 2) {
      if (at + 1 >= data.size()) throw EReadError();
      x += data[at], y += data[at + 1];
      at += 2;
    } else {
      const size_t bytes = bits == 8 ? value : (value + 1u) / 2;
      if (at + bytes > data.size()) throw EReadError();
      for (int64_t i = 0; i < value; ++i, ++x)
        if (x < width) put(x, y, pixel(data[at + static_cast<size_t>(bits == 8 ? i : i / 2)], i));
      at += bytes + bytes % 2;
    }
  }
}

} // namespace

void TDIB::LoadBmpFromStream(TStream& stream) {
  Clear();
  try {
    TBitmapFileHeader file{};
    stream.ReadBuffer(&file, sizeof file);
    if (file.bfType != kBitmapSignature) throw EDIBError("Invalid bitmap file !");
    const int64_t base = stream.Position(); // where the information header starts
    const int64_t available = stream.Size() - base;

    uint8_t raw[124] = {};
    stream.ReadBuffer(raw, 4);
    TForeignHeader h;
    h.size = U32(raw);
    if (h.size != 12 && (h.size < 40 || h.size > 124)) throw EDIBError("Invalid bitmap file !");
    stream.ReadBuffer(raw + 4, h.size - 4);
    if (h.size == 12) {
      h.width = U16(raw + 4);
      h.height = static_cast<int16_t>(U16(raw + 6));
      h.bits = U16(raw + 10);
    } else {
      h.width = static_cast<int32_t>(U32(raw + 4));
      h.height = static_cast<int32_t>(U32(raw + 8));
      h.bits = U16(raw + 14);
      h.compression = U32(raw + 16);
      h.xPelsPerMetre = static_cast<int32_t>(U32(raw + 24));
      h.yPelsPerMetre = static_cast<int32_t>(U32(raw + 28));
      h.sizeImage = U32(raw + 20);
      h.colorsUsed = U32(raw + 32);
    }
    const int64_t absHeight = h.height < 0 ? -h.height : h.height;
    // A page without rows or columns is refused: no file may hold one.
    if (h.width <= 0 || absHeight == 0) throw EDIBError("Invalid bitmap file !");
    CheckImageSize(h.width, absHeight, h.bits > 0 && h.bits <= 32 ? h.bits : 32);
    const int64_t stride = DIBStride(h.width, h.bits);
    const int64_t pixelBytes = stride * absHeight;

    const bool pageDepth = h.bits == 1 || h.bits == 4 || h.bits == 8 || h.bits == 24;
    const int64_t colours = h.bits <= 8 ? int64_t{1} << h.bits : 0;
    const bool canonical = h.size == 40 && h.compression == kBiRgb && pageDepth && h.height >= 0 &&
                           file.bfOffBits >= 54 + 4 * colours;
    if (canonical) {
      // The block is the file without its 14-byte header, as it stands.
      const int64_t needed = int64_t{file.bfOffBits} - 14 + pixelBytes;
      if (needed > available) throw EReadError();
      int64_t blockSize = int64_t{file.bfSize} - 14;
      if (blockSize < needed || blockSize > available) blockSize = needed;
      AllocateBlock(static_cast<size_t>(blockSize));
      std::memcpy(FHeader, raw, 40);
      stream.ReadBuffer(static_cast<uint8_t*>(FHeader) + 40, static_cast<size_t>(blockSize - 40));
      FFileHeader = file;
      ParseHeader();
      return;
    }

    // Any other layout is converted into a page of the nearest depth.
    const bool rle =
        (h.compression == kBiRle8 && h.bits == 8) || (h.compression == kBiRle4 && h.bits == 4);
    if (h.compression != kBiRgb && !rle &&
        !((h.compression == kBiBitFields || h.compression == kBiAlphaBitFields) &&
          (h.bits == 16 || h.bits == 32)))
      throw EDIBError("Unsupported bitmap compression");
    // Run-length coded rows are stored from the bottom up only.
    if (rle && h.height < 0) throw EDIBError("Invalid bitmap file !");
    TPixelFormat format;
    switch (h.bits) {
    case 1:
      format = pf1bit;
      break;
    case 4:
      format = pf4bit;
      break;
    case 8:
      format = pf8bit;
      break;
    case 16:
    case 24:
    case 32:
      format = pf24bit;
      break;
    default:
      throw EDIBError("Bit depht not allowed");
    }
    if (h.compression == kBiRgb) {
      if (h.bits == 16) {
        h.masks[0] = 0x7C00, h.masks[1] = 0x03E0, h.masks[2] = 0x001F;
      } else {
        h.masks[0] = 0xFF0000, h.masks[1] = 0x00FF00, h.masks[2] = 0x0000FF;
      }
    } else if (rle) {
      // Palette indices: no masks.
    } else if (h.size >= 52) {
      h.masks[0] = U32(raw + 40), h.masks[1] = U32(raw + 44), h.masks[2] = U32(raw + 48);
    } else {
      uint8_t m[12];
      stream.ReadBuffer(m, sizeof m);
      h.masks[0] = U32(m), h.masks[1] = U32(m + 4), h.masks[2] = U32(m + 8);
    }

    std::vector<uint32_t> palette;
    if (colours > 0) {
      int64_t count = h.colorsUsed > 0 && h.colorsUsed < static_cast<uint32_t>(colours)
                          ? int64_t{h.colorsUsed}
                          : colours;
      const int entrySize = h.size == 12 ? 3 : 4;
      std::vector<uint8_t> entries(static_cast<size_t>(count * entrySize));
      stream.ReadBuffer(entries.data(), entries.size());
      for (int64_t i = 0; i < count; ++i) {
        const uint8_t* e = entries.data() + i * entrySize;
        palette.push_back(PaletteColor(e[2], e[1], e[0]));
      }
    }

    const int64_t rowsStart = int64_t{file.bfOffBits} - 14;
    if (rowsStart < 0 || rowsStart > available) throw EReadError();
    // Coded rows take what the header says, or the rest of the file.
    int64_t codedBytes = available - rowsStart;
    if (h.sizeImage > 0 && h.sizeImage < codedBytes) codedBytes = h.sizeImage;
    if (!rle && rowsStart + pixelBytes > available) throw EReadError();
    stream.SetPosition(base + rowsStart);
    std::vector<uint8_t> pixels(static_cast<size_t>(rle ? codedBytes : pixelBytes));
    stream.ReadBuffer(pixels.data(), pixels.size());

    NewImage(static_cast<int>(h.width), static_cast<int>(absHeight), format, 0, 0);
    FInfoHeader->biXPelsPerMeter = h.xPelsPerMetre;
    FInfoHeader->biYPelsPerMeter = h.yPelsPerMetre;
    for (size_t i = 0; i < palette.size(); ++i) FPalette[i] = palette[i];
    for (size_t i = palette.size(); i < static_cast<size_t>(colours); ++i) FPalette[i] = 0;
    if (rle) {
      FillBits(0);
      DecodeRle(pixels, h.bits, h.width, absHeight, [&](int64_t x, int64_t y, uint8_t value) {
        SetPixel(static_cast<int>(x), static_cast<int>(absHeight - 1 - y), value);
      });
      return;
    }
    const TChannel red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]);
    for (int64_t y = 0; y < absHeight; ++y) {
      const int64_t stored = h.height < 0 ? y : absHeight - 1 - y;
      const uint8_t* source = pixels.data() + stored * stride;
      uint8_t* row = ScanLine(static_cast<int>(y));
      if (h.bits != 16 && h.bits != 32) {
        std::memcpy(row, source, static_cast<size_t>(FRowBytes));
        continue;
      }
      for (int64_t x = 0; x < h.width; ++x) {
        uint32_t pixel = h.bits == 16 ? U16(source + 2 * x) : U32(source + 4 * x);
        uint8_t* p = row + 3 * x;
        p[0] = blue(pixel), p[1] = green(pixel), p[2] = red(pixel);
      }
    }
  } catch (...) {
    Clear();
    throw;
  }
}

void TDIB::SaveBmpToStream(TStream& stream) {
  RequireNonEmptyPage();
  TBitmapFileHeader file{};
  file.bfType = kBitmapSignature;
  file.bfSize = static_cast<uint32_t>(FBlockSize + 14);
  file.bfOffBits = static_cast<uint32_t>(14 + (FBits - static_cast<uint8_t*>(FHeader)));
  stream.WriteBuffer(&file, sizeof file);
  stream.WriteBuffer(FHeader, FBlockSize);
  FFileHeader = file;
}

void TDIB::SaveToBmpFile(const std::string& fileName) {
  RequireNonEmptyPage();
  TReplacingFileStream file(fileName);
  SaveBmpToStream(file);
  file.Commit();
}
