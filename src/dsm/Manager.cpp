// The Data Source Manager: keeps the applications that opened it, loads the
// data sources of the sources folder, opens and closes them for the
// applications, forwards every triplet addressed to a source, and passes what
// a source announces (DAT_NULL) to the application's callback.
//
// The manager's lock guards its tables only; it is released before a source's
// DS_Entry or an application's callback is called, so a source may call back
// from any thread at any time.
#include "dsm/Chooser.h"
#include "dsm/DefaultSource.h"
#include "dsm/SourceModule.h"
#include "tessivane/pagemem.h"
#include "tessivane/twain.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

// The source that is the default until the operator chooses another.
constexpr const char* kFallbackDefault = "Virtual Scanner";

struct TApplication {
  TW_IDENTITY Identity{};
  TW_UINT16 Condition = TWCC_SUCCESS;
  size_t Cursor = 0; // next source of MSG_GETNEXT
};

struct TOpenSource {
  TW_UINT32 AppId = 0;
  bool Opening = false;
  TWAINCALLBACKPROC Callback = nullptr;
  TW_UINTPTR RefCon = 0;
  // What the source announced before the application registered a callback.
  std::vector<TW_UINT16> Queued;
};

TW_HANDLE MemAllocate(TW_UINT32 size) {
  return tsv_mem_alloc(size);
}
void MemFree(TW_HANDLE handle) {
  tsv_mem_free(static_cast<TSV_HANDLE>(handle));
}
TW_MEMREF MemLock(TW_HANDLE handle) {
  return tsv_mem_lock(static_cast<TSV_HANDLE>(handle));
}
void MemUnlock(TW_HANDLE handle) {
  tsv_mem_unlock(static_cast<TSV_HANDLE>(handle));
}

TW_ENTRYPOINT EntryPoint() {
  TW_ENTRYPOINT entry{};
  entry.Size = sizeof entry;
  entry.DSM_Entry = &DSM_Entry;
  entry.DSM_MemAllocate = &MemAllocate;
  entry.DSM_MemFree = &MemFree;
  entry.DSM_MemLock = &MemLock;
  entry.DSM_MemUnlock = &MemUnlock;
  return entry;
}

class TManager {
public:
  ~TManager();
  TW_UINT16 Entry(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 DG, TW_UINT16 DAT,
                  TW_UINT16 MSG, TW_MEMREF data);

private:
  TW_UINT16 Fail(TApplication& app, TW_UINT16 condition) {
    app.Condition = condition;
    return TWRC_FAILURE;
  }
  TW_UINT16 OpenDSM(std::unique_lock<std::mutex>& lock, pTW_IDENTITY origin);
  // Finds the sources of the folders anew, loading each module not loaded yet.
  void ScanSources(std::unique_lock<std::mutex>& lock, const TW_IDENTITY& origin);
  TW_UINT16 CloseDSM(std::unique_lock<std::mutex>& lock, TApplication& app);
  TW_UINT16 Identity(std::unique_lock<std::mutex>& lock, TApplication& app, TW_UINT16 MSG,
                     pTW_IDENTITY identity);
  TW_UINT16 OpenDS(std::unique_lock<std::mutex>& lock, TApplication& app, pTW_IDENTITY identity);
  TW_UINT16 CloseDS(std::unique_lock<std::mutex>& lock, TApplication& app, pTW_IDENTITY identity);
  TW_UINT16 UserSelect(std::unique_lock<std::mutex>& lock, TApplication& app,
                       pTW_IDENTITY identity);
  TW_UINT16 SetDefault(std::unique_lock<std::mutex>& lock, TApplication& app,
                       pTW_IDENTITY identity);
  TW_UINT16 Status(TApplication* app, TW_UINT16 MSG, TW_MEMREF data);
  TW_UINT16 RegisterCallback(std::unique_lock<std::mutex>& lock, TW_UINT32 sourceId, TW_UINT16 DAT,
                             TW_MEMREF data);
  TW_UINT16 Notify(pTW_IDENTITY source, pTW_IDENTITY app, TW_UINT16 MSG);
  TSourceModule* FindById(TW_UINT32 id) const;
  TSourceModule* FindByName(const char* name) const;
  TSourceModule* DefaultSource() const;
  // Asks a source why its last call failed.
  static TW_UINT16 SourceCondition(TSourceModule& source, pTW_IDENTITY origin);
  void UnloadSourcesIfUnused();

