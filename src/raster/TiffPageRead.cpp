#include "core/Rounding.h"
#include "raster/RowOps.h"
#include "raster/TiffPage.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// How the pixels are taken from the file.
enum class TDecoding {
  Strips,     // strip by strip, samples as stored
  Scanlines,  // fax pages, row by row
  Tiles,      // tile by tile, samples as stored
  JpegStrips, // JPEG strips decoded to the colours they show
  Rgba        // libtiff's RGBA interface: everything else, as it looks
};

bool IsGrey(uint16_t photometric) {
  return photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK;
}

TDecoding ChooseDecoding(const TTiffPageInfo& info) {
  const bool contiguous = info.planar == PLANARCONFIG_CONTIG && info.extraSamples == 0;
  const bool grey = IsGrey(info.photometric) && info.samplesPerPixel == 1;
  if (info.compression == COMPRESSION_JPEG) {
    // Grey, RGB and (decoded to RGB) YCbCr JPEG strips give the same pixels
    // as the RGBA interface, without its per-pixel conversion.
    const bool colour =
        (info.photometric == PHOTOMETRIC_RGB || info.photometric == PHOTOMETRIC_YCBCR) &&
        info.samplesPerPixel == 3;
    const bool fast = !info.tiled && contiguous && info.bitsPerSample == 8 && (grey || colour);
    return fast ? TDecoding::JpegStrips : TDecoding::Rgba;
  }
  if (info.compression == COMPRESSION_OJPEG || !contiguous) return TDecoding::Rgba;
  const uint16_t bits = info.bitsPerSample;
  const bool plain =
      (grey && (bits == 1 || bits == 4 || bits == 8)) ||
      (info.photometric == PHOTOMETRIC_PALETTE && info.samplesPerPixel == 1 &&
       (bits == 1 || bits == 2 || bits == 4 || bits == 8)) ||
      (info.photometric == PHOTOMETRIC_RGB && info.samplesPerPixel == 3 && bits == 8);
  if (!plain) return TDecoding::Rgba;
  if (info.tiled) return TDecoding::Tiles;
  return info.fax ? TDecoding::Scanlines : TDecoding::Strips;
}

const char* DecodingFunction(TDecoding decoding) {
  switch (decoding) {
  case TDecoding::Scanlines:
    return "TIFFReadScanline";
  case TDecoding::Tiles:
    return "TIFFReadEncodedTile";
  case TDecoding::Rgba:
    return "TIFFReadRGBAImage";
  default:
    return "TIFFReadEncodedStrip";
  }
}

// Hands every row of the page to store(y, x0, count, bytes, size), strip by strip.
template <typename Store>
void ReadStrips(TIFF* tiff, const TTiffPageInfo& info, tmsize_t scanlineSize, Store&& store) {
  // The strip layout libtiff actually uses (one strip when the tag is missing).
  uint32_t rowsPerStrip = info.length;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  if (rowsPerStrip == 0 || rowsPerStrip > info.length) rowsPerStrip = info.length;
  const tmsize_t stripSize = TIFFStripSize(tiff);
  if (stripSize <= 0 || stripSize / scanlineSize < static_cast<tmsize_t>(rowsPerStrip))
    throw ETiffError("TIFFReadEncodedStrip");
  std::vector<uint8_t> buffer(static_cast<size_t>(stripSize));
  for (uint32_t start = 0; start < info.length; start += rowsPerStrip) {
    const uint32_t rows = std::min(rowsPerStrip, info.length - start);
    const uint32_t strip = TIFFComputeStrip(tiff, start, 0);
    if (TIFFReadEncodedStrip(tiff, strip, buffer.data(), scanlineSize * rows) < 0)
      throw ETiffError("TIFFReadEncodedStrip");
    for (uint32_t i = 0; i < rows; ++i)
      store(start + i, 0u, info.width, buffer.data() + static_cast<size_t>(i) * scanlineSize,
            static_cast<size_t>(scanlineSize));
  }
}

