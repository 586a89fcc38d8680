// Strips of a memory transfer placed into the page: bounded by what the
// source wrote, by its row spacing and by the page, placed by YOffset.
#include "twain/MemStrip.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// An 8-bit page of 10 x 6 pixels, rows of 12 bytes, all 0xEE.
struct TPage {
  std::vector<uint8_t> Bytes = std::vector<uint8_t>(12 * 6, 0xEE);
  TMemPage Page() { return {Bytes.data(), 12, 10, 6, 8}; }
};

TW_IMAGEMEMXFER Strip(uint32_t bytesPerRow, uint32_t columns, uint32_t rows, uint32_t x,
                      uint32_t y, uint32_t written) {
  TW_IMAGEMEMXFER strip{};
  strip.Compression = TWCP_NONE;
  strip.BytesPerRow = bytesPerRow;
  strip.Columns = columns;
  strip.Rows = rows;
  strip.XOffset = x;
  strip.YOffset = y;
  strip.BytesWritten = written;
  return strip;
}

// The source's buffer: row r, byte i holds r * 16 + i (up to the spacing).
std::vector<uint8_t> Buffer(size_t size) {
  std::vector<uint8_t> buffer(size);
  for (size_t i = 0; i < size; ++i) buffer[i] = static_cast<uint8_t>(i);
  return buffer;
}

TEST(MemStripTest, RowsArePlacedAtTheSourcesSpacingAndTheStripsOffset) {
  TPage page;
  // Rows 16 bytes apart, the page's rows 12 apart; the strip starts at row 3.
  const std::vector<uint8_t> buffer = Buffer(64);
  ASSERT_TRUE(PlaceStrip(Strip(16, 10, 2, 0, 3, 26), buffer.data(), buffer.size(), page.Page()));
  for (int x = 0; x < 10; ++x) {
    EXPECT_EQ(page.Bytes[3 * 12 + x], x);
    EXPECT_EQ(page.Bytes[4 * 12 + x], 16 + x);
  }
  EXPECT_EQ(page.Bytes[3 * 12 + 10], 0xEE); // padding of the DIB row untouched
  EXPECT_EQ(page.Bytes[2 * 12], 0xEE);
  EXPECT_EQ(page.Bytes[5 * 12], 0xEE);
  // Placed by XOffset too.
  ASSERT_TRUE(PlaceStrip(Strip(4, 4, 1, 6, 0, 4), buffer.data(), buffer.size(), page.Page()));
  EXPECT_EQ(page.Bytes[5], 0xEE);
  EXPECT_EQ(page.Bytes[6], 0);
  EXPECT_EQ(page.Bytes[9], 3);
}

TEST(MemStripTest, StripsThatDoNotFitAreRefusedUntouched) {
  struct TCase {
    const char* What;
    TW_IMAGEMEMXFER Strip;
    size_t BufferSize;
  };
  const TCase cases[] = {
      {"spacing beyond what was written", Strip(100, 10, 3, 0, 0, 120), 400},
      {"more written than the buffer holds", Strip(16, 10, 3, 0, 0, 42), 20},
      {"rows below the page", Strip(12, 10, 2, 0, 5, 24), 400},
      {"columns past the right edge", Strip(12, 8, 1, 4, 0, 12), 400},
      {"spacing shorter than a row", Strip(8, 10, 1, 0, 0, 8), 400},
      {"huge offsets", Strip(12, 10, 1, 0, 0xFFFFFFFFu, 12), 400},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TPage page;
    const std::vector<uint8_t> buffer = Buffer(400);
    EXPECT_FALSE(PlaceStrip(c.Strip, buffer.data(), c.BufferSize, page.Page()));
    EXPECT_EQ(page.Bytes, std::vector<uint8_t>(12 * 6, 0xEE));
  }
  TPage page;
  TW_IMAGEMEMXFER compressed = Strip(12, 10, 1, 0, 0, 12);
  compressed.Compression = TWCP_GROUP4;
  const std::vector<uint8_t> buffer = Buffer(12);
  EXPECT_FALSE(PlaceStrip(compressed, buffer.data(), buffer.size(), page.Page()));
  // A bilevel strip starting inside a byte.
  std::vector<uint8_t> bits(4 * 2, 0);
  EXPECT_FALSE(PlaceStrip(Strip(4, 8, 1, 3, 0, 4), buffer.data(), buffer.size(),
                          TMemPage{bits.data(), 4, 32, 2, 1}));
}

} // namespace
