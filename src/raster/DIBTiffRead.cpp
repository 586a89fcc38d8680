#include "raster/DIB.h"

#include "core/Rounding.h"
#include "raster/RowOps.h"
#include "raster/TiffBinding.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

bool IsFaxCompression(uint16_t compression) {
  return compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTFAX3 ||
         compression == COMPRESSION_CCITTFAX4 || compression == COMPRESSION_CCITTRLEW;
}

int ResolutionDpi(TIFF* tiff, ttag_t tag, uint16_t unit) {
  float value = 0;
  // A resolution that no scanner gives (not a number, negative, absurd) counts as unknown.
  if (!TIFFGetField(tiff, tag, &value) || !(value > 0 && value < 1e6f)) return 0;
  return static_cast<int>(unit == RESUNIT_INCH ? Round(value) : Round(value * 2.54));
}

// What the directory says about the page, as far as reading it needs.
struct TTiffPage {
  uint32_t width = 0;
  uint32_t length = 0;
  uint16_t photometric = 0;
  uint16_t compression = 0;
  uint16_t bitsPerSample = 1;
  uint16_t samplesPerPixel = 1;
  uint16_t planar = PLANARCONFIG_CONTIG;
  bool fax = false;
  bool tiled = false;
  int bytesPerPixel = 1;
};

// How the pixels are taken from the file.
enum class TDecoding {
  Strips,     // strip by strip, samples as stored
  Scanlines,  // fax pages, row by row
  Tiles,      // tile by tile, samples as stored
  JpegStrips, // JPEG strips decoded to the colours they show
  Rgba        // libtiff's RGBA interface: everything else, as it looks
};

