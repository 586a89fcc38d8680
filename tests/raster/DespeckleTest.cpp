#include "PlainAlgorithms.h"
#include "TestPages.h"

#include "raster/DIB.h"
#include "raster/PageGenerator.h"
#include "raster/PointList.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

TDIB& WhitePage(TDIB& page, int width, int height, int dpi) {
  page.NewImage(width, height, pf1bit, dpi, dpi);
  page.FillBits(0xFF);
  return page;
}

void ExpectSameBlobs(const TBlobList& fast, const TBlobList& slow, const std::string& what) {
  ASSERT_EQ(fast.Count(), slow.Count()) << what;
  for (int i = 0; i < fast.Count(); ++i) {
    const TBlob& a = fast.Item(i);
    const TBlob& b = slow.Item(i);
    EXPECT_TRUE(a.Rect.Left == b.Rect.Left && a.Rect.Top == b.Rect.Top &&
                a.Rect.Right == b.Rect.Right && a.Rect.Bottom == b.Rect.Bottom &&
                a.PixelCount == b.PixelCount)
        << what << ": blob " << i << " is (" << a.Rect.Left << ", " << a.Rect.Top << ", "
        << a.Rect.Right << ", " << a.Rect.Bottom << ") " << a.PixelCount << " and should be ("
        << b.Rect.Left << ", " << b.Rect.Top << ", " << b.Rect.Right << ", " << b.Rect.Bottom
        << ") " << b.PixelCount;
  }
}

struct TLimits {
  int minWidth, minHeight, minCount, maxWidth, maxHeight, maxCount;
};

const TLimits kLimits[] = {
    {0, 0, 0, INT_MAX, INT_MAX, INT_MAX}, // every group
    {0, 0, 0, 6, 6, INT_MAX},             // specks
    {2, 3, 4, 40, 9, 60},                 // all six limits at work
    {0, 0, -5, 1, 1, 1},                  // single pixels
    {5, 0, 0, INT_MAX, INT_MAX, INT_MAX}, // wide groups only
};

// Same groups, same boxes and counts, in the same order as the plain flood fill.
TEST(FindBlobs, MatchesThePlainFormOnRandomPages) {
  const int sizes[][2] = {{1, 1}, {1, 50}, {50, 1}, {63, 64}, {64, 63}, {65, 65}, {131, 97}};
  uint64_t seed = 3;
  for (const auto& size : sizes)
    for (double share : {0.03, 0.2, 0.45, 0.6, 0.9}) {
      TDIB page;
      test::RandomPage(page, 1, size[0], size[1], share, seed);
      if (seed % 3 == 0) page.InvertKeepingAppearance(); // black is 1
      for (const TLimits& l : kLimits) {
        TBlobList fast, slow;
        page.FindBlobs(l.minWidth, l.minHeight, l.minCount, l.maxWidth, l.maxHeight, l.maxCount,
                       &fast);
        plain::FindBlobs(page, l.minWidth, l.minHeight, l.minCount, l.maxWidth, l.maxHeight,
                         l.maxCount, &slow);
        ExpectSameBlobs(fast, slow,
                        std::to_string(size[0]) + " x " + std::to_string(size[1]) + " share " +
                            std::to_string(share) + " seed " + std::to_string(seed));
      }
      ++seed;
    }
}

// Text, lines and specks: groups that merge late (a U, a W), that wrap
// around others, and that touch only at corners.
TEST(FindBlobs, MatchesThePlainFormOnGeneratedAndBlockPages) {
  for (int i = 0; i < 6; ++i) {
    TDIB page;
    if (i < 3) {
      TPageSpec layout;
      layout.Width = 600 + 7 * i;
      layout.Height = 500;
      layout.Dpi = 300;
      layout.SkewDegrees = 1.5 * i - 2;
      layout.Specks = true;
      layout.Seed = static_cast<uint64_t>(i);
      GeneratePage(page, layout);
    } else {
      test::BlockPage(page, 1, 301 + i, 257, 200, static_cast<uint64_t>(i));
    }
    for (const TLimits& l : kLimits) {
      TBlobList fast, slow;
      page.FindBlobs(l.minWidth, l.minHeight, l.minCount, l.maxWidth, l.maxHeight, l.maxCount,
                     &fast);
      plain::FindBlobs(page, l.minWidth, l.minHeight, l.minCount, l.maxWidth, l.maxHeight,
                       l.maxCount, &slow);
      ExpectSameBlobs(fast, slow, "page " + std::to_string(i));
    }
  }
}

TEST(FindBlobs, JoinsPixelsThatTouchOnlyAtACorner) {
  TDIB page;
  WhitePage(page, 10, 10, 300);
  page.SetPixel(3, 4, 0);
  page.SetPixel(4, 5, 0);
  page.SetPixel(7, 1, 0); // and a group of its own
  TBlobList blobs;
  page.FindBlobs(0, 0, 0, INT_MAX, INT_MAX, INT_MAX, &blobs);
  ASSERT_EQ(blobs.Count(), 2);
  EXPECT_EQ(blobs.Item(0).PixelCount, 2);
  EXPECT_EQ(blobs.Item(0).Rect.Left, 3);
  EXPECT_EQ(blobs.Item(0).Rect.Top, 4);
  EXPECT_EQ(blobs.Item(0).Rect.Right, 4);
  EXPECT_EQ(blobs.Item(0).Rect.Bottom, 5);
  EXPECT_EQ(blobs.Item(1).PixelCount, 1);
}

