#include "twain/Kernel.h"

#include "twain/DSMLibrary.h"
#include "twain/Messages.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

constexpr uint16_t kVersionMajor = 3;
constexpr uint16_t kVersionMinor = 0;

} // namespace

void SetStr32(TW_STR32& field, const std::string& text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), std::min<size_t>(text.size(), 32));
}

std::string Str32(const TW_STR32& field) {
  return std::string(field, strnlen(field, sizeof field));
}

TAcqTWAINKernel::TAcqTWAINKernel(TUIDispatcher& dispatcher) : FDispatcher(dispatcher) {
  TW_IDENTITY& app = FSession.AppIdentity;
  app.Id = 0;
  app.Version.MajorNum = kVersionMajor;
  app.Version.MinorNum = kVersionMinor;
  app.Version.Language = static_cast<TW_UINT16>(LanguageCode(TAcqLanguage::ENGLISH_INTL));
  app.Version.Country = CountryCode(TAcqCountry::UNITEDKINGDOM);
  std::snprintf(app.Version.Info, sizeof app.Version.Info, "TWAIN Toolkit v %u.%u", kVersionMajor,
                kVersionMinor);
  // TWAIN 2.4 with DF_APP2: events come through the callback and blocks
  // through the manager's memory functions, as the standard has it on Linux.
  app.ProtocolMajor = 2;
  app.ProtocolMinor = 4;
  app.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_APP2;
  SetStr32(app.Manufacturer, "Vellumtrace Technologies");
  SetStr32(app.ProductFamily, "Image Acquisition");
  SetStr32(app.ProductName, "TWAIN Application");
  FThread = std::make_unique<TAcqTWAINThread>(FSessionOwner, dispatcher);
}

TAcqTWAINKernel::~TAcqTWAINKernel() {
  StopThreads();
}

void TAcqTWAINKernel::StopThreads() {
  if (FThread) FThread->Stop();
}

void TAcqTWAINKernel::UpdateIdentity(void (*change)(TW_IDENTITY&, const std::string&),
                                     const std::string& text) {
  std::lock_guard guard(FSession.IdentityLock);
  change(FSession.AppIdentity, text);
}

TAcqCountry TAcqTWAINKernel::Country() const {
  return CountryFromCode(AppIdentity().Version.Country);
}

void TAcqTWAINKernel::SetCountry(TAcqCountry country) {
  std::lock_guard guard(FSession.IdentityLock);
  FSession.AppIdentity.Version.Country = CountryCode(country);
}

TAcqLanguage TAcqTWAINKernel::Language() const {
  return LanguageFromCode(static_cast<int16_t>(AppIdentity().Version.Language));
}

void TAcqTWAINKernel::SetLanguage(TAcqLanguage language) {
  std::lock_guard guard(FSession.IdentityLock);
  FSession.AppIdentity.Version.Language = static_cast<TW_UINT16>(LanguageCode(language));
}

std::string TAcqTWAINKernel::Manufacturer() const {
  return Str32(AppIdentity().Manufacturer);
}
void TAcqTWAINKernel::SetManufacturer(const std::string& text) {
  UpdateIdentity([](TW_IDENTITY& id, const std::string& t) { SetStr32(id.Manufacturer, t); }, text);
}
std::string TAcqTWAINKernel::ProductFamily() const {
  return Str32(AppIdentity().ProductFamily);
}
void TAcqTWAINKernel::SetProductFamily(const std::string& text) {
  UpdateIdentity([](TW_IDENTITY& id, const std::string& t) { SetStr32(id.ProductFamily, t); },
                 text);
}
std::string TAcqTWAINKernel::ProductName() const {
  return Str32(AppIdentity().ProductName);
}
void TAcqTWAINKernel::SetProductName(const std::string& text) {
  UpdateIdentity([](TW_IDENTITY& id, const std::string& t) { SetStr32(id.ProductName, t); }, text);
}

std::string TAcqTWAINKernel::SourceName() const {
  return Str32(SourceIdentity().ProductName);
}

TTwnFailure TAcqTWAINKernel::LastFailure() const {
  std::lock_guard guard(FSession.FailureLock);
  return FSession.LastFailure;
}

uint16_t TAcqTWAINKernel::OpenDSM() {
  if (FSession.DSMOpen) return TWRC_SUCCESS;
  return FThread->Connect(TWM_OPENDSM, kSessionTimeout);
}

uint16_t TAcqTWAINKernel::CloseDSM() {
  if (!FSession.DSMOpen || FSession.SourceOpen) return TWRC_FAILURE;
  return FThread->Connect(TWM_CLOSEDSM, kSessionTimeout);
}

