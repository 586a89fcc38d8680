#include <gtest/gtest.h>

#include "graphics/GraphicTestSupport.h"

#include "core/Rounding.h"
#include "graphics/ResizeTransform.h"

#include <cmath>
#include <cstdio>
#include <jpeglib.h>
#include <random>
#include <stdexcept>
#include <tiffio.h>

namespace test {

void RandomGraphic(TDibGraphic& graphic, int width, int height, TImageFormat format,
                   uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<TColour> palette = DefaultPalette(format);
  if (format == ifColor16 || format == ifColor256)
    for (TColour& colour : palette) colour = random() & 0xFFFFFF;
  graphic.NewImage(width, height, 300, 200, &palette, format);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = graphic.ScanLine(y);
    for (int i = 0; i < graphic.Stride(); ++i) row[i] = static_cast<uint8_t>(random());
  }
}

::testing::AssertionResult SameGraphic(const TDibGraphic& a, const TDibGraphic& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height())
    return ::testing::AssertionFailure()
           << "size " << a.Width() << "x" << a.Height() << " vs " << b.Width() << "x" << b.Height();
  if (a.ImageFormat() != b.ImageFormat()) return ::testing::AssertionFailure() << "format";
  if (a.Palette() != b.Palette()) return ::testing::AssertionFailure() << "palette";
  if (a.XPelsPerMetre() != b.XPelsPerMetre() || a.YPelsPerMetre() != b.YPelsPerMetre())
    return ::testing::AssertionFailure() << "resolution";
  for (int y = 0; y < a.Height(); ++y)
    for (int i = 0; i < a.Stride(); ++i)
      if (a.ScanLine(y)[i] != b.ScanLine(y)[i])
        return ::testing::AssertionFailure()
               << "row " << y << " byte " << i << ": " << int{a.ScanLine(y)[i]} << " vs "
               << int{b.ScanLine(y)[i]};
  return ::testing::AssertionSuccess();
}

std::vector<uint32_t> Looks(const TDibGraphic& graphic) {
  std::vector<uint32_t> looks;
  for (int y = 0; y < graphic.Height(); ++y)
    for (int x = 0; x < graphic.Width(); ++x) looks.push_back(graphic.Pixel(x, y) & 0xFFFFFF);
  return looks;
}

::testing::AssertionResult SameLook(const TDibGraphic& a, const TDibGraphic& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height())
    return ::testing::AssertionFailure() << "size";
  const std::vector<uint32_t> first = Looks(a), second = Looks(b);
  for (size_t i = 0; i < first.size(); ++i)
    if (first[i] != second[i])
      return ::testing::AssertionFailure() << "pixel " << i % static_cast<size_t>(a.Width()) << ","
                                           << i / static_cast<size_t>(a.Width()) << ": " << std::hex
                                           << first[i] << " vs " << second[i];
  return ::testing::AssertionSuccess();
}

namespace {
void Blank(const TDibGraphic& source, TDibGraphic& dest, int width, int height) {
  const std::vector<TColour> palette = source.Palette();
  dest.NewImage(width, height, 0, 0, &palette, source.ImageFormat());
  dest.SetPelsPerMetre(source.XPelsPerMetre(), source.YPelsPerMetre());
}
} // namespace

void ReferenceQuarterTurn(const TDibGraphic& source, TDibGraphic& dest, int degrees) {
  const int w = source.Width(), h = source.Height();
  if (degrees == 180)
    Blank(source, dest, w, h);
  else
    Blank(source, dest, h, w);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t value = source.PixelValue(x, y);
      if (degrees == 90) dest.SetPixelValue(h - 1 - y, x, value);
      if (degrees == 180) dest.SetPixelValue(w - 1 - x, h - 1 - y, value);
      if (degrees == 270) dest.SetPixelValue(y, w - 1 - x, value);
    }
  if (degrees != 180) dest.SetPelsPerMetre(source.YPelsPerMetre(), source.XPelsPerMetre());
}

void ReferenceMirror(const TDibGraphic& source, TDibGraphic& dest) {
  Blank(source, dest, source.Width(), source.Height());
  for (int y = 0; y < source.Height(); ++y)
    for (int x = 0; x < source.Width(); ++x)
      dest.SetPixelValue(source.Width() - 1 - x, y, source.PixelValue(x, y));
}

void ReferenceFlip(const TDibGraphic& source, TDibGraphic& dest) {
  Blank(source, dest, source.Width(), source.Height());
  for (int y = 0; y < source.Height(); ++y)
    for (int x = 0; x < source.Width(); ++x)
      dest.SetPixelValue(x, source.Height() - 1 - y, source.PixelValue(x, y));
}

void ReferenceCrop(const TDibGraphic& source, TDibGraphic& dest, int left, int top, int width,
                   int height) {
  Blank(source, dest, width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) dest.SetPixelValue(x, y, source.PixelValue(x + left, y + top));
}

