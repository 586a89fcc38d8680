#include "twain/AcqTWAIN.h"

#include "twain/FileNames.h"
#include "twain/Fix32.h"
#include "twain/Messages.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

constexpr TTwnFileFmts kRefusedFormats = FileFmtBit(TWFF_PICT) | FileFmtBit(TWFF_XBM);

bool IsContainerFormat(TTwnFileFmt format) {
  return format == TWFF_TIFF || format == TWFF_JFIF || format == TWFF_TIFFMULTI ||
         format == TWFF_SPIFF || format == TWFF_EXIF;
}

bool FolderExists(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) return true;
  std::error_code error;
  return std::filesystem::is_directory(folder, error);
}

} // namespace

TAcqTWAIN::TAcqTWAIN(TUIDispatcher& dispatcher)
    : TAcqTWAINIntf(dispatcher), FFileFormats(FileFmtBit(TWFF_BMP)) {
  EventThread().SetSink(this);
}

TAcqTWAIN::~TAcqTWAIN() {
  FGoing = true;
  StopThreads();
}

// ---- Properties

TTwnHdlType TAcqTWAIN::DIBHandleType() const {
  std::lock_guard guard(FSettingsLock);
  return FSettings.DIBHandleType;
}

void TAcqTWAIN::SetDIBHandleType(TTwnHdlType type) {
  std::lock_guard guard(FSettingsLock);
  FSettings.DIBHandleType = type;
  // Strips need the memory mechanism.
  if (type == THDT_MEMPTR) FSettings.XferMech = TWFX_MEMORY;
}

TTwnXferType TAcqTWAIN::XferMech() const {
  std::lock_guard guard(FSettingsLock);
  return FSettings.XferMech;
}

void TAcqTWAIN::SetXferMech(TTwnXferType mech) {
  std::lock_guard guard(FSettingsLock);
  FSettings.XferMech = mech;
  if (mech != TWFX_MEMORY && FSettings.DIBHandleType == THDT_MEMPTR)
    FSettings.DIBHandleType = THDT_DIBHANDLE;
}

TTwnFileFmt TAcqTWAIN::FileFormat() const {
  std::lock_guard guard(FSettingsLock);
  return FSettings.FileFormat;
}

void TAcqTWAIN::SetFileFormat(TTwnFileFmt format) {
  if (format > TWFF_EXIF || (FileFmtBit(format) & kRefusedFormats)) return;
  std::lock_guard guard(FSettingsLock);
  FSettings.FileFormat = format;
  if (format != TWFF_BMP) FSettings.ReturnHandle = false;
  if (!FSettings.Filename.empty())
    FSettings.Filename = ReplaceExtension(FSettings.Filename, FormatExtension(format));
}

void TAcqTWAIN::SetFileFormats(TTwnFileFmts formats) {
  FFileFormats = formats & ~kRefusedFormats & (FileFmtBit(TWFF_EXIF + 1) - 1);
}

std::string TAcqTWAIN::Filename() const {
  std::lock_guard guard(FSettingsLock);
  return FSettings.Filename;
}

void TAcqTWAIN::SetFilename(const std::string& fileName) {
  std::lock_guard guard(FSettingsLock);
  if (fileName.empty()) {
    FSettings.Filename.clear();
    FSettings.FileFormat = TWFF_BMP;
    FSettings.ReturnHandle = true;
    return;
  }
  // Only the file name is lower-cased: on Linux the folders' case matters.
  std::string name = LowerCaseFileName(fileName);
  const uint16_t byExtension = FormatOfExtension(ExtensionOf(name));
  if (byExtension != kInvalidFileFormat && !IsContainerFormat(FSettings.FileFormat) &&
      !(FileFmtBit(byExtension) & kRefusedFormats))
    FSettings.FileFormat = byExtension;
  if (FSettings.FileFormat != TWFF_BMP) FSettings.ReturnHandle = false;
  if (!FolderExists(name)) name = TemporaryFileName("TWN");
  FSettings.Filename = ReplaceExtension(name, FormatExtension(FSettings.FileFormat));
}

