#include "raster/RasterTestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <stdexcept>
#include <tiffio.h>

namespace test {

uint32_t Look(const TDIB& page, int x, int y) {
  int value = page.GetPixel(x, y);
  if (page.BitCount() == 24)
    return static_cast<uint32_t>((value & 0xFF) << 16 | (value & 0xFF00) | ((value >> 16) & 0xFF));
  return page.PaletteEntry(value) & 0xFFFFFF;
}

std::vector<uint32_t> Looks(const TDIB& page) {
  std::vector<uint32_t> all;
  for (int y = 0; y < page.Height(); ++y)
    for (int x = 0; x < page.Width(); ++x) all.push_back(Look(page, x, y));
  return all;
}

void RandomPage(TDIB& page, int width, int height, TPixelFormat format, uint32_t seed,
                bool randomPalette) {
  page.NewImage(width, height, format, 300, 200);
  std::mt19937 random(seed);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = page.ScanLine(y);
    for (int i = 0; i < page.RowBytes(); ++i) row[i] = static_cast<uint8_t>(random());
  }
  if (randomPalette)
    for (int i = 0; i < page.ColorCount(); ++i) page.SetPaletteEntry(i, random() & 0xFFFFFF);
}

namespace {
void Silence() {
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
}
} // namespace

TiffLook ReadTiffLook(const std::string& path, int page) {
  Silence();
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (!tiff) throw std::runtime_error("libtiff cannot open " + path);
  TiffLook look;
  if (!TIFFSetDirectory(tiff, static_cast<tdir_t>(page))) {
    TIFFClose(tiff);
    throw std::runtime_error("no such page");
  }
  uint32_t w = 0, h = 0;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &h);
  std::vector<uint32_t> raster(static_cast<size_t>(w) * h);
  bool ok = TIFFReadRGBAImageOriented(tiff, w, h, raster.data(), ORIENTATION_TOPLEFT, 1);
  TIFFClose(tiff);
  if (!ok) throw std::runtime_error("libtiff cannot decode " + path);
  look.width = static_cast<int>(w);
  look.height = static_cast<int>(h);
  for (uint32_t abgr : raster)
    look.pixels.push_back(TIFFGetR(abgr) << 16 | TIFFGetG(abgr) << 8 | TIFFGetB(abgr));
  return look;
}

