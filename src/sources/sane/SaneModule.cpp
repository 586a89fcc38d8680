// The module sane.ds: every device SANE lists is one TWAIN source. The
// manager tells the sources apart by the application that calls: each
// application has at most one of them open at a time.
#include "SaneIdentity.h"
#include "SaneSource.h"
#include "SaneStatus.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace {

// A name field as sent, which need not end within its 34 bytes.
std::string NameOf(const TW_STR32& field) {
  return std::string(field, strnlen(field, sizeof(TW_STR32)));
}

void SetText(TW_STR32& field, const std::string& text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 2));
}

class TSaneModule {
public:
  static TSaneModule& Instance() {
    static TSaneModule module;
    return module;
  }
  TW_UINT16 Entry(pTW_IDENTITY origin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data);

private:
  struct TApplication {
    DSMENTRYPROC Manager = nullptr;
    TSourceMemory Memory;
    TW_UINT16 Condition = TWCC_SUCCESS;
    std::shared_ptr<TSaneSource> Source;
  };
  TW_UINT16 Fail(TApplication& app, TW_UINT16 condition) {
    app.Condition = condition;
    return TWRC_FAILURE;
  }
  TW_UINT16 Identity(std::unique_lock<std::mutex>& lock, TApplication& app, TW_UINT32 appId,
                     const TW_IDENTITY& origin, TW_UINT16 MSG, pTW_IDENTITY identity);
  TW_IDENTITY IdentityOf(size_t device) const;

  std::mutex FLock;
  std::vector<TSaneDeviceInfo> FDevices;
  std::vector<std::string> FNames;
  size_t FCursor = 0;
  std::map<TW_UINT32, TApplication> FApps;
};

TW_IDENTITY TSaneModule::IdentityOf(size_t device) const {
  TW_IDENTITY identity{};
  identity.Version.MajorNum = 1;
  identity.Version.MinorNum = 0;
  identity.Version.Language = TWLG_ENG;
  identity.Version.Country = TWCY_UNITEDKINGDOM;
  SetText(identity.Version.Info, "SANE " + FDevices[device].Name);
  identity.ProtocolMajor = TWON_PROTOCOLMAJOR;
  identity.ProtocolMinor = TWON_PROTOCOLMINOR;
  identity.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_DS2;
  SetText(identity.Manufacturer, FDevices[device].Vendor);
  SetText(identity.ProductFamily, FDevices[device].Type);
  SetText(identity.ProductName, FNames[device]);
  return identity;
}

TW_UINT16 TSaneModule::Entry(pTW_IDENTITY origin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                             TW_MEMREF data) {
  if (origin == nullptr) return TWRC_FAILURE;
  std::unique_lock lock(FLock);
  const TW_UINT32 appId = origin->Id;
  TApplication& app = FApps[appId];
  if (DG == DG_CONTROL && DAT == DAT_IDENTITY) {
    if (data == nullptr) return Fail(app, TWCC_BADVALUE);
    return Identity(lock, app, appId, *origin, MSG, static_cast<pTW_IDENTITY>(data));
  }
  if (DG == DG_CONTROL && DAT == DAT_ENTRYPOINT) {
    if (MSG != MSG_SET || data == nullptr) return Fail(app, TWCC_BADPROTOCOL);
    const auto* entry = static_cast<const TW_ENTRYPOINT*>(data);
    app.Manager = entry->DSM_Entry;
    app.Memory = TSourceMemory{entry->DSM_MemAllocate, entry->DSM_MemFree, entry->DSM_MemLock,
                               entry->DSM_MemUnlock};
    return TWRC_SUCCESS;
  }
  if (DG == DG_CONTROL && DAT == DAT_STATUS) {
    if (MSG != MSG_GET || data == nullptr) return Fail(app, TWCC_BADPROTOCOL);
    auto* status = static_cast<pTW_STATUS>(data);
    *status = TW_STATUS{};
    status->ConditionCode = app.Condition;
    app.Condition = TWCC_SUCCESS;
    if (status->ConditionCode == TWCC_SUCCESS && app.Source)
      status->ConditionCode = app.Source->TakeCondition();
    return TWRC_SUCCESS;
  }
  if (!app.Source) return Fail(app, TWCC_SEQERROR);
  const std::shared_ptr<TSaneSource> source = app.Source;
  lock.unlock();
  return source->Entry(DG, DAT, MSG, data);
}

