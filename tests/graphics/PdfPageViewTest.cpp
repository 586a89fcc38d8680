#include "core/FileStream.h"
#include "graphics/PdfTestFiles.h"
#include "raster/DIB.h"

#include <gtest/gtest.h>

#include <tiffio.h>

namespace {

std::string Text(const std::vector<uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

// Page 1 as poppler shows it at dpi, 1 bit deep (rendered through its cairo
// backend, which maps an image filling the page onto exactly its pixels).
void Rendered(const std::string& pdf, int dpi, TDibGraphic& out) {
  test::TempDir dir;
  test::Tool({"pdftocairo", "-png", "-mono", "-r", std::to_string(dpi), "-singlefile", pdf,
              dir.File("page")});
  TDIB page;
  TFileStream file(dir.File("page.png"), TFileStream::fmOpenRead);
  page.LoadPngFromStream(file);
  out.ImportPageHandle(page.Handle());
}

// Reads page 1 and checks it against poppler's rendering at the resolution
// the reader found, which must be the one given.
void ExpectShownAsPoppler(const std::string& pdf, int xDpi, int yDpi) {
  SCOPED_TRACE(pdf);
  TDibGraphic page;
  ASSERT_NO_THROW(test::LoadPdfPage(pdf, 1, page));
  EXPECT_EQ(page.XDpi(), xDpi);
  EXPECT_EQ(page.YDpi(), yDpi);
  TDibGraphic shown;
  Rendered(pdf, xDpi, shown);
  EXPECT_TRUE(test::SameLook(page, shown));
}

class PdfPageView : public ::testing::Test {
protected:
  void SetUp() override {
    test::RandomGraphic(FBilevel, 61, 23, ifBlackWhite, 11);
    FBilevel.SetResolution(72, 72);
    test::WriteTiffPage(File("bw.tif"), FBilevel, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE);
  }
  std::string File(const std::string& name) const { return FDir.File(name); }

  test::TempDir FDir;
  TDibGraphic FBilevel;
};

TEST_F(PdfPageView, PagesTurnedByTheirRotationReadTurned) {
  for (const char* rotation : {"0", "90", "180", "270"}) {
    const std::string pdf = File(std::string("turned") + rotation + ".pdf");
    test::Tool({"img2pdf", "--rotation", rotation, "-o", pdf, File("bw.tif")});
    ExpectShownAsPoppler(pdf, 72, 72);
  }
}

TEST_F(PdfPageView, ImagesDrawnTurnedOrMirroredReadAsDrawn) {
  // The eight ways to draw a 61 x 23 image over a whole page at 72 dpi, as
  // the transformation that takes the image's unit square onto the page; and
  // some of them on pages that are turned as well.
  const struct {
    const char* matrix;
    bool across; // rows run across the page (a page of 61 x 23 points)
  } drawings[] = {{"61 0 0 23 0 0", true},   {"-61 0 0 23 61 0", true},
                  {"61 0 0 -23 0 23", true}, {"-61 0 0 -23 61 23", true},
                  {"0 -61 23 0 0 61", false}, {"0 61 -23 0 23 0", false},
                  {"0 -61 -23 0 23 61", false}, {"0 61 23 0 0 0", false}};
  const std::string data =
      Text(test::RawStrip(File("bw.tif"))); // rows of 8 bytes, 0 = black as in DeviceGray
  int made = 0;
  for (const auto& drawing : drawings) {
    for (const char* rotate : {"", " /Rotate 90", " /Rotate 270"}) {
      const std::string box = drawing.across ? "[0 0 61 23]" : "[0 0 23 61]";
      const std::string pdf = File("drawn" + std::to_string(made++) + ".pdf");
      test::WriteText(pdf, test::ImagePdf("/Width 61 /Height 23 /ColorSpace /DeviceGray "
                                          "/BitsPerComponent 1",
                                          data, box + rotate,
                                          std::string("q ") + drawing.matrix + " cm /Im0 Do Q"));
      ExpectShownAsPoppler(pdf, 72, 72);
    }
  }
}

TEST_F(PdfPageView, OrientationsOfTiffPagesReadAsShown) {
  // tiff2pdf draws a TIFF page's orientation with the transformation.
  for (int orientation = 1; orientation <= 8; ++orientation) {
    const std::string tiff = File("o" + std::to_string(orientation) + ".tif");
    const std::string pdf = tiff + ".pdf";
    test::Tool({"cp", File("bw.tif"), tiff});
    test::Tool({"tiffset", "-s", "274", std::to_string(orientation), tiff});
    test::Tool({"tiff2pdf", "-o", pdf, tiff});
    ExpectShownAsPoppler(pdf, 72, 72);
  }
}

TEST_F(PdfPageView, ResolutionComesFromTheSizeTheImageIsDrawnAt) {
  // An image centred on an A4 page: its resolution is the one poppler lists,
  // the same across and down for square pixels.
  const std::string pdf = File("a4.pdf");
  test::Tool({"img2pdf", "--pagesize", "A4", "-o", pdf, File("bw.tif")});
  const auto list = test::ImageList(pdf);
  ASSERT_EQ(list.size(), 1u);
  TDibGraphic page;
  test::LoadPdfPage(pdf, 1, page);
  EXPECT_EQ(std::to_string(page.XDpi()), list[0][12]);
  EXPECT_EQ(std::to_string(page.YDpi()), list[0][13]);
  EXPECT_EQ(page.XDpi(), page.YDpi());
  EXPECT_TRUE(test::SameLook(page, FBilevel));
}

} // namespace