bool TAcqTWAIN::ReturnHandle() const {
  std::lock_guard guard(FSettingsLock);
  return FSettings.ReturnHandle;
}

void TAcqTWAIN::SetReturnHandle(bool value) {
  std::lock_guard guard(FSettingsLock);
  FSettings.ReturnHandle = value && FSettings.FileFormat == TWFF_BMP;
}

bool TAcqTWAIN::SwapMemRGB() const {
  std::lock_guard guard(FSettingsLock);
  return FSettings.SwapMemRGB;
}

void TAcqTWAIN::SetSwapMemRGB(bool value) {
  std::lock_guard guard(FSettingsLock);
  FSettings.SwapMemRGB = value;
}

// ---- Operations

bool TAcqTWAIN::Acquire(const std::string& sourceName) {
  if (!OpenSourceMgr()) return false;
  bool result = OpenSource(sourceName);
  if (result) result = SourceEnabled() || EnableSource(ShowUI);
  if (!result) {
    CloseSource();
    CloseSourceMgr();
  }
  return result;
}

bool TAcqTWAIN::SelectSource() {
  if (OnDisableMenus) OnDisableMenus(this);
  return UserSelectSource() == TWRC_SUCCESS;
}

void TAcqTWAIN::GetSourceList(std::vector<std::string>& list) {
  list.clear();
  const bool wasOpen = DSMOpen();
  if (!wasOpen && !OpenSourceMgr()) return;
  const TW_IDENTITY saved = SourceIdentity();
  std::string name;
  for (uint16_t result = GetFirstSource(name); result == TWRC_SUCCESS && !name.empty();
       result = GetNextSource(name))
    list.push_back(name);
  SetSourceIdentity(saved);
  if (!wasOpen) CloseSourceMgr();
}

bool TAcqTWAIN::OpenSourceMgr() {
  if (!DSMOpen()) OpenDSM();
  return DSMOpen();
}

bool TAcqTWAIN::CloseSourceMgr() {
  if (DSMOpen()) CloseDSM();
  return !DSMOpen();
}

bool TAcqTWAIN::OpenSource(const std::string& sourceName) {
  if (!sourceName.empty()) SelectSourceByName(sourceName);
  if (SourceOpen()) return true;
  FreeContainers();
  EventThread().Mode = TAcquireMode::Idle;
  if (OpenDS() != TWRC_SUCCESS) return SourceOpen();
  if (OnDisableMenus) OnDisableMenus(this);
  ReadSupportedCaps();

  if (OnDeviceNotReady) {
    bool doOpenSource = true;
    while (doOpenSource && !DeviceOnline()) OnDeviceNotReady(this, doOpenSource);
    if (!doOpenSource) CloseSource();
  }
  if (SourceOpen()) {
    ReadExtendedCaps();
    SetDeviceEventTypes(DeviceEventTypes());
    if (!NegotiateXferMech()) {
      CloseSource();
    } else {
      if (IsCapSupported(CAP_INDICATORS)) SetOneValue(CAP_INDICATORS, TWTY_BOOL, ShowIndicators);
      if (OnNegotiation) OnNegotiation(this);
    }
  }
  return SourceOpen();
}

bool TAcqTWAIN::CloseSource() {
  if (SourceEnabled()) DisableDS();
  if (SourceOpen()) CloseDS();
  FreeContainers();
  EventThread().Mode = TAcquireMode::Idle;
  return !SourceOpen();
}