uint16_t TAcqTWAINKernel::OpenDS() {
  if (!FSession.DSMOpen || FSession.SourceOpen) return TWRC_FAILURE;
  return FThread->Connect(TWM_OPENDS, INFINITE_WAIT);
}

uint16_t TAcqTWAINKernel::CloseDS() {
  if (!FSession.SourceOpen || FSession.SourceEnabled) return TWRC_FAILURE;
  return FThread->Connect(TWM_CLOSEDS, kSessionTimeout);
}

uint16_t TAcqTWAINKernel::EnableDS(bool showUI, TW_BOOL& shownUI, TW_BOOL& modalUI) {
  if (!FSession.SourceOpen || FSession.SourceEnabled) return TWRC_FAILURE;
  return FThread->Connect(TWM_ENABLEDS, INFINITE_WAIT, showUI ? 1 : 0, &shownUI, &modalUI);
}

uint16_t TAcqTWAINKernel::DisableDS() {
  if (!FSession.SourceEnabled) return TWRC_FAILURE;
  return FThread->Connect(TWM_DISABLEDS, kSessionTimeout);
}

uint16_t TAcqTWAINKernel::Triplet(uint32_t DG, uint16_t DAT, uint16_t MSG, void* data, size_t size,
                                  bool toSource, TTripletOptions options) {
  if ((DAT == DAT_IDENTITY || DAT == DAT_PARENT) &&
      (MSG == MSG_GETDEFAULT || MSG == MSG_GETFIRST || MSG == MSG_GETNEXT))
    options.Timeout = INFINITE_WAIT;
  return FThread->Triplet(DG, DAT, MSG, data, size, toSource, std::move(options));
}

uint16_t TAcqTWAINKernel::Enumerate(uint16_t msg, std::string& productName) {
  if (FSession.SourceOpen) return TWRC_FAILURE;
  TW_IDENTITY identity = SourceIdentity();
  const uint16_t result = Triplet(DG_CONTROL, DAT_IDENTITY, msg, &identity, sizeof identity, false);
  if (result == TWRC_SUCCESS) {
    SetSourceIdentity(identity);
    productName = Str32(identity.ProductName);
  } else {
    productName.clear();
  }
  return result;
}

uint16_t TAcqTWAINKernel::GetFirstSource(std::string& productName) {
  return Enumerate(MSG_GETFIRST, productName);
}

uint16_t TAcqTWAINKernel::GetNextSource(std::string& productName) {
  return Enumerate(MSG_GETNEXT, productName);
}

bool TAcqTWAINKernel::SelectSourceByName(const std::string& productName) {
  const TW_IDENTITY saved = SourceIdentity();
  if (!productName.empty()) {
    std::string name;
    for (uint16_t result = GetFirstSource(name); result == TWRC_SUCCESS;
         result = GetNextSource(name))
      if (name == productName) return true;
  }
  SetSourceIdentity(saved);
  return false;
}

uint16_t TAcqTWAINKernel::UserSelectSource() {
  uint16_t result = TWRC_FAILURE;
  {
    std::lock_guard guard(FThread->SelectLock());
    if (!FSession.DSMOpen && !FSession.SourceOpen) {
      // The manager's dialog runs a program and waits for it: on a thread
      // of its own, so that the window that asked keeps painting.
      TSyncEvent done;
      std::thread dialog([&] {
        result = RunSelection();
        done.SetEvent();
      });
      const bool onUIThread = FDispatcher.IsUIThread();
      while (!done.WaitFor(20))
        if (onUIThread) FDispatcher.KeepResponsive();
      dialog.join();
    }
  }
  FThread->PostMessage(TWM_SOURCECLOSED);
  return result;
}

uint16_t TAcqTWAINKernel::RunSelection() {
  TDSMLibrary library;
  if (!library.Load(DSMPath())) return TWRC_FAILURE;
  TW_IDENTITY app = AppIdentity();
  app.Id = 0;
  void* parent = nullptr;
  auto call = [&](uint16_t DAT, uint16_t MSG, void* data) -> uint16_t {
    try {
      return library.Entry()(&app, nullptr, DG_CONTROL, DAT, MSG, data);
    } catch (...) {
      return TWRC_DSMEXCEPTION;
    }
  };
  uint16_t result = call(DAT_PARENT, MSG_OPENDSM, &parent);
  if (result != TWRC_SUCCESS) return result;
  TW_IDENTITY source{};
  call(DAT_IDENTITY, MSG_GETDEFAULT, &source);
  result = call(DAT_IDENTITY, MSG_USERSELECT, &source);
  // The Id belonged to this short session only: the next open finds the
  // chosen source by its product name.
  source.Id = 0;
  if (result == TWRC_SUCCESS) SetSourceIdentity(source);
  call(DAT_PARENT, MSG_CLOSEDSM, &parent);
  return result;
}
