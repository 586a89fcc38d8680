#include "raster/DIB.h"
#include "core/MemoryStream.h"
#include "raster/RasterTestSupport.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

const TPixelFormat kFormats[] = {pf1bit, pf4bit, pf8bit, pf24bit};

} // namespace

TEST(DIBLayout, StridesRowBytesAndBlockSize) {
  TDIB page;
  for (TPixelFormat format : kFormats) {
    page.NewImage(1, 1, format, 300, 300);
    EXPECT_EQ(page.Stride(), 4) << format;
  }
  page.NewImage(33, 2, pf1bit, 300, 300);
  EXPECT_EQ(page.Stride(), 8);
  EXPECT_EQ(page.RowBytes(), 5);
  EXPECT_EQ(page.BlockSize(), 40u + 8 + 2 * 8);
  page.NewImage(5, 3, pf24bit, 300, 300);
  EXPECT_EQ(page.Stride(), 16);
  EXPECT_EQ(page.RowBytes(), 15);
  EXPECT_EQ(page.ColorCount(), 0);
  EXPECT_EQ(page.BlockSize(), 40u + 3 * 16);
  const TBitmapInfoHeader* h = page.InfoHeader();
  EXPECT_EQ(h->biSize, 40u);
  EXPECT_EQ(h->biPlanes, 1);
  EXPECT_EQ(h->biSizeImage, 48u);
  EXPECT_EQ(h->biClrUsed, 0u);
  EXPECT_EQ(uint16_t{page.FileHeader().bfType}, 0x4D42);
  EXPECT_EQ(uint32_t{page.FileHeader().bfOffBits}, 54u);
}

TEST(DIBLayout, RowsAreStoredBottomUp) {
  TDIB page;
  page.NewImage(8, 3, pf8bit, 0, 0);
  page.SetPixel(0, 0, 11); // top row
  auto* block = static_cast<uint8_t*>(page.Lock());
  const uint8_t* pixels = block + 40 + 1024;
  EXPECT_EQ(pixels[2 * 8], 11); // the top row is the last one in the block
  page.Unlock();
}

TEST(DIBLayout, ResolutionIsKeptInPixelsPerMetre) {
  TDIB page;
  page.NewImage(10, 10, pf1bit, 300, 200);
  EXPECT_EQ(page.InfoHeader()->biXPelsPerMeter, 11811);
  EXPECT_EQ(page.InfoHeader()->biYPelsPerMeter, 7874);
  EXPECT_EQ(page.XResolution(), 300);
  EXPECT_EQ(page.YResolution(), 200);
}

TEST(DIBLayout, NewPagesAreBlankWithTheirStandardPalettes) {
  TDIB page;
  page.NewImage(3, 3, pf1bit, 0, 0);
  EXPECT_EQ(page.PaletteEntry(0), 0x000000u);
  EXPECT_EQ(page.PaletteEntry(1), 0xFFFFFFu);
  EXPECT_EQ(page.GetPixel(2, 2), 0);
  page.NewImage(3, 3, pf4bit, 0, 0);
  EXPECT_EQ(page.PaletteEntry(1), 0x101010u);
  EXPECT_EQ(page.PaletteEntry(15), 0xF0F0F0u);
  page.NewImage(3, 3, pf8bit, 0, 0);
  for (int i = 0; i < 256; ++i)
    ASSERT_EQ(page.PaletteEntry(i), static_cast<uint32_t>(i * 0x010101));
}

TEST(DIBLayout, OtherPixelFormatsAreRefusedAndLeaveNoImage) {
  TDIB page;
  page.NewImage(3, 3, pf8bit, 0, 0);
  for (TPixelFormat format : {pfDevice, pf15bit, pf16bit, pf32bit, pfCustom}) {
    try {
      page.NewImage(3, 3, format, 0, 0);
      FAIL() << format;
    } catch (const EDIBError& error) {
      EXPECT_EQ(error.Message(), "Bit depht not allowed");
    }
    EXPECT_TRUE(page.Empty());
    EXPECT_EQ(page.Width(), 0);
  }
}

TEST(DIBLayout, AbsurdSizesAreRefusedBeforeAllocation) {
  TDIB page;
  EXPECT_THROW(page.NewImage(200000, 200000, pf24bit, 0, 0), EDIBError);
  EXPECT_THROW(page.NewImage(-1, 10, pf8bit, 0, 0), EDIBError);
  page.NewImage(0, 0, pf8bit, 0, 0);
  EXPECT_EQ(page.Width(), 0);
}

