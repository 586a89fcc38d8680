#include "PlainAlgorithms.h"
#include "TestPages.h"

#include "raster/DIB.h"
#include "raster/PageGenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

struct TRotation {
  double rowAngle, columnAngle;
};

// Angles on both sides of the 0.1-degree threshold, small and large shears,
// and row and column angles of different signs.
const TRotation kRotations[] = {
    {0.09, 0.09}, {0.1, 0.1},   {-0.1, -0.1}, {0.11, -0.11}, {-0.09, 0.5},
    {1.0, 1.0},   {-1.0, -1.0}, {3.0, -2.0},  {-4.7, 4.7},   {7.5, 7.5},
    {-30, -30},   {45, 12},     {0.0, -2.5},  {-2.5, 0.0},   {89, -89},
};

std::string Describe(const TDIB& page, const TRotation& r, bool white, bool interpolate,
                     bool enlarge) {
  return std::to_string(page.BitCount()) + " bit " + std::to_string(page.Width()) + " x " +
         std::to_string(page.Height()) + ", angles " + std::to_string(r.rowAngle) + " " +
         std::to_string(r.columnAngle) + (white ? ", white" : ", black") +
         (interpolate ? ", interpolated" : ", whole pixels") + (enlarge ? ", enlarged" : "");
}

void ExpectSameAsPlain(const TDIB& original, const TRotation& r, bool white, bool interpolate,
                       bool enlarge) {
  TDIB fast, slow;
  test::CopyPage(original, fast);
  test::CopyPage(original, slow);
  fast.Rotate(white, interpolate, r.rowAngle, r.columnAngle, enlarge);
  plain::Rotate(slow, white, interpolate, r.rowAngle, r.columnAngle, enlarge);
  EXPECT_EQ(test::PixelDifference(fast, slow), "")
      << Describe(original, r, white, interpolate, enlarge);
}

TEST(Rotate, MatchesThePlainFormOnRandomPages) {
  const int sizes[][2] = {{1, 1}, {9, 17}, {63, 40}, {64, 64}, {65, 33}, {130, 71}, {203, 150}};
  uint64_t seed = 11;
  for (int bits : {1, 4, 8, 24})
    for (const auto& size : sizes) {
      TDIB page;
      if (seed % 2)
        test::RandomPage(page, bits, size[0], size[1], 0.3, seed);
      else
        test::BlockPage(page, bits, size[0], size[1], 12, seed);
      for (const TRotation& r : kRotations)
        for (bool interpolate : {true, false})
          for (bool enlarge : {false, true}) {
            const bool white = (seed + static_cast<uint64_t>(r.rowAngle * 10)) % 3 != 0;
            ExpectSameAsPlain(page, r, white, interpolate, enlarge);
          }
      ++seed;
    }
}

// Bilevel pages whose palette puts white first, and grey pages whose white is
// not the last entry, fill with their own white and black.
TEST(Rotate, FillsWithThePalettesWhiteAndBlack) {
  for (int bits : {1, 8}) {
    TDIB page;
    test::BlockPage(page, bits, 97, 83, 15, 21);
    if (bits == 1) {
      page.InvertKeepingAppearance();
    } else {
      page.SetPaletteEntry(255, PaletteColor(250, 250, 250));
      page.SetPaletteEntry(200, PaletteColor(255, 255, 255));
      page.SetPaletteEntry(0, PaletteColor(3, 3, 3));
      page.SetPaletteEntry(9, PaletteColor(0, 0, 0));
    }
    for (bool white : {true, false})
      for (bool enlarge : {false, true}) {
        ExpectSameAsPlain(page, {-6.0, -6.0}, white, true, enlarge);
        ExpectSameAsPlain(page, {6.0, 6.0}, white, false, enlarge);
      }
  }
}

TEST(Rotate, MatchesThePlainFormOnAGeneratedPage) {
  for (int bits : {1, 8, 24}) {
    TPageSpec layout;
    layout.Width = 1201;
    layout.Height = 1500;
    layout.Bits = bits;
    layout.SkewDegrees = 2.0;
    layout.Specks = true;
    TDIB page;
    GeneratePage(page, layout);
    ExpectSameAsPlain(page, {-2.0, -2.0}, true, true, false);
    ExpectSameAsPlain(page, {4.5, 4.5}, true, true, true);
  }
}

