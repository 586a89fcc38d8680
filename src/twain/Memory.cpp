#include "twain/Memory.h"

#include "tessivane/pagemem.h"

TTwnMemory TTwnMemory::FromEntryPoint(const TW_ENTRYPOINT& entry) {
  if (entry.DSM_MemAllocate == nullptr || entry.DSM_MemFree == nullptr ||
      entry.DSM_MemLock == nullptr || entry.DSM_MemUnlock == nullptr)
    return {};
  return {entry.DSM_MemAllocate, entry.DSM_MemFree, entry.DSM_MemLock, entry.DSM_MemUnlock};
}

TW_HANDLE TTwnMemory::Alloc(size_t size) const {
  if (!FromManager()) return tsv_mem_alloc(size);
  if (size > 0xFFFFFFFFu) return nullptr;
  return Allocate(static_cast<TW_UINT32>(size));
}

void* TTwnMemory::LockHandle(TW_HANDLE handle) const {
  if (handle == nullptr) return nullptr;
  return FromManager() ? Lock(handle) : tsv_mem_lock(static_cast<TSV_HANDLE>(handle));
}

void TTwnMemory::UnlockHandle(TW_HANDLE handle) const {
  if (handle == nullptr) return;
  if (FromManager())
    Unlock(handle);
  else
    tsv_mem_unlock(static_cast<TSV_HANDLE>(handle));
}

void TTwnMemory::FreeHandle(TW_HANDLE handle) const {
  if (handle == nullptr) return;
  if (FromManager())
    Free(handle);
  else
    tsv_mem_free(static_cast<TSV_HANDLE>(handle));
}

size_t BlockSize(TW_HANDLE handle) {
  auto* block = static_cast<TSV_HANDLE>(handle);
  if (tsv_mem_lock(block) == nullptr) return kUnknownBlockSize;
  const size_t size = tsv_mem_size(block);
  tsv_mem_unlock(block);
  return size;
}

TLockedBlock::TLockedBlock(const TTwnMemory& memory, TW_HANDLE handle)
    : FMemory(memory), FHandle(handle), FAddress(memory.LockHandle(handle)) {}

TLockedBlock::~TLockedBlock() {
  if (FAddress != nullptr) FMemory.UnlockHandle(FHandle);
}