// Groups come in the order a scan down each column meets them: a group whose
// leftmost pixel lies lower but further left comes first.
TEST(FindBlobs, ReportsGroupsInTheOrderOfAColumnByColumnScan) {
  TDIB page;
  WhitePage(page, 20, 20, 300);
  page.SetPixel(5, 2, 0);
  page.SetPixel(2, 15, 0);
  page.SetPixel(5, 1, 0);
  page.SetPixel(5, 9, 0);
  TBlobList blobs;
  page.FindBlobs(0, 0, 0, INT_MAX, INT_MAX, INT_MAX, &blobs);
  ASSERT_EQ(blobs.Count(), 3);
  EXPECT_EQ(blobs.Item(0).Rect.Top, 15);
  EXPECT_EQ(blobs.Item(1).Rect.Top, 1);
  EXPECT_EQ(blobs.Item(1).PixelCount, 2);
  EXPECT_EQ(blobs.Item(2).Rect.Top, 9);
}

TEST(FindBlobs, FindsOneGroupOnAnAllBlackPage) {
  TDIB page;
  page.NewImage(2480, 3508, pf1bit, 300, 300);
  page.FillBits(0x00);
  TBlobList blobs;
  page.FindBlobs(0, 0, 0, INT_MAX, INT_MAX, INT_MAX, &blobs);
  ASSERT_EQ(blobs.Count(), 1);
  EXPECT_EQ(blobs.Item(0).PixelCount, 2480 * 3508);
  EXPECT_EQ(blobs.Item(0).Width(), 2480);
  EXPECT_EQ(blobs.Item(0).Height(), 3508);
  TDIB before;
  test::CopyPage(page, before);
  EXPECT_EQ(page.Despeckle(-1, -1), 0);
  EXPECT_EQ(test::PixelDifference(page, before), "");
}

TEST(FindBlobs, RequiresABilevelPage) {
  TDIB page;
  page.NewImage(10, 10, pf8bit, 300, 300);
  TBlobList blobs;
  try {
    page.FindBlobs(0, 0, 0, 5, 5, 100, &blobs);
    FAIL() << "no error";
  } catch (const EDIBError& error) {
    EXPECT_EQ(error.Message(), "This operation requires 1 bit per pixel bitmap !");
  }
}

TEST(Despeckle, RemovesASinglePixel) {
  TDIB page;
  WhitePage(page, 50, 40, 300);
  page.SetPixel(20, 30, 0);
  EXPECT_EQ(page.Despeckle(-1, -1), 1);
  EXPECT_EQ(page.GetPixel(20, 30), 1);
}

// The automatic limit is half a millimetre: 6 pixels at 300 dpi, 8 at 400.
TEST(Despeckle, KeepsASevenPixelDashAt300DpiAndRemovesItAt400) {
  for (int dpi : {300, 400}) {
    TDIB page;
    WhitePage(page, 50, 40, dpi);
    for (int x = 10; x < 17; ++x) page.SetPixel(x, 5, 0);
    EXPECT_EQ(page.Despeckle(0, 0), dpi == 300 ? 0 : 1) << dpi;
    EXPECT_EQ(page.GetPixel(13, 5), dpi == 300 ? 0 : 1) << dpi;
  }
}

// The whole box of a speck turns white, black pixels of other groups inside
// it included.
TEST(Despeckle, WhitensTheWholeBoxOfADiagonalRun) {
  TDIB page;
  WhitePage(page, 40, 40, 300);
  for (int i = 0; i < 6; ++i) page.SetPixel(10 + i, 10 + i, 0);
  // Two long lines, groups of their own, reach into the corners of the
  // diagonal's box: they are kept, but their pixels inside the box turn white.
  for (int y = 15; y < 40; ++y) page.SetPixel(10, y, 0);
  for (int x = 15; x < 40; ++x) page.SetPixel(x, 10, 0);
  EXPECT_EQ(page.Despeckle(-1, -1), 1);
  for (int y = 10; y <= 15; ++y)
    for (int x = 10; x <= 15; ++x) EXPECT_EQ(page.GetPixel(x, y), 1) << x << ", " << y;
  EXPECT_EQ(page.GetPixel(10, 16), 0);
  EXPECT_EQ(page.GetPixel(16, 10), 0);
}

TEST(Despeckle, LeavesAWhitePageUnchanged) {
  TDIB page;
  WhitePage(page, 33, 17, 300);
  EXPECT_EQ(page.Despeckle(-1, -1), 0);
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 33; ++x) ASSERT_EQ(page.GetPixel(x, y), 1);
}

