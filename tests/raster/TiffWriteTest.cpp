#include "core/FileStream.h"
#include "core/MemoryStream.h"
#include "raster/DIB.h"
#include "raster/PageGenerator.h"
#include "raster/RasterTestSupport.h"
#include "raster/TiffBinding.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <regex>
#include <tiffio.h>

namespace {

// How the file shows a page written as grey levels of its pixel values.
std::vector<uint32_t> ExpectedFileLook(const TDIB& page) {
  std::vector<uint32_t> looks = test::Looks(page);
  const int bits = page.BitCount();
  bool greyRamp = bits == 4 || bits == 8;
  for (int i = 0; greyRamp && i < page.ColorCount(); ++i) {
    uint32_t e = page.PaletteEntry(i);
    greyRamp = PaletteRed(e) == PaletteGreen(e) && PaletteGreen(e) == PaletteBlue(e);
  }
  if (!greyRamp) return looks;
  size_t k = 0;
  for (int y = 0; y < page.Height(); ++y)
    for (int x = 0; x < page.Width(); ++x, ++k) {
      uint32_t level = static_cast<uint32_t>(page.GetPixel(x, y) * 255 / ((1 << bits) - 1));
      looks[k] = level << 16 | level << 8 | level;
    }
  return looks;
}

struct TagValues {
  uint16_t compression = 0, photometric = 0, bits = 0, samples = 0, planar = 0;
  uint32_t rowsPerStrip = 0, t4 = 0;
  bool hasT4 = false, hasColorMap = false;
  std::string software, dateTime;
  float xres = 0, yres = 0;
  uint16_t unit = 0;
};

TagValues ReadTags(const std::string& path, int page = 0) {
  TIFFSetWarningHandler(nullptr);
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  EXPECT_NE(tiff, nullptr);
  TagValues v;
  if (!tiff) return v;
  TIFFSetDirectory(tiff, static_cast<tdir_t>(page));
  TIFFGetField(tiff, TIFFTAG_COMPRESSION, &v.compression);
  TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &v.photometric);
  TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &v.bits);
  TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &v.samples);
  TIFFGetField(tiff, TIFFTAG_PLANARCONFIG, &v.planar);
  TIFFGetField(tiff, TIFFTAG_ROWSPERSTRIP, &v.rowsPerStrip);
  v.hasT4 = TIFFGetField(tiff, TIFFTAG_GROUP3OPTIONS, &v.t4);
  uint16_t *r, *g, *b;
  v.hasColorMap = TIFFGetField(tiff, TIFFTAG_COLORMAP, &r, &g, &b);
  char* text = nullptr;
  if (TIFFGetField(tiff, TIFFTAG_SOFTWARE, &text)) v.software = text;
  if (TIFFGetField(tiff, TIFFTAG_DATETIME, &text)) v.dateTime = text;
  TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &v.xres);
  TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &v.yres);
  TIFFGetField(tiff, TIFFTAG_RESOLUTIONUNIT, &v.unit);
  TIFFClose(tiff);
  return v;
}

// tiffinfo -D decodes every strip; a clean file gives no error or warning.
void ExpectCleanTiff(const std::string& path) {
  test::RunResult info = test::Run({"tiffinfo", "-D", path});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(info.err, "") << path;
}

void MakePage(TDIB& page, TPixelFormat format, int seed, bool smooth) {
  if (!smooth) {
    test::RandomPage(page, 61, 37, format, static_cast<uint32_t>(seed));
    return;
  }
  // JPEG is judged on a page with few hard edges: a gentle gradient.
  page.NewImage(61, 37, format, 300, 200);
  for (int y = 0; y < 37; ++y)
    for (int x = 0; x < 61; ++x)
      page.SetPixel(x, y, format == pf24bit ? RGBValue(x * 4, y * 6, 128) : x * 2 + y);
}

bool Accepts(int code, int bits) {
  bool fax = code >= 3 && code <= 5;
  if (fax) return bits == 1;
  bool jpeg = code == 7 || (code == 0 && bits >= 8);
  return !jpeg || bits >= 8;
}

} // namespace

