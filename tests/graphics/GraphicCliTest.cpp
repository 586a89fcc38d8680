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
  result = Cli({"append", dir.File("a.tif"), dir.File("book.pdf")});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "Graphic files of .pdf format are not supported or not registered\n");
  EXPECT_FALSE(test::FileExists(dir.File("book.pdf")));
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
