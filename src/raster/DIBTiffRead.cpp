#include "raster/DIB.h"

#include "core/Rounding.h"
#include "raster/TiffBinding.h"

#include <algorithm>
#include <memory>
#include <cstring>
#include <vector>

namespace {

bool IsFaxCompression(uint16_t compression) {
  return compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTFAX3 ||
         compression == COMPRESSION_CCITTFAX4 || compression == COMPRESSION_CCITTRLEW;
}

int ResolutionDpi(TIFF* tiff, ttag_t tag, uint16_t unit) {
  float value = 0;
  if (!TIFFGetField(tiff, tag, &value)) return 0;
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
  bool rgba = false;
  int bytesPerPixel = 1;
};

// JPEG pages in strips whose samples libtiff's codec gives as the colours
// they show are decoded strip by strip; this gives the same pixels as the
// RGBA interface without its per-pixel conversion.
bool CanDecodeJpegStrips(TIFF* tiff, const TTiffPage& page) {
  uint16_t orientation = ORIENTATION_TOPLEFT;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
  if (page.compression != COMPRESSION_JPEG || page.tiled || page.planar != PLANARCONFIG_CONTIG ||
      page.bitsPerSample != 8 || orientation != ORIENTATION_TOPLEFT)
    return false;
  switch (page.photometric) {
  case PHOTOMETRIC_MINISBLACK:
  case PHOTOMETRIC_MINISWHITE: return page.samplesPerPixel == 1;
  case PHOTOMETRIC_RGB: return page.samplesPerPixel == 3;
  case PHOTOMETRIC_YCBCR: return page.samplesPerPixel == 3;
  default: return false;
  }
}

// Decodes the page strip by strip and hands every row to store(row, bytes).
template <typename Store>
void ReadStrips(TIFF* tiff, uint32_t length, tmsize_t scanlineSize, Store&& store) {
  // The strip layout libtiff actually uses (one strip when the tag is missing).
  uint32_t rowsPerStrip = length;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  if (rowsPerStrip == 0 || rowsPerStrip > length) rowsPerStrip = length;
  const tmsize_t stripSize = TIFFStripSize(tiff);
  if (stripSize <= 0 || stripSize / scanlineSize < static_cast<tmsize_t>(rowsPerStrip))
    throw ETiffError("TIFFReadEncodedStrip");
  std::vector<uint8_t> buffer(static_cast<size_t>(stripSize));
  for (uint32_t start = 0; start < length; start += rowsPerStrip) {
    const uint32_t rows = std::min(rowsPerStrip, length - start);
    const uint32_t strip = TIFFComputeStrip(tiff, start, 0);
    if (TIFFReadEncodedStrip(tiff, strip, buffer.data(), scanlineSize * rows) < 0)
      throw ETiffError("TIFFReadEncodedStrip");
    for (uint32_t i = 0; i < rows; ++i)
      store(static_cast<int>(start + i), buffer.data() + static_cast<size_t>(i) * scanlineSize);
  }
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
  if (pageIndex < 0 || pageIndex > 0xFFFF || !TIFFSetDirectory(tiff, static_cast<tdir_t>(pageIndex)))
    throw ETiffError("TIFFSetDirectory: page " + std::to_string(pageIndex));

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
  page.rgba = page.compression == COMPRESSION_JPEG || page.tiled ||
              page.photometric == PHOTOMETRIC_SEPARATED || page.photometric == PHOTOMETRIC_YCBCR ||
              page.bitsPerSample > 8 || page.planar > PLANARCONFIG_CONTIG;

  if (page.width == 0 || page.length == 0) throw ETiffError("Invalid image size");
  // JPEG-coded YCbCr is decoded to RGB, as the RGBA interface does; other
  // YCbCr data counts by its samples, since its scanlines are subsampled.
  if (page.compression == COMPRESSION_JPEG && page.photometric == PHOTOMETRIC_YCBCR &&
      page.planar == PLANARCONFIG_CONTIG)
    TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  const tmsize_t scanlineSize = TIFFScanlineSize(tiff);
  if (scanlineSize <= 0) throw ETiffError("Invalid image size");
  page.bytesPerPixel = page.photometric == PHOTOMETRIC_YCBCR && page.compression != COMPRESSION_JPEG
                           ? page.samplesPerPixel
                           : std::max<int>(1, static_cast<int>(Round(static_cast<double>(scanlineSize) /
                                                                     page.width)));
  const int bitCount = std::min(page.bitsPerSample * page.bytesPerPixel, 24);
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24)
    throw ETiffError("Unsupported bit count: " + std::to_string(bitCount));
  if (page.fax && page.photometric == PHOTOMETRIC_MINISBLACK) page.photometric = PHOTOMETRIC_MINISWHITE;

