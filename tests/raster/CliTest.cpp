#include "raster/RasterTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

test::RunResult Cli(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), test::BinPath("tessivane-cli"));
  return test::Run(arguments);
}

} // namespace

TEST(Cli, MakePageInfoAndConvert) {
  test::TempDir dir;
  const std::string page = dir.File("page.tif");
  ASSERT_EQ(Cli({"make-page", page, "--width", "2480", "--height", "3508", "--dpi", "300", "--bits",
                 "1", "--skew", "1.5", "--seed", "4"})
                .status,
            0);
  test::RunResult info = Cli({"info", page});
  EXPECT_EQ(info.status, 0);
  EXPECT_EQ(info.out, "1 2480 3508 1 300 300\n");

  // A three-page file made by libtiff's tools.
  ASSERT_EQ(Cli({"make-page", dir.File("g.tif"), "--width", "300", "--height", "200", "--dpi",
                 "150", "--bits", "8"})
                .status,
            0);
  ASSERT_EQ(test::Run({"tiffcp", "-c", "lzw", page, dir.File("g.tif"), page, dir.File("three.tif")})
                .status,
            0);
  info = Cli({"info", dir.File("three.tif")});
  EXPECT_EQ(info.out, "1 2480 3508 1 300 300\n2 300 200 8 150 150\n3 2480 3508 1 300 300\n");

  ASSERT_EQ(Cli({"convert", dir.File("three.tif"), dir.File("two.bmp"), "--page", "2"}).status, 0);
  EXPECT_EQ(Cli({"info", dir.File("two.bmp")}).out, "1 300 200 8 150 150\n");
  ASSERT_EQ(Cli({"convert", dir.File("two.bmp"), dir.File("out.tif"), "--compression", "8",
                 "--rows-per-strip", "5"})
                .status,
            0);
  ASSERT_EQ(Cli({"convert", page, dir.File("out.tif"), "--append"}).status, 0);
  EXPECT_EQ(Cli({"info", dir.File("out.tif")}).out, "1 300 200 8 150 150\n2 2480 3508 1 300 300\n");
  test::RunResult tags = test::Run({"tiffinfo", dir.File("out.tif")});
  EXPECT_NE(tags.out.find("Rows/Strip: 5"), std::string::npos);
  EXPECT_NE(tags.out.find("LZW"), std::string::npos);
  EXPECT_EQ(test::ReadTiffLook(dir.File("out.tif")).pixels,
            test::ReadTiffLook(dir.File("g.tif")).pixels);
}

TEST(Cli, UnreadableInputFailsCleanly) {
  test::TempDir dir;
  test::WriteFile(dir.File("bad.tif"), {'I', 'I', 42, 0, 99, 0, 0, 0});
  test::RunResult result = Cli({"convert", dir.File("bad.tif"), dir.File("out.tif")});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "TIFFOpen\n");
  EXPECT_FALSE(test::FileExists(dir.File("out.tif")));
  result = Cli({"info", dir.File("missing.tif")});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("Cannot open file"), std::string::npos);
  result = Cli({"convert", dir.File("bad.tif")});
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("Usage: tessivane-cli convert"), std::string::npos);
  EXPECT_EQ(Cli({"make-page", dir.File("x.tif"), "--bits", "4"}).status, 2);
  EXPECT_EQ(Cli({"no-such-command"}).status, 2);
  EXPECT_EQ(Cli({"--help"}).status, 0);
}