TEST(TiffWrite, EveryCompressionAndDepthRoundTripsThroughLibtiffsTools) {
  test::TempDir dir;
  for (int code = 0; code <= 8; ++code) {
    for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf24bit}) {
      TDIB page;
      const int bits = format == pf1bit ? 1 : format == pf4bit ? 4 : format == pf8bit ? 8 : 24;
      const bool jpeg = code == 7 || (code == 0 && bits >= 8);
      MakePage(page, format, code * 10 + bits, jpeg);
      const std::string path =
          dir.File("c" + std::to_string(code) + "b" + std::to_string(bits) + ".tif");
      SCOPED_TRACE(path);
      if (!Accepts(code, bits)) {
        EXPECT_THROW(page.SaveToTiffFile(path, false, 0, code), ETiffError);
        EXPECT_FALSE(test::FileExists(path)); // nothing half-written left behind
        continue;
      }
      page.SaveToTiffFile(path, false, 0, code);
      ExpectCleanTiff(path);
      const std::string plain = path + ".none.tif";
      ASSERT_EQ(test::Run({"tiffcp", "-c", "none", path, plain}).status, 0);
      test::TiffLook look = test::ReadTiffLook(plain);
      ASSERT_EQ(look.width, page.Width());
      ASSERT_EQ(look.height, page.Height());
      const std::vector<uint32_t> expected = ExpectedFileLook(page);
      if (jpeg)
        EXPECT_LT(test::MeanDifference(look.pixels, expected), 3.0);
      else
        EXPECT_EQ(test::CountDifferences(look.pixels, expected, 0), 0);

      // Our own reader gives the page back.
      TFileStream file(path, TFileStream::fmOpenRead);
      TDIB back;
      back.LoadTiffFromStream(file, 0);
      EXPECT_EQ(back.BitCount(), bits);
      EXPECT_EQ(back.XResolution(), page.XResolution());
      EXPECT_EQ(back.YResolution(), page.YResolution());
      if (jpeg)
        EXPECT_LT(test::MeanDifference(test::Looks(back), ExpectedFileLook(page)), 3.0);
      else
        EXPECT_EQ(test::CountDifferences(ExpectedFileLook(back), expected, 0), 0);
    }
  }
}

TEST(TiffWrite, TagsCompressionCodesAndPhotometric) {
  test::TempDir dir;
  TDIB page;
  test::RandomPage(page, 40, 30, pf1bit, 1);
  struct Case {
    int code;
    uint16_t compression;
    int t4;
    uint16_t photometric;
  };
  for (Case c : {Case{0, 4, -1, 0}, Case{1, 1, -1, 1}, Case{2, 32773, -1, 1}, Case{3, 3, 0, 0},
                 Case{4, 3, 1, 0}, Case{5, 4, -1, 0}, Case{6, 32946, -1, 1}, Case{8, 5, -1, 1},
                 Case{9, 1, -1, 1}, Case{-4, 1, -1, 1}}) {
    const std::string path = dir.File("t" + std::to_string(c.code) + ".tif");
    page.SaveToTiffFile(path, false, 0, c.code);
    TagValues v = ReadTags(path);
    EXPECT_EQ(v.compression, c.compression) << c.code;
    EXPECT_EQ(v.photometric, c.photometric) << c.code;
    EXPECT_EQ(v.hasT4, c.t4 >= 0) << c.code;
    if (c.t4 >= 0) {
      EXPECT_EQ(v.t4, static_cast<uint32_t>(c.t4));
    }
    EXPECT_EQ(v.rowsPerStrip, 16u);
    EXPECT_EQ(v.planar, 1);
    EXPECT_EQ(v.software, "Vellumtrace Image Library");
    EXPECT_TRUE(std::regex_match(v.dateTime, std::regex(R"(\d{4}:\d\d:\d\d \d\d:\d\d:\d\d)")))
        << v.dateTime;
    EXPECT_EQ(v.unit, 2);
    EXPECT_FLOAT_EQ(v.xres, 300);
    EXPECT_FLOAT_EQ(v.yres, 200);
  }
  // Code 0 chooses by depth; JPEG forces 8 rows per strip whatever was asked.
  TDIB grey;
  MakePage(grey, pf8bit, 1, true);
  grey.SaveToTiffFile(dir.File("g.tif"), false, 100, 0);
  TagValues v = ReadTags(dir.File("g.tif"));
  EXPECT_EQ(v.compression, 7);
  EXPECT_EQ(v.rowsPerStrip, 8u);
  EXPECT_EQ(v.photometric, 1);
  TDIB colour;
  MakePage(colour, pf24bit, 1, true);
  colour.SaveToTiffFile(dir.File("c.tif"), false, 3, 0);
  v = ReadTags(dir.File("c.tif"));
  EXPECT_EQ(v.compression, 7);
  EXPECT_EQ(v.photometric, 2);
  EXPECT_EQ(v.samples, 3);
  EXPECT_EQ(v.bits, 8);
  TDIB four;
  test::RandomPage(four, 9, 9, pf4bit, 2);
  four.SaveToTiffFile(dir.File("f.tif"), false, 5, 0);
  v = ReadTags(dir.File("f.tif"));
  EXPECT_EQ(v.compression, 32773);
  EXPECT_EQ(v.rowsPerStrip, 5u);
  EXPECT_EQ(v.bits, 4);
  EXPECT_FALSE(v.hasColorMap);
}