void WriteTiff(const std::string& path, const TiffSpec& layout,
               const std::function<uint32_t(uint32_t, uint32_t, int)>& sample, bool append) {
  Silence();
  TIFF* tiff = TIFFOpen(path.c_str(), append ? "a" : "w");
  if (!tiff) throw std::runtime_error("cannot create " + path);
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, layout.width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, layout.height);
  if (layout.writeBitsPerSample) TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, layout.samplesPerPixel);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, layout.photometric);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, layout.compression);
  if (layout.t4Options >= 0)
    TIFFSetField(tiff, TIFFTAG_GROUP3OPTIONS, static_cast<uint32_t>(layout.t4Options));
  if (layout.samplesPerPixel > 1) TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, layout.planar);
  TIFFSetField(tiff, TIFFTAG_XRESOLUTION, layout.xResolution);
  TIFFSetField(tiff, TIFFTAG_YRESOLUTION, layout.yResolution);
  if (layout.resolutionUnit) TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, layout.resolutionUnit);
  if (!layout.colorMap.empty()) {
    size_t n = layout.colorMap.size() / 3;
    TIFFSetField(tiff, TIFFTAG_COLORMAP, layout.colorMap.data(), layout.colorMap.data() + n,
                 layout.colorMap.data() + 2 * n);
  }
  if (layout.compression == COMPRESSION_JPEG && layout.photometric == PHOTOMETRIC_YCBCR)
    TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  if (layout.tileSize) {
    TIFFSetField(tiff, TIFFTAG_TILEWIDTH, layout.tileSize);
    TIFFSetField(tiff, TIFFTAG_TILELENGTH, layout.tileSize);
  } else if (layout.writeRowsPerStrip) {
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP,
                 layout.rowsPerStrip ? layout.rowsPerStrip : TIFFDefaultStripSize(tiff, 0));
  }
  const int planes = layout.planar == PLANARCONFIG_SEPARATE ? layout.samplesPerPixel : 1;
  const int perPixel = layout.planar == PLANARCONFIG_SEPARATE ? 1 : layout.samplesPerPixel;
  const int bits = layout.bitsPerSample;
  auto pack = [&](uint32_t y, int plane, std::vector<uint8_t>& row) {
    std::fill(row.begin(), row.end(), 0);
    uint64_t bit = 0;
    for (uint32_t x = 0; x < layout.width; ++x)
      for (int s = 0; s < perPixel; ++s, bit += static_cast<uint64_t>(bits)) {
        uint32_t v = sample(x, y, plane + s);
        if (bits == 16) {
          uint16_t w16 = static_cast<uint16_t>(v);
          std::memcpy(&row[bit / 8], &w16, 2);
        } else {
          for (int b = 0; b < bits; ++b)
            if (v >> (bits - 1 - b) & 1)
              row[(bit + b) / 8] |= static_cast<uint8_t>(0x80 >> ((bit + b) % 8));
        }
      }
  };
  if (layout.tileSize) {
    const uint32_t t = layout.tileSize;
    std::vector<uint8_t> tile(static_cast<size_t>(TIFFTileSize(tiff)));
    const size_t tileRow = static_cast<size_t>(TIFFTileRowSize(tiff));
    for (int plane = 0; plane < planes; ++plane)
      for (uint32_t ty = 0; ty < layout.height; ty += t)
        for (uint32_t tx = 0; tx < layout.width; tx += t) {
          std::fill(tile.begin(), tile.end(), 0);
          std::vector<uint8_t> row((static_cast<size_t>(layout.width) * perPixel * bits + 7) / 8);
          for (uint32_t y = ty; y < ty + t && y < layout.height; ++y) {
            pack(y, plane, row);
            // Only whole bytes per tile row are supported by this helper.
            size_t from = static_cast<size_t>(tx) * perPixel * bits / 8;
            size_t n = std::min(tileRow, row.size() - std::min(row.size(), from));
            std::memcpy(&tile[(y - ty) * tileRow], row.data() + from, n);
          }
          TIFFWriteTile(tiff, tile.data(), tx, ty, 0, static_cast<uint16_t>(plane));
        }
  } else {
    std::vector<uint8_t> row(static_cast<size_t>(TIFFScanlineSize(tiff)));
    for (int plane = 0; plane < planes; ++plane)
      for (uint32_t y = 0; y < layout.height; ++y) {
        pack(y, plane, row);
        if (TIFFWriteScanline(tiff, row.data(), y, static_cast<uint16_t>(plane)) < 0) {
          TIFFClose(tiff);
          throw std::runtime_error("libtiff cannot write " + path);
        }
      }
  }
  TIFFWriteDirectory(tiff);
  TIFFClose(tiff);
}

int CountDifferences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b,
                     int tolerance) {
  if (a.size() != b.size()) return -1;
  int count = 0;
  for (size_t i = 0; i < a.size(); ++i)
    for (int shift = 0; shift < 24; shift += 8)
      if (std::abs(static_cast<int>((a[i] >> shift) & 0xFF) -
                   static_cast<int>((b[i] >> shift) & 0xFF)) > tolerance) {
        ++count;
        break;
      }
  return count;
}

double MeanDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  if (a.size() != b.size() || a.empty()) return 1e9;
  double total = 0;
  for (size_t i = 0; i < a.size(); ++i)
    for (int shift = 0; shift < 24; shift += 8)
      total += std::abs(static_cast<int>((a[i] >> shift) & 0xFF) -
                        static_cast<int>((b[i] >> shift) & 0xFF));
  return total / (3.0 * static_cast<double>(a.size()));
}

} // namespace test
