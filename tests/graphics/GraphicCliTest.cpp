#include "graphics/GraphicTestSupport.h"
#include "graphics/TiffGraphic.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

test::RunResult Cli(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), test::BinPath("tessivane-cli"));
  return test::Run(arguments);
}

TEST(GraphicCli, PageCommandsWriteByTheTargetsExtension) {
  test::TempDir dir;
  const std::string page = dir.File("page.tif");
  ASSERT_EQ(
      Cli({"make-page", page, "--width", "301", "--height", "203", "--dpi", "200", "--bits", "1"})
          .status,
      0);
  TTiffGraphic original;
  original.LoadFromFile(page);

  ASSERT_EQ(Cli({"rotate", page, dir.File("r.tif"), "90"}).status, 0);
  EXPECT_EQ(Cli({"info", dir.File("r.tif")}).out, "1 203 301 1 200 200\n");
  EXPECT_NE(test::Run({"tiffinfo", dir.File("r.tif")}).out.find("CCITT Group 4"),
            std::string::npos);
  TTiffGraphic turned, expected;
  turned.LoadFromFile(dir.File("r.tif"));
  test::ReferenceQuarterTurn(original, expected, 90);
  EXPECT_TRUE(test::SameLook(turned, expected));

  // A page keeps the compression it was read with.
  ASSERT_EQ(Cli({"convert", page, dir.File("lzw.tif"), "--compression", "8"}).status, 0);
  ASSERT_EQ(Cli({"rotate", dir.File("lzw.tif"), dir.File("r.tif"), "180"}).status, 0);
  EXPECT_NE(test::Run({"tiffinfo", dir.File("r.tif")}).out.find("LZW"), std::string::npos);

  ASSERT_EQ(Cli({"rotate", page, dir.File("r.bmp"), "-90"}).status, 0);
  EXPECT_EQ(Cli({"info", dir.File("r.bmp")}).out, "1 203 301 1 200 200\n");

  ASSERT_EQ(Cli({"mirror", page, dir.File("m.tif")}).status, 0);
  ASSERT_EQ(Cli({"mirror", dir.File("m.tif"), dir.File("m.tif")}).status, 0); // in place
  TTiffGraphic twice;
  twice.LoadFromFile(dir.File("m.tif"));
  EXPECT_TRUE(test::SameLook(twice, original));

  ASSERT_EQ(Cli({"flip", page, dir.File("f.tif")}).status, 0);
  TTiffGraphic flipped;
  flipped.LoadFromFile(dir.File("f.tif"));
  test::ReferenceFlip(original, expected);
  EXPECT_TRUE(test::SameLook(flipped, expected));

  ASSERT_EQ(Cli({"negative", page, dir.File("n.tif")}).status, 0);
  TTiffGraphic negative;
  negative.LoadFromFile(dir.File("n.tif"));
  EXPECT_EQ(negative.Pixel(0, 0), ~original.Pixel(0, 0) & 0xFFFFFF);

  ASSERT_EQ(Cli({"thumbnail", page, dir.File("t.bmp"), "120"}).status, 0);
  EXPECT_EQ(Cli({"info", dir.File("t.bmp")}).out, "1 120 81 8 200 200\n");
  ASSERT_EQ(Cli({"thumbnail", page, dir.File("t.jpg"), "60"}).status, 0);
  EXPECT_EQ(test::DecodeJpeg(dir.File("t.jpg")).width, 60);
}

TEST(GraphicCli, AppendBuildsAMultiPageTiff) {
  test::TempDir dir;
  ASSERT_EQ(Cli({"make-page", dir.File("a.tif"), "--width", "120", "--height", "90", "--dpi", "100",
                 "--bits", "1"})
                .status,
            0);
  ASSERT_EQ(Cli({"make-page", dir.File("b.bmp"), "--width", "80", "--height", "60", "--dpi", "150",
                 "--bits", "24"})
                .status,
            0);
  const std::string target = dir.File("book.tif");
  ASSERT_EQ(Cli({"append", dir.File("a.tif"), target}).status, 0); // created
  ASSERT_EQ(Cli({"append", dir.File("b.bmp"), target}).status, 0);
  ASSERT_EQ(Cli({"append", target, target, "--page", "2"}).status, 0);
  EXPECT_EQ(Cli({"info", target}).out,
            "1 120 90 1 100 100\n2 80 60 24 150 150\n3 80 60 24 150 150\n");
  const std::string tags = test::Run({"tiffinfo", target}).out;
  EXPECT_NE(tags.find("CCITT Group 4"), std::string::npos);
  EXPECT_NE(tags.find("JPEG"), std::string::npos);

  // Formats without multiple pages say so; nothing is written.
  test::RunResult result = Cli({"append", dir.File("a.tif"), dir.File("b.bmp")});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "The TBitmapGraphic format does not support multiple images\n");
}