TEST(DIBPixels, OneBitValuesClearOrSetByTheirSign) {
  TDIB page;
  page.NewImage(16, 1, pf1bit, 0, 0);
  page.SetPixel(9, 0, 2);
  EXPECT_EQ(page.GetPixel(9, 0), 1);
  EXPECT_EQ(page.ScanLine(0)[1], 0x40);
  page.SetPixel(9, 0, -1);
  EXPECT_EQ(page.GetPixel(9, 0), 0);
  page.SetPixel(9, 0, 1);
  page.SetPixel(9, 0, 0);
  EXPECT_EQ(page.GetPixel(9, 0), 0);
}

TEST(DIBPixels, FourEightAndTwentyFourBitPacking) {
  TDIB page;
  page.NewImage(4, 1, pf4bit, 0, 0);
  page.SetPixel(0, 0, 0x1A);
  page.SetPixel(1, 0, 0x2B);
  EXPECT_EQ(page.ScanLine(0)[0], 0xAB);
  EXPECT_EQ(page.GetPixel(1, 0), 0xB);
  page.NewImage(4, 1, pf8bit, 0, 0);
  page.SetPixel(3, 0, 0x1FF);
  EXPECT_EQ(page.GetPixel(3, 0), 0xFF);
  page.NewImage(2, 1, pf24bit, 0, 0);
  uint8_t* row = page.ScanLine(0);
  row[0] = 10; // blue
  row[1] = 20; // green
  row[2] = 30; // red
  EXPECT_EQ(page.GetPixel(0, 0), 0x0A141E);
  page.SetPixel(1, 0, RGBValue(200, 100, 50));
  EXPECT_EQ(row[3], 50);
  EXPECT_EQ(row[4], 100);
  EXPECT_EQ(row[5], 200);
}

TEST(DIBPalette, WhiteAndBlackIndexAndInvertingKeepsTheLook) {
  TDIB page;
  test::RandomPage(page, 37, 5, pf1bit, 7);
  page.SetPaletteEntry(0, 0xFFFFFF);
  page.SetPaletteEntry(1, 0x000000);
  EXPECT_EQ(page.WhiteIndex(), 0);
  EXPECT_EQ(page.BlackIndex(), 1);
  EXPECT_TRUE(page.HasStandardPalette());
  auto before = test::Looks(page);
  page.InvertKeepingAppearance();
  EXPECT_EQ(page.WhiteIndex(), 1);
  EXPECT_EQ(page.BlackIndex(), 0);
  EXPECT_FALSE(page.HasStandardPalette());
  EXPECT_EQ(test::Looks(page), before);

  test::RandomPage(page, 9, 9, pf8bit, 3, true);
  before = test::Looks(page);
  page.InvertKeepingAppearance();
  EXPECT_EQ(test::Looks(page), before);
}

TEST(DIBPalette, FallbackIndicesWhenThePaletteHasNoWhiteOrBlack) {
  TDIB page;
  page.NewImage(2, 2, pf8bit, 0, 0);
  for (int i = 0; i < 256; ++i) page.SetPaletteEntry(i, 0x123456);
  EXPECT_EQ(page.WhiteIndex(), 255);
  EXPECT_EQ(page.BlackIndex(), 0);
  EXPECT_FALSE(page.HasStandardPalette());
  page.NewImage(2, 2, pf4bit, 0, 0);
  for (int i = 0; i < 16; ++i) page.SetPaletteEntry(i, 0x123456);
  EXPECT_EQ(page.WhiteIndex(), 0);
  EXPECT_EQ(page.BlackIndex(), 1);
  EXPECT_TRUE(page.HasStandardPalette());
  page.NewImage(2, 2, pf24bit, 0, 0);
  EXPECT_EQ(page.WhiteIndex(), 0xFFFFFF);
  EXPECT_EQ(page.BlackIndex(), 0);
  page.NewImage(2, 2, pf8bit, 0, 0);
  EXPECT_EQ(page.WhiteIndex(), 255);
  EXPECT_EQ(page.BlackIndex(), 0);
  EXPECT_TRUE(page.HasStandardPalette());
}

TEST(DIBPalette, LogicalPaletteEntriesAreCopied) {
  TDIB page;
  page.NewImage(2, 2, pf4bit, 0, 0);
  TLogPalette palette;
  palette.palNumEntries = 2;
  palette.palPalEntry[0] = {1, 2, 3, 0};
  palette.palPalEntry[1] = {250, 251, 252, 0};
  page.SetPaletteFromLogPalette(palette);
  EXPECT_EQ(page.PaletteEntry(0), PaletteColor(1, 2, 3));
  EXPECT_EQ(page.PaletteEntry(1), PaletteColor(250, 251, 252));
  EXPECT_EQ(page.PaletteEntry(2), 0x202020u);
}

