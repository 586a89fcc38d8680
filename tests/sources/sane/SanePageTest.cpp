// Pages built from SANE frames: the packed bitmap the native transfer hands
// over, read back through the raster library.
#include "sources/sane/SanePage.h"

#include "tessivane/twain.h"

#include <gtest/gtest.h>

namespace test {
namespace {

struct TFrameCase {
  const char* Name;
  SANE_Frame Format;
  int Depth, Pixels, Announced, Sent; // Announced -1: a frame of unknown length
  TPixelFormat Expected;
};

class SanePageTest : public ::testing::TestWithParam<TFrameCase> {};

TEST_P(SanePageTest, TheBitmapHoldsTheLinesThatCame) {
  const TFrameCase& c = GetParam();
  const int samples = c.Format == SANE_FRAME_RGB ? 3 : 1;
  const int lineBytes = (c.Pixels * samples * c.Depth + 7) / 8;
  SANE_Parameters parameters{c.Format, SANE_TRUE, lineBytes, c.Pixels, c.Announced, c.Depth};
  std::vector<uint8_t> data(static_cast<size_t>(lineBytes * c.Sent));
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);

  TSanePageBuilder builder(TSourceMemory{}, 300, 300);
  builder.BeginFrame(parameters);
  // In pieces that do not end on a line.
  for (size_t at = 0; at < data.size(); at += 5)
    builder.Add(data.data() + at, std::min<size_t>(5, data.size() - at));
  TSanePage page = builder.Finish();
  ASSERT_EQ(page.Height(), c.Sent);

  std::vector<uint8_t> row(page.RowBytes());
  TDIB image;
  image.AttachHandle(static_cast<TSV_HANDLE>(page.Release()));
  ASSERT_EQ(image.PixelFormat(), c.Expected);
  ASSERT_EQ(image.Width(), c.Pixels);
  ASSERT_EQ(image.Height(), c.Sent);
  EXPECT_EQ(image.XResolution(), 300);
  for (int y = 0; y < c.Sent; ++y) {
    const uint8_t* line = data.data() + y * lineBytes;
    for (int x = 0; x < c.Pixels; ++x) {
      int expected;
      if (c.Depth == 1)
        expected = (line[x / 8] >> (7 - x % 8) & 1) ^ 1; // SANE's 1 is black
      else if (samples == 3)
        expected = RGBValue(line[3 * x], line[3 * x + 1], line[3 * x + 2]);
      else
        expected = line[x];
      ASSERT_EQ(image.GetPixel(x, y), expected) << "row " << y << ", pixel " << x;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Frames, SanePageTest,
    ::testing::Values(TFrameCase{"GreyAsAnnounced", SANE_FRAME_GRAY, 8, 6, 4, 4, pf8bit},
                      TFrameCase{"GreyShorter", SANE_FRAME_GRAY, 8, 6, 4, 2, pf8bit},
                      TFrameCase{"GreyLonger", SANE_FRAME_GRAY, 8, 6, 2, 5, pf8bit},
                      TFrameCase{"GreyOfUnknownLength", SANE_FRAME_GRAY, 8, 6, -1, 3, pf8bit},
                      TFrameCase{"BilevelOddWidth", SANE_FRAME_GRAY, 1, 13, 3, 3, pf1bit},
                      TFrameCase{"BilevelLonger", SANE_FRAME_GRAY, 1, 13, 1, 3, pf1bit},
                      TFrameCase{"Colour", SANE_FRAME_RGB, 8, 5, 3, 3, pf24bit},
                      TFrameCase{"ColourShorter", SANE_FRAME_RGB, 8, 5, 3, 1, pf24bit}),
    [](const auto& frame) { return std::string(frame.param.Name); });

} // namespace
} // namespace test