bool TAcqTWAIN::EnableSource(bool showUI) {
  if (!OnImageReady && !OnMemXferBuffer) {
    CloseSource();
    CloseSourceMgr();
    throw EImageReadyError("Event \"OnImageReady\" or \"OnMemXferBuffer\" must be assigned, \r"
                           "before an image acquisition can commence.");
  }
  if (SourceEnabled()) return true;
  EventThread().Mode =
      DisableAfterAcquire ? TAcquireMode::DisableAfterAcquire : TAcquireMode::StayEnabled;
  TW_BOOL shown = 0;
  TW_BOOL modal = 0;
  const uint16_t result = EnableDS(showUI, shown, modal);
  if (result != TWRC_SUCCESS && result != TWRC_CHECKSTATUS) {
    EventThread().Mode = TAcquireMode::Idle;
    return false;
  }
  ShowUI = shown != 0;
  FModalUI = modal != 0;
  // Enabled: the source may already have finished (or the operator closed
  // its window) by now, which the event thread handles; it was enabled all
  // the same.
  return true;
}

void TAcqTWAIN::DisableSource() {
  if (SourceEnabled()) DisableDS();
  EventThread().Mode = TAcquireMode::Idle;
}

bool TAcqTWAIN::SetXferCount(int count) {
  if (!SourceOpen()) return false;
  return SetOneValue(CAP_XFERCOUNT, TWTY_INT16, int32_t{count}) == TWRC_SUCCESS;
}

uint16_t TAcqTWAIN::SetImageLayout(const TTwnImageLayout& layout) {
  TW_IMAGELAYOUT record{};
  record.Frame.Left = FloatToFix32(layout.Left);
  record.Frame.Top = FloatToFix32(layout.Top);
  record.Frame.Right = FloatToFix32(layout.Right);
  record.Frame.Bottom = FloatToFix32(layout.Bottom);
  record.DocumentNumber = layout.DocumentNumber;
  record.PageNumber = layout.PageNumber;
  record.FrameNumber = layout.FrameNumber;
  return Triplet(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &record, sizeof record);
}

double TAcqTWAIN::GetPhysicalWidth() {
  return ReadCurrentFloat(ICAP_PHYSICALWIDTH);
}

double TAcqTWAIN::GetPhysicalHeight() {
  return ReadCurrentFloat(ICAP_PHYSICALHEIGHT);
}

double TAcqTWAIN::ReadCurrentFloat(uint16_t capability) {
  TTwnContainer* container = nullptr;
  if (GetCapabilityMsg(capability, MSG_GETCURRENT, container) != TWRC_SUCCESS ||
      container == nullptr)
    return -1;
  try {
    return container->CurrentValue().AsFloat();
  } catch (const EVariantError&) {
    return -1;
  }
}

uint16_t TAcqTWAIN::SetOneValue(uint16_t capability, uint16_t itemType, const TTwnVariant& value) {
  TTwnContainer* container = CachedContainer(capability);
  container->SetContainerType(TWON_ONEVALUE);
  container->SetItemType(itemType);
  container->SetCurrentValue(value);
  return SetCapabilityMsg(MSG_SET, 0, container);
}

bool TAcqTWAIN::DeviceOnline() {
  TTwnContainer reply;
  TTwnContainer* target = &reply;
  if (GetCapabilityMsg(CAP_DEVICEONLINE, MSG_GETCURRENT, target) != TWRC_SUCCESS) return true;
  try {
    return reply.CurrentValue().AsInteger() != 0;
  } catch (const EVariantError&) {
    return true;
  }
}

