#include "twain/NativePage.h"

#include "twain/DIBSection.h"

#include <cstring>

namespace {

TSV_HANDLE CopyToRegistry(const uint8_t* bytes, size_t size) {
  TSV_HANDLE block = tsv_mem_alloc(size);
  if (block == nullptr) return nullptr;
  std::memcpy(tsv_mem_lock(block), bytes, size);
  tsv_mem_unlock(block);
  return block;
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
    if (bytes == nullptr || extent == 0) {
      condition = TWCC_BADVALUE;
    } else if (raw && registry) {
      page = static_cast<TSV_HANDLE>(image);
    } else {
      page = raw ? CopyToRegistry(bytes, extent) : BuildDIBSection(bytes, extent);
      if (page == nullptr) condition = TWCC_LOWMEMORY;
    }
  }
  if (page != image) memory.FreeHandle(image);
  return page;
}