TW_UINT16 TSaneModule::Identity(std::unique_lock<std::mutex>& lock, TApplication& app,
                                TW_UINT32 appId, const TW_IDENTITY& origin, TW_UINT16 MSG,
                                pTW_IDENTITY identity) {
  switch (MSG) {
  case MSG_GETFIRST:
    // The devices present now; SANE is initialised only while listing.
    lock.unlock();
    {
      std::vector<TSaneDeviceInfo> devices = TSaneLibrary::ListDevices();
      std::vector<std::string> names = ProductNames(devices);
      lock.lock();
      FDevices.swap(devices);
      FNames.swap(names);
    }
    FCursor = 0;
    [[fallthrough]];
  case MSG_GETNEXT:
    if (FCursor >= FNames.size()) return TWRC_ENDOFLIST;
    *identity = IdentityOf(FCursor++);
    return TWRC_SUCCESS;
  case MSG_GET: {
    // One source per application: the one it has open.
    if (!app.Source) return Fail(app, TWCC_NODS);
    const TW_UINT32 id = identity->Id;
    *identity = app.Source->Identity();
    identity->Id = id;
    return TWRC_SUCCESS;
  }
  case MSG_OPENDS: {
    if (app.Source) return Fail(app, TWCC_MAXCONNECTIONS);
    if (app.Manager == nullptr) return Fail(app, TWCC_BADPROTOCOL);
    const auto found = std::find(FNames.begin(), FNames.end(), NameOf(identity->ProductName));
    if (found == FNames.end()) return Fail(app, TWCC_NODS);
    const std::string device = FDevices[static_cast<size_t>(found - FNames.begin())].Name;
    const TW_IDENTITY own = *identity;
    const DSMENTRYPROC manager = app.Manager;
    const TSourceMemory memory = app.Memory;
    // Opening a device may take a while; other applications go on meanwhile.
    lock.unlock();
    std::shared_ptr<TSaneSource> source;
    TW_UINT16 condition = TWCC_SUCCESS;
    try {
      source = std::make_shared<TSaneSource>(device, own, origin, manager, memory);
    } catch (const ESaneError& error) {
      condition = TwainOutcome(error.Status()).Condition;
    } catch (const std::bad_alloc&) {
      condition = TWCC_LOWMEMORY;
    } catch (const std::exception&) {
      condition = TWCC_BUMMER;
    }
    lock.lock();
    TApplication& again = FApps[appId];
    if (!source) return Fail(again, condition == TWCC_SUCCESS ? TWCC_BUMMER : condition);
    again.Source = std::move(source);
    return TWRC_SUCCESS;
  }
  case MSG_CLOSEDS: {
    if (!app.Source) return Fail(app, TWCC_SEQERROR);
    std::shared_ptr<TSaneSource> closing = std::move(app.Source);
    FApps.erase(appId);
    // Stopping the scanning thread and closing the device happen unlocked.
    lock.unlock();
    closing.reset();
    return TWRC_SUCCESS;
  }
  default:
    return Fail(app, TWCC_BADPROTOCOL);
  }
}

} // namespace

extern "C" __attribute__((visibility("default"))) TW_UINT16
DS_Entry(pTW_IDENTITY pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData) {
  // Nothing may cross the C entry point.
  try {
    return TSaneModule::Instance().Entry(pOrigin, DG, DAT, MSG, pData);
  } catch (...) {
    return TWRC_FAILURE;
  }
}
