// Pages made from what sources deliver: DIB sections, BMP files read back,
// colour tables and resolutions of memory transfers.
#include "twain/DIBSection.h"
#include "support/TestSupport.h"
#include "tessivane/pagemem.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct TBlock {
  explicit TBlock(TSV_HANDLE handle)
      : Handle(handle), Data(static_cast<uint8_t*>(tsv_mem_lock(handle))) {}
  ~TBlock() { tsv_mem_free(Handle); }
  const TTwnBitmapInfoHeader& Header() const {
    return *reinterpret_cast<const TTwnBitmapInfoHeader*>(Data);
  }
  uint32_t Entry(int i) const {
    uint32_t value;
    std::memcpy(&value, Data + 40 + 4 * i, 4);
    return value;
  }
  TSV_HANDLE Handle;
  uint8_t* Data;
};

// A packed DIB announcing `entries` colours (biClrUsed), with `table` table
// entries (the announced number unless given), then rows of `fill`.
std::vector<uint8_t> Packed(int width, int height, int bits, uint32_t entries, uint8_t fill,
                            int32_t xPels = 0, int32_t yPels = 0, int table = -1) {
  const uint32_t tableEntries = table < 0 ? entries : static_cast<uint32_t>(table);
  TTwnBitmapInfoHeader header{};
  header.biSize = 40;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<uint16_t>(bits);
  header.biXPelsPerMeter = xPels;
  header.biYPelsPerMeter = yPels;
  header.biClrUsed = entries;
  std::vector<uint8_t> packed(
      40 + 4 * tableEntries + static_cast<size_t>(DIBRowSize(width, bits) * height), fill);
  std::memcpy(packed.data(), &header, 40);
  for (uint32_t i = 0; i < tableEntries; ++i) {
    const uint32_t entry = GreyEntry(static_cast<uint8_t>(i * 40));
    std::memcpy(packed.data() + 40 + 4 * i, &entry, 4);
  }
  return packed;
}

TEST(DIBSectionTest, MissingResolutionsAndImageSizeAreCompleted) {
  const std::vector<uint8_t> packed = Packed(10, 3, 8, 0, 7, 0, 0, 256);
  TBlock section(BuildDIBSection(packed.data(), packed.size()));
  ASSERT_NE(section.Handle, nullptr);
  EXPECT_EQ(section.Header().biXPelsPerMeter, 11811);
  EXPECT_EQ(section.Header().biYPelsPerMeter, 11811);
  EXPECT_EQ(section.Header().biSizeImage, 12u * 3);
  EXPECT_EQ(section.Header().biClrUsed, 0u);
  // biClrUsed 0 on 8 bits: the source gave the full table of 256.
  EXPECT_EQ(tsv_mem_size(section.Handle), 40u + 1024 + 36);
}

TEST(DIBSectionTest, OneResolutionCompletesTheOther) {
  const std::vector<uint8_t> packed = Packed(8, 1, 1, 2, 0, 3937, 0);
  TBlock section(BuildDIBSection(packed.data(), packed.size()));
  EXPECT_EQ(section.Header().biYPelsPerMeter, 3937);
}

TEST(DIBSectionTest, ShortTablesAreCompletedWithZeroEntries) {
  const std::vector<uint8_t> packed = Packed(4, 2, 8, 3, 0x55);
  TBlock section(BuildDIBSection(packed.data(), packed.size()));
  ASSERT_EQ(tsv_mem_size(section.Handle), 40u + 1024 + 8);
  EXPECT_EQ(section.Entry(2), GreyEntry(80));
  EXPECT_EQ(section.Entry(3), 0u);
  EXPECT_EQ(section.Data[40 + 1024], 0x55);
}

TEST(DIBSectionTest, TwentyFourBitTablesAreSkipped) {
  std::vector<uint8_t> packed = Packed(2, 2, 24, 4, 0xAB);
  TBlock section(BuildDIBSection(packed.data(), packed.size()));
  ASSERT_EQ(tsv_mem_size(section.Handle), 40u + 16);
  EXPECT_EQ(section.Header().biClrUsed, 0u);
  EXPECT_EQ(section.Data[40], 0xAB); // the bits follow the header directly
}

TEST(DIBSectionTest, CoreHeadersBecomeInfoHeaders) {
  std::vector<uint8_t> packed(12 + 2 * 3 + 4 * 2, 0xFF);
  const uint32_t size = 12;
  const uint16_t width = 9, height = 2, planes = 1, bits = 1;
  std::memcpy(packed.data(), &size, 4);
  std::memcpy(packed.data() + 4, &width, 2);
  std::memcpy(packed.data() + 6, &height, 2);
  std::memcpy(packed.data() + 8, &planes, 2);
  std::memcpy(packed.data() + 10, &bits, 2);
  const uint8_t black[3] = {0, 0, 0};
  std::memcpy(packed.data() + 12, black, 3);
  TBlock section(BuildDIBSection(packed.data(), packed.size()));
  ASSERT_NE(section.Handle, nullptr);
  EXPECT_EQ(section.Header().biSize, 40u);
  EXPECT_EQ(section.Header().biWidth, 9);
  EXPECT_EQ(section.Entry(0), 0u);
  EXPECT_EQ(section.Entry(1), 0xFFFFFFu);
}

