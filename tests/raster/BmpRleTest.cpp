// Run-length coded 8- and 4-bit BMP files, coded by hand after the format's
// description: runs, literal runs with their padding, moves, ends of rows.
#include "core/MemoryStream.h"
#include "raster/DIB.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> RleBmp(int bits, int width, int height, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> file;
  auto put = [&](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) file.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  const uint32_t colours = 1u << bits;
  const uint32_t offset = 14 + 40 + 4 * colours;
  file = {'B', 'M'};
  put(offset + static_cast<uint32_t>(data.size()), 4), put(0, 4), put(offset, 4);
  put(40, 4), put(static_cast<uint32_t>(width), 4), put(static_cast<uint32_t>(height), 4);
  put(1, 2), put(static_cast<uint32_t>(bits), 2), put(bits == 8 ? 1 : 2, 4);
  put(static_cast<uint32_t>(data.size()), 4), put(3780, 4), put(3780, 4), put(colours, 4),
      put(0, 4);
  for (uint32_t i = 0; i < colours; ++i) put(i * 0x010101u, 4);
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

// The pixel indices of a page, rows from the top.
std::vector<int> Indices(const std::vector<uint8_t>& file) {
  TMemoryStream stream(file.data(), file.size());
  TDIB page;
  page.LoadFromStream(stream);
  std::vector<int> indices;
  for (int y = 0; y < page.Height(); ++y)
    for (int x = 0; x < page.Width(); ++x) indices.push_back(page.GetPixel(x, y));
  return indices;
}

} // namespace

TEST(BmpRle, EightAndFourBitRunsLiteralsMovesAndRowEnds) {
  struct TCase {
    int bits, width, height;
    std::vector<uint8_t> data;
    std::vector<int> rowsFromTheTop;
  };
  const TCase cases[] = {
      // bottom row: a run of 2 and 3 literal pixels with a pad byte; then a
      // move of 2 to the right and a run of 1; the top row: a run of 5.
      {8,
       5,
       3,
       {2, 7, 0, 3, 9, 10, 11, 0, 0, 0, 0, 2, 2, 0, 1, 5, 0, 0, 5, 1, 0, 1},
       {1, 1, 1, 1, 1, /**/ 0, 0, 5, 0, 0, /**/ 7, 7, 9, 10, 11}},
      // A move up a row, a run running past the right edge, data ending
      // without an end-of-picture escape.
      {8, 3, 2, {0, 2, 1, 1, 9, 4}, {0, 4, 4, /**/ 0, 0, 0}},
      // 4 bits: a run alternates its two nibbles; literal nibbles padded to a word.
      {4,
       6,
       2,
       {3, 0x12, 0, 3, 0x45, 0x60, 0, 0, 6, 0xAB, 0, 1},
       {10, 11, 10, 11, 10, 11, /**/ 1, 2, 1, 4, 5, 6}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.bits);
    EXPECT_EQ(Indices(RleBmp(c.bits, c.width, c.height, c.data)), c.rowsFromTheTop);
  }
  // A literal run that the data does not hold raises our error.
  EXPECT_EQ(test::ErrorOf([] { Indices(RleBmp(8, 4, 1, {0, 9, 1, 2})); }), "Stream read error");
}
