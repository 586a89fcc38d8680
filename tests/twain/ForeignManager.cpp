// A Data Source Manager written only from the standard, for crossing the
// engine and the virtual scanner with a manager that is not ours: its memory
// functions are plain heap blocks (the lock gives the block's own address),
// not the shared block registry, and it counts the blocks still alive. One
// application, one source: the module named by FOREIGN_DSM_SOURCE.
#include "tessivane/twain.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <mutex>
#include <set>

namespace {

std::mutex gLock;
std::set<void*> gBlocks;
int gAllocations = 0;

TW_HANDLE Allocate(TW_UINT32 size) {
  void* block = std::calloc(1, size == 0 ? 1 : size);
  std::lock_guard guard(gLock);
  gBlocks.insert(block);
  ++gAllocations;
  return block;
}
void Free(TW_HANDLE handle) {
  std::lock_guard guard(gLock);
  if (gBlocks.erase(handle) == 1) std::free(handle);
}
TW_MEMREF Lock(TW_HANDLE handle) {
  return handle;
}
void Unlock(TW_HANDLE) {}

struct TForeign {
  TW_UINT16 Condition = TWCC_SUCCESS;
  TW_IDENTITY App{};
  bool AppOpen = false;
  void* Module = nullptr;
  DSENTRYPROC Source = nullptr;
  TW_IDENTITY SourceIdentity{};
  bool Listed = false;
  TWAINCALLBACKPROC Callback = nullptr;
  TW_UINTPTR RefCon = 0;
};
TForeign gManager;

TW_UINT16 Fail(TW_UINT16 condition) {
  gManager.Condition = condition;
  return TWRC_FAILURE;
}

bool LoadSource() {
  if (gManager.Source != nullptr) return true;
  const char* path = std::getenv("FOREIGN_DSM_SOURCE");
  if (path == nullptr) return false;
  gManager.Module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (gManager.Module == nullptr) return false;
  gManager.Source = reinterpret_cast<DSENTRYPROC>(dlsym(gManager.Module, "DS_Entry"));
  if (gManager.Source == nullptr) return false;
  gManager.SourceIdentity = TW_IDENTITY{};
  gManager.Source(&gManager.App, DG_CONTROL, DAT_IDENTITY, MSG_GET, &gManager.SourceIdentity);
  gManager.SourceIdentity.Id = 2;
  return true;
}

TW_ENTRYPOINT EntryPoint();

TW_UINT16 Identity(TW_UINT16 MSG, pTW_IDENTITY identity) {
  switch (MSG) {
  case MSG_GETFIRST:
  case MSG_GETDEFAULT:
    *identity = gManager.SourceIdentity;
    gManager.Listed = true;
    return TWRC_SUCCESS;
  case MSG_GETNEXT:
    return TWRC_ENDOFLIST;
  case MSG_OPENDS: {
    TW_ENTRYPOINT entry = EntryPoint();
    if (gManager.Source(&gManager.App, DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &entry) != TWRC_SUCCESS)
      return Fail(TWCC_OPERATIONERROR);
    *identity = gManager.SourceIdentity;
    return gManager.Source(&gManager.App, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, identity);
  }
  case MSG_CLOSEDS:
    gManager.Callback = nullptr;
    return gManager.Source(&gManager.App, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, identity);
  default:
    return Fail(TWCC_BADPROTOCOL);
  }
}

} // namespace

extern "C" __attribute__((visibility("default"))) TW_UINT16
DSM_Entry(pTW_IDENTITY pOrigin, pTW_IDENTITY pDest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
          TW_MEMREF pData) {
  if (pOrigin == nullptr) return TWRC_FAILURE;
  if (DG == DG_CONTROL && DAT == DAT_NULL) {
    if (gManager.Callback == nullptr) return TWRC_FAILURE;
    return gManager.Callback(pOrigin, &gManager.App, DG, DAT, MSG,
                             reinterpret_cast<TW_MEMREF>(gManager.RefCon));
  }
  if (pDest != nullptr) {
    if (gManager.Source == nullptr) return Fail(TWCC_SEQERROR);
    if (DG == DG_CONTROL && DAT == DAT_CALLBACK && MSG == MSG_REGISTER_CALLBACK) {
      const auto* callback = static_cast<pTW_CALLBACK>(pData);
      gManager.Callback = reinterpret_cast<TWAINCALLBACKPROC>(callback->CallBackProc);
      gManager.RefCon = callback->RefCon;
      return TWRC_SUCCESS;
    }
    return gManager.Source(pOrigin, DG, DAT, MSG, pData);
  }
  if (DG != DG_CONTROL) return Fail(TWCC_BADPROTOCOL);
  switch (DAT) {
  case DAT_PARENT:
    if (MSG == MSG_OPENDSM) {
      if (gManager.AppOpen) return Fail(TWCC_SEQERROR);
      pOrigin->Id = 1;
      pOrigin->SupportedGroups |= DF_DSM2;
      gManager.App = *pOrigin;
      gManager.AppOpen = true;
      return LoadSource() ? TWRC_SUCCESS : Fail(TWCC_NODS);
    }
    if (MSG == MSG_CLOSEDSM) {
      gManager.AppOpen = false;
      if (gManager.Module != nullptr) dlclose(gManager.Module);
      gManager.Module = nullptr;
      gManager.Source = nullptr;
      return TWRC_SUCCESS;
    }
    return Fail(TWCC_BADPROTOCOL);
  case DAT_IDENTITY:
    if (gManager.Source == nullptr) return Fail(TWCC_SEQERROR);
    return Identity(MSG, static_cast<pTW_IDENTITY>(pData));
  case DAT_ENTRYPOINT:
    if (MSG != MSG_GET || static_cast<pTW_ENTRYPOINT>(pData)->Size < sizeof(TW_ENTRYPOINT))
      return Fail(TWCC_BADVALUE);
    *static_cast<pTW_ENTRYPOINT>(pData) = EntryPoint();
    return TWRC_SUCCESS;
  case DAT_STATUS:
    static_cast<pTW_STATUS>(pData)->ConditionCode = gManager.Condition;
    gManager.Condition = TWCC_SUCCESS;
    return TWRC_SUCCESS;
  default:
    return Fail(TWCC_BADPROTOCOL);
  }
}

namespace {
TW_ENTRYPOINT EntryPoint() {
  TW_ENTRYPOINT entry{};
  entry.Size = sizeof entry;
  entry.DSM_Entry = &DSM_Entry;
  entry.DSM_MemAllocate = &Allocate;
  entry.DSM_MemFree = &Free;
  entry.DSM_MemLock = &Lock;
  entry.DSM_MemUnlock = &Unlock;
  return entry;
}
} // namespace

// For the test: blocks allocated so far, and blocks not yet freed.
extern "C" __attribute__((visibility("default"))) int foreign_dsm_allocations() {
  std::lock_guard guard(gLock);
  return gAllocations;
}
extern "C" __attribute__((visibility("default"))) int foreign_dsm_live_blocks() {
  std::lock_guard guard(gLock);
  return static_cast<int>(gBlocks.size());
}