bool TAcqTWAIN::NegotiateXferMech() {
  while (true) {
    TTwnXferType mech = XferMech();
    if (SourceProtocol() < 19 && mech == TWFX_FILES2) mech = TWFX_FILES;
    if (SourceProtocol() >= 19 && mech == TWFX_FILES) mech = TWFX_FILES2;
    SetXferMech(mech);
    if (SetOneValue(ICAP_XFERMECH, TWTY_UINT16, int32_t{mech}) != TWRC_SUCCESS &&
        mech == TWFX_FILES2) {
      mech = TWFX_FILES;
      SetXferMech(mech);
      SetOneValue(ICAP_XFERMECH, TWTY_UINT16, int32_t{mech});
    }
    TTwnContainer* container = CachedContainer(ICAP_XFERMECH);
    GetCapabilityMsg(ICAP_XFERMECH, MSG_GETCURRENT, container);
    int32_t current = mech;
    try {
      current = container->CurrentValue().AsInteger();
    } catch (const EVariantError&) {
      current = -1;
    }
    bool success = true;
    if (current != mech) {
      if (current >= TWFX_NATIVE && current <= TWFX_FILES2)
        SetXferMech(static_cast<TTwnXferType>(current));
      success = LenientOnCaps;
    }
    const TTwnXferType agreed = XferMech();
    if (!success || (agreed != TWFX_FILES && agreed != TWFX_FILES2)) return success;
    if (NegotiateFileFormat()) return true;
    // No file format both sides accept: fall back to native transfers.
    SetXferMech(TWFX_NATIVE);
  }
}

bool TAcqTWAIN::NegotiateFileFormat() {
  TTwnFileFmt requested = FileFormat();
  TTwnFileFmts allowed =
      FFileFormats | (ReturnHandle() ? FileFmtBit(TWFF_BMP) : 0) | FileFmtBit(requested);
  TTwnFileFmt final = requested;
  bool agreed = false;
  while (allowed != 0) {
    SetOneValue(ICAP_IMAGEFILEFORMAT, TWTY_UINT16, int32_t{requested});
    TTwnContainer* container = CachedContainer(ICAP_IMAGEFILEFORMAT);
    int32_t reported = -1;
    if (GetCapabilityMsg(ICAP_IMAGEFILEFORMAT, MSG_GETCURRENT, container) == TWRC_SUCCESS) {
      try {
        reported = container->CurrentValue().AsInteger();
      } catch (const EVariantError&) {
        reported = -1;
      }
    } else {
      reported = requested;
    }
    if (reported == requested) {
      final = requested;
      agreed = true;
      break;
    }
    if (reported >= 0 && reported <= TWFF_EXIF &&
        (allowed & FileFmtBit(static_cast<TTwnFileFmt>(reported)))) {
      final = static_cast<TTwnFileFmt>(reported);
      agreed = true;
      break;
    }
    allowed &= ~FileFmtBit(requested);
    if (allowed == 0) break;
    for (TTwnFileFmt format = 0; format <= TWFF_EXIF; ++format)
      if (allowed & FileFmtBit(format)) {
        requested = format;
        break;
      }
  }
  if (!agreed || FormatExtension(final).empty()) return false;
  std::lock_guard guard(FSettingsLock);
  FSettings.FileFormat = final;
  if (final != TWFF_BMP) FSettings.ReturnHandle = false;
  if (FSettings.Filename.empty()) FSettings.Filename = TemporaryFileName("TWN");
  FSettings.Filename = ReplaceExtension(FSettings.Filename, FormatExtension(final));
  return true;
}

// ---- Events, raised from the event thread

TTwnTransferSettings TAcqTWAIN::TransferSettings() const {
  std::lock_guard guard(FSettingsLock);
  return FSettings;
}

void TAcqTWAIN::OnUIThread(const std::function<void()>& call) {
  Dispatcher().Synchronize([&] {
    if (!FGoing) call();
  });
}

bool TAcqTWAIN::RaiseXferReady(TTwnObject* sender) {
  bool assigned = false;
  OnUIThread([&] {
    assigned = static_cast<bool>(OnXferReady);
    if (assigned) OnXferReady(sender);
  });
  return assigned;
}

bool TAcqTWAIN::RaiseImageReady(TTwnObject* sender, void* pBmp, TTwnBitmapInfo* pBmpInfo,
                                TW_HANDLE hImage, const std::string& filePath) {
  bool assigned = false;
  OnUIThread([&] {
    assigned = static_cast<bool>(OnImageReady);
    if (assigned) OnImageReady(sender, pBmp, pBmpInfo, hImage, filePath);
  });
  return assigned;
}

