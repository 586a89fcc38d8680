#include "PdfTestSupport.h"

#include "pdf/BatchPdf.h"
#include "raster/PageGenerator.h"
#include "support/TestSupport.h"

#include <array>
#include <filesystem>
#include <tuple>
#include <gtest/gtest.h>

namespace {

void MakePage(TDIB& page, int bits, int width, int height, int dpi, uint64_t seed) {
  TPageSpec layout;
  layout.Width = width;
  layout.Height = height;
  layout.Dpi = dpi;
  layout.Bits = bits;
  layout.Seed = seed;
  GeneratePage(page, layout);
}

// A TIFF file of pages given as (bits, width, height, dpi).
void MakeTiff(const std::string& path, std::initializer_list<std::array<int, 4>> pages) {
  uint64_t seed = 1;
  bool append = false;
  for (const auto& p : pages) {
    TDIB page;
    MakePage(page, p[0], p[1], p[2], p[3], seed++);
    page.SaveToTiffFile(path, append, 0, 0);
    append = true;
  }
}

void ExpectValid(const std::string& path) {
  const pdftest::TCheck check = pdftest::QpdfCheck(path);
  EXPECT_EQ(check.status, 0) << check.output;
  EXPECT_EQ(check.output.find("WARNING"), std::string::npos) << check.output;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

} // namespace

TEST(BatchPdf, WritesEveryPageOfEveryFileInOrder) {
  test::TempDir dir;
  MakeTiff(dir.File("a.tif"), {{1, 1700, 2200, 200}, {8, 800, 600, 100}, {24, 300, 450, 150}});
  MakeTiff(dir.File("b.tif"), {{1, 850, 1100, 100}});
  std::vector<size_t> seen;
  const int written = SaveBatchAsPdf(dir.File("out.pdf"), {dir.File("a.tif"), dir.File("b.tif")},
                                     [&](size_t i) { seen.push_back(i); });
  EXPECT_EQ(written, 4);
  EXPECT_EQ(seen, (std::vector<size_t>{0, 1}));
  ExpectValid(dir.File("out.pdf"));
  const pdftest::TPdfInfo info = pdftest::PdfInfo(dir.File("out.pdf"));
  EXPECT_EQ(info.pages, 4);
  EXPECT_EQ(info.sizes,
            (std::vector<std::string>{"612 x 792", "576 x 432", "144 x 216", "612 x 792"}));
  const std::string text = pdftest::ReadText(dir.File("out.pdf"));
  EXPECT_TRUE(Contains(text, "/MediaBox [0 0 612 792]\r\n"));
  EXPECT_TRUE(Contains(text, "q\r\nq\r\n1 0 0 1 0 0 cm\r\n612 0 0 792 0 0 cm\r\n/Im0 Do\r\nQ\r\nQ\r\n"));
  EXPECT_TRUE(Contains(text, "/DecodeParms [<</K -1 /Columns 1700 /Rows 2200>>]"));
  EXPECT_TRUE(Contains(text, "/DecodeParms [<</K -1 /Columns 850 /Rows 1100>>]"));
  EXPECT_TRUE(Contains(text, "/ColorSpace /DeviceRGB\r\n/BitsPerComponent 8\r\n/Width 800\r\n"));
  EXPECT_TRUE(Contains(text, "/ColorSpace /DeviceRGB\r\n/BitsPerComponent 8\r\n/Width 300\r\n"));
  // The 1-bit pages come back exactly at their own resolution.
  TDIB first, last;
  MakePage(first, 1, 1700, 2200, 200, 1);
  MakePage(last, 1, 850, 1100, 100, 1);
  for (auto [page, number, dpi] : {std::tuple{&first, 1, 200}, std::tuple{&last, 4, 100}}) {
    TDIB render;
    pdftest::Render(dir.File("out.pdf"), number, dpi, "mono", render);
    EXPECT_EQ(pdftest::DifferentPixels(*page, render), 0) << "page " << number;
  }
}

TEST(BatchPdf, SizesPagesByEachResolutionSeparately) {
  test::TempDir dir;
  TDIB page;
  page.NewImage(1700, 2200, pf1bit, 200, 100);
  page.FillBits(0xFF);
  page.SaveToTiffFile(dir.File("mixed.tif"), false, 0, 0);
  // 2480 x 3508 at 300 dpi: 595.2 x 841.92 points.
  page.NewImage(2480, 3508, pf1bit, 300, 300);
  page.FillBits(0xFF);
  page.SaveToTiffFile(dir.File("a4.tif"), false, 0, 0);
  EXPECT_EQ(SaveBatchAsPdf(dir.File("out.pdf"), {dir.File("mixed.tif"), dir.File("a4.tif")}), 2);
  EXPECT_EQ(pdftest::PdfInfo(dir.File("out.pdf")).sizes,
            (std::vector<std::string>{"612 x 1584", "595 x 842"}));
  ExpectValid(dir.File("out.pdf"));
}

TEST(BatchPdf, StopsAtTheFirstFailureAndKeepsThePagesBefore) {
  test::TempDir dir;
  MakeTiff(dir.File("1.tif"), {{1, 200, 300, 100}, {1, 210, 300, 100}});
  MakeTiff(dir.File("2.tif"), {{8, 220, 300, 100}});
  TDIB page;
  MakePage(page, 24, 100, 100, 100, 1);
  page.SaveToBmpFile(dir.File("3.bmp"));
  MakeTiff(dir.File("4.tif"), {{1, 230, 300, 100}});
  const std::vector<std::string> files = {dir.File("1.tif"), dir.File("2.tif"), dir.File("3.bmp"),
                                          dir.File("4.tif")};
  try {
    SaveBatchAsPdf(dir.File("out.pdf"), files);
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "TIFFOpen");
  }
  ExpectValid(dir.File("out.pdf"));
  EXPECT_EQ(pdftest::PdfInfo(dir.File("out.pdf")).sizes,
            (std::vector<std::string>{"144 x 216", "151 x 216", "158 x 216"}));
  // A page without a resolution is saved at the fixed default one.
  page.NewImage(100, 100, pf1bit, 0, 0);
  page.SaveToTiffFile(dir.File("nodpi.tif"), false, 0, 0);
  EXPECT_EQ(SaveBatchAsPdf(dir.File("out2.pdf"), {dir.File("1.tif"), dir.File("nodpi.tif")}), 3);
  ExpectValid(dir.File("out2.pdf"));
  EXPECT_EQ(pdftest::PdfInfo(dir.File("out2.pdf")).sizes,
            (std::vector<std::string>{"144 x 216", "151 x 216", "75 x 75"}));
}