// Turning by -3 degrees moves lower rows to the right and right-hand columns
// up: white comes in at the left of the lower rows and at the bottom of the
// right-hand columns, and the page keeps its size.
TEST(Rotate, BringsWhiteInAtTheLeftAndBottomWhenTurningByMinusThree) {
  TDIB page;
  page.NewImage(400, 300, pf1bit, 300, 300);
  page.FillBits(0x00); // all black
  page.Rotate(true, true, -3.0, -3.0, false);
  EXPECT_EQ(page.Width(), 400);
  EXPECT_EQ(page.Height(), 300);
  // Row 299 moves by Trunc(16/300 * 299) = 15 and gets 15 white pixels.
  for (int x = 0; x < 15; ++x) EXPECT_EQ(page.GetPixel(x, 299), 1) << x;
  EXPECT_EQ(page.GetPixel(15, 299), 0);
  // Column 399 moves up by Trunc(21/400 * 399) = 20 and its last 20 rows are white.
  for (int y = 280; y < 300; ++y) EXPECT_EQ(page.GetPixel(399, y), 1) << y;
  EXPECT_EQ(page.GetPixel(399, 279), 0);
  // The top-left corner and top rows stay black.
  EXPECT_EQ(page.GetPixel(0, 0), 0);
  EXPECT_EQ(page.GetPixel(200, 0), 0);
}

TEST(Rotate, EnlargesToHoldTheWholePage) {
  TDIB page;
  page.NewImage(400, 300, pf8bit, 300, 300);
  page.FillBits(0);
  page.Rotate(true, true, 3.0, 3.0, true);
  // Round(sin 3 x 300) = 16 more columns, Round(sin 3 x 400) = 21 more rows.
  EXPECT_EQ(page.Width(), 416);
  EXPECT_EQ(page.Height(), 321);
  EXPECT_EQ(page.GetPixel(0, 0), 255);
  EXPECT_EQ(page.GetPixel(415, 320), 255);
}

// With a black fill every pixel the turn brings in is black, the margins the
// enlarged canvas adds included.
TEST(Rotate, FillsEveryMarginOfAnEnlargedPageWithBlack) {
  for (TPixelFormat format : {pf1bit, pf8bit, pf24bit}) {
    for (bool interpolate : {true, false}) {
      TDIB page;
      page.NewImage(200, 150, format, 300, 300);
      page.FillBits(0xFF); // all white
      page.Rotate(false, interpolate, 5.0, 5.0, true);
      const int black = format == pf24bit ? 0 : page.BlackIndex();
      // Each corner of the enlarged canvas lies outside the turned page.
      EXPECT_EQ(page.GetPixel(0, 0), black);
      EXPECT_EQ(page.GetPixel(page.Width() - 1, 0), black);
      EXPECT_EQ(page.GetPixel(0, page.Height() - 1), black);
      EXPECT_EQ(page.GetPixel(page.Width() - 1, page.Height() - 1), black);
    }
  }
}

TEST(Rotate, LeavesThePageForAnglesBelowATenth) {
  TDIB page;
  test::BlockPage(page, 24, 77, 66, 10, 4);
  TDIB before;
  test::CopyPage(page, before);
  page.Rotate(true, true, 0.09, -0.09, true);
  page.Rotate(true, false, -0.09, 5.0, true);
  EXPECT_EQ(test::PixelDifference(page, before), "");
}

TEST(Rotate, RaisesAMathErrorForAnAngleThatIsNotANumber) {
  TDIB page;
  test::BlockPage(page, 8, 50, 50, 10, 4);
  TDIB before;
  test::CopyPage(page, before);
  EXPECT_THROW(page.Rotate(true, true, std::nan(""), 1.0, true), EMathError);
  EXPECT_EQ(test::PixelDifference(page, before), "");
}

} // namespace