TEST(DIBHandle, AttachedBlocksAreSharedOrOwned) {
  TDIB source;
  test::RandomPage(source, 21, 13, pf8bit, 5);
  auto looks = test::Looks(source);
  TSV_HANDLE handle = source.Handle();
  source.SetOwnsHandle(false);
  source.Clear();
  {
    TDIB user;
    user.AttachHandle(handle);
    user.SetOwnsHandle(false);
    EXPECT_EQ(user.Width(), 21);
    EXPECT_EQ(test::Looks(user), looks);
    EXPECT_EQ(tsv_mem_lock_count(handle), 1u);
  }
  EXPECT_EQ(tsv_mem_lock_count(handle), 0u);
  EXPECT_EQ(tsv_mem_size(handle), 40u + 1024 + 13 * 24);
  {
    TDIB owner;
    owner.AttachHandle(handle);
    EXPECT_EQ(owner.Handle(), handle);
  }
  EXPECT_EQ(tsv_mem_size(handle), 0u); // freed by its owner
}

TEST(DIBHandle, BlocksThatAreNotPagesAreRefusedAndLeftAlone) {
  TSV_HANDLE tiny = tsv_mem_alloc(12);
  TDIB page;
  EXPECT_THROW(page.AttachHandle(tiny), EDIBError);
  EXPECT_TRUE(page.Empty());
  EXPECT_EQ(tsv_mem_size(tiny), 12u); // still the caller's
  EXPECT_EQ(tsv_mem_lock_count(tiny), 0u);
  tsv_mem_free(tiny);

  // A header promising more rows than the block holds.
  TDIB source;
  source.NewImage(100, 100, pf8bit, 0, 0);
  source.SetOwnsHandle(false);
  TSV_HANDLE handle = source.Handle();
  source.Clear();
  tsv_mem_realloc(handle, 2000);
  EXPECT_THROW(page.AttachHandle(handle), EDIBError);
  tsv_mem_free(handle);
}

TEST(DIBHandle, LocksAreCountedAndClearUnlocksCompletely) {
  TDIB page;
  page.NewImage(4, 4, pf8bit, 0, 0);
  TSV_HANDLE handle = page.Handle();
  void* address = page.Lock();
  EXPECT_EQ(page.Lock(), address);
  EXPECT_EQ(tsv_mem_lock_count(handle), 1u); // one block lock for all of ours
  page.Unlock();
  page.Unlock();
  EXPECT_EQ(tsv_mem_lock_count(handle), 1u); // the page itself still holds it
  page.SetOwnsHandle(false);
  page.Clear();
  EXPECT_EQ(tsv_mem_lock_count(handle), 0u);
  EXPECT_EQ(uint16_t{page.FileHeader().bfType}, 0);
  tsv_mem_free(handle);
}

TEST(DIBLoad, TheReaderIsChosenBySignature) {
  TDIB page;
  // "MM" goes to the TIFF reader, which cannot open this.
  TMemoryStream tiffLike("MM\0*garbage", 11);
  try {
    page.LoadFromStream(tiffLike, 0);
    FAIL();
  } catch (const EDIBError& error) {
    EXPECT_EQ(error.Message(), "TIFFOpen");
  }
  // A GIF goes to the JPEG reader and fails there with the decoder's message.
  TMemoryStream gif("GIF89a\1\0\1\0\0\0\0;", 14);
  try {
    page.LoadFromStream(gif, 0);
    FAIL();
  } catch (const EDIBError& error) {
    EXPECT_EQ(error.Message(), "Not a JPEG file: starts with 0x47 0x49");
  }
  TMemoryStream bmpLike("BMxxxxxxxxxxxxxxxx", 18);
  EXPECT_THROW(page.LoadFromStream(bmpLike, 0), Exception);
  TMemoryStream empty;
  EXPECT_THROW(page.LoadFromStream(empty, 0), EDIBError);
}

TEST(DIBLoad, TheStreamPositionIsWhereTheFileStarts) {
  TDIB page;
  test::RandomPage(page, 10, 10, pf8bit, 1);
  TMemoryStream stream;
  stream.WriteBuffer("prefix", 6);
  page.SaveBmpToStream(stream);
  stream.SetPosition(6);
  TDIB back;
  back.LoadFromStream(stream, 0);
  EXPECT_EQ(test::Looks(back), test::Looks(page));
}
