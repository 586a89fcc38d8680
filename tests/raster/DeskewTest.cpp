#include "PlainAlgorithms.h"
#include "TestPages.h"

#include "raster/DIB.h"
#include "raster/PageGenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

namespace {

double ShiftAngle(int shift, int width) {
  const double v = static_cast<double>(shift) / width;
  return std::atan(v / std::sqrt(1 - v * v)) * 180 / std::numbers::pi;
}

std::string Describe(const TPageSpec& layout) {
  return std::to_string(layout.Bits) + " bit, " + std::to_string(layout.Dpi) + " dpi, skew " +
         std::to_string(layout.SkewDegrees) + (layout.Specks ? ", specks" : "");
}

// The fast detector gives the plain one's angle to the last bit.
TEST(DetectSkew, MatchesThePlainFormOnRandomPages) {
  const int widths[] = {1, 7, 63, 64, 65, 129, 333, 517};
  const double maxAngles[] = {0.1, 0.5, 3.0, 5.0, 20.0, 90.0};
  uint64_t seed = 1;
  for (int bits : {1, 8, 24})
    for (int width : widths) {
      const int height = 40 + static_cast<int>(seed * 37 % 300);
      TDIB page;
      if (seed % 2)
        test::RandomPage(page, bits, width, height, 0.02 + 0.05 * static_cast<double>(seed % 9),
                         seed);
      else
        test::BlockPage(page, bits, width, height, width / 4 + 10, seed);
      for (double maxAngle : maxAngles)
        for (int strip : {0, 1, 3, 7}) {
          const double step = seed % 3 == 0 ? 0.25 : 0.1;
          SCOPED_TRACE(std::to_string(bits) + " bit, " + std::to_string(width) + " x " +
                       std::to_string(height) + ", max " + std::to_string(maxAngle) + ", strip " +
                       std::to_string(strip));
          EXPECT_EQ(page.DetectSkew(strip, maxAngle, step),
                    plain::DetectSkew(page, strip, maxAngle, step));
        }
      ++seed;
    }
}

// Both forms agree on generated text pages skewed on either side of the
// 0.1-degree threshold and of the search limit.
TEST(DetectSkew, MatchesThePlainFormOnGeneratedPages) {
  const double skews[] = {-5.2, -0.11, -0.09, 0.09, 0.11, 4.9};
  int i = 0;
  for (double skew : skews) {
    TPageSpec layout;
    layout.Width = 701 + 2 * i;
    layout.Height = 905;
    layout.Dpi = i % 2 ? 200 : 300;
    layout.Bits = i % 3 == 0 ? 1 : i % 3 == 1 ? 8 : 24;
    layout.SkewDegrees = skew;
    layout.Specks = i % 2 == 0;
    layout.Seed = 40 + static_cast<uint64_t>(i++);
    TDIB page;
    GeneratePage(page, layout);
    SCOPED_TRACE(Describe(layout));
    EXPECT_EQ(page.DetectSkew(0, 5.0, 0.1), plain::DetectSkew(page, 0, 5.0, 0.1));
    EXPECT_EQ(page.DetectSkew(4, 2.0, 0.05), plain::DetectSkew(page, 4, 2.0, 0.05));
  }
}

// A 1-bit page whose palette has black first counts the pixels of value 0.
TEST(DetectSkew, CountsBlackByThePaletteOfABilevelPage) {
  TDIB page;
  test::BlockPage(page, 1, 300, 200, 90, 5);
  TDIB inverted;
  test::CopyPage(page, inverted);
  inverted.InvertKeepingAppearance();
  EXPECT_EQ(page.DetectSkew(0, 5, 0.1), inverted.DetectSkew(0, 5, 0.1));
  EXPECT_EQ(inverted.DetectSkew(0, 5, 0.1), plain::DetectSkew(inverted, 0, 5, 0.1));
}

// Generated pages skewed by known angles. The search moves in whole shift
// steps of m pixels, so a page whose skew lies between two steps may come out
// at either; on these pages the detector lands within one step of the truth
// on most pages and within two on every page, and a page deskewed once
// measures at most one step (below 0.1 degree at 200 and 300 dpi) on most
// pages and at most two on every page.
TEST(DetectSkew, FindsTheSkewOfGeneratedTextPages) {
  const double skews[] = {-5.0, -4.3, -3.1, -2.0, -1.2, -0.6, -0.25,
                          0.25, 0.6,  1.2,  2.0,  3.1,  4.3,  5.0};
  int i = 0, pages = 0, withinOneStep = 0, straightAfterOne = 0;
  for (int dpi : {300, 200})
    for (int bits : {1, 8, 24})
      for (bool specks : {false, true}) {
        // Every combination gets a few of the angles, both signs among them.
        for (int k = 0; k < 3; ++k) {
          TPageSpec layout;
          layout.Dpi = dpi;
          layout.Width = dpi == 300 ? 2480 : 1654;
          layout.Height = dpi == 300 ? 3508 : 2339;
          layout.Bits = bits;
          layout.Specks = specks;
          layout.SkewDegrees = skews[(i * 5 + k * 4) % 14];
          layout.Seed = 100 + static_cast<uint64_t>(i * 3 + k);
          SCOPED_TRACE(Describe(layout));
          TDIB page;
          GeneratePage(page, layout);
          const double detected = page.DetectSkew(0, 5.0, 0.1);
          const int maxShift =
              static_cast<int>(std::lround(std::sin(5.0 * std::numbers::pi / 180) * layout.Width));
          const double step = ShiftAngle(maxShift / 50, layout.Width);
          const double twoSteps = ShiftAngle(2 * (maxShift / 50), layout.Width);
          const double error = std::abs(detected - layout.SkewDegrees);
          EXPECT_LE(error, twoSteps) << "detected " << detected;
          EXPECT_EQ(page.Deskew(true, true, 5.0), std::abs(detected) < 0.1 ? 0.0 : detected);
          const double rest = std::abs(page.DetectSkew(0, 5.0, 0.1));
          EXPECT_LE(rest, twoSteps + 1e-9) << "after one deskew";
          ++pages;
          withinOneStep += error <= step;
          straightAfterOne += rest < 0.1;
        }
        ++i;
      }
  EXPECT_GE(withinOneStep * 10, pages * 8) << withinOneStep << " of " << pages;
  EXPECT_GE(straightAfterOne * 10, pages * 9) << straightAfterOne << " of " << pages;
  std::printf("within one step: %d of %d pages; below 0.1 degree after one deskew: %d of %d\n",
              withinOneStep, pages, straightAfterOne, pages);
}

// The worked example: a page falling by 40 rows over 2480 pixels.
TEST(Deskew, StraightensAPageFallingByFortyRows) {
  TPageSpec layout;
  layout.SkewDegrees = ShiftAngle(-40, 2480);
  TDIB page;
  GeneratePage(page, layout);
  EXPECT_EQ(page.DetectSkew(0, 5.0, 0.1), ShiftAngle(-40, 2480));
  EXPECT_NEAR(ShiftAngle(-40, 2480), -0.924, 0.001);
  TDIB before;
  test::CopyPage(page, before);
  EXPECT_EQ(page.Deskew(true, true, 5.0), ShiftAngle(-40, 2480));
  EXPECT_NE(test::PixelDifference(page, before), "");
  EXPECT_EQ(page.Width(), 2480);
  EXPECT_EQ(page.Height(), 3508);
  EXPECT_LT(std::abs(page.DetectSkew(0, 5.0, 0.1)), 0.1);
}

// On a 2480-pixel-wide page the smallest angle found is one shift of 4
// pixels, about 0.092 degree: below 0.1, so the page is left as it was.
TEST(Deskew, LeavesAPageSkewedByOneShiftStepUntouched) {
  for (int sign : {-1, 1}) {
    TPageSpec layout;
    layout.SkewDegrees = sign * ShiftAngle(4, 2480);
    layout.Seed = 7;
    TDIB page;
    GeneratePage(page, layout);
    EXPECT_EQ(page.DetectSkew(0, 5.0, 0.1), sign * ShiftAngle(4, 2480));
    EXPECT_NEAR(ShiftAngle(4, 2480), 0.0924, 0.0001);
    TDIB before;
    test::CopyPage(page, before);
    EXPECT_EQ(page.Deskew(true, true, 5.0), 0.0);
    EXPECT_EQ(test::PixelDifference(page, before), "");
  }
}

TEST(Deskew, LeavesABlankPageUntouched) {
  for (int bits : {1, 8, 24}) {
    TDIB page;
    page.NewImage(413, 287, bits == 1 ? pf1bit : bits == 8 ? pf8bit : pf24bit, 300, 300);
    page.FillBits(bits == 1 ? 0xFF : 0xF0);
    TDIB before;
    test::CopyPage(page, before);
    EXPECT_EQ(page.DetectSkew(0, 5.0, 0.1), 0.0);
    EXPECT_EQ(page.Deskew(true, true, 5.0), 0.0);
    EXPECT_EQ(test::PixelDifference(page, before), "");
  }
}

TEST(Deskew, LeavesAFourBitPageUntouched) {
  TDIB page;
  test::BlockPage(page, 4, 301, 200, 80, 3);
  TDIB before;
  test::CopyPage(page, before);
  EXPECT_EQ(page.DetectSkew(0, 5.0, 0.1), 0.0);
  EXPECT_EQ(page.Deskew(true, true, 5.0), 0.0);
  page.Rotate(true, true, 3.0, 3.0, true);
  EXPECT_EQ(test::PixelDifference(page, before), "");
}

TEST(DetectSkew, SearchesNothingBelowATenthOfADegree) {
  TPageSpec layout;
  layout.Width = 800;
  layout.Height = 600;
  layout.SkewDegrees = 2.0;
  TDIB page;
  GeneratePage(page, layout);
  EXPECT_GT(page.DetectSkew(0, 5.0, 0.1), 1.5);
  EXPECT_EQ(page.DetectSkew(0, 0.05, 0.1), 0.0);
  EXPECT_EQ(page.DetectSkew(0, -0.05, 0.1), 0.0);
  // A negative limit searches no shift at all.
  EXPECT_EQ(page.DetectSkew(0, -5.0, 0.1), 0.0);
}

// A step larger than the limit, and a step of 0, used to divide by zero.
TEST(DetectSkew, TakesAStepOfZeroOrLargerThanTheLimit) {
  TPageSpec layout;
  layout.Width = 800;
  layout.Height = 600;
  layout.SkewDegrees = -2.0;
  TDIB page;
  GeneratePage(page, layout);
  EXPECT_EQ(page.DetectSkew(0, 5.0, 0.0), page.DetectSkew(0, 5.0, 0.1));
  EXPECT_EQ(page.DetectSkew(0, 5.0, -1.0), page.DetectSkew(0, 5.0, 0.1));
  EXPECT_EQ(page.DetectSkew(0, 0.12, 1.0), plain::DetectSkew(page, 0, 0.12, 1.0));
  EXPECT_EQ(page.DetectSkew(0, 3.0, 10.0), plain::DetectSkew(page, 0, 3.0, 10.0));
}

TEST(DetectSkew, GivesZeroForAnEmptyPage) {
  for (TPixelFormat format : {pf1bit, pf8bit, pf24bit}) {
    TDIB page;
    page.NewImage(0, 50, format, 300, 300);
    EXPECT_EQ(page.DetectSkew(0, 5.0, 0.1), 0.0);
    page.NewImage(50, 0, format, 300, 300);
    EXPECT_EQ(page.DetectSkew(0, 5.0, 0.1), 0.0);
    EXPECT_EQ(page.Deskew(true, true, 5.0), 0.0);
  }
}

TEST(DetectSkew, RaisesAMathErrorForAnAngleThatIsNotANumber) {
  TDIB page;
  test::BlockPage(page, 1, 100, 100, 20, 1);
  EXPECT_THROW(page.DetectSkew(0, std::nan(""), 0.1), EMathError);
}

} // namespace