template <typename Store> void ReadTiles(TIFF* tiff, const TTiffPageInfo& info, Store&& store) {
  uint32_t tileWidth = 0, tileLength = 0;
  TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
  TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileLength);
  const tmsize_t tileSize = TIFFTileSize(tiff);
  const tmsize_t tileRowSize = TIFFTileRowSize(tiff);
  if (tileWidth == 0 || tileLength == 0 || tileSize <= 0 || tileRowSize <= 0)
    throw ETiffError("TIFFReadEncodedTile");
  std::vector<uint8_t> buffer(static_cast<size_t>(tileSize));
  for (uint32_t y0 = 0; y0 < info.length; y0 += tileLength)
    for (uint32_t x0 = 0; x0 < info.width; x0 += tileWidth) {
      if (TIFFReadEncodedTile(tiff, TIFFComputeTile(tiff, x0, y0, 0, 0), buffer.data(), tileSize) <
          0)
        throw ETiffError("TIFFReadEncodedTile");
      const uint32_t columns = std::min(tileWidth, info.width - x0);
      for (uint32_t i = 0; i < tileLength && y0 + i < info.length; ++i)
        store(y0 + i, x0, columns,
              buffer.data() + static_cast<size_t>(i) * static_cast<size_t>(tileRowSize),
              static_cast<size_t>(tileRowSize));
    }
}

std::vector<uint32_t> ReadColourMap(TIFF* tiff, uint16_t bitsPerSample) {
  uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
  if (!TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue))
    throw ETiffError("TIFFGetField3: Tag = " + std::to_string(TIFFTAG_COLORMAP));
  const size_t entries = size_t{1} << bitsPerSample;
  auto wideValue = [](uint16_t v) { return v >= 256; };
  // 16-bit maps are scaled down; maps of 8-bit values from old writers are taken as they are.
  const bool wide = std::any_of(red, red + entries, wideValue) ||
                    std::any_of(green, green + entries, wideValue) ||
                    std::any_of(blue, blue + entries, wideValue);
  auto component = [wide](uint16_t v) {
    return static_cast<uint8_t>(wide ? v * 255 / 65535 : v & 0xFF);
  };
  std::vector<uint32_t> palette;
  for (size_t i = 0; i < entries; ++i)
    palette.push_back(PaletteColor(component(red[i]), component(green[i]), component(blue[i])));
  return palette;
}

// A colour channel of the RGBA interface (alpha premultiplied) laid over white.
uint8_t OverWhite(uint32_t pixel, uint32_t channel) {
  return static_cast<uint8_t>(std::min<uint32_t>(255, channel + 255 - TIFFGetA(pixel)));
}

void ReadRgba(TIFF* tiff, const TTiffPageInfo& info, TDIB& dib) {
  CheckImageSize(info.width, info.length, 32);
  std::vector<uint32_t> raster(static_cast<size_t>(info.width) * info.length);
  // Asking for the file's own orientation gives the rows as they are stored;
  // the orientation is applied afterwards, as on every other path.
  if (!TIFFReadRGBAImageOriented(tiff, info.width, info.length, raster.data(), info.orientation, 1))
    throw ETiffError("TIFFReadRGBAImage");
  const bool grey = dib.BitCount() == 8;
  for (uint32_t y = 0; y < info.length; ++y) {
    const uint32_t* source = raster.data() + static_cast<size_t>(y) * info.width;
    uint8_t* row = dib.ScanLine(static_cast<int>(y));
    for (uint32_t x = 0; x < info.width; ++x) {
      const uint32_t pixel = source[x];
      if (grey) {
        row[x] = OverWhite(pixel, TIFFGetR(pixel));
      } else {
        // Rows keep blue, green, red.
        row[3 * x] = OverWhite(pixel, TIFFGetB(pixel));
        row[3 * x + 1] = OverWhite(pixel, TIFFGetG(pixel));
        row[3 * x + 2] = OverWhite(pixel, TIFFGetR(pixel));
      }
    }
  }
}

