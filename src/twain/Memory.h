#pragma once

#include "tessivane/twain.h"

#include <cstddef>

// The memory functions through which the engine allocates, locks, unlocks
// and frees the blocks it exchanges with a source (containers, native
// pages): the manager's, from DAT_ENTRYPOINT after MSG_OPENDSM when the
// manager announces DF_DSM2; with a manager that offers none, the shared
// block registry of tessivane/pagemem.h.
struct TTwnMemory {
  DSM_MEMALLOCATE Allocate = nullptr;
  DSM_MEMFREE Free = nullptr;
  DSM_MEMLOCK Lock = nullptr;
  DSM_MEMUNLOCK Unlock = nullptr;

  // The four functions of a manager's entry point, or the registry when it
  // lacks any of them.
  static TTwnMemory FromEntryPoint(const TW_ENTRYPOINT& entry);
  bool FromManager() const { return Allocate != nullptr; }

  TW_HANDLE Alloc(size_t size) const;
  void* LockHandle(TW_HANDLE handle) const;
  void UnlockHandle(TW_HANDLE handle) const;
  void FreeHandle(TW_HANDLE handle) const;
};

// The size of a block when it is one of the shared registry; a block from
// another manager's allocator has no size to ask for, and kUnknownBlockSize
// stands for it, so that the layout the block's own header describes bounds
// what is read of it.
constexpr size_t kUnknownBlockSize = static_cast<size_t>(-1) / 2;
size_t BlockSize(TW_HANDLE handle);

// A block locked for as long as the object lives; Address() is null when the
// handle is null or refused.
class TLockedBlock {
public:
  TLockedBlock(const TTwnMemory& memory, TW_HANDLE handle);
  TLockedBlock(const TLockedBlock&) = delete;
  TLockedBlock& operator=(const TLockedBlock&) = delete;
  ~TLockedBlock();
  void* Address() const { return FAddress; }

private:
  const TTwnMemory FMemory;
  TW_HANDLE FHandle;
  void* FAddress;
};
