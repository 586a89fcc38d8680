#include "VirtualScanner.h"

#include "tessivane/virtualscanner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace {

constexpr auto kLongestHang = std::chrono::seconds(60);

void SetText(TW_STR32& field, const std::string& text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 2));
}

// "Virtual Scanner" for the module virtual.ds; a copy installed as
// virtual-NAME.ds is the scanner "Virtual Scanner NAME".
std::string ProductName() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&DS_Entry), &info) == 0 || info.dli_fname == nullptr)
    return VIRTUAL_SCANNER_NAME;
  const std::string stem = std::filesystem::path(info.dli_fname).stem().string();
  const std::string prefix = "virtual-";
  if (stem.size() > prefix.size() && stem.compare(0, prefix.size(), prefix) == 0)
    return std::string(VIRTUAL_SCANNER_NAME) + " " + stem.substr(prefix.size());
  return VIRTUAL_SCANNER_NAME;
}

} // namespace

// ---- TNotifier

void TNotifier::Start(DSMENTRYPROC entry, const TW_IDENTITY& source, const TW_IDENTITY& app) {
  Stop();
  FEntry = entry;
  FSource = source;
  FApp = app;
  FStopping = false;
  FThread = std::thread([this] { Run(); });
}

void TNotifier::Post(TW_UINT16 msg) {
  {
    std::lock_guard guard(FLock);
    FMessages.push_back(msg);
  }
  FChanged.notify_all();
}

void TNotifier::Stop() {
  if (!FThread.joinable()) return;
  {
    std::lock_guard guard(FLock);
    FStopping = true;
  }
  FChanged.notify_all();
  FThread.join();
}

void TNotifier::Run() {
  std::unique_lock lock(FLock);
  for (;;) {
    FChanged.wait(lock, [this] { return FStopping || !FMessages.empty(); });
    if (FMessages.empty()) return;
    const TW_UINT16 msg = FMessages.front();
    FMessages.pop_front();
    lock.unlock();
    if (FEntry != nullptr) FEntry(&FSource, &FApp, DG_CONTROL, DAT_NULL, msg, nullptr);
    lock.lock();
  }
}

// ---- The scanner

TVirtualScanner& TVirtualScanner::Instance() {
  static TVirtualScanner scanner;
  return scanner;
}

void TVirtualScanner::Trace(TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data) {
  std::shared_ptr<const TVirtualConfig> config;
  TSourceMemory memory;
  {
    std::lock_guard guard(FLock);
    config = FConfig;
    memory = FMemory;
  }
  if (config->TraceFile.empty()) return;
  std::string line = std::to_string(DG) + " " + std::to_string(DAT) + " " + std::to_string(MSG);
  if (DAT == DAT_CAPABILITY && data != nullptr) {
    const auto* cap = static_cast<const TW_CAPABILITY*>(data);
    line += " cap=" + std::to_string(cap->Cap);
    if (MSG == MSG_SET) {
      TReceived received;
      ReadContainer(memory, *cap, received);
      line += " " + received.Trace;
    }
  }
  if (DG == DG_IMAGE && DAT == DAT_IMAGELAYOUT && MSG == MSG_SET && data != nullptr) {
    const auto* layout = static_cast<const TW_IMAGELAYOUT*>(data);
    line += " frame=";
    for (const TW_FIX32& edge :
         {layout->Frame.Left, layout->Frame.Top, layout->Frame.Right, layout->Frame.Bottom})
      line += std::to_string(edge.Whole) + ":" + std::to_string(edge.Frac) + ",";
    line.back() = ' ';
    line += "numbers=" + std::to_string(layout->DocumentNumber) + "," +
            std::to_string(layout->PageNumber) + "," + std::to_string(layout->FrameNumber);
  }
  std::lock_guard guard(FTraceLock);
  if (FILE* file = std::fopen(config->TraceFile.c_str(), "a")) {
    std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
  }
}