TDecoding ChooseDecoding(TIFF* tiff, const TTiffPage& page) {
  const bool plainSamples = page.planar == PLANARCONFIG_CONTIG && page.bitsPerSample <= 8 &&
                            page.photometric <= PHOTOMETRIC_PALETTE;
  if (page.compression == COMPRESSION_JPEG) {
    // Grey, RGB and (decoded to RGB) YCbCr JPEG strips give the same pixels
    // as the RGBA interface, without its per-pixel conversion.
    uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
    const bool grey = (page.photometric == PHOTOMETRIC_MINISBLACK ||
                       page.photometric == PHOTOMETRIC_MINISWHITE) &&
                      page.samplesPerPixel == 1;
    const bool colour =
        (page.photometric == PHOTOMETRIC_RGB || page.photometric == PHOTOMETRIC_YCBCR) &&
        page.samplesPerPixel == 3;
    const bool fast = !page.tiled && page.planar == PLANARCONFIG_CONTIG &&
                      page.bitsPerSample == 8 && orientation == ORIENTATION_TOPLEFT &&
                      (grey || colour);
    return fast ? TDecoding::JpegStrips : TDecoding::Rgba;
  }
  if (!plainSamples) return TDecoding::Rgba;
  if (page.tiled) return TDecoding::Tiles;
  return page.fax ? TDecoding::Scanlines : TDecoding::Strips;
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
void ReadStrips(TIFF* tiff, const TTiffPage& page, tmsize_t scanlineSize, Store&& store) {
  // The strip layout libtiff actually uses (one strip when the tag is missing).
  uint32_t rowsPerStrip = page.length;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  if (rowsPerStrip == 0 || rowsPerStrip > page.length) rowsPerStrip = page.length;
  const tmsize_t stripSize = TIFFStripSize(tiff);
  if (stripSize <= 0 || stripSize / scanlineSize < static_cast<tmsize_t>(rowsPerStrip))
    throw ETiffError("TIFFReadEncodedStrip");
  std::vector<uint8_t> buffer(static_cast<size_t>(stripSize));
  for (uint32_t start = 0; start < page.length; start += rowsPerStrip) {
    const uint32_t rows = std::min(rowsPerStrip, page.length - start);
    const uint32_t strip = TIFFComputeStrip(tiff, start, 0);
    if (TIFFReadEncodedStrip(tiff, strip, buffer.data(), scanlineSize * rows) < 0)
      throw ETiffError("TIFFReadEncodedStrip");
    for (uint32_t i = 0; i < rows; ++i)
      store(start + i, 0u, page.width, buffer.data() + static_cast<size_t>(i) * scanlineSize,
            static_cast<size_t>(scanlineSize));
  }
}

template <typename Store> void ReadTiles(TIFF* tiff, const TTiffPage& page, Store&& store) {
  uint32_t tileWidth = 0, tileLength = 0;
  TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
  TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileLength);
  const tmsize_t tileSize = TIFFTileSize(tiff);
  const tmsize_t tileRowSize = TIFFTileRowSize(tiff);
  if (tileWidth == 0 || tileLength == 0 || tileSize <= 0 || tileRowSize <= 0)
    throw ETiffError("TIFFReadEncodedTile");
  std::vector<uint8_t> buffer(static_cast<size_t>(tileSize));
  for (uint32_t y0 = 0; y0 < page.length; y0 += tileLength)
    for (uint32_t x0 = 0; x0 < page.width; x0 += tileWidth) {
      if (TIFFReadEncodedTile(tiff, TIFFComputeTile(tiff, x0, y0, 0, 0), buffer.data(), tileSize) <
          0)
        throw ETiffError("TIFFReadEncodedTile");
      const uint32_t columns = std::min(tileWidth, page.width - x0);
      for (uint32_t i = 0; i < tileLength && y0 + i < page.length; ++i)
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

} // namespace

int TDIB::TiffPageCount(TStream& stream) {
  TTiffHandle handle(stream, "r");
  if (!handle.IsOpen()) throw ETiffError("TIFFOpen");
  if (!TIFFSetDirectory(handle.Get(), 0)) throw ETiffError("TIFFOpen");
  int count = 1;
  while (TIFFReadDirectory(handle.Get())) ++count;
  return count;
}

int TDIB::LoadTiffFromStream(TStream& stream, int pageIndex) {
  Clear();
  auto handle = std::make_unique<TTiffHandle>(stream, "r");
  if (!handle->IsOpen()) {
    stream.SetPosition(0);
    handle = std::make_unique<TTiffHandle>(stream, "r");
    if (!handle->IsOpen()) throw ETiffError("TIFFOpen");
  }
  TIFF* tiff = handle->Get();
  if (pageIndex < 0 || !TIFFSetDirectory(tiff, static_cast<tdir_t>(pageIndex)))
    throw ETiffError("TIFFSetDirectory: page " + std::to_string(pageIndex));
  if (handle->DataMissing()) throw ETiffError("TIFFReadDirectory");

  TTiffPage page;
  page.width = GetTiffField<uint32_t>(tiff, TIFFTAG_IMAGEWIDTH);
  page.length = GetTiffField<uint32_t>(tiff, TIFFTAG_IMAGELENGTH);
  if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &page.photometric)) page.photometric = 0;
  page.compression = GetTiffField<uint16_t>(tiff, TIFFTAG_COMPRESSION);
  page.fax = IsFaxCompression(page.compression);
  if (!TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &page.bitsPerSample)) {
    if (!page.fax) throw ETiffError("TIFFGetField: Tag = " + std::to_string(TIFFTAG_BITSPERSAMPLE));
    page.bitsPerSample = 1;
  }
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &page.samplesPerPixel);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &page.planar);
  uint16_t unit = RESUNIT_INCH;
  if (!TIFFGetField(tiff, TIFFTAG_RESOLUTIONUNIT, &unit)) unit = RESUNIT_INCH;
  const int xDpi = ResolutionDpi(tiff, TIFFTAG_XRESOLUTION, unit);
  const int yDpi = ResolutionDpi(tiff, TIFFTAG_YRESOLUTION, unit);
  page.tiled = TIFFIsTiled(tiff) != 0;
  if (page.width == 0 || page.length == 0) throw ETiffError("Invalid image size");

  // JPEG-coded YCbCr is decoded to RGB, as the RGBA interface does; other
  // YCbCr data counts by its samples, since its scanlines are subsampled.
  if (page.compression == COMPRESSION_JPEG && page.photometric == PHOTOMETRIC_YCBCR &&
      page.planar == PLANARCONFIG_CONTIG)
    TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  const tmsize_t scanlineSize = TIFFScanlineSize(tiff);
  if (scanlineSize <= 0) throw ETiffError("Invalid image size");
  // Samples per pixel and bits per sample come straight from the file: the
  // products are taken wide and capped, so no value can overflow them.
  const int64_t bytesPerPixel =
      page.photometric == PHOTOMETRIC_YCBCR && page.compression != COMPRESSION_JPEG
          ? int64_t{page.samplesPerPixel}
          : std::max<int64_t>(1, Round(static_cast<double>(scanlineSize) / page.width));
  page.bytesPerPixel = static_cast<int>(std::min<int64_t>(bytesPerPixel, 65536));
  const int bitCount =
      static_cast<int>(std::min<int64_t>(int64_t{page.bitsPerSample} * page.bytesPerPixel, 24));
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24)
    throw ETiffError("Unsupported bit count: " + std::to_string(bitCount));
  const TDecoding decoding = ChooseDecoding(tiff, page);

  // Depth, palette and inversion. What the RGBA interface gives already looks
  // as the file says, so it is never inverted, and palette pages read that way
  // become true colour.
  TPixelFormat format = pf24bit;
  std::vector<uint32_t> palette;
  const bool grey =
      page.photometric == PHOTOMETRIC_MINISWHITE || page.photometric == PHOTOMETRIC_MINISBLACK;
  const bool invert =
      grey && page.photometric == PHOTOMETRIC_MINISWHITE && decoding != TDecoding::Rgba;
  bool expandPaletteBits = false;
  if (grey && page.bitsPerSample == 1) {
    format = pf1bit;
    palette = {PaletteColor(0, 0, 0), PaletteColor(255, 255, 255)};
  } else if (grey && page.bitsPerSample == 4) {
    format = pf4bit;
    for (int i = 0; i < 16; ++i) palette.push_back(PaletteColor(i * 17, i * 17, i * 17));
  } else if (grey && page.bitsPerSample == 8) {
    format = pf8bit;
    for (int i = 0; i < 256; ++i) palette.push_back(PaletteColor(i, i, i));
  } else if (page.photometric == PHOTOMETRIC_PALETTE && decoding != TDecoding::Rgba) {
    palette = ReadColourMap(tiff, page.bitsPerSample);
    format = page.bitsPerSample < 5 ? pf4bit : pf8bit;
    // One-bit palette samples become the indices of a 4-bit page.
    expandPaletteBits = page.bitsPerSample == 1;
  }

  NewImage(static_cast<int>(page.width), static_cast<int>(page.length), format, xDpi, yDpi);
  for (size_t i = 0; i < palette.size() && i < static_cast<size_t>(FColorCount); ++i)
    FPalette[i] = palette[i];

  uint32_t rowsPerStrip = 16;
  if (TIFFGetField(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip) && rowsPerStrip == 0xFFFFFFFF)
    rowsPerStrip = page.length;

  const int bits = BitCount();
  // Stores count pixels of row y from x0 on, taken from at most sourceBytes
  // bytes: a directory whose fields disagree must not make us read or write
  // past either buffer.
  auto store = [&](uint32_t y, uint32_t x0, uint32_t count, const uint8_t* source,
                   size_t sourceBytes) {
    uint8_t* row = ScanLine(static_cast<int>(y));
    if (expandPaletteBits) {
      count = static_cast<uint32_t>(std::min<size_t>(count, sourceBytes * 8));
      for (uint32_t i = 0; i < count; ++i)
        FPixelWriter(row, static_cast<int>(x0 + i), (source[i >> 3] >> (7 - (i & 7))) & 1);
    } else if (bits == 24 && (page.bytesPerPixel == 3 || page.bytesPerPixel == 4)) {
      const auto step = static_cast<size_t>(page.bytesPerPixel);
      count = static_cast<uint32_t>(std::min<size_t>(count, sourceBytes / step));
      uint8_t* target = row + 3 * static_cast<size_t>(x0);
      if (step == 3)
        SwapRedBlue(source, target, count);
      else
        SwapRedBlueFromFour(source, target, count);
    } else {
      const size_t offset = static_cast<size_t>(x0) * static_cast<size_t>(bits) / 8;
      const size_t wanted = (static_cast<size_t>(count) * static_cast<size_t>(bits) + 7) / 8;
      std::memcpy(row + offset, source,
                  std::min({wanted, sourceBytes, static_cast<size_t>(FRowBytes) - offset}));
    }
  };

  switch (decoding) {
  case TDecoding::Strips:
    ReadStrips(tiff, page, scanlineSize, store);
    break;
  case TDecoding::JpegStrips:
    if (scanlineSize <= FStride) {
      // Decoded straight into the rows: a JPEG scanline is a grey row as it
      // is kept, or a colour row that only needs its red and blue exchanged.
      for (uint32_t y = 0; y < page.length; ++y) {
        uint8_t* row = ScanLine(static_cast<int>(y));
        if (TIFFReadScanline(tiff, row, y, 0) < 0) throw ETiffError("TIFFReadEncodedStrip");
        if (bits == 24) SwapRedBlue(row, row, page.width);
      }
    } else {
      ReadStrips(tiff, page, scanlineSize, store);
    }
    break;
  case TDecoding::Tiles:
    ReadTiles(tiff, page, store);
    break;
  case TDecoding::Scanlines: {
    std::vector<uint8_t> buffer(static_cast<size_t>(scanlineSize));
    for (uint32_t y = 0; y < page.length; ++y) {
      if (TIFFReadScanline(tiff, buffer.data(), y, 0) < 0) throw ETiffError("TIFFReadScanline");
      store(y, 0, page.width, buffer.data(), buffer.size());
    }
    break;
  }
  case TDecoding::Rgba: {
    CheckImageSize(page.width, page.length, 32);
    std::vector<uint32_t> raster(static_cast<size_t>(page.width) * page.length);
    if (!TIFFReadRGBAImage(tiff, page.width, page.length, raster.data(), 1))
      throw ETiffError("TIFFReadRGBAImage");
    // The first row of the raster is the bottom of the page.
    for (uint32_t y = 0; y < page.length; ++y) {
      const uint32_t* source =
          raster.data() + static_cast<size_t>(page.length - 1 - y) * page.width;
      uint8_t* row = ScanLine(static_cast<int>(y));
      for (uint32_t x = 0; x < page.width; ++x)
        FPixelWriter(row, static_cast<int>(x),
                     RGBValue(static_cast<uint8_t>(TIFFGetR(source[x])),
                              static_cast<uint8_t>(TIFFGetG(source[x])),
                              static_cast<uint8_t>(TIFFGetB(source[x]))));
    }
    break;
  }
  }
  if (handle->DataMissing()) throw ETiffError(DecodingFunction(decoding));
  if (invert) Invert();
  return static_cast<int>(rowsPerStrip);
}
