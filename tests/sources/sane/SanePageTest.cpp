// Pages built from SANE frames: the packed bitmap the native transfer hands
// over, read back through the raster library.
#include "sources/sane/SanePage.h"

#include "tessivane/twain.h"

#include <gtest/gtest.h>

#include <cstring>

namespace test {
namespace {

// A manager whose blocks come filled with rubbish, as another manager's may.
TW_HANDLE DirtyAllocate(TW_UINT32 size) {
  TSV_HANDLE block = tsv_mem_alloc(size);
  std::memset(tsv_mem_lock(block), 0xAA, size);
  tsv_mem_unlock(block);
  return block;
}

struct TFrameCase {
  const char* Name;
  SANE_Frame Format; // SANE_FRAME_RED: red, green and blue frames, blue one line short
  int Depth, Pixels, Announced, Sent; // Announced -1: a frame of unknown length
  TPixelFormat Expected;
};

class SanePageTest : public ::testing::TestWithParam<TFrameCase> {};

TEST_P(SanePageTest, TheBitmapHoldsTheLinesThatCame) {
  const TFrameCase& c = GetParam();
  const bool threePass = c.Format == SANE_FRAME_RED;
  const int frames = threePass ? 3 : 1;
  const int samples = c.Format == SANE_FRAME_RGB ? 3 : 1;
  const int lineBytes = (c.Pixels * samples * c.Depth + 7) / 8;
  auto at = [&](int frame, int y, int i) {
    return static_cast<uint8_t>((y * lineBytes + i) * 7 + 3 + 50 * frame);
  };

  TSourceMemory memory;
  memory.Allocate = &DirtyAllocate;
  TSanePageBuilder builder(memory, 300, 300);
  for (int frame = 0; frame < frames; ++frame) {
    const auto format = threePass ? static_cast<SANE_Frame>(SANE_FRAME_RED + frame) : c.Format;
    const int sent = threePass && frame == 2 ? c.Sent - 1 : c.Sent;
    builder.BeginFrame({format, frame + 1 == frames, lineBytes, c.Pixels, c.Announced, c.Depth});
    std::vector<uint8_t> data;
    for (int y = 0; y < sent; ++y)
      for (int i = 0; i < lineBytes; ++i) data.push_back(at(frame, y, i));
    // In pieces that do not end on a line.
    for (size_t from = 0; from < data.size(); from += 5)
      builder.Add(data.data() + from, std::min<size_t>(5, data.size() - from));
  }
  TSanePage page = builder.Finish();
  ASSERT_EQ(page.Height(), c.Sent);

  TDIB image;
  image.AttachHandle(static_cast<TSV_HANDLE>(page.Release()));
  ASSERT_EQ(image.PixelFormat(), c.Expected);
  ASSERT_EQ(image.Width(), c.Pixels);
  ASSERT_EQ(image.Height(), c.Sent);
  EXPECT_EQ(image.XResolution(), 300);
  for (int y = 0; y < c.Sent; ++y) {
    for (int x = 0; x < c.Pixels; ++x) {
      int expected;
      if (c.Depth == 1)
        expected = (at(0, y, x / 8) >> (7 - x % 8) & 1) ^ 1; // SANE's 1 is black
      else if (threePass)
        expected = RGBValue(at(0, y, x), at(1, y, x), y < c.Sent - 1 ? at(2, y, x) : 0);
      else if (samples == 3)
        expected = RGBValue(at(0, y, 3 * x), at(0, y, 3 * x + 1), at(0, y, 3 * x + 2));
      else
        expected = at(0, y, x);
      ASSERT_EQ(image.GetPixel(x, y), expected) << "row " << y << ", pixel " << x;
    }
    for (int i = image.RowBytes(); i < image.Stride(); ++i)
      ASSERT_EQ(image.ScanLine(y)[i], 0) << "padding of row " << y;
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
                      TFrameCase{"ColourShorter", SANE_FRAME_RGB, 8, 5, 3, 1, pf24bit},
                      TFrameCase{"ThreePassBlueShort", SANE_FRAME_RED, 8, 5, 3, 3, pf24bit}),
    [](const auto& frame) { return std::string(frame.param.Name); });

} // namespace
} // namespace test
