#include "graphics/GraphicDocument.h"
#include "core/FileStream.h"
#include "graphics/GraphicTestSupport.h"
#include "graphics/JpegGraphic.h"
#include "graphics/PdfGraphic.h"
#include "graphics/ReducedDecode.h"
#include "graphics/Thumbnail.h"
#include "graphics/TiffGraphic.h"
#include "support/LibjpegEncode.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>
#include <tiffio.h>

namespace {

// One bilevel page of a TIFF file written by libtiff itself.
struct TBilevelPage {
  int width = 0;
  int height = 0;
  uint16_t photometric = PHOTOMETRIC_MINISWHITE;
  uint16_t compression = COMPRESSION_CCITTFAX4;
  uint32_t rowsPerStrip = 0; // 0: the whole page
  bool tiled = false;
  float xRes = 300, yRes = 300;
  uint16_t unit = RESUNIT_INCH;
  uint32_t seed = 1;
};

// Random strokes and specks, bit 1 black where photometric says so.
void WriteBilevelTiff(const std::string& path, const std::vector<TBilevelPage>& pages) {
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  if (tiff == nullptr) throw std::runtime_error("TIFFOpen " + path);
  for (const TBilevelPage& page : pages) {
    std::mt19937 random(page.seed);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, page.width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, page.height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, page.photometric);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, page.compression);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, page.xRes);
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, page.yRes);
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, page.unit);
    TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    const int rowBytes = (page.width + 7) / 8;
    std::vector<std::vector<uint8_t>> rows(static_cast<size_t>(page.height),
                                           std::vector<uint8_t>(static_cast<size_t>(rowBytes)));
    // Dense ink in some bands, sparse in others: every grey rule is met.
    for (int y = 0; y < page.height; ++y) {
      const unsigned density = (y / 7) % 4 == 0 ? 2 : (y / 7) % 4 == 1 ? 5 : 60;
      for (int x = 0; x < page.width; ++x)
        if (random() % density == 0)
          rows[static_cast<size_t>(y)][static_cast<size_t>(x / 8)] |=
              static_cast<uint8_t>(0x80 >> (x % 8));
    }
    if (page.tiled) {
      TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16);
      TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16);
      const tmsize_t tileSize = TIFFTileSize(tiff);
      std::vector<uint8_t> tile(static_cast<size_t>(tileSize));
      for (int ty = 0; ty < page.height; ty += 16)
        for (int tx = 0; tx < page.width; tx += 16) {
          std::fill(tile.begin(), tile.end(), 0);
          for (int y = 0; y < 16 && ty + y < page.height; ++y)
            for (int x = 0; x < 16 && tx + x < page.width; ++x)
              if (rows[static_cast<size_t>(ty + y)][static_cast<size_t>((tx + x) / 8)] &
                  (0x80 >> ((tx + x) % 8)))
                tile[static_cast<size_t>(y * 2 + x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
          TIFFWriteTile(tiff, tile.data(), static_cast<uint32_t>(tx), static_cast<uint32_t>(ty), 0,
                        0);
        }
    } else {
      TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP,
                   page.rowsPerStrip != 0 ? page.rowsPerStrip : static_cast<uint32_t>(page.height));
      for (int y = 0; y < page.height; ++y)
        TIFFWriteScanline(tiff, rows[static_cast<size_t>(y)].data(), static_cast<uint32_t>(y), 0);
    }
    TIFFWriteDirectory(tiff);
  }
  TIFFClose(tiff);
}

std::unique_ptr<TDibGraphic> PlainTiffPage(const std::string& path, int page) {
  auto graphic = std::make_unique<TTiffGraphic>();
  graphic->SetImageToLoad(page);
  graphic->LoadFromFile(path);
  return graphic;
}