TEST(BatchPdf, CommandLineTopdf) {
  test::TempDir dir;
  MakeTiff(dir.File("a.tif"), {{1, 170, 220, 20}, {24, 170, 220, 20}});
  MakeTiff(dir.File("b.tif"), {{8, 170, 220, 20}});
  const std::string cli = test::BinPath("tessivane-cli");
  test::RunResult run = test::Run({cli, "topdf", dir.File("out.pdf"), dir.File("a.tif"), dir.File("b.tif")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Created file " + dir.File("out.pdf") + " with 3 images.\n");
  EXPECT_EQ(pdftest::PdfInfo(dir.File("out.pdf")).pages, 3);
  ExpectValid(dir.File("out.pdf"));

  // A failing input: the error on stderr, exit status 1, the pages before kept.
  run = test::Run({cli, "topdf", dir.File("part.pdf"), dir.File("a.tif"), dir.File("none.tif")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.empty());
  EXPECT_TRUE(Contains(run.err, dir.File("none.tif"))) << run.err;
  EXPECT_EQ(pdftest::PdfInfo(dir.File("part.pdf")).pages, 2);
  ExpectValid(dir.File("part.pdf"));

  // An output that cannot be created leaves nothing behind.
  run = test::Run({cli, "topdf", dir.File("no/such/folder.pdf"), dir.File("a.tif")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "Cannot create file")) << run.err;

  run = test::Run({cli, "topdf", dir.File("only.pdf")});
  EXPECT_EQ(run.status, 2);
  EXPECT_FALSE(test::FileExists(dir.File("only.pdf")));
}
