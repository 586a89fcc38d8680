#include "raster/DIB.h"
#include "raster/Grey.h"
#include "raster/RasterTestSupport.h"
#include "raster/RowOps.h"

#include <gtest/gtest.h>
#include <random>

namespace {

// Pixel-by-pixel forms of the operations, as oracles for the byte-wise ones.
int PlainCountRun(const TDIB& page, int x, int row, int colour, int length) {
  int count = 0;
  for (int i = x; i < x + length; ++i) count += page.GetPixel(i, row) == colour;
  return count;
}

void PlainShiftLine(const TDIB& source, TDIB& expected, int row, int n) {
  const int white = source.WhiteIndex();
  for (int x = 0; x < source.Width(); ++x) {
    int from = x - n;
    expected.SetPixel(x, row,
                      from >= 0 && from < source.Width() ? source.GetPixel(from, row) : white);
  }
}

void CopyPage(const TDIB& source, TDIB& target) {
  TPixelFormat format = source.PixelFormat();
  target.NewImage(source.Width(), source.Height(), format, source.XResolution(),
                  source.YResolution());
  for (int y = 0; y < source.Height(); ++y)
    for (int x = 0; x < source.Width(); ++x) target.SetPixel(x, y, source.GetPixel(x, y));
  for (int i = 0; i < source.ColorCount(); ++i) target.SetPaletteEntry(i, source.PaletteEntry(i));
}

std::vector<int> Pixels(const TDIB& page) {
  std::vector<int> values;
  for (int y = 0; y < page.Height(); ++y)
    for (int x = 0; x < page.Width(); ++x) values.push_back(page.GetPixel(x, y));
  return values;
}

} // namespace

TEST(Tone, InvertTwiceRestoresThePageAndLeavesPaddingAlone) {
  TDIB page;
  page.NewImage(12, 3, pf1bit, 0, 0);
  page.SetPixel(0, 0, 1);
  page.Invert();
  EXPECT_EQ(page.GetPixel(0, 0), 0);
  EXPECT_EQ(page.GetPixel(5, 2), 1); // black became white
  EXPECT_EQ(page.ScanLine(0)[2], 0); // padding untouched
  page.Invert();
  EXPECT_EQ(page.GetPixel(0, 0), 1);
  EXPECT_EQ(page.GetPixel(5, 2), 0);
  EXPECT_EQ(page.PaletteEntry(0), 0u);
}

TEST(Tone, GreyLevelTruncatesTheWeightedSum) {
  EXPECT_EQ(GreyLevel(200, 100, 50), 124);
  EXPECT_EQ(GreyLevel(255, 255, 255), 255);
  EXPECT_EQ(GreyLevel(0, 0, 0), 0);
  EXPECT_EQ(GreyLevel(1, 1, 1), 1);
  EXPECT_EQ(GreyLevelOfValue(RGBValue(200, 100, 50)), 124);
}

TEST(Tone, HistogramsByDepth) {
  TDIB page;
  page.NewImage(10, 10, pf1bit, 0, 0);
  page.FillBits(0xFF); // white, padding bits included
  auto bins = page.Histogram();
  EXPECT_EQ(bins[1], 100u);
  EXPECT_EQ(bins[0], 0u);
  page.SetPixel(9, 9, 0);
  bins = page.Histogram();
  EXPECT_EQ(bins[1], 99u);
  EXPECT_EQ(bins[0], 1u);

  page.NewImage(3, 1, pf24bit, 0, 0);
  page.SetPixel(0, 0, RGBValue(200, 100, 50));
  page.SetPixel(1, 0, RGBValue(255, 255, 255));
  bins = page.Histogram();
  EXPECT_EQ(bins[124], 1u);
  EXPECT_EQ(bins[255], 1u);
  EXPECT_EQ(bins[0], 1u);

  // An 8-bit page with another palette is measured by its entries' blue.
  page.NewImage(2, 1, pf8bit, 0, 0);
  page.SetPaletteEntry(7, PaletteColor(10, 20, 30));
  page.SetPixel(0, 0, 7);
  bins = page.Histogram();
  EXPECT_EQ(bins[30], 1u);
  EXPECT_EQ(bins[0], 1u);

  page.NewImage(2, 2, pf4bit, 0, 0);
  try {
    page.Histogram();
    FAIL();
  } catch (const EDIBError& error) {
    EXPECT_EQ(error.Message(), "This operation requires 8 bit per pixel bitmap !");
  }
}

