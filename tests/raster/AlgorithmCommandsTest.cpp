#include "TestPages.h"
#include "support/TestSupport.h"

#include "core/FileStream.h"
#include "raster/DIB.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

const std::string kCli = test::BinPath("tessivane-cli");

void Load(TDIB& page, const std::string& path) {
  TFileStream file(path, TFileStream::fmOpenRead);
  page.LoadFromStream(file, 0);
}

TEST(DeskewCommand, StraightensAPageAndPrintsTheAngle) {
  test::TempDir dir;
  const std::string in = dir.File("skewed.tif"), out = dir.File("straight.tif");
  test::RunResult made = test::Run({kCli, "make-page", in, "--width", "1240", "--height", "1754",
                                    "--dpi", "150", "--bits", "1", "--skew", "-2.5"});
  ASSERT_EQ(made.status, 0) << made.err;
  TDIB page;
  Load(page, in);
  const double expected = page.DetectSkew(0, 5.0, 0.1);
  ASSERT_LT(expected, -2.0);

  test::RunResult run = test::Run({kCli, "deskew", in, out});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(std::stod(run.out), expected);
  EXPECT_EQ(run.out.back(), '\n');
  Load(page, out);
  EXPECT_EQ(page.BitCount(), 1);
  EXPECT_EQ(page.Width(), 1240);
  EXPECT_LT(std::abs(page.DetectSkew(0, 5.0, 0.1)), 0.1);

  // A limit below the skew searches less far; a limit below 0.1 turns nothing.
  Load(page, in);
  const double limited = page.DetectSkew(0, 1.0, 0.1);
  EXPECT_GT(limited, -1.1);
  run = test::Run({kCli, "deskew", in, dir.File("limited.bmp"), "--max-angle", "1"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(std::stod(run.out), limited);
  run = test::Run({kCli, "deskew", in, dir.File("same.bmp"), "--max-angle", "0.05"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "0\n");
}

TEST(DespeckleCommand, RemovesSpecksAndPrintsTheirNumber) {
  test::TempDir dir;
  const std::string in = dir.File("page.bmp"), out = dir.File("clean.tif");
  TDIB page;
  page.NewImage(300, 200, pf1bit, 300, 300);
  page.FillBits(0xFF);
  page.FillRect({10, 10, 11, 11}, 0);   // speck
  page.FillRect({50, 50, 56, 50}, 0);   // 7 x 1 dash
  page.FillRect({100, 20, 200, 30}, 0); // bar
  page.SaveToBmpFile(in);

  test::RunResult run = test::Run({kCli, "despeckle", in, out});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "1\n");
  Load(page, out);
  EXPECT_EQ(page.GetPixel(10, 10), 1);
  EXPECT_EQ(page.GetPixel(53, 50), 0);
  EXPECT_EQ(page.GetPixel(150, 25), 0);

  run = test::Run({kCli, "despeckle", in, out, "--max-width", "7", "--max-height", "1"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "1\n"); // the dash; the 2 x 2 speck is too high
}

TEST(DespeckleCommand, RefusesAGreyPageAndKeepsTheOutput) {
  test::TempDir dir;
  const std::string in = dir.File("grey.bmp"), out = dir.File("out.bmp");
  TDIB page;
  test::RandomPage(page, 8, 40, 30, 0.1, 1);
  page.SaveToBmpFile(in);
  test::WriteFile(out, {'k', 'e', 'e', 'p'});
  test::RunResult run = test::Run({kCli, "despeckle", in, out});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "This operation requires 1 bit per pixel bitmap !\n");
  EXPECT_EQ(test::ReadFile(out), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
}

TEST(CorrectionCommands, ReportBadArgumentsAndMissingFiles) {
  test::TempDir dir;
  test::RunResult run = test::Run({kCli, "deskew", dir.File("missing.tif"), dir.File("o.tif")});
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(run.err.empty());
  EXPECT_FALSE(test::FileExists(dir.File("o.tif")));

  run = test::Run({kCli, "deskew", "only-one"});
  EXPECT_EQ(run.status, 2);
  run = test::Run({kCli, "deskew", "a", "b", "--max-angle", "-3"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("--max-angle"), std::string::npos);
  run = test::Run({kCli, "despeckle", "a", "b", "--max-width", "wide"});
  EXPECT_EQ(run.status, 2);
}

} // namespace
