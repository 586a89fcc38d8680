// Pages of a native transfer as sources on Linux deliver them (a packed DIB,
// or a TIFF in memory), in blocks of the shared registry or of another
// manager's heap, taken into pages of the registry.
#include "twain/NativePage.h"
#include "core/MemoryStream.h"
#include "raster/DIB.h"
#include "tessivane/pagemem.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

namespace {

// Another manager's memory: heap blocks, the lock giving the block itself.
std::set<void*> gHeapBlocks;
TW_HANDLE HeapAllocate(TW_UINT32 size) {
  void* block = std::calloc(1, size);
  gHeapBlocks.insert(block);
  return block;
}
void HeapFree(TW_HANDLE handle) {
  if (gHeapBlocks.erase(handle) == 1) std::free(handle);
}
TW_MEMREF HeapLock(TW_HANDLE handle) {
  return handle;
}
void HeapUnlock(TW_HANDLE) {}
const TTwnMemory kHeap{&HeapAllocate, &HeapFree, &HeapLock, &HeapUnlock};

// A small 1-bit page with a pattern.
void Pattern(TDIB& page) {
  page.NewImage(37, 21, pf1bit, 200, 200);
  for (int y = 0; y < page.Height(); ++y)
    for (int x = 0; x < page.Width(); ++x) page.SetPixel(x, y, (x * 7 + y * 3) % 5 == 0);
}

std::vector<uint8_t> PackedDIB(TDIB& page) {
  const auto* bytes = static_cast<const uint8_t*>(tsv_mem_lock(page.Handle()));
  std::vector<uint8_t> copy(bytes, bytes + tsv_mem_size(page.Handle()));
  tsv_mem_unlock(page.Handle());
  return copy;
}

// The same packed DIB with its rows top-down and a negative height.
std::vector<uint8_t> TopDown(TDIB& page) {
  std::vector<uint8_t> bytes = PackedDIB(page);
  tsv_bitmap_info_header header;
  std::memcpy(&header, bytes.data(), sizeof header);
  const size_t row = static_cast<size_t>(page.Stride());
  const size_t bits = bytes.size() - row * static_cast<size_t>(page.Height());
  std::vector<uint8_t> flipped(bytes);
  for (int y = 0; y < page.Height(); ++y)
    std::memcpy(flipped.data() + bits + y * row,
                bytes.data() + bits + (page.Height() - 1 - y) * row, row);
  header.biHeight = -header.biHeight;
  std::memcpy(flipped.data(), &header, sizeof header);
  return flipped;
}

std::vector<uint8_t> Tiff(TDIB& page, int compression) {
  TMemoryStream stream;
  page.SaveToTiffStream(stream, false, 5, compression);
  return stream.Bytes();
}

TW_HANDLE Block(const TTwnMemory& memory, const std::vector<uint8_t>& bytes) {
  TW_HANDLE handle = memory.Alloc(bytes.size());
  std::memcpy(memory.LockHandle(handle), bytes.data(), bytes.size());
  memory.UnlockHandle(handle);
  return handle;
}

TEST(NativePageTest, PackedDIBsAndTiffsFromEitherMemoryBecomeRegistryPages) {
  TDIB original;
  Pattern(original);
  struct TCase {
    const char* What;
    std::vector<uint8_t> Bytes;
  };
  const TCase cases[] = {{"packed DIB", PackedDIB(original)},
                         {"top-down packed DIB", TopDown(original)},
                         {"uncompressed TIFF", Tiff(original, 1)},
                         {"Group 4 TIFF", Tiff(original, 4)}};
  for (const TCase& c : cases)
    for (const TTwnMemory& memory : {TTwnMemory{}, kHeap})
      for (bool raw : {true, false}) {
        SCOPED_TRACE(testing::Message() << c.What << (memory.FromManager() ? ", heap" : "")
                                        << (raw ? ", raw" : ", section"));
        uint16_t condition = 0xFFFF;
        TSV_HANDLE page = TakeNativePage(memory, Block(memory, c.Bytes), raw, condition);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(condition, TWCC_SUCCESS);
        EXPECT_TRUE(gHeapBlocks.empty()); // the source's block went back
        TDIB taken;
        taken.AttachHandle(page);
        ASSERT_EQ(taken.Width(), 37);
        ASSERT_EQ(taken.Height(), 21);
        int differences = 0;
        for (int y = 0; y < 21; ++y)
          for (int x = 0; x < 37; ++x)
            differences += taken.PaletteEntry(taken.GetPixel(x, y)) !=
                           original.PaletteEntry(original.GetPixel(x, y));
        EXPECT_EQ(differences, 0);
      }
}

TEST(NativePageTest, AnythingElseIsRefusedAndFreed) {
  TDIB original;
  Pattern(original);
  std::vector<uint8_t> truncatedTiff = Tiff(original, 1);
  truncatedTiff.resize(truncatedTiff.size() / 2);
  const std::vector<std::vector<uint8_t>> refused = {
      std::vector<uint8_t>(64, 0x5A),                     // nothing known
      {'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0}, // a directory far outside
      truncatedTiff};
  for (const std::vector<uint8_t>& bytes : refused) {
    uint16_t condition = 0;
    EXPECT_EQ(TakeNativePage(TTwnMemory{}, Block(TTwnMemory{}, bytes), false, condition), nullptr);
    EXPECT_EQ(condition, TWCC_BADVALUE);
  }
  uint16_t condition = 0;
  EXPECT_EQ(TakeNativePage(kHeap, Block(kHeap, std::vector<uint8_t>(64, 0x5A)), true, condition),
            nullptr);
  EXPECT_EQ(condition, TWCC_BADVALUE);
  EXPECT_TRUE(gHeapBlocks.empty());
  EXPECT_EQ(TakeNativePage(kHeap, nullptr, true, condition), nullptr);
  EXPECT_EQ(condition, TWCC_BADVALUE);
}

} // namespace