TEST(Despeckle, RequiresABilevelPage) {
  for (TPixelFormat format : {pf4bit, pf8bit, pf24bit}) {
    TDIB page;
    page.NewImage(10, 10, format, 300, 300);
    try {
      page.Despeckle(-1, -1);
      FAIL() << "no error";
    } catch (const EDIBError& error) {
      EXPECT_EQ(error.Message(), "This operation requires 1 bit per pixel bitmap !");
    }
  }
}

// Without a resolution the limits are 2 x 2 pixels.
TEST(Despeckle, UsesTwoByTwoPixelsOnAPageWithoutResolution) {
  TDIB page;
  WhitePage(page, 30, 30, 0);
  page.FillRect({2, 2, 3, 3}, 0);     // 2 x 2: removed
  page.FillRect({10, 10, 12, 10}, 0); // 3 x 1: kept
  page.FillRect({20, 20, 20, 22}, 0); // 1 x 3: kept
  EXPECT_EQ(page.Despeckle(-1, -1), 1);
  EXPECT_EQ(page.GetPixel(2, 2), 1);
  EXPECT_EQ(page.GetPixel(11, 10), 0);
  EXPECT_EQ(page.GetPixel(20, 21), 0);
}

TEST(Despeckle, UsesTheLimitsGiven) {
  TDIB page;
  WhitePage(page, 30, 30, 300);
  page.FillRect({2, 2, 9, 3}, 0); // 8 x 2
  EXPECT_EQ(page.Despeckle(7, 7), 0);
  EXPECT_EQ(page.Despeckle(8, 2), 1);
  EXPECT_EQ(page.GetPixel(5, 2), 1);
}

// Both forms clean generated pages the same way, on a page whose palette has
// white first too.
TEST(Despeckle, MatchesThePlainFormOnGeneratedPages) {
  for (int dpi : {100, 200, 300}) {
    TPageSpec layout;
    layout.Width = 900;
    layout.Height = 700;
    layout.Dpi = dpi;
    layout.Specks = true;
    layout.SkewDegrees = -1.0;
    layout.Seed = static_cast<uint64_t>(dpi);
    TDIB fast, slow;
    GeneratePage(fast, layout);
    if (dpi == 200) fast.InvertKeepingAppearance();
    test::CopyPage(fast, slow);
    const int removed = fast.Despeckle(-1, -1);
    EXPECT_GT(removed, 10);
    EXPECT_EQ(removed, plain::Despeckle(slow, -1, -1));
    EXPECT_EQ(test::PixelDifference(fast, slow), "") << dpi;
  }
}

TEST(FillRect, TakesCornersInEitherOrderAndKeepsToThePage) {
  for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf24bit}) {
    TDIB fast, slow;
    test::BlockPage(fast,
                    format == pf1bit   ? 1
                    : format == pf4bit ? 4
                    : format == pf8bit ? 8
                                       : 24,
                    45, 21, 6, 9);
    test::CopyPage(fast, slow);
    const TPixelRect rects[] = {{3, 4, 40, 9}, {40, 9, 3, 4},  {-5, -3, 7, 2}, {30, 15, 90, 60},
                                {8, 8, 8, 8},  {60, 1, 70, 5}, {9, 2, 16, 2}};
    int value = 0;
    for (const TPixelRect& rect : rects) {
      fast.FillRect(rect, value);
      plain::FillRect(slow, rect, value);
      value = value == 0 ? 0x0A0B0C : 0;
    }
    EXPECT_EQ(test::PixelDifference(fast, slow), "") << fast.BitCount();
  }
}

TEST(FillBlobRects, FillsTheBlobsFromFirstToLast) {
  TDIB page;
  WhitePage(page, 30, 10, 300);
  TBlobList blobs;
  blobs.Add({0, 0, 1, 1}, 4);
  blobs.Add({5, 5, 6, 6}, 4);
  blobs.Add({10, 0, 12, 2}, 9);
  page.FillBlobRects(blobs, 1, 2, 0);
  EXPECT_EQ(page.GetPixel(0, 0), 1);
  EXPECT_EQ(page.GetPixel(6, 6), 0);
  EXPECT_EQ(page.GetPixel(11, 1), 0);
  page.FillBlobRects(blobs, 2, 1, 1); // nothing
  EXPECT_EQ(page.GetPixel(11, 1), 0);
  EXPECT_THROW(page.FillBlobRects(blobs, 0, 3, 1), EDIBError);
  EXPECT_THROW(page.FillBlobRects(blobs, -1, 0, 1), EDIBError);
  EXPECT_EQ(page.GetPixel(0, 0), 1);
}

TEST(PointList, KeepsPointsInOrderWithTheirExpandedFlag) {
  TPointList points;
  points.Add(3, 4);
  points.Add(-1, 7);
  points.Item(0).Expanded = 1;
  ASSERT_EQ(points.Count(), 2);
  EXPECT_EQ(points.Item(0).X, 3);
  EXPECT_EQ(points.Item(0).Expanded, 1);
  EXPECT_EQ(points.Item(1).Y, 7);
  EXPECT_EQ(points.Item(1).Expanded, 0);
  points.Clear();
  EXPECT_EQ(points.Count(), 0);
}

} // namespace