TEST(Tone, HistogramThresholdIsMeanPlusKDeviations) {
  TDIB::THistogram bins{};
  bins[0] = 50;
  bins[255] = 50;
  EXPECT_EQ(TDIB::HistogramThreshold(bins, 0), 127);
  EXPECT_EQ(TDIB::HistogramThreshold(bins, 1), 255);
  EXPECT_EQ(TDIB::HistogramThreshold(bins, -0.5), 63);
  TDIB::THistogram none{};
  EXPECT_THROW(TDIB::HistogramThreshold(none, 0), EMathError);
}

TEST(Tone, CountRunOnOneBitRows) {
  TDIB page;
  page.NewImage(16, 1, pf1bit, 0, 0);
  page.ScanLine(0)[0] = 0xF0;
  page.ScanLine(0)[1] = 0x0F;
  EXPECT_EQ(page.CountRun(2, 0, 1, 10), 2);
  EXPECT_EQ(page.CountRun(2, 0, 0, 10), 8);
  EXPECT_EQ(page.CountRun(2, 0, 1, 0), 0);
  EXPECT_EQ(page.CountRun(3, 0, 1, 1), 1);
  EXPECT_EQ(page.CountRun(4, 0, 1, 1), 0);

  // Against pixel counting at every offset and length, unaligned included.
  test::RandomPage(page, 203, 3, pf1bit, 11);
  for (int x = 0; x < 203; x += 3)
    for (int length = 0; x + length <= 203; length += 7)
      for (int colour : {0, 1})
        ASSERT_EQ(page.CountRun(x, 1, colour, length), PlainCountRun(page, x, 1, colour, length))
            << x << " " << length;
}

TEST(Tone, CountRunOnGreyAndColourRowsCountsValuesBelowTheThreshold) {
  TDIB page;
  page.NewImage(4, 1, pf8bit, 0, 0);
  for (int x = 0; x < 4; ++x) page.SetPixel(x, 0, 100 + x);
  EXPECT_EQ(page.CountRun(0, 0, 102, 4), 2);
  EXPECT_EQ(page.CountRun(1, 0, 103, 2), 2);
  page.NewImage(3, 1, pf24bit, 0, 0);
  page.SetPixel(0, 0, RGBValue(200, 100, 50)); // 124
  page.SetPixel(1, 0, RGBValue(200, 101, 50)); // 125
  page.SetPixel(2, 0, RGBValue(255, 255, 255));
  EXPECT_EQ(page.CountRun(0, 0, 125, 3), 1);
  EXPECT_EQ(page.CountRun(0, 0, 126, 3), 2);
}

TEST(Tone, ShiftLineMatchesMovingPixelsOneByOne) {
  for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf24bit}) {
    for (int width : {1, 7, 8, 31, 32, 61, 100}) {
      TDIB page;
      // The padding of a new page is 0, black on a 1-bit page: it must not come in.
      test::RandomPage(page, width, 1, format, static_cast<uint32_t>(width));
      for (int n : {-width - 3, -width, -9, -3, -1, 1, 2, 3, 8, 13, width}) {
        TDIB shifted, expected;
        CopyPage(page, shifted);
        CopyPage(page, expected);
        shifted.ShiftLine(0, n);
        PlainShiftLine(page, expected, 0, n);
        ASSERT_EQ(Pixels(shifted), Pixels(expected)) << format << " width " << width << " by " << n;
      }
    }
  }
}