// Where stored pixel (x, y) of a page of width w and length l is seen, for
// the TIFF orientations 2 to 8.
void Place(int orientation, int x, int y, int w, int l, int& seenX, int& seenY) {
  switch (orientation) {
  case ORIENTATION_TOPRIGHT:
    seenX = w - 1 - x, seenY = y;
    break;
  case ORIENTATION_BOTRIGHT:
    seenX = w - 1 - x, seenY = l - 1 - y;
    break;
  case ORIENTATION_BOTLEFT:
    seenX = x, seenY = l - 1 - y;
    break;
  case ORIENTATION_LEFTTOP:
    seenX = y, seenY = x;
    break;
  case ORIENTATION_RIGHTTOP:
    seenX = l - 1 - y, seenY = x;
    break;
  case ORIENTATION_RIGHTBOT:
    seenX = l - 1 - y, seenY = w - 1 - x;
    break;
  default: // ORIENTATION_LEFTBOT
    seenX = y, seenY = w - 1 - x;
    break;
  }
}

// Turns and mirrors the page as its orientation says it is seen.
void Orient(TDIB& dib, int orientation) {
  if (orientation == ORIENTATION_TOPLEFT) return;
  const int w = dib.Width(), l = dib.Height();
  const bool transposed = orientation >= ORIENTATION_LEFTTOP;
  TDIB seen;
  seen.NewImage(transposed ? l : w, transposed ? w : l, dib.PixelFormat(), 0, 0);
  const TBitmapInfoHeader& header = *dib.InfoHeader();
  if (transposed)
    seen.SetPelsPerMetre(header.biYPelsPerMeter, header.biXPelsPerMeter);
  else
    seen.SetPelsPerMetre(header.biXPelsPerMeter, header.biYPelsPerMeter);
  for (int i = 0; i < dib.ColorCount(); ++i) seen.SetPaletteEntry(i, dib.PaletteEntry(i));
  int seenX = 0, seenY = 0;
  for (int y = 0; y < l; ++y)
    for (int x = 0; x < w; ++x) {
      Place(orientation, x, y, w, l, seenX, seenY);
      seen.SetPixel(seenX, seenY, dib.GetPixel(x, y));
    }
  dib = std::move(seen);
}

} // namespace

