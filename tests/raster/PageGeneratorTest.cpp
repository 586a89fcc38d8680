#include "raster/PageGenerator.h"
#include "raster/DIB.h"
#include "raster/RasterTestSupport.h"

#include <gtest/gtest.h>

namespace {

double InkFraction(const TDIB& page) {
  auto bins = page.Histogram();
  uint64_t dark = 0, all = 0;
  for (int i = 0; i < 256; ++i) {
    all += bins[static_cast<size_t>(i)];
    if (page.BitCount() == 1 ? i == 0 : i < 128) dark += bins[static_cast<size_t>(i)];
  }
  return static_cast<double>(dark) / static_cast<double>(all);
}

// Ink per row between columns x0 and x1.
std::vector<int> Profile(const TDIB& page, int x0, int x1) {
  std::vector<int> ink;
  for (int y = 0; y < page.Height(); ++y) ink.push_back(page.CountRun(x0, y, 0, x1 - x0));
  return ink;
}

// The vertical offset that best lines up the right-hand profile with the
// left-hand one: negative when text on the right stands higher.
int Offset(const TDIB& page, int left0, int left1, int right0, int right1) {
  const std::vector<int> left = Profile(page, left0, left1), right = Profile(page, right0, right1);
  int best = 0;
  long bestScore = -1;
  for (int d = -60; d <= 60; ++d) {
    long score = 0;
    for (int y = 0; y < page.Height(); ++y)
      if (y + d >= 0 && y + d < page.Height())
        score += long{left[static_cast<size_t>(y)]} * right[static_cast<size_t>(y + d)];
    if (score > bestScore) bestScore = score, best = d;
  }
  return best;
}

// The topmost inked row between columns x0 and x1.
int TopInk(const TDIB& page, int x0, int x1) {
  for (int y = 0; y < page.Height(); ++y)
    for (int x = x0; x < x1; ++x)
      if (page.BitCount() == 1 ? page.GetPixel(x, y) == 0 : (page.GetPixel(x, y) & 0xFF) < 128)
        return y;
  return -1;
}

} // namespace

TEST(PageGenerator, TheSameDescriptionGivesTheSamePage) {
  TPageSpec layout;
  layout.Width = 850;
  layout.Height = 1100;
  layout.Dpi = 100;
  layout.Specks = true;
  layout.SkewDegrees = 1.5;
  for (int bits : {1, 8, 24}) {
    layout.Bits = bits;
    TDIB a, b;
    GeneratePage(a, layout);
    GeneratePage(b, layout);
    EXPECT_EQ(test::Looks(a), test::Looks(b));
    EXPECT_EQ(a.BitCount(), bits);
    EXPECT_EQ(a.XResolution(), 100);
    layout.Seed = 2;
    GeneratePage(b, layout);
    EXPECT_NE(test::Looks(a), test::Looks(b));
    layout.Seed = 1;
  }
}

TEST(PageGenerator, PagesLookLikePrintedText) {
  TPageSpec layout;
  TDIB page;
  GeneratePage(page, layout); // A4 at 300 dpi
  EXPECT_EQ(page.Width(), 2480);
  EXPECT_EQ(page.Height(), 3508);
  const double ink = InkFraction(page);
  EXPECT_GT(ink, 0.03);
  EXPECT_LT(ink, 0.15);
  // Margins stay blank.
  EXPECT_GT(TopInk(page, 0, page.Width()), 200);
  for (int y = 0; y < page.Height(); ++y) ASSERT_EQ(page.CountRun(0, y, 0, 200), 0);
  layout.Bits = 8;
  GeneratePage(page, layout);
  EXPECT_GT(InkFraction(page), 0.03);
  EXPECT_EQ(page.GetPixel(5, 5) > 230, true);
}

TEST(PageGenerator, SkewTurnsTheLinesTheWayTheSignSays) {
  TPageSpec layout;
  layout.Width = 1000;
  layout.Height = 800;
  layout.Dpi = 150;
  TDIB flat, rising, falling;
  GeneratePage(flat, layout);
  layout.SkewDegrees = 3;
  GeneratePage(rising, layout);
  layout.SkewDegrees = -3;
  GeneratePage(falling, layout);
  // Columns 400 pixels apart: a 3-degree turn moves the lines by about 21 rows.
  EXPECT_NEAR(Offset(flat, 200, 300, 600, 700), 0, 1);
  // Rows count downwards: lines rising to the right stand higher on the right.
  EXPECT_NEAR(Offset(rising, 200, 300, 600, 700), -21, 2);
  EXPECT_NEAR(Offset(falling, 200, 300, 600, 700), 21, 2);
}

TEST(PageGenerator, SpecksAreSmallAndAdded) {
  TPageSpec layout;
  layout.Width = 600;
  layout.Height = 600;
  layout.Dpi = 300;
  TDIB clean, specked;
  GeneratePage(clean, layout);
  layout.Specks = true;
  GeneratePage(specked, layout);
  int added = 0, removed = 0;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 600; ++x) {
      int a = clean.GetPixel(x, y), b = specked.GetPixel(x, y);
      added += a == 1 && b == 0;
      removed += a == 0 && b == 1;
    }
  EXPECT_EQ(removed, 0);
  // About three specks to the square centimetre (the page has 25.8), of one to three pixels a side.
  EXPECT_GT(added, 40);
  EXPECT_LT(added, 400);
}