bool TAcqTWAIN::RaiseMemXferSize(TTwnObject* sender, int minSize, int maxSize, int& bufSize,
                                 TTwnBitmapInfo* pBmpInfo) {
  bool assigned = false;
  OnUIThread([&] {
    assigned = static_cast<bool>(OnMemXferSize);
    if (assigned) OnMemXferSize(sender, minSize, maxSize, bufSize, pBmpInfo);
  });
  return assigned;
}

bool TAcqTWAIN::RaiseMemXferBuffer(TTwnObject* sender, TTwnBitmapInfo* pBmpInfo, int bytesPerRow,
                                   int rows, int dataSize, void*& pData) {
  bool assigned = false;
  OnUIThread([&] {
    assigned = static_cast<bool>(OnMemXferBuffer);
    if (assigned) OnMemXferBuffer(sender, pBmpInfo, bytesPerRow, rows, dataSize, pData);
  });
  return assigned;
}

bool TAcqTWAIN::RaiseXferNext(TTwnObject* sender, int& numImages, bool& skipNext) {
  bool assigned = false;
  OnUIThread([&] {
    assigned = static_cast<bool>(OnXferNext);
    if (assigned) OnXferNext(sender, numImages, skipNext);
  });
  return assigned;
}

void TAcqTWAIN::RaiseFailure(TTwnObject* sender, const TTwnFailure& failure) {
  OnUIThread([&] {
    if (OnFailure)
      OnFailure(sender, static_cast<int>(failure.DG), failure.DAT, failure.CAP, failure.MSG,
                failure.Error, failure.Status);
  });
}

void TAcqTWAIN::RaiseEnableMenus(TTwnObject* sender) {
  OnUIThread([&] {
    if (OnEnableMenus) OnEnableMenus(sender);
  });
}

void TAcqTWAIN::RaiseCloseSource(TTwnObject* sender) {
  OnUIThread([&] {
    if (OnCloseSource) OnCloseSource(sender);
  });
}

void TAcqTWAIN::HandleDeviceEvent() {
  OnUIThread([&] {
    // The source may be closed meanwhile (the batch ended): its events went with it.
    if (!SourceOpen()) return;
    TW_DEVICEEVENT event{};
    if (Triplet(DG_CONTROL, DAT_DEVICEEVENT, MSG_GET, &event, sizeof event) != TWRC_SUCCESS) return;
    if (!OnDeviceEvent) {
      // Nobody listens: the source is asked to stop reporting.
      SetDeviceEventTypes(0);
      return;
    }
    TTwnVariant a = int32_t{0}, b = int32_t{0}, c = int32_t{0};
    switch (event.Event) {
    case TWDE_CHECKAUTOMATICCAPTURE:
      a = static_cast<int32_t>(event.AutomaticCapture);
      b = static_cast<int32_t>(event.TimeBeforeFirstCapture);
      c = static_cast<int32_t>(event.TimeBetweenCaptures);
      break;
    case TWDE_CHECKBATTERY:
      a = static_cast<int32_t>(event.BatteryMinutes);
      b = int32_t{event.BatteryPercentage};
      break;
    case TWDE_CHECKFLASH:
      a = static_cast<int32_t>(event.FlashUsed2);
      break;
    case TWDE_CHECKPOWERSUPPLY:
      a = event.PowerSupply;
      break;
    case TWDE_CHECKRESOLUTION:
      a = Fix32ToFloat(event.XResolution);
      b = Fix32ToFloat(event.YResolution);
      break;
    default:
      break;
    }
    OnDeviceEvent(this, static_cast<TTwnDeviceEvent>(event.Event),
                  std::string(event.DeviceName, strnlen(event.DeviceName, sizeof event.DeviceName)),
                  a, b, c);
  });
}