bool TVirtualScanner::Misbehave(TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data, TW_UINT16& result) {
  std::shared_ptr<const TVirtualConfig> config;
  {
    std::lock_guard guard(FLock);
    if (FState < 4) return false; // faults belong to an open session
    config = FConfig;
  }
  for (const TTripletMatch& match : config->Hangs) {
    if (!match.Matches(DAT, MSG, data)) continue;
    // A driver that stops answering, until the test lets it go.
    const auto deadline = std::chrono::steady_clock::now() + kLongestHang;
    std::error_code error;
    while (std::chrono::steady_clock::now() < deadline &&
           !(config->ReleaseFile.size() && std::filesystem::exists(config->ReleaseFile, error)))
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  for (const TTripletMatch& match : config->Throws)
    if (match.Matches(DAT, MSG, data)) throw std::runtime_error("virtual scanner fault");
  for (const TFailureFault& fault : config->Failures) {
    if (!fault.Triplet.Matches(DAT, MSG, data)) continue;
    std::lock_guard guard(FLock);
    FCondition = fault.Condition;
    result = TWRC_FAILURE;
    return true;
  }
  return false;
}

TW_UINT16 TVirtualScanner::Entry(pTW_IDENTITY origin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                                 TW_MEMREF data) {
  Trace(DG, DAT, MSG, data);
  TW_UINT16 faulted = TWRC_SUCCESS;
  if (!(DG == DG_CONTROL && DAT == DAT_STATUS) && Misbehave(DAT, MSG, data, faulted))
    return faulted;

  TLock lock(FLock);
  if (DG == DG_CONTROL && DAT == DAT_IDENTITY)
    return Identity(lock, origin, MSG, static_cast<pTW_IDENTITY>(data));
  if (DG == DG_CONTROL && DAT == DAT_ENTRYPOINT) {
    if (MSG != MSG_SET || data == nullptr) return Fail(TWCC_BADPROTOCOL);
    const auto* entry = static_cast<const TW_ENTRYPOINT*>(data);
    FDSMEntry = entry->DSM_Entry;
    FMemory = TSourceMemory{entry->DSM_MemAllocate, entry->DSM_MemFree, entry->DSM_MemLock,
                            entry->DSM_MemUnlock};
    return TWRC_SUCCESS;
  }
  if (DG == DG_CONTROL && DAT == DAT_STATUS) {
    // Also after a failed MSG_OPENDS, which leaves the scanner closed.
    if (MSG != MSG_GET || data == nullptr) return Fail(TWCC_BADPROTOCOL);
    auto* status = static_cast<pTW_STATUS>(data);
    *status = TW_STATUS{};
    status->ConditionCode = FCondition;
    FCondition = TWCC_SUCCESS;
    return TWRC_SUCCESS;
  }
  if (FState < 4) return Fail(TWCC_SEQERROR);
  if (origin == nullptr || origin->Id != FApp.Id) return Fail(TWCC_BADDEST);
  if (data == nullptr && !(DG == DG_IMAGE && DAT == DAT_IMAGEFILEXFER)) return Fail(TWCC_BADVALUE);
  FCondition = TWCC_SUCCESS;

  if (DG == DG_CONTROL) {
    switch (DAT) {
    case DAT_CAPABILITY:
      return Capability(MSG, static_cast<pTW_CAPABILITY>(data));
    case DAT_USERINTERFACE:
      return UserInterface(MSG, static_cast<pTW_USERINTERFACE>(data));
    case DAT_PENDINGXFERS:
      return PendingXfers(MSG, static_cast<pTW_PENDINGXFERS>(data));
    case DAT_SETUPMEMXFER:
      return MSG == MSG_GET ? SetupMemXfer(static_cast<pTW_SETUPMEMXFER>(data))
                            : Fail(TWCC_BADPROTOCOL);
    case DAT_SETUPFILEXFER:
      return SetupFileXfer(MSG, static_cast<pTW_SETUPFILEXFER>(data));
    case DAT_DEVICEEVENT:
      return MSG == MSG_GET ? DeviceEvent(static_cast<pTW_DEVICEEVENT>(data))
                            : Fail(TWCC_BADPROTOCOL);
    case DAT_EVENT:
      return TWRC_NOTDSEVENT;
    default:
      return Fail(TWCC_BADPROTOCOL);
    }
  }
  if (DG == DG_IMAGE) {
    switch (DAT) {
    case DAT_IMAGEINFO:
      return MSG == MSG_GET ? ImageInfo(static_cast<pTW_IMAGEINFO>(data)) : Fail(TWCC_BADPROTOCOL);
    case DAT_IMAGELAYOUT:
      return ImageLayout(MSG, static_cast<pTW_IMAGELAYOUT>(data));
    case DAT_PALETTE8:
      return MSG == MSG_GET ? Palette(static_cast<pTW_PALETTE8>(data)) : Fail(TWCC_BADPROTOCOL);
    case DAT_IMAGENATIVEXFER:
      return MSG == MSG_GET ? NativeXfer(static_cast<TW_HANDLE*>(data)) : Fail(TWCC_BADPROTOCOL);
    case DAT_IMAGEMEMXFER:
      return MSG == MSG_GET ? MemXfer(static_cast<pTW_IMAGEMEMXFER>(data)) : Fail(TWCC_BADPROTOCOL);
    case DAT_IMAGEFILEXFER:
      return MSG == MSG_GET ? FileXfer() : Fail(TWCC_BADPROTOCOL);
    default:
      return Fail(TWCC_BADPROTOCOL);
    }
  }
  return Fail(TWCC_BADPROTOCOL);
}

TW_UINT16 TVirtualScanner::Identity(TLock& lock, pTW_IDENTITY origin, TW_UINT16 MSG,
                                    pTW_IDENTITY identity) {
  if (identity == nullptr) return Fail(TWCC_BADVALUE);
  switch (MSG) {
  case MSG_GET: {
    TW_IDENTITY own{};
    own.Id = identity->Id != 0 ? identity->Id : FIdentity.Id;
    own.Version.MajorNum = 1;
    own.Version.MinorNum = 0;
    own.Version.Language = TWLG_ENG;
    own.Version.Country = TWCY_UNITEDKINGDOM;
    SetText(own.Version.Info, "1.0");
    own.ProtocolMajor = TWON_PROTOCOLMAJOR;
    own.ProtocolMinor = TWON_PROTOCOLMINOR;
    own.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_DS2;
    SetText(own.Manufacturer, "Vellumtrace Technologies");
    SetText(own.ProductFamily, "Tessivane");
    SetText(own.ProductName, ProductName());
    *identity = own;
    return TWRC_SUCCESS;
  }
  case MSG_OPENDS: {
    if (FState >= 4) return Fail(TWCC_MAXCONNECTIONS);
    if (origin == nullptr || FDSMEntry == nullptr) return Fail(TWCC_BADPROTOCOL);
    FConfig = std::make_shared<TVirtualConfig>(TVirtualConfig::Read());
    FIdentity = *identity;
    FApp = *origin;
    ResetSettings();
    FOfflineReads = 0;
    FCondition = TWCC_SUCCESS;
    FState = 4;
    lock.unlock();
    // Faults apply from here on: the session exists.
    TW_UINT16 faulted = TWRC_SUCCESS;
    if (Misbehave(DAT_IDENTITY, MSG_OPENDS, identity, faulted)) {
      lock.lock();
      FState = 3;
      return faulted;
    }
    lock.lock();
    FNotifier.Start(FDSMEntry, FIdentity, FApp);
    return TWRC_SUCCESS;
  }
  case MSG_CLOSEDS: {
    if (FState != 4) return Fail(TWCC_SEQERROR);
    FState = 3;
    FPage.reset();
    FDeviceEvents.clear();
    lock.unlock();
    FNotifier.Stop(); // may be sending: the manager's lock is not held here
    lock.lock();
    return TWRC_SUCCESS;
  }
  default:
    return Fail(TWCC_BADPROTOCOL);
  }
}

TW_UINT16 TVirtualScanner::UserInterface(TW_UINT16 MSG, pTW_USERINTERFACE ui) {
  if (MSG == MSG_DISABLEDS) {
    if (FState != 5) return Fail(TWCC_SEQERROR);
    FState = 4;
    return TWRC_SUCCESS;
  }
  if (MSG != MSG_ENABLEDS) return Fail(TWCC_BADPROTOCOL);
  if (FState != 4) return Fail(TWCC_SEQERROR);
  const int sides = FSettings.Duplex ? 2 : 1;
  int pages = (FSettings.Feeder ? FSettings.Sheets : 1) * sides;
  if (FSettings.XferCount > 0) pages = std::min(pages, FSettings.XferCount);
  if (pages == 0) return Fail(TWCC_NOMEDIA);

  TW_UINT16 result = TWRC_SUCCESS;
  FShowUI = ui->ShowUI != 0;
  if (!FShowUI && FConfig->InsistUI) {
    // This device cannot scan without its own window.
    ui->ShowUI = 1;
    FShowUI = true;
    result = TWRC_CHECKSTATUS;
  }
  FPagesDone = 0;
  if (FShowUI && FConfig->CloseWindow) {
    // The operator closes the scanner's window without scanning.
    FPending = 0;
    FState = 5;
    FNotifier.Post(MSG_CLOSEDSREQ);
    return result;
  }
  FPending = pages;
  FState = 6;
  FNotifier.Post(MSG_XFERREADY);
  return result;
}

TW_UINT16 TVirtualScanner::PendingXfers(TW_UINT16 MSG, pTW_PENDINGXFERS pending) {
  *pending = TW_PENDINGXFERS{};
  switch (MSG) {
  case MSG_GET:
    pending->Count = static_cast<TW_UINT16>(FState >= 6 ? FPending : 0);
    return TWRC_SUCCESS;
  case MSG_ENDXFER:
    if (FState != 6 && FState != 7) return Fail(TWCC_SEQERROR);
    FPage.reset();
    FRowsSent = 0;
    ++FPagesDone;
    if (FPending > 0) --FPending;
    pending->Count = static_cast<TW_UINT16>(FPending);
    FState = FPending > 0 ? 6 : 5;
    // With its window shown, the operator closes it once the feeder is empty.
    if (FPending == 0 && FShowUI) FNotifier.Post(MSG_CLOSEDSREQ);
    return TWRC_SUCCESS;
  case MSG_RESET:
    if (FState != 6) return Fail(TWCC_SEQERROR);
    FPage.reset();
    FPending = 0;
    FState = 5;
    return TWRC_SUCCESS;
  default:
    return Fail(TWCC_BADPROTOCOL);
  }
}

TW_UINT16 TVirtualScanner::DeviceEvent(pTW_DEVICEEVENT event) {
  if (FDeviceEvents.empty()) return Fail(TWCC_SEQERROR);
  *event = FDeviceEvents.front();
  FDeviceEvents.pop_front();
  return TWRC_SUCCESS;
}

void TVirtualScanner::ImageDone() {
  for (double wanted : FSettings.DeviceEvents)
    if (static_cast<int>(wanted) == TWDE_IMAGECAPTURED) {
      TW_DEVICEEVENT event{};
      event.Event = TWDE_IMAGECAPTURED;
      std::snprintf(event.DeviceName, sizeof event.DeviceName, "%s", FIdentity.ProductName);
      FDeviceEvents.push_back(event);
      FNotifier.Post(MSG_DEVICEEVENT);
    }
}

extern "C" __attribute__((visibility("default"))) TW_UINT16
DS_Entry(pTW_IDENTITY pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData) {
  return TVirtualScanner::Instance().Entry(pOrigin, DG, DAT, MSG, pData);
}
