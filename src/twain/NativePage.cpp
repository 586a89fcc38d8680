#include "twain/NativePage.h"

#include "core/Exception.h"
#include "core/MemoryStream.h"
#include "raster/DIB.h"
#include "twain/DIBSection.h"
#include "twain/TiffExtent.h"

#include <algorithm>
#include <cstring>

namespace {

TSV_HANDLE CopyToRegistry(const uint8_t* bytes, size_t size) {
  TSV_HANDLE block = tsv_mem_alloc(size);
  if (block == nullptr) return nullptr;
  std::memcpy(tsv_mem_lock(block), bytes, size);
  tsv_mem_unlock(block);
  return block;
}

// A raw page with top-down rows (as sources on Linux may send) turned
// bottom-up in place, as every page of this program is.
void MakeBottomUp(TSV_HANDLE page, size_t extent) {
  auto* bytes = static_cast<uint8_t*>(tsv_mem_lock(page));
  TTwnBitmapInfoHeader header;
  std::memcpy(&header, bytes, sizeof header);
  if (header.biSize >= 40 && header.biHeight < 0 && header.biCompression == 0) {
    const size_t bits = extent - static_cast<size_t>(DIBRowSize(header.biWidth, header.biBitCount) *
                                                     -static_cast<int64_t>(header.biHeight));
    TurnBottomUp(header, bytes + bits);
    std::memcpy(bytes, &header, sizeof header);
  }
  tsv_mem_unlock(page);
}

// A TIFF the source delivered, read through the raster library into a page
// of the registry (a packed DIB, bottom-up).
TSV_HANDLE PageFromTiff(const uint8_t* bytes, size_t size, bool raw, uint16_t& condition) {
  const size_t limit = static_cast<size_t>(std::min<uint64_t>(size, 2 * kMaxTransferBytes));
  const size_t extent = TiffExtent(bytes, limit);
  if (extent == 0) {
    condition = TWCC_BADVALUE;
    return nullptr;
  }
  try {
    TMemoryStream stream(bytes, extent);
    TDIB page;
    page.LoadTiffFromStream(stream, 0);
    page.SetOwnsHandle(false);
    TSV_HANDLE block = page.Handle();
    if (raw) return block;
    // The section is built like any other, with its full colour table.
    TSV_HANDLE section =
        BuildDIBSection(static_cast<const uint8_t*>(tsv_mem_lock(block)), tsv_mem_size(block));
    tsv_mem_unlock(block);
    tsv_mem_free(block);
    if (section == nullptr) condition = TWCC_LOWMEMORY;
    return section;
  } catch (const Exception&) {
    condition = TWCC_BADVALUE;
    return nullptr;
  }
}

} // namespace

TSV_HANDLE TakeNativePage(const TTwnMemory& memory, TW_HANDLE image, bool raw,
                          uint16_t& condition) {
  condition = TWCC_SUCCESS;
  if (image == nullptr) {
    condition = TWCC_BADVALUE;
    return nullptr;
  }
  const size_t size = BlockSize(image);
  const bool registry = size != kUnknownBlockSize;
  if (registry && size == 0) {
    memory.FreeHandle(image);
    condition = TWCC_BADVALUE;
    return nullptr;
  }
  TSV_HANDLE page = nullptr;
  {
    TLockedBlock locked(memory, image);
    const auto* bytes = static_cast<const uint8_t*>(locked.Address());
    const size_t extent = bytes != nullptr ? PackedDIBSize(bytes, size) : 0;
    if (bytes != nullptr && IsTiff(bytes, std::min<size_t>(size, 4))) {
      page = PageFromTiff(bytes, size, raw, condition);
    } else if (bytes == nullptr || extent == 0) {
      condition = TWCC_BADVALUE;
    } else if (raw) {
      page = registry ? static_cast<TSV_HANDLE>(image) : CopyToRegistry(bytes, extent);
      if (page != nullptr) MakeBottomUp(page, extent);
      if (page == nullptr) condition = TWCC_LOWMEMORY;
    } else {
      page = BuildDIBSection(bytes, extent);
      if (page == nullptr) condition = TWCC_LOWMEMORY;
    }
  }
  if (page != image) memory.FreeHandle(image);
  return page;
}
