// A data source module that offers several sources, as sdk/SOURCES.md
// describes: "Multi One" and "Multi Two" (and one garbled identity the
// manager must leave out). It tells its sources apart by the application
// that calls. While it lists its sources it calls the manager named by
// MULTI_SOURCE_MANAGER, as a module may do while it loads. With
// MULTI_SOURCE_THIRD set it also offers "Multi Three", as a module does
// when a scanner has been plugged in.
#include "tessivane/twain.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <map>
#include <mutex>
#include <string>

namespace {

int gLoads = 0;
struct TCountLoad {
  TCountLoad() { ++gLoads; }
} gCountLoad;

std::mutex gLock;
std::map<TW_UINT32, std::string> gOpenByApp; // application Id -> source name
size_t gCursor = 0;

const char* const kNames[] = {"Multi One", "Multi Two", "Multi Three"};

TW_IDENTITY Named(const char* name) {
  TW_IDENTITY identity{};
  identity.ProtocolMajor = 2;
  identity.ProtocolMinor = 4;
  identity.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_DS2;
  std::strcpy(identity.Manufacturer, "Tests");
  std::strcpy(identity.ProductFamily, "Multi");
  std::strcpy(identity.ProductName, name);
  return identity;
}

void CallTheManager(pTW_IDENTITY origin) {
  const char* path = std::getenv("MULTI_SOURCE_MANAGER");
  if (path == nullptr) return;
  void* manager = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
  if (manager == nullptr) return;
  if (auto entry = reinterpret_cast<DSMENTRYPROC>(dlsym(manager, "DSM_Entry"))) {
    TW_STATUS status{};
    entry(origin, nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
  }
  dlclose(manager);
}

} // namespace

extern "C" __attribute__((visibility("default"))) TW_UINT16
DS_Entry(pTW_IDENTITY pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData) {
  if (DG != DG_CONTROL || pOrigin == nullptr) return TWRC_FAILURE;
  // MULTI_SOURCE_REFUSE_ENTRYPOINT: the module cannot take the manager's entry point.
  if (DAT == DAT_ENTRYPOINT)
    return std::getenv("MULTI_SOURCE_REFUSE_ENTRYPOINT") != nullptr ? TWRC_FAILURE : TWRC_SUCCESS;
  if (DAT == DAT_STATUS) return TWRC_SUCCESS;
  if (DAT != DAT_IDENTITY || pData == nullptr) return TWRC_FAILURE;
  auto* identity = static_cast<pTW_IDENTITY>(pData);
  std::lock_guard guard(gLock);
  switch (MSG) {
  case MSG_GETFIRST:
    CallTheManager(pOrigin);
    gCursor = 0;
    [[fallthrough]];
  case MSG_GETNEXT: {
    const size_t offered = std::getenv("MULTI_SOURCE_THIRD") != nullptr ? 3 : 2;
    if (gCursor < offered) {
      *identity = Named(kNames[gCursor++]);
      return TWRC_SUCCESS;
    }
    if (gCursor++ == offered) {
      *identity = Named("Garbled");
      std::memset(identity->ProductName, 'x', sizeof identity->ProductName);
      return TWRC_SUCCESS;
    }
    return TWRC_ENDOFLIST;
  }
  case MSG_OPENDS:
    gOpenByApp[pOrigin->Id] = identity->ProductName;
    return TWRC_SUCCESS;
  case MSG_CLOSEDS:
    gOpenByApp.erase(pOrigin->Id);
    return TWRC_SUCCESS;
  case MSG_GET: {
    // Which of its sources this application has open.
    auto open = gOpenByApp.find(pOrigin->Id);
    if (open == gOpenByApp.end()) return TWRC_FAILURE;
    const TW_UINT32 id = identity->Id;
    *identity = Named(open->second.c_str());
    identity->Id = id;
    return TWRC_SUCCESS;
  }
  default:
    return TWRC_FAILURE;
  }
}

extern "C" __attribute__((visibility("default"))) int multi_source_loads() {
  return gLoads;
}