TEST(DIBSectionTest, MalformedPagesAreRefused) {
  std::vector<uint8_t> packed = Packed(100, 100, 8, 0, 0, 0, 0, 256);
  EXPECT_EQ(BuildDIBSection(packed.data(), packed.size() - 1), nullptr); // bits cut short
  std::vector<uint8_t> huge = Packed(1, 1, 8, 0, 0, 0, 0, 256);
  const int32_t big = 1 << 20;
  std::memcpy(huge.data() + 4, &big, 4);
  std::memcpy(huge.data() + 8, &big, 4);
  EXPECT_EQ(BuildDIBSection(huge.data(), huge.size()), nullptr); // a terabyte page
  const std::vector<uint8_t> noTable = Packed(10, 3, 8, 0, 7); // 256 colours announced, none there
  EXPECT_EQ(BuildDIBSection(noTable.data(), noTable.size()), nullptr);
  std::vector<uint8_t> bad = Packed(1, 1, 8, 0, 0, 0, 0, 256);
  const uint32_t odd = 20;
  std::memcpy(bad.data(), &odd, 4);
  EXPECT_EQ(BuildDIBSection(bad.data(), bad.size()), nullptr);
}

TEST(DIBSectionTest, BmpFilesAreReadBackWholeOrAsASection) {
  test::TempDir dir;
  const std::vector<uint8_t> packed = Packed(3, 2, 4, 0, 0x12);
  const uint32_t table = 16 * 4;
  std::vector<uint8_t> file(14, 0);
  file[0] = 'B';
  file[1] = 'M';
  const uint32_t total = static_cast<uint32_t>(14 + packed.size() + table);
  const uint32_t offset = 14 + 40 + table;
  std::memcpy(file.data() + 2, &total, 4);
  std::memcpy(file.data() + 10, &offset, 4);
  file.insert(file.end(), packed.begin(), packed.begin() + 40);
  for (int i = 0; i < 16; ++i) {
    const uint32_t entry = GreyEntry(static_cast<uint8_t>(17 * i));
    file.insert(file.end(), reinterpret_cast<const uint8_t*>(&entry),
                reinterpret_cast<const uint8_t*>(&entry) + 4);
  }
  file.insert(file.end(), packed.begin() + 40, packed.end());
  test::WriteFile(dir.File("page.bmp"), file);

  TBlock raw(ReadBmpFile(dir.File("page.bmp"), true));
  ASSERT_EQ(tsv_mem_size(raw.Handle), file.size() - 14);
  EXPECT_EQ(std::memcmp(raw.Data, file.data() + 14, file.size() - 14), 0);
  TBlock section(ReadBmpFile(dir.File("page.bmp"), false));
  ASSERT_NE(section.Handle, nullptr);
  EXPECT_EQ(section.Entry(15), GreyEntry(255));
  EXPECT_EQ(section.Data[40 + 64], 0x12);

  test::WriteFile(dir.File("text.bmp"), {'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'});
  EXPECT_EQ(ReadBmpFile(dir.File("text.bmp"), false), nullptr);
  EXPECT_EQ(ReadBmpFile(dir.File("missing.bmp"), true), nullptr);
}

TEST(DIBSectionTest, GreyRampsOfMemoryTransfers) {
  const std::vector<uint32_t> sixteen = GreyRamp(16, false);
  ASSERT_EQ(sixteen.size(), 16u);
  EXPECT_EQ(sixteen[0], GreyEntry(0));
  EXPECT_EQ(sixteen[1], GreyEntry(16));
  EXPECT_EQ(sixteen[2], GreyEntry(33));
  EXPECT_EQ(sixteen[15], GreyEntry(254));
  EXPECT_EQ(GreyRamp(16, true)[0], GreyEntry(255));
  EXPECT_EQ(GreyRamp(2, false), (std::vector<uint32_t>{GreyEntry(0), GreyEntry(255)}));
  EXPECT_EQ(GreyRamp(256, false)[200], GreyEntry(200));
}

TEST(DIBSectionTest, ResolutionsInEveryUnit) {
  EXPECT_EQ(PelsPerMetre(300, TWUN_INCHES), 11811);
  EXPECT_EQ(PelsPerMetre(100, TWUN_INCHES), 3937);
  EXPECT_EQ(PelsPerMetre(118.11, TWUN_CENTIMETERS), 11811);
  EXPECT_EQ(PelsPerMetre(50, TWUN_PICAS), 11811);
  EXPECT_EQ(PelsPerMetre(300.0 / 72, TWUN_POINTS), 11811);
  EXPECT_EQ(PelsPerMetre(300.0 / 1440, TWUN_TWIPS), 11811);
  EXPECT_EQ(PelsPerMetre(300, TWUN_PIXELS), 11811);
}

TEST(DIBSectionTest, RowsAreFlipped) {
  std::vector<uint8_t> bits = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  FlipRows(bits.data(), 4, 3);
  EXPECT_EQ(bits, (std::vector<uint8_t>{9, 10, 11, 12, 5, 6, 7, 8, 1, 2, 3, 4}));
}

} // namespace