void ReadTiffPage(TTiffHandle& handle, const TTiffPageInfo& info, TDIB& dib) {
  TIFF* tiff = handle.Get();
  const TDecoding decoding = ChooseDecoding(info);
  if (decoding == TDecoding::JpegStrips && info.photometric == PHOTOMETRIC_YCBCR)
    TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  const tmsize_t scanlineSize = TIFFScanlineSize(tiff);
  if (scanlineSize <= 0) throw ETiffError("Invalid image size");

  // Depth, palette and inversion. What the RGBA interface gives already looks
  // as the file says, so it is never inverted.
  TPixelFormat format = pf24bit;
  std::vector<uint32_t> palette;
  const bool grey = IsGrey(info.photometric);
  const bool invert =
      grey && info.photometric == PHOTOMETRIC_MINISWHITE && decoding != TDecoding::Rgba;
  int expandBits = 0; // palette samples of 1 or 2 bits become the indices of a 4-bit page
  if (decoding == TDecoding::Rgba) {
    format = grey ? pf8bit : pf24bit;
    for (int i = 0; grey && i < 256; ++i) palette.push_back(PaletteColor(i, i, i));
  } else if (grey && info.bitsPerSample == 1) {
    format = pf1bit;
    palette = {PaletteColor(0, 0, 0), PaletteColor(255, 255, 255)};
  } else if (grey && info.bitsPerSample == 4) {
    format = pf4bit;
    for (int i = 0; i < 16; ++i) palette.push_back(PaletteColor(i * 17, i * 17, i * 17));
  } else if (grey) {
    format = pf8bit;
    for (int i = 0; i < 256; ++i) palette.push_back(PaletteColor(i, i, i));
  } else if (info.photometric == PHOTOMETRIC_PALETTE) {
    palette = ReadColourMap(tiff, info.bitsPerSample);
    format = info.bitsPerSample < 5 ? pf4bit : pf8bit;
    if (info.bitsPerSample < 4) expandBits = info.bitsPerSample;
  }

  dib.NewImage(static_cast<int>(info.width), static_cast<int>(info.length), format, info.xDpi,
               info.yDpi);
  for (size_t i = 0; i < palette.size() && i < static_cast<size_t>(dib.ColorCount()); ++i)
    dib.SetPaletteEntry(static_cast<int>(i), palette[i]);

  const int bits = dib.BitCount();
  const auto rowBytes = static_cast<size_t>(dib.RowBytes());
  // Stores count pixels of row y from x0 on, taken from at most sourceBytes
  // bytes: a directory whose fields disagree must not make us read or write
  // past either buffer.
  auto store = [&](uint32_t y, uint32_t x0, uint32_t count, const uint8_t* source,
                   size_t sourceBytes) {
    uint8_t* row = dib.ScanLine(static_cast<int>(y));
    if (expandBits > 0) {
      const auto perByte = static_cast<uint32_t>(8 / expandBits);
      const auto mask = static_cast<uint8_t>((1 << expandBits) - 1);
      count = static_cast<uint32_t>(std::min<size_t>(count, sourceBytes * perByte));
      for (uint32_t i = 0; i < count; ++i) {
        const int shift = 8 - expandBits * static_cast<int>(i % perByte + 1);
        dib.SetPixel(static_cast<int>(x0 + i), static_cast<int>(y),
                     (source[i / perByte] >> shift) & mask);
      }
    } else if (bits == 24) {
      count = static_cast<uint32_t>(std::min<size_t>(count, sourceBytes / 3));
      SwapRedBlue(source, row + 3 * static_cast<size_t>(x0), count);
    } else {
      const size_t offset = static_cast<size_t>(x0) * static_cast<size_t>(bits) / 8;
      const size_t wanted = (static_cast<size_t>(count) * static_cast<size_t>(bits) + 7) / 8;
      std::memcpy(row + offset, source, std::min({wanted, sourceBytes, rowBytes - offset}));
    }
  };

  handle.ClearReports();
  switch (decoding) {
  case TDecoding::Strips:
    ReadStrips(tiff, info, scanlineSize, store);
    break;
  case TDecoding::JpegStrips:
    if (scanlineSize <= dib.Stride()) {
      // Decoded straight into the rows: a JPEG scanline is a grey row as it
      // is kept, or a colour row that only needs its red and blue exchanged.
      for (uint32_t y = 0; y < info.length; ++y) {
        uint8_t* row = dib.ScanLine(static_cast<int>(y));
        if (TIFFReadScanline(tiff, row, y, 0) < 0) throw ETiffError("TIFFReadEncodedStrip");
        if (bits == 24) SwapRedBlue(row, row, info.width);
      }
    } else {
      ReadStrips(tiff, info, scanlineSize, store);
    }
    break;
  case TDecoding::Tiles:
    ReadTiles(tiff, info, store);
    break;
  case TDecoding::Scanlines: {
    std::vector<uint8_t> buffer(static_cast<size_t>(scanlineSize));
    for (uint32_t y = 0; y < info.length; ++y) {
      if (TIFFReadScanline(tiff, buffer.data(), y, 0) < 0) throw ETiffError("TIFFReadScanline");
      store(y, 0, info.width, buffer.data(), buffer.size());
    }
    break;
  }
  case TDecoding::Rgba:
    ReadRgba(tiff, info, dib);
    break;
  }
  if (handle.DataMissing()) throw ETiffError(DecodingFunction(decoding));
  if (invert) dib.Invert();
  Orient(dib, info.orientation);
}