TEST(TiffWrite, PalettePagesKeepTheirColours) {
  test::TempDir dir;
  for (TPixelFormat format : {pf4bit, pf8bit}) {
    TDIB page;
    test::RandomPage(page, 31, 17, format, 9, true);
    const std::string path = dir.File(format == pf4bit ? "p4.tif" : "p8.tif");
    // Code 0 would choose JPEG for 8 bits, which cannot hold a palette.
    page.SaveToTiffFile(path, false, 0, 0);
    ExpectCleanTiff(path);
    TagValues v = ReadTags(path);
    EXPECT_EQ(v.photometric, 3);
    EXPECT_TRUE(v.hasColorMap);
    EXPECT_NE(v.compression, 7);
    EXPECT_EQ(test::CountDifferences(test::ReadTiffLook(path).pixels, test::Looks(page), 0), 0);
    TFileStream file(path, TFileStream::fmOpenRead);
    TDIB back;
    back.LoadTiffFromStream(file, 0);
    ASSERT_EQ(back.PixelFormat(), format);
    for (int i = 0; i < page.ColorCount(); ++i)
      EXPECT_EQ(back.PaletteEntry(i), page.PaletteEntry(i)) << i;
    for (int y = 0; y < page.Height(); ++y)
      for (int x = 0; x < page.Width(); ++x) ASSERT_EQ(back.GetPixel(x, y), page.GetPixel(x, y));
  }
  // The grey ramp of new pages stays grey levels, as before.
  TDIB grey;
  test::RandomPage(grey, 8, 8, pf8bit, 4);
  grey.SaveToTiffFile(dir.File("grey.tif"), false, 0, 8);
  EXPECT_EQ(ReadTags(dir.File("grey.tif")).photometric, 1);
  EXPECT_FALSE(ReadTags(dir.File("grey.tif")).hasColorMap);
}

TEST(TiffWrite, BilevelPagesWithWhiteAtIndexZeroKeepTheirLook) {
  test::TempDir dir;
  TDIB page;
  test::RandomPage(page, 45, 20, pf1bit, 6);
  page.InvertKeepingAppearance(); // white is now index 0
  for (int code : {0, 1, 3, 4, 5, 8}) {
    const std::string path = dir.File("w" + std::to_string(code) + ".tif");
    page.SaveToTiffFile(path, false, 0, code);
    EXPECT_EQ(test::CountDifferences(test::ReadTiffLook(path).pixels, test::Looks(page), 0), 0)
        << code;
  }
}

TEST(TiffWrite, AppendingBuildsAMultiPageFile) {
  test::TempDir dir;
  const std::string path = dir.File("batch.tif");
  std::vector<std::vector<uint32_t>> looks;
  for (int i = 0; i < 5; ++i) {
    TDIB page;
    TPixelFormat format = i % 2 ? pf1bit : pf4bit;
    test::RandomPage(page, 20 + i, 10 + i, format, static_cast<uint32_t>(i));
    page.SaveToTiffFile(path, true, 16, 0);
    looks.push_back(ExpectedFileLook(page));
  }
  TFileStream file(path, TFileStream::fmOpenRead);
  EXPECT_EQ(TDIB::TiffPageCount(file), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(test::ReadTiffLook(path, i).pixels, looks[static_cast<size_t>(i)]) << i;
    file.SetPosition(0);
    TDIB back;
    back.LoadFromStream(file, i);
    EXPECT_EQ(back.Width(), 20 + i);
  }
  ExpectCleanTiff(path);
  EXPECT_EQ(test::Run({"tiffinfo", path}).out.find("TIFF Directory at offset") != std::string::npos,
            true);
}

TEST(TiffWrite, AFailedAppendLeavesTheFileAsItWas) {
  test::TempDir dir;
  const std::string path = dir.File("batch.tif");
  TDIB page;
  test::RandomPage(page, 30, 30, pf1bit, 1);
  page.SaveToTiffFile(path, true, 16, 0);
  page.SaveToTiffFile(path, true, 16, 1);
  const std::vector<uint8_t> before = test::ReadFile(path);
  // JPEG cannot code a bilevel page: libtiff fails after the append began.
  EXPECT_THROW(page.SaveToTiffFile(path, true, 16, 7), ETiffError);
  EXPECT_EQ(test::ReadFile(path), before);
  TFileStream file(path, TFileStream::fmOpenRead);
  EXPECT_EQ(TDIB::TiffPageCount(file), 2);
  // And a failed rewrite keeps the old file.
  EXPECT_THROW(page.SaveToTiffFile(path, false, 16, 7), ETiffError);
  EXPECT_EQ(test::ReadFile(path), before);
}

TEST(TiffWrite, StreamsAreWrittenAndAppendedInMemory) {
  TMemoryStream stream;
  TDIB page;
  test::RandomPage(page, 16, 16, pf24bit, 1);
  page.SaveToTiffStream(stream, false, 4, 8);
  page.SaveToTiffStream(stream, true, 4, 2);
  stream.SetPosition(0);
  EXPECT_EQ(TDIB::TiffPageCount(stream), 2);
  TDIB back;
  stream.SetPosition(0);
  back.LoadFromStream(stream, 1);
  EXPECT_EQ(test::Looks(back), test::Looks(page));
}

TEST(TiffWrite, ADocumentPageSurvivesGroup4Exactly) {
  test::TempDir dir;
  TDIB page;
  TPageSpec layout;
  layout.Width = 1275;
  layout.Height = 1650;
  layout.Dpi = 150;
  layout.Specks = true;
  GeneratePage(page, layout);
  page.SaveToTiffFile(dir.File("g4.tif"), false, 0, 5);
  ExpectCleanTiff(dir.File("g4.tif"));
  EXPECT_EQ(test::ReadTiffLook(dir.File("g4.tif")).pixels, test::Looks(page));
}