void ReferenceAntiAlias(const TDibGraphic& source, TDibGraphic& dest, int width, int height) {
  dest.NewImage(width, height, 0, 0, nullptr, ifGray256);
  dest.SetPelsPerMetre(source.XPelsPerMetre(), source.YPelsPerMetre());
  auto map = [](int i, int from, int to) {
    return i == to ? from - 1 : static_cast<int>(static_cast<int64_t>(i) * from / to);
  };
  const bool complement = ((source.PaletteColour(0) >> 16) & 0xFF) == 255;
  for (int k = 0; k < height; ++k)
    for (int i = 0; i < width; ++i) {
      int n = 0, b = 0;
      for (int y = map(k, source.Height(), height); y <= map(k + 1, source.Height(), height); ++y)
        for (int x = map(i, source.Width(), width); x <= map(i + 1, source.Width(), width) - 1;
             ++x) {
          ++n;
          if (source.PixelValue(x, y) == 0) ++b;
        }
      int grey;
      if (b == 0)
        grey = 255;
      else if (b == n || n - b < n / 8)
        grey = 0;
      else if (b < n / 8)
        grey = 255;
      else
        grey = (n - b) * 255 / n;
      dest.SetPixelIndex(i, k, complement ? 255 - grey : grey);
    }
}

// The smooth resize pixel by pixel: each pixel of a row sums what its filter
// reaches across, into whole values; then each column likewise down.
void ReferenceSmoothResize(const TDibGraphic& source, TDibGraphic& dest, int width, int height,
                           int filter) {
  using TWeights = std::vector<std::vector<std::pair<int, double>>>;
  const auto weights = [filter](int to, int from) {
    const double scale = from == 1 ? double(to) / from : double(to - 1) / (from - 1);
    const double reach = ResizeFilterSupport(filter) / std::min(scale, 1.0);
    TWeights list(static_cast<size_t>(to));
    for (int i = 0; i < to; ++i)
      for (auto j = int64_t(std::floor(i / scale - reach)); j <= std::ceil(i / scale + reach);
           ++j) {
        const double w = scale < 1 ? ResizeFilter(filter, (i / scale - j) * scale) * scale
                                   : ResizeFilter(filter, i / scale - j);
        const int64_t n = j < 0 ? -j : j >= from ? 2 * int64_t{from} - 1 - j : j;
        if (w != 0 && n >= 0 && n < from) list[size_t(i)].push_back({int(n), w});
      }
    return list;
  };
  const auto whole = [](double v) { return v > 255 ? 255 : v < 0 ? 0 : int(Round(v)); };
  const TWeights across = weights(width, source.Width()), down = weights(height, source.Height());
  std::vector<TColour> work(size_t(width) * size_t(source.Height()));
  for (int y = 0; y < source.Height(); ++y)
    for (int i = 0; i < width; ++i) {
      double r = 0, g = 0, b = 0;
      for (auto [x, w] : across[size_t(i)]) {
        const TColour c = source.Pixel(x, y);
        r += RedOf(c) * w, g += GreenOf(c) * w, b += BlueOf(c) * w;
      }
      work[size_t(y) * size_t(width) + size_t(i)] = ColourOf(whole(r), whole(g), whole(b));
    }
  const std::vector<TColour> palette = source.Palette();
  dest.NewImage(width, height, source.XDpi(), source.YDpi(), &palette, source.ImageFormat());
  dest.SetPelsPerMetre(source.XPelsPerMetre(), source.YPelsPerMetre());
  for (int j = 0; j < height; ++j)
    for (int i = 0; i < width; ++i) {
      double r = 0, g = 0, b = 0;
      for (auto [y, w] : down[size_t(j)]) {
        const TColour c = work[size_t(y) * size_t(width) + size_t(i)];
        r += RedOf(c) * w, g += GreenOf(c) * w, b += BlueOf(c) * w;
      }
      dest.SetPixel(i, j, ColourOf(whole(r), whole(g), whole(b)));
    }
}

std::vector<uint32_t> TiffLooks(const std::string& path, int page, int* width, int* height) {
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (tiff == nullptr) throw std::runtime_error("libtiff cannot open " + path);
  if (!TIFFSetDirectory(tiff, static_cast<tdir_t>(page))) {
    TIFFClose(tiff);
    throw std::runtime_error("no such page");
  }
  uint32_t w = 0, h = 0;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &h);
  std::vector<uint32_t> raster(static_cast<size_t>(w) * h);
  const bool ok = TIFFReadRGBAImageOriented(tiff, w, h, raster.data(), ORIENTATION_TOPLEFT, 1);
  TIFFClose(tiff);
  if (!ok) throw std::runtime_error("libtiff cannot decode " + path);
  if (width) *width = static_cast<int>(w);
  if (height) *height = static_cast<int>(h);
  std::vector<uint32_t> looks;
  for (uint32_t abgr : raster)
    looks.push_back(TIFFGetR(abgr) << 16 | TIFFGetG(abgr) << 8 | TIFFGetB(abgr));
  return looks;
}

JpegPixels DecodeJpeg(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) throw std::runtime_error("cannot open " + path);
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  jpeg_start_decompress(&info);
  JpegPixels pixels;
  pixels.width = static_cast<int>(info.output_width);
  pixels.height = static_cast<int>(info.output_height);
  pixels.components = info.output_components;
  pixels.densityUnit = info.density_unit;
  pixels.xDensity = info.X_density;
  pixels.yDensity = info.Y_density;
  pixels.samples.resize(static_cast<size_t>(pixels.width) * pixels.height *
                        static_cast<size_t>(pixels.components));
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = pixels.samples.data() + static_cast<size_t>(info.output_scanline) *
                                               static_cast<size_t>(pixels.width) *
                                               static_cast<size_t>(pixels.components);
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  std::fclose(file);
  return pixels;
}

} // namespace test