  // Depth, palette and inversion. Pages read through the RGBA interface come
  // out as they look, so they are never inverted afterwards, and palette pages
  // read that way keep their colours as true colour.
  TPixelFormat format = pf24bit;
  std::vector<uint32_t> palette;
  bool invert = false;
  bool expandPaletteBits = false;
  const bool greyOrBilevel =
      page.photometric == PHOTOMETRIC_MINISWHITE || page.photometric == PHOTOMETRIC_MINISBLACK;
  if (greyOrBilevel && page.bitsPerSample == 1) {
    format = pf1bit;
    palette = {PaletteColor(0, 0, 0), PaletteColor(255, 255, 255)};
    invert = page.photometric == PHOTOMETRIC_MINISWHITE;
  } else if (greyOrBilevel && page.bitsPerSample == 4) {
    format = pf4bit;
    for (int i = 0; i < 16; ++i) palette.push_back(PaletteColor(i * 17, i * 17, i * 17));
    invert = page.photometric == PHOTOMETRIC_MINISWHITE;
  } else if (greyOrBilevel && page.bitsPerSample == 8) {
    format = pf8bit;
    for (int i = 0; i < 256; ++i) palette.push_back(PaletteColor(i, i, i));
    invert = page.photometric == PHOTOMETRIC_MINISWHITE;
  } else if (page.photometric == PHOTOMETRIC_PALETTE && !page.rgba) {
    uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (!TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue))
      throw ETiffError("TIFFGetField3: Tag = " + std::to_string(TIFFTAG_COLORMAP));
    const size_t entries = size_t{1} << page.bitsPerSample;
    const bool wide = std::any_of(red, red + entries, [](uint16_t v) { return v >= 256; }) ||
                      std::any_of(green, green + entries, [](uint16_t v) { return v >= 256; }) ||
                      std::any_of(blue, blue + entries, [](uint16_t v) { return v >= 256; });
    auto component = [wide](uint16_t v) {
      return static_cast<uint8_t>(wide ? v * 255 / 65535 : v & 0xFF);
    };
    for (size_t i = 0; i < entries; ++i)
      palette.push_back(PaletteColor(component(red[i]), component(green[i]), component(blue[i])));
    format = page.bitsPerSample < 5 ? pf4bit : pf8bit;
    expandPaletteBits = page.bitsPerSample == 1;
  }
  if (page.rgba) invert = false;

  NewImage(static_cast<int>(page.width), static_cast<int>(page.length), format, xDpi, yDpi);
  for (size_t i = 0; i < palette.size() && i < static_cast<size_t>(FColorCount); ++i)
    FPalette[i] = palette[i];

  uint32_t rowsPerStrip = 16;
  if (TIFFGetField(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip) && rowsPerStrip == 0xFFFFFFFF)
    rowsPerStrip = page.length;

  const int height = static_cast<int>(page.length);
  const int width = static_cast<int>(page.width);
  const auto rowCopy = static_cast<size_t>(std::min<tmsize_t>(scanlineSize, FRowBytes));
  auto storeRow = [&](int y, const uint8_t* source) {
    uint8_t* row = ScanLine(y);
    if (expandPaletteBits) {
      // One-bit palette samples become the nibbles of a 4-bit row.
      for (int x = 0; x < width; ++x) FPixelWriter(row, x, (source[x >> 3] >> (7 - (x & 7))) & 1);
    } else if (page.bytesPerPixel == 3 || page.bytesPerPixel == 4) {
      const uint8_t* p = source;
      uint8_t* q = row;
      for (int x = 0; x < width; ++x, p += page.bytesPerPixel, q += 3) {
        q[0] = p[2];
        q[1] = p[1];
        q[2] = p[0];
      }
    } else {
      std::memcpy(row, source, rowCopy);
    }
  };

  if (page.rgba && CanDecodeJpegStrips(tiff, page)) {
    ReadStrips(tiff, page.length, scanlineSize, storeRow);
    if (page.photometric == PHOTOMETRIC_MINISWHITE) Invert();
  } else if (page.rgba) {
    CheckImageSize(page.width, page.length, 32);
    std::vector<uint32_t> raster(static_cast<size_t>(page.width) * page.length);
    if (!TIFFReadRGBAImage(tiff, page.width, page.length, raster.data(), 1))
      throw ETiffError("TIFFReadRGBAImage");
    for (int y = 0; y < height; ++y) {
      const uint32_t* source = raster.data() + static_cast<size_t>(height - 1 - y) * page.width;
      uint8_t* row = ScanLine(y);
      for (int x = 0; x < width; ++x) {
        uint32_t abgr = source[x];
        FPixelWriter(row, x,
                     RGBValue(static_cast<uint8_t>(TIFFGetR(abgr)), static_cast<uint8_t>(TIFFGetG(abgr)),
                              static_cast<uint8_t>(TIFFGetB(abgr))));
      }
    }
  } else if (page.fax) {
    std::vector<uint8_t> buffer(static_cast<size_t>(scanlineSize));
    for (int y = 0; y < height; ++y) {
      if (TIFFReadScanline(tiff, buffer.data(), static_cast<uint32_t>(y), 0) < 0)
        throw ETiffError("TIFFReadScanline, row " + std::to_string(y));
      storeRow(y, buffer.data());
    }
  } else {
    ReadStrips(tiff, page.length, scanlineSize, storeRow);
  }
  if (invert) Invert();
  return static_cast<int>(rowsPerStrip);
}