TEST(Tone, ShiftLineFillsWithWhite) {
  TDIB page;
  page.NewImage(16, 1, pf1bit, 0, 0); // black
  page.ScanLine(0)[0] = 0xFF;
  page.ShiftLine(0, 3);
  EXPECT_EQ(page.ScanLine(0)[0], 0xFF); // white came in where white moved out
  page.NewImage(16, 1, pf1bit, 0, 0);
  page.ShiftLine(0, -3);
  EXPECT_EQ(page.ScanLine(0)[1], 0x07); // white at the right
  page.NewImage(4, 1, pf4bit, 0, 0);
  page.ShiftLine(0, 1);
  EXPECT_EQ(page.GetPixel(0, 0), 0); // 4-bit ramp has no pure white: index 0
  page.NewImage(4, 1, pf24bit, 0, 0);
  page.ShiftLine(0, -1);
  EXPECT_EQ(page.GetPixel(3, 0), 0xFFFFFF);
  page.NewImage(2, 2, pf8bit, 0, 0);
  EXPECT_NO_THROW(page.ShiftLines(1));
  EXPECT_EQ(page.GetPixel(0, 1), 255);
}

TEST(Tone, ShiftRowsMovesWholeRowsAndFillsWithWhite) {
  TDIB page;
  page.NewImage(3, 4, pf8bit, 0, 0);
  for (int y = 0; y < 4; ++y) page.SetPixel(0, y, y + 1);
  page.ShiftRows(1);
  EXPECT_EQ(page.GetPixel(0, 0), 255);
  EXPECT_EQ(page.GetPixel(0, 1), 1);
  EXPECT_EQ(page.GetPixel(0, 3), 3);
  page.ShiftRows(-2);
  EXPECT_EQ(page.GetPixel(0, 0), 2);
  EXPECT_EQ(page.GetPixel(0, 1), 3);
  EXPECT_EQ(page.GetPixel(0, 2), 255);
  EXPECT_EQ(page.GetPixel(0, 3), 255);
  page.ShiftRows(4);
  EXPECT_EQ(page.GetPixel(2, 3), 255);
  EXPECT_THROW(page.ShiftRows(5), EDIBError);
}

TEST(Tone, ResizeCanvasKeepsTheTopLeftAndFillsTheRest) {
  for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf24bit}) {
    TDIB page;
    test::RandomPage(page, 13, 9, format, 3);
    TDIB original;
    CopyPage(page, original);
    TSV_HANDLE handle = page.Handle();
    struct Size {
      int w, h;
    };
    for (Size size :
         {Size{13, 9}, Size{40, 20}, Size{5, 3}, Size{40, 2}, Size{2, 30}, Size{13, 9}}) {
      const int oldW = page.Width(), oldH = page.Height();
      TDIB before;
      CopyPage(page, before);
      page.ResizeCanvas(size.w, size.h, 0xFF);
      ASSERT_EQ(page.Width(), size.w);
      ASSERT_EQ(page.Height(), size.h);
      EXPECT_EQ(page.Handle(), handle); // the same block, resized
      EXPECT_EQ(page.BlockSize(),
                static_cast<size_t>(40 + 4 * page.ColorCount() + size.h * page.Stride()));
      const int fill = format == pf1bit   ? 1
                       : format == pf4bit ? 15
                       : format == pf8bit ? 255
                                          : 0xFFFFFF;
      for (int y = 0; y < size.h; ++y)
        for (int x = 0; x < size.w; ++x) {
          int want = x < oldW && y < oldH ? before.GetPixel(x, y) : fill;
          ASSERT_EQ(page.GetPixel(x, y), want) << format << " at " << x << "," << y;
        }
    }
    EXPECT_EQ(page.XResolution(), 300);
  }
}

// The one red/blue exchange every library uses, against swapping pixel by
// pixel: copied and in place, at every length around the five-pixel blocks.
TEST(Tone, SwapRedBlueMatchesSwappingEachPixel) {
  for (size_t pixels = 0; pixels <= 17; ++pixels) {
    std::vector<uint8_t> source(3 * pixels + 1);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(7 * i + 1);
    std::vector<uint8_t> expected = source;
    for (size_t x = 0; x < pixels; ++x) std::swap(expected[3 * x], expected[3 * x + 2]);
    std::vector<uint8_t> copied(source.size(), 0);
    copied.back() = source.back();
    SwapRedBlue(source.data(), copied.data(), pixels);
    EXPECT_EQ(copied, expected) << pixels << " pixels copied";
    SwapRedBlue(source.data(), source.data(), pixels);
    EXPECT_EQ(source, expected) << pixels << " pixels in place";
  }
}
