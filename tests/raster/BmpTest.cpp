#include "core/MemoryStream.h"
#include "raster/DIB.h"
#include "raster/RasterTestSupport.h"
#include "support/TestSupport.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

// A bitmap file of any header size, depth, direction and compression.
struct Bitmap {
  uint32_t headerSize = 40;
  int32_t width = 5;
  int32_t height = 3; // negative: top-down
  uint16_t bits = 24;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  std::vector<uint32_t> palette; // 0x00RRGGBB
  std::vector<uint32_t> masks;   // written after a 40-byte header, or inside a larger one
  std::function<void(std::vector<uint8_t>& row, int storedRow)> fill;
};

std::vector<uint8_t> Encode(const Bitmap& bmp) {
  const int64_t rows = bmp.height < 0 ? -bmp.height : bmp.height;
  const size_t stride = static_cast<size_t>(((bmp.width * bmp.bits + 31) / 32) * 4);
  const size_t entrySize = bmp.headerSize == 12 ? 3 : 4;
  const size_t extraMasks = bmp.headerSize == 40 ? bmp.masks.size() * 4 : 0;
  const size_t offBits = 14 + bmp.headerSize + extraMasks + bmp.palette.size() * entrySize;
  std::vector<uint8_t> b(offBits + stride * static_cast<size_t>(rows));
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<uint32_t>(b.size()));
  Put32(b, 10, static_cast<uint32_t>(offBits));
  Put32(b, 14, bmp.headerSize);
  if (bmp.headerSize == 12) {
    Put16(b, 18, static_cast<uint32_t>(bmp.width));
    Put16(b, 20, static_cast<uint32_t>(bmp.height));
    Put16(b, 22, 1);
    Put16(b, 24, bmp.bits);
  } else {
    Put32(b, 18, static_cast<uint32_t>(bmp.width));
    Put32(b, 22, static_cast<uint32_t>(bmp.height));
    Put16(b, 26, 1);
    Put16(b, 28, bmp.bits);
    Put32(b, 30, bmp.compression);
    Put32(b, 38, 3937);
    Put32(b, 42, 2835);
    Put32(b, 46, bmp.colorsUsed);
    for (size_t i = 0; i < bmp.masks.size(); ++i) Put32(b, 54 + 4 * i, bmp.masks[i]);
  }
  size_t at = 14 + bmp.headerSize + extraMasks;
  for (uint32_t entry : bmp.palette) {
    b[at] = static_cast<uint8_t>(entry);
    b[at + 1] = static_cast<uint8_t>(entry >> 8);
    b[at + 2] = static_cast<uint8_t>(entry >> 16);
    at += entrySize;
  }
  std::vector<uint8_t> row(stride);
  for (int64_t r = 0; r < rows; ++r) {
    std::fill(row.begin(), row.end(), 0);
    bmp.fill(row, static_cast<int>(r));
    std::memcpy(&b[offBits + static_cast<size_t>(r) * stride], row.data(), stride);
  }
  return b;
}

TDIB Decode(const std::vector<uint8_t>& bytes) {
  TMemoryStream stream(bytes.data(), bytes.size());
  TDIB page;
  page.LoadBmpFromStream(stream);
  return page;
}

} // namespace

TEST(Bmp, SavedFilesHaveTheHeaderAndBlockAsTheyAre) {
  TDIB page;
  test::RandomPage(page, 13, 7, pf4bit, 2);
  TMemoryStream stream;
  page.SaveBmpToStream(stream);
  ASSERT_EQ(stream.Size(), static_cast<int64_t>(14 + page.BlockSize()));
  const uint8_t* b = stream.Memory();
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(b[2] | b[3] << 8 | b[4] << 16 | b[5] << 24, static_cast<int>(14 + page.BlockSize()));
  EXPECT_EQ(b[10] | b[11] << 8, 54 + 64);
  auto* block = static_cast<uint8_t*>(page.Lock());
  EXPECT_EQ(std::memcmp(b + 14, block, page.BlockSize()), 0);
  page.Unlock();
}

TEST(Bmp, EveryDepthRoundTrips) {
  test::TempDir dir;
  for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf24bit}) {
    TDIB page;
    test::RandomPage(page, 29, 11, format, 3, true);
    page.SaveToBmpFile(dir.File("p.bmp"));
    TDIB back = Decode(test::ReadFile(dir.File("p.bmp")));
    EXPECT_EQ(back.PixelFormat(), format);
    EXPECT_EQ(back.ColorsUsed(), static_cast<uint32_t>(back.ColorCount()));
    EXPECT_EQ(back.XResolution(), 300);
    EXPECT_EQ(back.YResolution(), 200);
    EXPECT_EQ(test::Looks(back), test::Looks(page));
    EXPECT_EQ(uint32_t{back.FileHeader().bfOffBits}, uint32_t{page.FileHeader().bfOffBits});
  }
}