  std::mutex FLock;
  std::map<TW_UINT32, TApplication> FApps;
  std::vector<std::unique_ptr<TSourceModule>> FSources;
  // Every module loaded so far, by path: loaded once and kept while the
  // manager is loaded, so that a scan does not load its source again.
  std::map<std::string, std::shared_ptr<TModuleLibrary>> FLibraries;
  std::map<TW_UINT32, TOpenSource> FOpen; // by source Id
  TW_UINT32 FNextId = 1;
  // The condition of a call from no known application (a refused MSG_OPENDSM).
  TW_UINT16 FCondition = TWCC_SUCCESS;
};

TManager& Manager() {
  static TManager manager;
  return manager;
}

TManager::~TManager() {
  // Unloaded while sources are still open (the application gave up on the
  // session): each is reset, disabled and closed before its module goes.
  for (auto& [id, open] : FOpen) {
    TSourceModule* source = FindById(id);
    auto app = FApps.find(open.AppId);
    if (source == nullptr || app == FApps.end()) continue;
    TW_PENDINGXFERS pending{};
    TW_USERINTERFACE ui{};
    TW_IDENTITY identity = source->Identity;
    try {
      source->Entry()(&app->second.Identity, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
      source->Entry()(&app->second.Identity, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
      source->Entry()(&app->second.Identity, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &identity);
    } catch (...) {
      // A source that fails while being closed is unloaded all the same.
    }
  }
}

TSourceModule* TManager::FindById(TW_UINT32 id) const {
  for (const auto& source : FSources)
    if (source->Identity.Id == id) return source.get();
  return nullptr;
}

TSourceModule* TManager::FindByName(const char* name) const {
  for (const auto& source : FSources)
    if (std::strncmp(source->Identity.ProductName, name, sizeof(TW_STR32)) == 0)
      return source.get();
  return nullptr;
}

TSourceModule* TManager::DefaultSource() const {
  const std::string stored = StoredDefaultSource();
  if (!stored.empty())
    if (TSourceModule* source = FindByName(stored.c_str())) return source;
  if (TSourceModule* source = FindByName(kFallbackDefault)) return source;
  return FSources.empty() ? nullptr : FSources.front().get();
}

TW_UINT16 TManager::SourceCondition(TSourceModule& source, pTW_IDENTITY origin) {
  TW_STATUS status{};
  if (source.Entry()(origin, DG_CONTROL, DAT_STATUS, MSG_GET, &status) == TWRC_SUCCESS)
    return status.ConditionCode;
  return TWCC_BUMMER;
}

void TManager::UnloadSourcesIfUnused() {
  // The modules stay loaded (FLibraries); the list is made anew at the next
  // first MSG_OPENDSM.
  if (FApps.empty()) FOpen.clear();
}

TW_UINT16 TManager::Entry(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 DG, TW_UINT16 DAT,
                          TW_UINT16 MSG, TW_MEMREF data) {
  if (origin == nullptr) return TWRC_FAILURE;
  if (DG == DG_CONTROL && DAT == DAT_NULL) return Notify(origin, dest, MSG);

  std::unique_lock lock(FLock);
  if (DG == DG_CONTROL && DAT == DAT_PARENT && MSG == MSG_OPENDSM) return OpenDSM(lock, origin);
  auto found = FApps.find(TW_UINT32{origin->Id});
  if (found == FApps.end()) {
    // Not an application of this manager: it may still ask why.
    if (dest == nullptr && DG == DG_CONTROL && DAT == DAT_STATUS) return Status(nullptr, MSG, data);
    FCondition = TWCC_SEQERROR;
    return TWRC_FAILURE;
  }
  TApplication& app = found->second;

  if (dest == nullptr) {
    if (DG != DG_CONTROL) return Fail(app, TWCC_BADPROTOCOL);
    switch (DAT) {
    case DAT_PARENT:
      if (MSG == MSG_CLOSEDSM) return CloseDSM(lock, app);
      return Fail(app, MSG == MSG_OPENDSM ? TWCC_SEQERROR : TWCC_BADPROTOCOL);
    case DAT_IDENTITY:
      if (data == nullptr) return Fail(app, TWCC_BADVALUE);
      return Identity(lock, app, MSG, static_cast<pTW_IDENTITY>(data));
    case DAT_STATUS:
      return Status(&app, MSG, data);
    case DAT_ENTRYPOINT: {
      if (MSG != MSG_GET || data == nullptr || !(app.Identity.SupportedGroups & DF_APP2))
        return Fail(app, TWCC_BADPROTOCOL);
      auto* entry = static_cast<pTW_ENTRYPOINT>(data);
      // The caller says how large its record is; a smaller one would be overrun.
      if (entry->Size < sizeof(TW_ENTRYPOINT)) return Fail(app, TWCC_BADVALUE);
      *entry = EntryPoint();
      return TWRC_SUCCESS;
    }
    default:
      return Fail(app, TWCC_BADPROTOCOL);
    }
  }

  // Addressed to a source this application has open.
  auto open = FOpen.find(TW_UINT32{dest->Id});
  TSourceModule* source = FindById(dest->Id);
  if (open == FOpen.end() || open->second.AppId != app.Identity.Id || open->second.Opening ||
      source == nullptr)
    return Fail(app, TWCC_BADDEST);
  if (DG == DG_CONTROL && (DAT == DAT_CALLBACK || DAT == DAT_CALLBACK2)) {
    if (MSG != MSG_REGISTER_CALLBACK || data == nullptr) return Fail(app, TWCC_BADPROTOCOL);
    return RegisterCallback(lock, dest->Id, DAT, data);
  }
  const DSENTRYPROC entry = source->Entry();
  lock.unlock();
  return entry(origin, DG, DAT, MSG, data);
}

TW_UINT16 TManager::Status(TApplication* app, TW_UINT16 MSG, TW_MEMREF data) {
  TW_UINT16& condition = app != nullptr ? app->Condition : FCondition;
  if ((MSG != MSG_GET && MSG != MSG_CHECKSTATUS) || data == nullptr) {
    condition = TWCC_BADPROTOCOL;
    return TWRC_FAILURE;
  }
  auto* status = static_cast<pTW_STATUS>(data);
  *status = TW_STATUS{};
  status->ConditionCode = condition;
  // MSG_CHECKSTATUS looks without clearing; MSG_GET takes the code.
  if (MSG == MSG_GET) condition = TWCC_SUCCESS;
  return TWRC_SUCCESS;
}

TW_UINT16 TManager::RegisterCallback(std::unique_lock<std::mutex>& lock, TW_UINT32 sourceId,
                                     TW_UINT16 DAT, TW_MEMREF data) {
  TOpenSource& open = FOpen[sourceId];
  if (DAT == DAT_CALLBACK) {
    const auto* callback = static_cast<pTW_CALLBACK>(data);
    open.Callback = reinterpret_cast<TWAINCALLBACKPROC>(callback->CallBackProc);
    open.RefCon = callback->RefCon;
  } else {
    const auto* callback = static_cast<pTW_CALLBACK2>(data);
    open.Callback = reinterpret_cast<TWAINCALLBACKPROC>(callback->CallBackProc);
    open.RefCon = callback->RefCon;
  }
  // What the source announced meanwhile is delivered now, in order.
  std::vector<TW_UINT16> queued;
  queued.swap(open.Queued);
  TSourceModule* source = FindById(sourceId);
  if (queued.empty() || source == nullptr || open.Callback == nullptr) return TWRC_SUCCESS;
  TW_IDENTITY sourceIdentity = source->Identity;
  TW_IDENTITY appIdentity = FApps[open.AppId].Identity;
  const TWAINCALLBACKPROC callback = open.Callback;
  const TW_UINTPTR refCon = open.RefCon;
  lock.unlock();
  for (TW_UINT16 msg : queued)
    callback(&sourceIdentity, &appIdentity, DG_CONTROL, DAT_NULL, msg,
             reinterpret_cast<TW_MEMREF>(refCon));
  return TWRC_SUCCESS;
}

TW_UINT16 TManager::OpenDSM(std::unique_lock<std::mutex>& lock, pTW_IDENTITY origin) {
  if (FApps.count(TW_UINT32{origin->Id}) != 0) {
    FApps[TW_UINT32{origin->Id}].Condition = TWCC_SEQERROR;
    return TWRC_FAILURE;
  }
  if (!SoundIdentity(*origin)) {
    FCondition = TWCC_BADVALUE;
    return TWRC_FAILURE;
  }
  origin->Id = FNextId++;
  // This manager hands out its memory functions (DAT_ENTRYPOINT).
  origin->SupportedGroups |= DF_DSM2;
  TApplication& app = FApps[TW_UINT32{origin->Id}];
  app.Identity = *origin;
  if (FApps.size() == 1) ScanSources(lock, *origin);
  return TWRC_SUCCESS;
}

void TManager::ScanSources(std::unique_lock<std::mutex>& lock, const TW_IDENTITY& origin) {
  const std::map<std::string, std::shared_ptr<TModuleLibrary>> known = FLibraries;
  // Searching and loading run without the lock: a module may call the
  // manager while it loads.
  lock.unlock();
  // Each module with the sources it offers now.
  std::vector<std::pair<std::shared_ptr<TModuleLibrary>, std::vector<TW_IDENTITY>>> found;
  for (const std::string& path : FindSourceFiles(SourceFolders())) {
    TW_IDENTITY asking = origin;
    if (auto it = known.find(path); it != known.end()) {
      // Loaded before: its devices may have come or gone since.
      found.emplace_back(it->second, it->second->ListIdentities(&asking));
      continue;
    }
    auto library = std::make_shared<TModuleLibrary>();
    if (library->Load(path, &asking)) found.emplace_back(library, library->Identities());
  }
  lock.lock();
  if (!FOpen.empty()) return; // a source was opened meanwhile: the list stays
  std::vector<std::unique_ptr<TSourceModule>> sources;
  for (auto& [library, identities] : found) {
    // A module another scan loaded meanwhile is used in place of this copy.
    auto [kept, added] = FLibraries.emplace(library->Path(), library);
    for (TW_IDENTITY identity : identities) {
      identity.Id = FNextId++;
      sources.push_back(std::make_unique<TSourceModule>(kept->second, identity));
    }
  }
  FSources.swap(sources);
  // What was replaced goes outside the lock (the modules stay loaded).
  lock.unlock();
  sources.clear();
  found.clear();
  lock.lock();
}

TW_UINT16 TManager::CloseDSM(std::unique_lock<std::mutex>&, TApplication& app) {
  for (const auto& [id, open] : FOpen)
    if (open.AppId == app.Identity.Id) return Fail(app, TWCC_SEQERROR);
  FApps.erase(TW_UINT32{app.Identity.Id});
  UnloadSourcesIfUnused();
  return TWRC_SUCCESS;
}

TW_UINT16 TManager::Identity(std::unique_lock<std::mutex>& lock, TApplication& app, TW_UINT16 MSG,
                             pTW_IDENTITY identity) {
  switch (MSG) {
  case MSG_GETFIRST:
  case MSG_GETNEXT: {
    if (MSG == MSG_GETFIRST) app.Cursor = 0;
    if (app.Cursor >= FSources.size()) return TWRC_ENDOFLIST;
    *identity = FSources[app.Cursor++]->Identity;
    return TWRC_SUCCESS;
  }
  case MSG_GETDEFAULT: {
    TSourceModule* source = DefaultSource();
    if (source == nullptr) return Fail(app, TWCC_NODS);
    *identity = source->Identity;
    return TWRC_SUCCESS;
  }
  case MSG_SET:
    return SetDefault(lock, app, identity);
  case MSG_USERSELECT:
    return UserSelect(lock, app, identity);
  case MSG_OPENDS:
    return OpenDS(lock, app, identity);
  case MSG_CLOSEDS:
    return CloseDS(lock, app, identity);
  default:
    return Fail(app, TWCC_BADPROTOCOL);
  }
}

TW_UINT16 TManager::OpenDS(std::unique_lock<std::mutex>& lock, TApplication& app,
                           pTW_IDENTITY identity) {
  TSourceModule* source = nullptr;
  if (identity->Id != 0)
    source = FindById(identity->Id);
  else if (identity->ProductName[0] != '\0')
    source = FindByName(identity->ProductName);
  else
    source = DefaultSource();
  if (source == nullptr) return Fail(app, TWCC_NODS);
  const TW_UINT32 sourceId = source->Identity.Id;
  if (auto open = FOpen.find(sourceId); open != FOpen.end())
    return Fail(app, open->second.AppId == app.Identity.Id ? TWCC_SEQERROR : TWCC_MAXCONNECTIONS);
  // A module tells its sources apart by the application that calls (DS_Entry
  // names no destination): one source of a module per application at a time.
  for (const auto& [id, open] : FOpen)
    if (TSourceModule* other = FindById(id);
        open.AppId == app.Identity.Id && other != nullptr && other->Library == source->Library)
      return Fail(app, TWCC_MAXCONNECTIONS);

  FOpen[sourceId] = TOpenSource{app.Identity.Id, true, nullptr, 0, {}};
  *identity = source->Identity;
  TW_IDENTITY origin = app.Identity;
  const bool wantsEntryPoint = (source->Identity.SupportedGroups & DF_DS2) != 0;
  lock.unlock();

  TW_UINT16 result = TWRC_FAILURE;
  TW_UINT16 condition = TWCC_SUCCESS;
  try {
    TW_ENTRYPOINT entry = EntryPoint();
    // A source that cannot take the manager's entry point cannot be opened.
    result = wantsEntryPoint ? source->Entry()(&origin, DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &entry)
                             : TWRC_SUCCESS;
    if (result == TWRC_SUCCESS)
      result = source->Entry()(&origin, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, identity);
    if (result != TWRC_SUCCESS) condition = SourceCondition(*source, &origin);
  } catch (...) {
    lock.lock();
    FOpen.erase(sourceId);
    throw;
  }

  lock.lock();
  auto again = FApps.find(TW_UINT32{origin.Id});
  if (result != TWRC_SUCCESS) {
    FOpen.erase(sourceId);
    if (again != FApps.end()) again->second.Condition = condition;
    return result;
  }
  FOpen[sourceId].Opening = false;
  return TWRC_SUCCESS;
}

TW_UINT16 TManager::CloseDS(std::unique_lock<std::mutex>& lock, TApplication& app,
                            pTW_IDENTITY identity) {
  auto open = FOpen.find(TW_UINT32{identity->Id});
  TSourceModule* source = FindById(identity->Id);
  if (open == FOpen.end() || open->second.AppId != app.Identity.Id || open->second.Opening ||
      source == nullptr)
    return Fail(app, TWCC_NODS);
  TW_IDENTITY origin = app.Identity;
  const TW_UINT32 sourceId = identity->Id;
  lock.unlock();
  const TW_UINT16 result =
      source->Entry()(&origin, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, identity);
  const TW_UINT16 condition =
      result == TWRC_SUCCESS ? TWCC_SUCCESS : SourceCondition(*source, &origin);
  lock.lock();
  if (result == TWRC_SUCCESS) {
    FOpen.erase(sourceId);
  } else if (auto again = FApps.find(TW_UINT32{origin.Id}); again != FApps.end()) {
    again->second.Condition = condition;
  }
  return result;
}

TW_UINT16 TManager::SetDefault(std::unique_lock<std::mutex>& lock, TApplication& app,
                               pTW_IDENTITY identity) {
  TSourceModule* source = identity->Id != 0 ? FindById(identity->Id) : nullptr;
  if (source == nullptr && Terminated(identity->ProductName) && identity->ProductName[0] != '\0')
    source = FindByName(identity->ProductName);
  if (source == nullptr) return Fail(app, TWCC_NODS);
  const std::string name = source->Identity.ProductName;
  lock.unlock();
  StoreDefaultSource(name);
  return TWRC_SUCCESS;
}

TW_UINT16 TManager::UserSelect(std::unique_lock<std::mutex>& lock, TApplication& app,
                               pTW_IDENTITY identity) {
  TSourceModule* fallback = DefaultSource();
  if (fallback == nullptr) return Fail(app, TWCC_NODS);
  std::vector<std::string> names;
  for (const auto& source : FSources) names.emplace_back(source->Identity.ProductName);
  const std::string defaultName = fallback->Identity.ProductName;
  const TW_IDENTITY fallbackIdentity = fallback->Identity;
  const TW_UINT32 appId = app.Identity.Id;
  lock.unlock();

  std::string chosen;
  const TChoice choice = ChooseSource(defaultName, names, chosen);
  lock.lock();
  auto again = FApps.find(appId);
  if (again == FApps.end()) return TWRC_FAILURE;
  switch (choice) {
  case TChoice::Unavailable:
    *identity = fallbackIdentity;
    return TWRC_SUCCESS;
  case TChoice::Cancelled:
    return TWRC_CANCEL;
  case TChoice::Chosen: {
    TSourceModule* source = FindByName(chosen.c_str());
    if (source == nullptr) return Fail(again->second, TWCC_NODS);
    *identity = source->Identity;
    lock.unlock();
    StoreDefaultSource(chosen);
    return TWRC_SUCCESS;
  }
  }
  return TWRC_FAILURE;
}

TW_UINT16 TManager::Notify(pTW_IDENTITY source, pTW_IDENTITY app, TW_UINT16 MSG) {
  if (app == nullptr) return TWRC_FAILURE;
  if (MSG != MSG_XFERREADY && MSG != MSG_CLOSEDSREQ && MSG != MSG_CLOSEDSOK &&
      MSG != MSG_DEVICEEVENT)
    return TWRC_FAILURE;
  std::unique_lock lock(FLock);
  auto open = FOpen.find(TW_UINT32{source->Id});
  auto application = FApps.find(TW_UINT32{app->Id});
  if (open == FOpen.end() || application == FApps.end() || open->second.AppId != app->Id)
    return TWRC_FAILURE;
  if (open->second.Callback == nullptr) {
    // Kept until the application registers its callback.
    open->second.Queued.push_back(MSG);
    return TWRC_SUCCESS;
  }
  const TWAINCALLBACKPROC callback = open->second.Callback;
  const TW_UINTPTR refCon = open->second.RefCon;
  TW_IDENTITY sourceIdentity = FindById(source->Id)->Identity;
  TW_IDENTITY appIdentity = application->second.Identity;
  lock.unlock();
  return callback(&sourceIdentity, &appIdentity, DG_CONTROL, DAT_NULL, MSG,
                  reinterpret_cast<TW_MEMREF>(refCon));
}

} // namespace

extern "C" __attribute__((visibility("default"))) TW_UINT16
DSM_Entry(pTW_IDENTITY pOrigin, pTW_IDENTITY pDest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
          TW_MEMREF pData) {
  return Manager().Entry(pOrigin, pDest, DG, DAT, MSG, pData);
}