TEST(GraphicDocument, TiffPagesEqualTheFormatsOwnReadingOfEachPage) {
  test::TempDir dir;
  const std::string path = dir.File("three.tif");
  WriteBilevelTiff(path, {{.width = 203, .height = 150, .seed = 1},
                          {.width = 64,
                           .height = 97,
                           .photometric = PHOTOMETRIC_MINISBLACK,
                           .compression = COMPRESSION_PACKBITS,
                           .rowsPerStrip = 10,
                           .seed = 2},
                          {.width = 9, .height = 5, .compression = COMPRESSION_NONE, .seed = 3}});
  TGraphicDocument document(path);
  ASSERT_EQ(document.PageCount(), 3);
  // Out of order: each page is reached without the ones before it.
  for (int page : {3, 1, 2, 3}) {
    SCOPED_TRACE(page);
    const std::unique_ptr<TDibGraphic> loaded = document.LoadPage(page);
    EXPECT_STREQ(loaded->ClassName(), "TTiffGraphic");
    EXPECT_TRUE(test::SameGraphic(*loaded, *PlainTiffPage(path, page)));
  }
  EXPECT_EQ(test::ErrorOf([&] { document.LoadPage(4); }), "Page 4 does not exist");
  EXPECT_EQ(test::ErrorOf([&] { document.LoadPage(0); }), "Page 0 does not exist");
  EXPECT_TRUE(document.StillCurrent());
  document.Close();
  EXPECT_FALSE(document.IsOpen());
  EXPECT_EQ(document.PageCount(), 0);
  EXPECT_EQ(test::ErrorOf([&] { document.LoadPage(1); }), "The document is closed");
}

TEST(GraphicDocument, BilevelThumbnailsEqualTheReductionOfTheWholePage) {
  test::TempDir dir;
  const std::string path = dir.File("pages.tif");
  // Widths off byte boundaries, both photometrics, strips of several rows,
  // pages taller and wider than the cell, a page smaller than it, a tiled
  // page and a centimetre resolution that the plain path serves.
  const std::vector<TBilevelPage> pages = {
      {.width = 1001, .height = 1417, .seed = 11},
      {.width = 777, .height = 301, .photometric = PHOTOMETRIC_MINISBLACK, .seed = 12},
      {.width = 250,
       .height = 999,
       .compression = COMPRESSION_CCITTFAX3,
       .rowsPerStrip = 17,
       .seed = 13},
      {.width = 37, .height = 45, .compression = COMPRESSION_LZW, .seed = 14},
      {.width = 300, .height = 200, .tiled = true, .seed = 15},
      {.width = 413,
       .height = 585,
       .xRes = 118.11f,
       .yRes = 78.74f,
       .unit = RESUNIT_CENTIMETER,
       .seed = 16}};
  WriteBilevelTiff(path, pages);
  TGraphicDocument document(path);
  ASSERT_EQ(document.PageCount(), static_cast<int>(pages.size()));
  for (int page = 1; page <= document.PageCount(); ++page)
    for (const auto& [cellWidth, cellHeight] : {std::pair{120, 120}, std::pair{63, 200}}) {
      SCOPED_TRACE(testing::Message() << "page " << page << " cell " << cellWidth);
      const auto plain = RenderThumbnailPicture(*PlainTiffPage(path, page), cellWidth, cellHeight);
      EXPECT_TRUE(
          test::SameGraphic(*document.ThumbnailPicture(page, cellWidth, cellHeight), *plain));
    }
}

TEST(GraphicDocument, FastBilevelDecodingLeavesOtherPagesToThePlainPath) {
  test::TempDir dir;
  const std::string path = dir.File("tiled.tif");
  WriteBilevelTiff(path, {{.width = 40, .height = 40, .tiled = true}});
  TFileStream file(path, TFileStream::fmOpenRead);
  EXPECT_EQ(ReducedBilevelTiff(file, 20, 20), nullptr);
  TTiffGraphic grey;
  test::RandomGraphic(grey, 30, 20, ifGray256, 5);
  grey.SaveToFile(dir.File("grey.tif"));
  TFileStream greyFile(dir.File("grey.tif"), TFileStream::fmOpenRead);
  EXPECT_EQ(ReducedBilevelTiff(greyFile, 20, 20), nullptr);
  WriteBilevelTiff(dir.File("fax.tif"), {{.width = 40, .height = 40}});
  TFileStream faxFile(dir.File("fax.tif"), TFileStream::fmOpenRead);
  EXPECT_NE(ReducedBilevelTiff(faxFile, 20, 20), nullptr);
}