TEST(GraphicCli, PdfFilesGoThroughTheRegistry) {
  test::TempDir dir;
  ASSERT_EQ(Cli({"make-page", dir.File("a.tif"), "--width", "1700", "--height", "2200", "--dpi",
                 "200", "--bits", "1"})
                .status,
            0);
  ASSERT_EQ(Cli({"make-page", dir.File("b.bmp"), "--width", "300", "--height", "150", "--dpi",
                 "150", "--bits", "24"})
                .status,
            0);
  const std::string book = dir.File("book.pdf");
  ASSERT_EQ(Cli({"append", dir.File("a.tif"), book}).status, 0); // created
  ASSERT_EQ(Cli({"append", dir.File("b.bmp"), book}).status, 0);
  ASSERT_EQ(Cli({"append", book, book, "--page", "1"}).status, 0);
  EXPECT_EQ(Cli({"info", book}).out,
            "1 1700 2200 1 200 200\n2 300 150 24 150 150\n3 1700 2200 1 200 200\n");
  EXPECT_EQ(test::Run({"qpdf", "--check", book}).status, 0);
  EXPECT_NE(test::Run({"pdfinfo", book}).out.find("Pages:           3"), std::string::npos);

  // Pages out of a PDF file into other formats, and a PDF file's page into a new PDF file.
  ASSERT_EQ(Cli({"convert", book, dir.File("two.tif"), "--page", "2"}).status, 0);
  EXPECT_EQ(Cli({"info", dir.File("two.tif")}).out, "1 300 150 24 150 150\n");
  ASSERT_EQ(Cli({"rotate", book, dir.File("turned.pdf"), "90", "--page", "3"}).status, 0);
  EXPECT_EQ(Cli({"info", dir.File("turned.pdf")}).out, "1 2200 1700 1 200 200\n");
  TTiffGraphic first, turned, expected;
  first.LoadFromFile(dir.File("a.tif"));
  test::ReferenceQuarterTurn(first, expected, 90);
  ASSERT_EQ(Cli({"convert", dir.File("turned.pdf"), dir.File("turned.tif")}).status, 0);
  turned.LoadFromFile(dir.File("turned.tif"));
  EXPECT_TRUE(test::SameLook(turned, expected));

  // A page that does not exist, and a PDF file that is not an image-only one.
  test::RunResult result = Cli({"convert", book, dir.File("x.tif"), "--page", "4"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "PDF page 4 does not exist\n");
  test::WriteFile(dir.File("bad.pdf"), {'%', 'P', 'D', 'F', '-', '1', '.', '4', '\n'});
  result = Cli({"info", dir.File("bad.pdf")});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "PDF file damaged: no document catalogue\n");
  const std::vector<uint8_t> before = test::ReadFile(dir.File("bad.pdf"));
  result = Cli({"append", dir.File("a.tif"), dir.File("bad.pdf")});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(test::ReadFile(dir.File("bad.pdf")), before);
}

TEST(GraphicCli, BadInputFailsCleanly) {
  test::TempDir dir;
  test::WriteFile(dir.File("bad.tif"), {'I', 'I', 42, 0, 99, 0, 0, 0});
  test::RunResult result = Cli({"rotate", dir.File("bad.tif"), dir.File("out.tif"), "90"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "TIFFOpen\n");
  EXPECT_FALSE(test::FileExists(dir.File("out.tif")));
  test::WriteFile(dir.File("bad.jpg"), {'n', 'o', 't'});
  result = Cli({"thumbnail", dir.File("bad.jpg"), dir.File("out.tif"), "50"});
  EXPECT_EQ(result.status, 1);
  EXPECT_FALSE(test::FileExists(dir.File("out.tif")));
  EXPECT_EQ(Cli({"rotate", dir.File("bad.tif"), dir.File("out.tif"), "ninety"}).status, 2);
  EXPECT_EQ(Cli({"thumbnail", dir.File("bad.tif"), dir.File("out.tif"), "0"}).status, 2);
  EXPECT_EQ(Cli({"mirror", dir.File("bad.tif")}).status, 2);
  // A 24-bit page cannot go into a 1-bit-only format, and no file is left behind.
  ASSERT_EQ(Cli({"make-page", dir.File("c.bmp"), "--width", "20", "--height", "20", "--bits", "24"})
                .status,
            0);
  result = Cli({"convert", dir.File("c.bmp"), dir.File("c.tif"), "--compression", "5"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "CCITT Group 4 compression not supported with True color images\n");
  EXPECT_FALSE(test::FileExists(dir.File("c.tif")));
}

} // namespace
