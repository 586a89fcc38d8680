#include "core/PageHandle.h"

#include "core/Exception.h"

#include <cerrno>

TPageHandle& TPageHandle::operator=(TPageHandle&& other) noexcept {
  if (this != &other) {
    if (FHandle != nullptr) tsv_mem_free(FHandle);
    FHandle = other.Release();
  }
  return *this;
}

TPageHandle::~TPageHandle() {
  if (FHandle != nullptr) tsv_mem_free(FHandle);
}

TPageHandle TPageHandle::Allocate(size_t size) {
  TSV_HANDLE handle = tsv_mem_alloc(size);
  if (handle == nullptr) throw EOSError(ENOMEM);
  return TPageHandle(handle);
}

TSV_HANDLE TPageHandle::Release() {
  TSV_HANDLE handle = FHandle;
  FHandle = nullptr;
  return handle;
}

TBlockLock::TBlockLock(TSV_HANDLE handle) : FHandle(handle), FAddress(tsv_mem_lock(handle)) {
  if (FAddress == nullptr) throw EOSError(EINVAL);
}

TBlockLock::~TBlockLock() {
  tsv_mem_unlock(FHandle);
}