double MeanDifference(const TDibGraphic& a, const TDibGraphic& b) {
  const std::vector<uint32_t> x = test::Looks(a), y = test::Looks(b);
  double sum = 0;
  for (size_t i = 0; i < x.size(); ++i)
    for (int shift : {0, 8, 16})
      sum +=
          std::abs(static_cast<int>(x[i] >> shift & 0xFF) - static_cast<int>(y[i] >> shift & 0xFF));
  return sum / (3.0 * static_cast<double>(x.size()));
}

TEST(GraphicDocument, ScaledJpegThumbnailsMatchThePlainOnesInEverythingButRounding) {
  test::TempDir dir;
  struct {
    int width, height, components, densityUnit, density;
  } cases[] = {{1240, 1754, 3, 1, 150}, {1000, 333, 1, 2, 59}, {200, 150, 3, 0, 1}};
  for (const auto& item : cases) {
    SCOPED_TRACE(item.width);
    const std::string path = dir.File("page.jpg");
    // Soft shapes, as photographs and scanned paper have.
    test::WriteFile(path, test::LibjpegEncode(
                              item.width, item.height, item.components,
                              item.components == 1 ? JCS_GRAYSCALE : JCS_RGB, 90,
                              [](int x, int y, int c) {
                                return static_cast<int>(127 + 100 * std::sin(x / 40.0 + c) *
                                                                  std::cos(y / 55.0));
                              },
                              item.densityUnit, item.density));
    TJpegGraphic page;
    page.LoadFromFile(path);
    const auto plain = RenderThumbnailPicture(page, 120, 120);
    TGraphicDocument document(path);
    const auto fast = document.ThumbnailPicture(1, 120, 120);
    ASSERT_EQ(fast->Width(), plain->Width());
    ASSERT_EQ(fast->Height(), plain->Height());
    EXPECT_EQ(fast->ImageFormat(), plain->ImageFormat());
    EXPECT_EQ(fast->Palette(), plain->Palette());
    EXPECT_EQ(fast->XPelsPerMetre(), plain->XPelsPerMetre());
    EXPECT_EQ(fast->YPelsPerMetre(), plain->YPelsPerMetre());
    EXPECT_LT(MeanDifference(*fast, *plain), 2.0);
  }
}

// A JPEG-coded colour page written by libtiff itself: YCbCr, subsampled,
// in strips of 16 rows.
void WriteLibtiffJpeg(const std::string& path, int width, int height) {
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  if (tiff == nullptr) throw std::runtime_error("TIFFOpen " + path);
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
  TIFFSetField(tiff, TIFFTAG_YCBCRSUBSAMPLING, 2, 2);
  TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 16);
  TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 200.0f);
  TIFFSetField(tiff, TIFFTAG_YRESOLUTION, 200.0f);
  std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c)
        row[static_cast<size_t>(3 * x + c)] =
            static_cast<uint8_t>(127 + 100 * std::sin(x / 40.0 + c) * std::cos(y / 55.0));
    TIFFWriteScanline(tiff, row.data(), static_cast<uint32_t>(y), 0);
  }
  TIFFClose(tiff);
}

