#pragma once

#include "tessivane/pagemem.h"

#include <cstddef>

// Sole owner of a relocatable block; frees it on destruction unless released.
class TPageHandle {
public:
  TPageHandle() = default;
  explicit TPageHandle(TSV_HANDLE handle) : FHandle(handle) {}
  TPageHandle(TPageHandle&& other) noexcept : FHandle(other.Release()) {}
  TPageHandle& operator=(TPageHandle&& other) noexcept;
  TPageHandle(const TPageHandle&) = delete;
  TPageHandle& operator=(const TPageHandle&) = delete;
  ~TPageHandle();

  // A zero-filled block; raises EOSError when memory is short.
  static TPageHandle Allocate(size_t size);

  TSV_HANDLE Get() const { return FHandle; }
  TSV_HANDLE Release();
  explicit operator bool() const { return FHandle != nullptr; }

private:
  TSV_HANDLE FHandle = nullptr;
};

// One lock of a block for the lifetime of the object.
class TBlockLock {
public:
  explicit TBlockLock(TSV_HANDLE handle); // raises EOSError for an invalid handle
  TBlockLock(const TBlockLock&) = delete;
  TBlockLock& operator=(const TBlockLock&) = delete;
  ~TBlockLock();
  void* Address() const { return FAddress; }

private:
  TSV_HANDLE FHandle;
  void* FAddress;
};
