#include "core/MemoryStream.h"
#include "raster/DIB.h"
#include "raster/RasterTestSupport.h"
#include "support/LibjpegEncode.h"

#include <csetjmp>
#include <cstdio>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>

namespace {

struct PngImage {
  int width = 21, height = 9, bitDepth = 8, colourType = PNG_COLOR_TYPE_RGB;
  bool interlaced = false;
  int ppm = 0; // pixels per metre, 0: no pHYs chunk
  std::vector<png_color> palette;
  std::function<int(int x, int y, int channel)> sample;
};

void AppendTo(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

std::vector<uint8_t> EncodePng(const PngImage& image) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, AppendTo, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
               static_cast<png_uint_32>(image.height), image.bitDepth, image.colourType,
               image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!image.palette.empty())
    png_set_PLTE(png, info, image.palette.data(), static_cast<int>(image.palette.size()));
  if (image.ppm)
    png_set_pHYs(png, info, static_cast<png_uint_32>(image.ppm),
                 static_cast<png_uint_32>(image.ppm), PNG_RESOLUTION_METER);
  png_write_info(png, info);
  const int channels = png_get_channels(png, info);
  std::vector<std::vector<uint8_t>> rows(static_cast<size_t>(image.height));
  std::vector<png_bytep> pointers;
  for (int y = 0; y < image.height; ++y) {
    auto& row = rows[static_cast<size_t>(y)];
    row.assign(png_get_rowbytes(png, info), 0);
    int bit = 0;
    for (int x = 0; x < image.width; ++x)
      for (int c = 0; c < channels; ++c, bit += image.bitDepth) {
        int v = image.sample(x, y, c);
        if (image.bitDepth == 16) {
          row[static_cast<size_t>(bit / 8)] = static_cast<uint8_t>(v >> 8);
          row[static_cast<size_t>(bit / 8 + 1)] = static_cast<uint8_t>(v);
        } else {
          row[static_cast<size_t>(bit / 8)] |=
              static_cast<uint8_t>(v << (8 - image.bitDepth - bit % 8));
        }
      }
    pointers.push_back(row.data());
  }
  png_write_image(png, pointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<uint8_t> EncodeJpeg(int width, int height, int components, J_COLOR_SPACE space,
                                int densityUnit, int density,
                                const std::function<int(int, int, int)>& sample) {
  return test::LibjpegEncode(width, height, components, space, 95, sample, densityUnit, density);
}

TDIB Decode(const std::vector<uint8_t>& bytes) {
  TMemoryStream stream(bytes.data(), bytes.size());
  TDIB page;
  page.LoadFromStream(stream, 0);
  return page;
}

std::string DecodeError(const std::vector<uint8_t>& bytes) {
  try {
    Decode(bytes);
  } catch (const Exception& error) {
    return error.Message();
  }
  return "no error";
}

int Gradient(int x, int y, int c) {
  return (x * 11 + y * 5 + c * 60) % 256;
}
// Colour JPEG halves the chroma resolution: judge it on a gentle slope.
int Slope(int x, int y, int c) {
  return x * 3 + y * 2 + c * 60;
}

} // namespace

TEST(Png, GreyPaletteAndColourFilesAtEveryDepth) {
  for (int bits : {1, 4, 8}) {
    PngImage grey;
    grey.colourType = PNG_COLOR_TYPE_GRAY;
    grey.bitDepth = bits;
    const int max = (1 << bits) - 1;
    grey.sample = [max](int x, int y, int) { return (x + y) % (max + 1); };
    TDIB page = Decode(EncodePng(grey));
    EXPECT_EQ(page.BitCount(), bits);
    for (int x = 0; x < 5; ++x) {
      uint32_t level = static_cast<uint32_t>(x % (max + 1) * 255 / max);
      EXPECT_EQ(test::Look(page, x, 0), level << 16 | level << 8 | level) << bits;
    }

    PngImage indexed;
    indexed.colourType = PNG_COLOR_TYPE_PALETTE;
    indexed.bitDepth = bits;
    for (int i = 0; i <= max; ++i)
      indexed.palette.push_back({static_cast<png_byte>(i * 13), static_cast<png_byte>(255 - i), 7});
    indexed.sample = [max](int x, int, int) { return x % (max + 1); };
    page = Decode(EncodePng(indexed));
    EXPECT_EQ(page.BitCount(), bits);
    EXPECT_EQ(test::Look(page, 1, 3), static_cast<uint32_t>(13 << 16 | 254 << 8 | 7));
  }
  for (bool interlaced : {false, true}) {
    PngImage colour;
    colour.interlaced = interlaced;
    colour.ppm = 11811;
    colour.sample = Gradient;
    TDIB page = Decode(EncodePng(colour));
    EXPECT_EQ(page.BitCount(), 24);
    EXPECT_EQ(page.XResolution(), 300);
    for (int y = 0; y < colour.height; ++y)
      for (int x = 0; x < colour.width; ++x)
        ASSERT_EQ(page.GetPixel(x, y),
                  RGBValue(Gradient(x, y, 0), Gradient(x, y, 1), Gradient(x, y, 2)));
  }
}

TEST(Png, DepthsThePageCannotHold) {
  PngImage rgba;
  rgba.colourType = PNG_COLOR_TYPE_RGBA;
  rgba.sample = Gradient;
  EXPECT_EQ(DecodeError(EncodePng(rgba)), "Bit depht not allowed");
  PngImage wide;
  wide.colourType = PNG_COLOR_TYPE_GRAY;
  wide.bitDepth = 16;
  wide.sample = Gradient;
  EXPECT_EQ(DecodeError(EncodePng(wide)), "Bit depht not allowed");
  PngImage two;
  two.colourType = PNG_COLOR_TYPE_GRAY;
  two.bitDepth = 2;
  two.sample = [](int x, int, int) { return x % 4; };
  EXPECT_EQ(DecodeError(EncodePng(two)), "Bit depht not allowed");
}

TEST(Jpeg, GreyAndColourFilesWithTheirResolution) {
  auto grey = EncodeJpeg(40, 30, 1, JCS_GRAYSCALE, 1, 300, Gradient);
  TDIB page = Decode(grey);
  EXPECT_EQ(page.BitCount(), 8);
  EXPECT_EQ(page.XResolution(), 300);
  EXPECT_EQ(page.PaletteEntry(200), 0xC8C8C8u);
  EXPECT_NEAR(page.GetPixel(10, 10), Gradient(10, 10, 0), 6);

  auto colour = EncodeJpeg(40, 30, 3, JCS_RGB, 2, 118, Slope);
  page = Decode(colour);
  EXPECT_EQ(page.BitCount(), 24);
  EXPECT_EQ(page.XResolution(), 300); // 118 per centimetre
  int value = page.GetPixel(20, 5);
  EXPECT_NEAR(value & 0xFF, Slope(20, 5, 0), 6);
  EXPECT_NEAR((value >> 8) & 0xFF, Slope(20, 5, 1), 6);
  EXPECT_NEAR((value >> 16) & 0xFF, Slope(20, 5, 2), 6);

  // A file without a density has the fixed default resolution.
  page = Decode(EncodeJpeg(8, 8, 1, JCS_GRAYSCALE, 0, 1, Gradient));
  EXPECT_EQ(page.XResolution(), kDefaultPageDpi);
  EXPECT_EQ(page.YResolution(), kDefaultPageDpi);
}

TEST(Jpeg, CmykFilesBecomeTrueColourAsViewersShowThem) {
  // Flat inks: cyan 40, magenta 100, yellow 200, black 30.
  auto inks = [](int, int, int c) { return c == 0 ? 40 : c == 1 ? 100 : c == 2 ? 200 : 30; };
  std::vector<uint8_t> marked = EncodeJpeg(16, 16, 4, JCS_CMYK, 1, 72, inks);
  // libjpeg marks CMYK data with Adobe's segment, whose files hold inverted
  // inks: what is left of white is the stored value.
  TDIB page = Decode(marked);
  ASSERT_EQ(page.BitCount(), 24);
  int value = page.GetPixel(5, 5);
  EXPECT_NEAR(value & 0xFF, 40 * 30 / 255, 3);
  EXPECT_NEAR((value >> 8) & 0xFF, 100 * 30 / 255, 3);
  EXPECT_NEAR((value >> 16) & 0xFF, 200 * 30 / 255, 3);
  // Without the segment the values are inks.
  std::vector<uint8_t> plain = marked;
  for (size_t at = 2; at + 4 < plain.size() && plain[at] == 0xFF;) {
    const size_t length = 2 + (size_t{plain[at + 2]} << 8 | plain[at + 3]);
    if (plain[at + 1] == 0xEE) {
      plain.erase(plain.begin() + static_cast<long>(at),
                  plain.begin() + static_cast<long>(at + length));
      break;
    }
    at += length;
  }
  ASSERT_LT(plain.size(), marked.size());
  page = Decode(plain);
  value = page.GetPixel(5, 5);
  EXPECT_NEAR(value & 0xFF, 215 * 225 / 255, 3);
  EXPECT_NEAR((value >> 8) & 0xFF, 155 * 225 / 255, 3);
  EXPECT_NEAR((value >> 16) & 0xFF, 55 * 225 / 255, 3);
}