TEST(GraphicDocument, JpegCodedTiffThumbnailsComeFromScaledStrips) {
  test::TempDir dir;
  const std::string ours = dir.File("ours.tif");
  for (TImageFormat format : {ifTrueColor, ifGray256}) {
    TTiffGraphic page;
    page.NewImage(901, 1203, 300, 300, nullptr, format);
    for (int y = 0; y < page.Height(); ++y)
      for (int x = 0; x < page.Width(); ++x) {
        const int level = static_cast<int>(127 + 100 * std::sin(x / 40.0) * std::cos(y / 55.0));
        page.SetPixel(x, y, ColourOf(level, 255 - level, level / 2));
      }
    page.SetCompression(tcJpeg);
    if (format == ifTrueColor)
      page.SaveToFile(ours);
    else
      page.AppendToFile(ours);
  }
  WriteLibtiffJpeg(dir.File("libtiff.tif"), 777, 1001);
  for (const auto& [path, page] :
       {std::pair{ours, 1}, std::pair{ours, 2}, std::pair{dir.File("libtiff.tif"), 1}}) {
    SCOPED_TRACE(path + " " + std::to_string(page));
    const auto whole = PlainTiffPage(path, page);
    const auto plain = RenderThumbnailPicture(*whole, 120, 120);
    TGraphicDocument document(path);
    const auto fast = document.ThumbnailPicture(page, 120, 120);
    ASSERT_EQ(fast->Width(), plain->Width());
    ASSERT_EQ(fast->Height(), plain->Height());
    EXPECT_EQ(fast->ImageFormat(), plain->ImageFormat());
    EXPECT_EQ(fast->Palette(), plain->Palette());
    EXPECT_EQ(fast->XPelsPerMetre(), plain->XPelsPerMetre());
    // Strips coded apart keep their block edges in the whole page, which the
    // block means of the scaled decoding do not show: a little more apart.
    EXPECT_LT(MeanDifference(*fast, *plain), 4.0);
  }
  // Both files take the scaled path.
  for (const std::string& path : {ours, dir.File("libtiff.tif")}) {
    TFileStream file(path, TFileStream::fmOpenRead);
    EXPECT_NE(ReducedJpegTiff(file, 120, 120), nullptr) << path;
  }
}

TEST(GraphicDocument, PdfPagesComeFromOneParsedFile) {
  test::TempDir dir;
  const std::string path = dir.File("three.pdf");
  for (int i = 0; i < 3; ++i) {
    TPdfGraphic page;
    test::RandomGraphic(page, 40 + i * 8, 30, i == 1 ? ifTrueColor : ifBlackWhite, 20 + i);
    if (i == 0)
      page.SaveToFile(path);
    else
      page.AppendToFile(path);
  }
  TGraphicDocument document(path);
  ASSERT_EQ(document.PageCount(), 3);
  // The reader holds the file: what happens to it on disk afterwards does
  // not change the pages, only StillCurrent tells.
  const std::vector<uint8_t> bytes = test::ReadFile(path);
  test::WriteFile(path, {'x'});
  EXPECT_FALSE(document.StillCurrent());
  test::WriteFile(dir.File("copy.pdf"), bytes);
  for (int page : {2, 3, 1}) {
    SCOPED_TRACE(page);
    TPdfGraphic plain;
    plain.SetImageToLoad(page);
    plain.LoadFromFile(dir.File("copy.pdf"));
    EXPECT_TRUE(test::SameGraphic(*document.LoadPage(page), plain));
    EXPECT_TRUE(test::SameGraphic(*document.ThumbnailPicture(page, 50, 50),
                                  *RenderThumbnailPicture(plain, 50, 50)));
  }
}

TEST(GraphicDocument, RefusesWhatItCannotOpen) {
  test::TempDir dir;
  EXPECT_EQ(test::ErrorOf([&] { TGraphicDocument(dir.File("page.png")); }),
            "Graphic files of .png format are not supported or not registered");
  EXPECT_NE(test::ErrorOf([&] { TGraphicDocument(dir.File("missing.tif")); }), "(no error)");
  test::WriteFile(dir.File("bad.tif"), {'I', 'I', '*', 0, 1, 2});
  EXPECT_EQ(test::ErrorOf([&] { TGraphicDocument(dir.File("bad.tif")); }), "ETiffError TIFFOpen");
}

TEST(GraphicDocument, NoticesAFileReplacedUnderItsName) {
  test::TempDir dir;
  const std::string path = dir.File("one.tif");
  WriteBilevelTiff(path, {{.width = 16, .height = 16}});
  TGraphicDocument document(path);
  EXPECT_TRUE(document.StillCurrent());
  WriteBilevelTiff(dir.File("other.tif"), {{.width = 16, .height = 16, .seed = 9}});
  ASSERT_EQ(std::rename(dir.File("other.tif").c_str(), path.c_str()), 0);
  EXPECT_FALSE(document.StillCurrent());
  // The open file is still the old one.
  EXPECT_TRUE(test::SameGraphic(*document.LoadPage(1), *document.LoadPage(1)));
}

} // namespace