TEST(Bmp, FilesFromOtherWritersAreConverted) {
  // A top-down 24-bit file with a large information header.
  Bitmap topDown;
  topDown.headerSize = 124;
  topDown.height = -3;
  topDown.fill = [](std::vector<uint8_t>& row, int r) {
    for (int x = 0; x < 5; ++x) {
      row[3 * x] = static_cast<uint8_t>(r);       // blue
      row[3 * x + 1] = static_cast<uint8_t>(x);   // green
      row[3 * x + 2] = static_cast<uint8_t>(200); // red
    }
  };
  TDIB page = Decode(Encode(topDown));
  ASSERT_EQ(page.Height(), 3);
  EXPECT_EQ(page.GetPixel(4, 0), RGBValue(200, 4, 0)); // the first stored row is the top
  EXPECT_EQ(page.GetPixel(1, 2), RGBValue(200, 1, 2));
  EXPECT_EQ(page.XResolution(), 100);

  // 32 bits with bit fields after a 40-byte header.
  Bitmap fields;
  fields.bits = 32;
  fields.compression = 3;
  fields.masks = {0x0000FF00, 0x00FF0000, 0xFF000000};
  fields.fill = [](std::vector<uint8_t>& row, int) {
    row[1] = 10; // red
    row[2] = 20; // green
    row[3] = 30; // blue
  };
  page = Decode(Encode(fields));
  EXPECT_EQ(page.BitCount(), 24);
  EXPECT_EQ(page.GetPixel(0, 2), RGBValue(10, 20, 30));

  // 16 bits, 5-5-5 by default.
  Bitmap sixteen;
  sixteen.bits = 16;
  sixteen.fill = [](std::vector<uint8_t>& row, int) {
    uint16_t v = 31 << 10 | 0 << 5 | 31; // magenta
    row[0] = static_cast<uint8_t>(v);
    row[1] = static_cast<uint8_t>(v >> 8);
  };
  page = Decode(Encode(sixteen));
  EXPECT_EQ(page.GetPixel(0, 0), RGBValue(255, 0, 255));

  // An 8-bit file with only three palette entries.
  Bitmap shortPalette;
  shortPalette.bits = 8;
  shortPalette.colorsUsed = 3;
  shortPalette.palette = {0xFF0000, 0x00FF00, 0x0000FF};
  shortPalette.fill = [](std::vector<uint8_t>& row, int) {
    row[0] = 2;
    row[1] = 1;
  };
  page = Decode(Encode(shortPalette));
  EXPECT_EQ(page.ColorCount(), 256);
  EXPECT_EQ(test::Look(page, 0, 0), 0x0000FFu);
  EXPECT_EQ(test::Look(page, 1, 0), 0x00FF00u);
  EXPECT_EQ(page.PaletteEntry(3), 0u);

  // An old-style file with a 12-byte header and three-byte palette entries.
  Bitmap core;
  core.headerSize = 12;
  core.bits = 1;
  core.palette = {0xFFFFFF, 0x000000};
  core.fill = [](std::vector<uint8_t>& row, int) { row[0] = 0x80; };
  page = Decode(Encode(core));
  EXPECT_EQ(test::Look(page, 0, 0), 0u);
  EXPECT_EQ(test::Look(page, 1, 0), 0xFFFFFFu);
}

TEST(Bmp, BadFilesAreRefusedAndLeaveNoImage) {
  TDIB page;
  page.NewImage(3, 3, pf8bit, 0, 0);
  TMemoryStream wrong("BXxxxxxxxxxxxxxxxxxx", 20);
  try {
    page.LoadBmpFromStream(wrong);
    FAIL();
  } catch (const EDIBError& error) {
    EXPECT_EQ(error.Message(), "Invalid bitmap file !");
  }
  EXPECT_TRUE(page.Empty());

  Bitmap coded; // JPEG data inside a bitmap file
  coded.bits = 8;
  coded.compression = 4;
  coded.palette.assign(256, 0);
  coded.fill = [](std::vector<uint8_t>&, int) {};
  try {
    Decode(Encode(coded));
    FAIL();
  } catch (const EDIBError& error) {
    EXPECT_EQ(error.Message(), "Unsupported bitmap compression");
  }

  // A header that announces far more rows than the file holds.
  Bitmap big;
  big.fill = [](std::vector<uint8_t>&, int) {};
  std::vector<uint8_t> bytes = Encode(big);
  Put32(bytes, 22, 30000);
  Put32(bytes, 18, 30000);
  EXPECT_THROW(Decode(bytes), Exception);
  Put32(bytes, 2, 0xFFFFFFFF);
  EXPECT_THROW(Decode(bytes), Exception);
}
