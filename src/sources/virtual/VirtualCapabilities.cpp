// Capability negotiation of the virtual scanner.
#include "VirtualScanner.h"

#include "tessivane/virtualscanner.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPhysicalWidth = 8.5; // inches: a legal-size feeder
constexpr double kPhysicalHeight = 14.0;
constexpr double kMinDpi = 50, kMaxDpi = 600, kDpiStep = 50, kDefaultDpi = 300, kNativeDpi = 600;
constexpr int kMaxSheets = 10000;

const std::vector<double> kPixelTypes = {TWPT_BW, TWPT_GRAY, TWPT_RGB};
const std::vector<double> kUnits = {TWUN_INCHES, TWUN_CENTIMETERS, TWUN_PICAS,
                                    TWUN_POINTS, TWUN_TWIPS,       TWUN_MILLIMETERS};
const std::vector<double> kXferMechs = {TWSX_NATIVE, TWSX_FILE, TWSX_MEMORY};
const std::vector<double> kFileFormats = {TWFF_TIFF, TWFF_BMP};
const std::vector<double> kFlavors = {TWPF_CHOCOLATE, TWPF_VANILLA};
const std::vector<double> kSizes = {TWSS_NONE,    TWSS_A4, TWSS_USLETTER,
                                    TWSS_USLEGAL, TWSS_A5, TWSS_A6};
const std::vector<double> kBooleans = {0, 1};
const std::vector<double> kDeviceEvents = {TWDE_IMAGECAPTURED, TWDE_PAPERJAM};
const std::vector<double> kExtendable = {ICAP_PIXELTYPE, ICAP_XRESOLUTION, ICAP_YRESOLUTION,
                                         ICAP_BITDEPTH};

std::vector<double> BitDepths(int pixelType) {
  switch (pixelType) {
  case TWPT_GRAY:
    return {4, 8};
  case TWPT_RGB:
    return {24};
  default:
    return {1};
  }
}

int DefaultBitDepth(int pixelType) {
  return pixelType == TWPT_GRAY ? 8 : pixelType == TWPT_RGB ? 24 : 1;
}

bool IsReadOnly(TW_UINT16 cap) {
  switch (cap) {
  case CAP_FEEDERLOADED:
  case CAP_SUPPORTEDCAPS:
  case CAP_UICONTROLLABLE:
  case CAP_DEVICEONLINE:
  case CAP_DUPLEX:
  case ICAP_COMPRESSION:
  case ICAP_PHYSICALWIDTH:
  case ICAP_PHYSICALHEIGHT:
  case ICAP_MAXFRAMES:
  case ICAP_XNATIVERESOLUTION:
  case ICAP_YNATIVERESOLUTION:
    return true;
  default:
    return false;
  }
}

} // namespace

std::vector<TW_UINT16> TVirtualScanner::SupportedCaps() const {
  std::vector<TW_UINT16> caps = {CAP_XFERCOUNT,
                                 ICAP_COMPRESSION,
                                 ICAP_PIXELTYPE,
                                 ICAP_UNITS,
                                 ICAP_XFERMECH,
                                 CAP_FEEDERENABLED,
                                 CAP_FEEDERLOADED,
                                 CAP_SUPPORTEDCAPS,
                                 CAP_EXTENDEDCAPS,
                                 CAP_INDICATORS,
                                 CAP_UICONTROLLABLE,
                                 CAP_DEVICEONLINE,
                                 CAP_DUPLEX,
                                 CAP_DUPLEXENABLED,
                                 CAP_DEVICEEVENT,
                                 ICAP_IMAGEFILEFORMAT,
                                 ICAP_PHYSICALWIDTH,
                                 ICAP_PHYSICALHEIGHT,
                                 ICAP_FRAMES,
                                 ICAP_MAXFRAMES,
                                 ICAP_XNATIVERESOLUTION,
                                 ICAP_YNATIVERESOLUTION,
                                 ICAP_XRESOLUTION,
                                 ICAP_YRESOLUTION,
                                 ICAP_PIXELFLAVOR,
                                 ICAP_SUPPORTEDSIZES,
                                 ICAP_BITDEPTH,
                                 CAP_VIRTUAL_SHEETS};
  if (FConfig->NoSupportedSizes) std::erase(caps, TW_UINT16{ICAP_SUPPORTEDSIZES});
  return caps;
}

double TVirtualScanner::UnitsPerInch() const {
  return UnitsInAnInch(static_cast<uint16_t>(FSettings.Units));
}

void TVirtualScanner::SelectSize(int size) {
  FSettings.SupportedSize = size;
  for (const TPaperInches& entry : PaperSizes())
    if (entry.Size == size) {
      FSettings.Frame.Left = ToFix32(0);
      FSettings.Frame.Top = ToFix32(0);
      FSettings.Frame.Right = ToFix32(entry.Width);
      FSettings.Frame.Bottom = ToFix32(entry.Height);
    }
}

void TVirtualScanner::ResetSettings() {
  FSettings = TScannerSettings{};
  FSettings.Sheets = FConfig->Sheets;
  SelectSize(TWSS_A4);
}

TW_UINT16 TVirtualScanner::Capability(TW_UINT16 MSG, pTW_CAPABILITY cap) {
  const std::vector<TW_UINT16> supported = SupportedCaps();
  const bool known = std::find(supported.begin(), supported.end(), cap->Cap) != supported.end();
  switch (MSG) {
  case MSG_GET:
  case MSG_GETCURRENT:
  case MSG_GETDEFAULT:
  case MSG_QUERYSUPPORT:
    if (!known) return Fail(TWCC_CAPUNSUPPORTED);
    return GetCapability(MSG, cap);
  case MSG_SET:
    if (!known) return Fail(TWCC_CAPUNSUPPORTED);
    return SetCapability(cap);
  case MSG_RESET:
    if (!known) return Fail(TWCC_CAPUNSUPPORTED);
    return ResetCapability(cap);
  default:
    return Fail(TWCC_CAPBADOPERATION);
  }
}

TW_UINT16 TVirtualScanner::GetCapability(TW_UINT16 MSG, pTW_CAPABILITY cap) {
  if (MSG == MSG_QUERYSUPPORT) {
    int flags = TWQC_GET | TWQC_GETCURRENT | TWQC_GETDEFAULT;
    if (!IsReadOnly(cap->Cap)) flags |= TWQC_SET | TWQC_RESET;
    cap->ConType = TWON_ONEVALUE;
    cap->hContainer = OneValue(FMemory, TWTY_INT32, flags);
    return TWRC_SUCCESS;
  }
  const bool full = MSG == MSG_GET;
  const bool wantDefault = MSG == MSG_GETDEFAULT;
  const double u = UnitsPerInch();
  TW_HANDLE reply = nullptr;
  TW_UINT16 conType = TWON_ONEVALUE;

  // A list of choices: the whole enumeration, or its current or default item.
  auto choose = [&](TW_UINT16 itemType, const std::vector<double>& values, double current,
                    double defaultValue) {
    if (full) {
      conType = TWON_ENUMERATION;
      reply = Enumeration(FMemory, itemType, values, IndexOf(values, current),
                          IndexOf(values, defaultValue));
    } else {
      reply = OneValue(FMemory, itemType, wantDefault ? defaultValue : current);
    }
  };
  auto single = [&](TW_UINT16 itemType, double current, double defaultValue) {
    reply = OneValue(FMemory, itemType, wantDefault ? defaultValue : current);
  };
  auto list = [&](const std::vector<double>& values) {
    conType = TWON_ARRAY;
    reply = Array(FMemory, TWTY_UINT16, values);
  };
  auto range = [&](TW_UINT16 itemType, double minimum, double maximum, double step,
                   double defaultValue, double current) {
    if (full) {
      conType = TWON_RANGE;
      reply = Range(FMemory, itemType, minimum, maximum, step, defaultValue, current);
    } else {
      reply = OneValue(FMemory, itemType, wantDefault ? defaultValue : current);
    }
  };

  switch (cap->Cap) {
  case CAP_XFERCOUNT:
    single(TWTY_INT16, FSettings.XferCount, -1);
    break;
  case ICAP_COMPRESSION:
    choose(TWTY_UINT16, {TWCP_NONE}, TWCP_NONE, TWCP_NONE);
    break;
  case ICAP_PIXELTYPE:
    choose(TWTY_UINT16, kPixelTypes, FSettings.PixelType, TWPT_BW);
    break;
  case ICAP_UNITS:
    choose(TWTY_UINT16, kUnits, FSettings.Units, TWUN_INCHES);
    break;
  case ICAP_XFERMECH:
    choose(TWTY_UINT16, kXferMechs, FSettings.XferMech, TWSX_NATIVE);
    break;
  case CAP_FEEDERENABLED:
    choose(TWTY_BOOL, kBooleans, FSettings.Feeder, 1);
    break;
  case CAP_FEEDERLOADED:
    single(TWTY_BOOL, FSettings.Feeder && FSettings.Sheets > 0, 1);
    break;
  case CAP_SUPPORTEDCAPS: {
    const std::vector<TW_UINT16> caps = SupportedCaps();
    list(std::vector<double>(caps.begin(), caps.end()));
    break;
  }
  case CAP_EXTENDEDCAPS:
    list(FSettings.Extended);
    break;
  case CAP_INDICATORS:
    choose(TWTY_BOOL, kBooleans, FSettings.Indicators, 1);
    break;
  case CAP_UICONTROLLABLE:
    single(TWTY_BOOL, 1, 1);
    break;
  case CAP_DEVICEONLINE: {
    const int offline = FConfig->OfflineReads;
    const bool online = !(offline < 0 || FOfflineReads < offline);
    ++FOfflineReads;
    single(TWTY_BOOL, online, 1);
    break;
  }
  case CAP_DUPLEX:
    single(TWTY_UINT16, TWDX_1PASSDUPLEX, TWDX_1PASSDUPLEX);
    break;
  case CAP_DUPLEXENABLED:
    choose(TWTY_BOOL, kBooleans, FSettings.Duplex, 0);
    break;
  case CAP_DEVICEEVENT:
    list(FSettings.DeviceEvents);
    break;
  case ICAP_IMAGEFILEFORMAT:
    choose(TWTY_UINT16, kFileFormats, FSettings.FileFormat, TWFF_BMP);
    break;
  case ICAP_PHYSICALWIDTH:
    single(TWTY_FIX32, kPhysicalWidth * u, kPhysicalWidth * u);
    break;
  case ICAP_PHYSICALHEIGHT:
    single(TWTY_FIX32, kPhysicalHeight * u, kPhysicalHeight * u);
    break;
  case ICAP_FRAMES: {
    TW_FRAME frame = FSettings.Frame;
    frame.Left = ToFix32(FromFix32(frame.Left) * u);
    frame.Top = ToFix32(FromFix32(frame.Top) * u);
    frame.Right = ToFix32(FromFix32(frame.Right) * u);
    frame.Bottom = ToFix32(FromFix32(frame.Bottom) * u);
    if (full) {
      conType = TWON_ENUMERATION;
      reply = FrameEnumeration(FMemory, frame);
    } else {
      reply = FrameOneValue(FMemory, frame);
    }
    break;
  }
  case ICAP_MAXFRAMES:
    single(TWTY_UINT16, 1, 1);
    break;
  case ICAP_XNATIVERESOLUTION:
  case ICAP_YNATIVERESOLUTION:
    single(TWTY_FIX32, kNativeDpi / u, kNativeDpi / u);
    break;
  case ICAP_XRESOLUTION:
  case ICAP_YRESOLUTION: {
    const double dpi = cap->Cap == ICAP_XRESOLUTION ? FSettings.XDpi : FSettings.YDpi;
    range(TWTY_FIX32, kMinDpi / u, kMaxDpi / u, kDpiStep / u, kDefaultDpi / u, dpi / u);
    break;
  }
  case ICAP_PIXELFLAVOR:
    choose(TWTY_UINT16, kFlavors, FSettings.PixelFlavor, TWPF_CHOCOLATE);
    break;
  case ICAP_SUPPORTEDSIZES:
    choose(TWTY_UINT16, kSizes, FSettings.SupportedSize, TWSS_A4);
    break;
  case ICAP_BITDEPTH:
    choose(TWTY_UINT16, BitDepths(FSettings.PixelType), FSettings.BitDepth,
           DefaultBitDepth(FSettings.PixelType));
    break;
  case CAP_VIRTUAL_SHEETS:
    range(TWTY_INT32, 0, kMaxSheets, 1, FConfig->Sheets, FSettings.Sheets);
    break;
  default:
    return Fail(TWCC_CAPUNSUPPORTED);
  }
  if (reply == nullptr) return Fail(TWCC_LOWMEMORY);
  cap->ConType = conType;
  cap->hContainer = reply;
  return TWRC_SUCCESS;
}

TW_UINT16 TVirtualScanner::SetCapability(pTW_CAPABILITY cap) {
  // Which device events to report may change at any time; extended
  // capabilities between pages; everything else before enabling.
  const bool extended = Contains(FSettings.Extended, cap->Cap);
  if (FState != 4 && cap->Cap != CAP_DEVICEEVENT && !((FState == 5 || FState == 6) && extended))
    return Fail(TWCC_CAPSEQERROR);
  if (IsReadOnly(cap->Cap)) return Fail(TWCC_CAPBADOPERATION);
  TReceived received;
  if (!ReadContainer(FMemory, *cap, received)) return Fail(TWCC_BADVALUE);

  if (cap->Cap == CAP_DEVICEEVENT || cap->Cap == CAP_EXTENDEDCAPS) {
    if (received.ConType != TWON_ARRAY) return Fail(TWCC_BADVALUE);
    const std::vector<double>& allowed = cap->Cap == CAP_DEVICEEVENT ? kDeviceEvents : kExtendable;
    std::vector<double> kept;
    for (double value : received.Values)
      if (Contains(allowed, value) && !Contains(kept, value)) kept.push_back(value);
    (cap->Cap == CAP_DEVICEEVENT ? FSettings.DeviceEvents : FSettings.Extended) = kept;
    return kept.size() == received.Values.size() ? TWRC_SUCCESS : TWRC_CHECKSTATUS;
  }
  if (cap->Cap == ICAP_FRAMES) {
    if (received.Frames.empty()) return Fail(TWCC_BADVALUE);
    const size_t index = received.ConType == TWON_ENUMERATION ? received.CurrentIndex : 0;
    if (index >= received.Frames.size()) return Fail(TWCC_BADVALUE);
    TW_IMAGELAYOUT layout{};
    layout.Frame = received.Frames[index];
    return ImageLayout(MSG_SET, &layout);
  }

  double value = 0;
  if (!received.Current(value)) return Fail(TWCC_BADVALUE);
  const double u = UnitsPerInch();
  switch (cap->Cap) {
  case CAP_XFERCOUNT:
    if (value != -1 && (value < 1 || value > 32767)) return Fail(TWCC_BADVALUE);
    FSettings.XferCount = static_cast<int>(value);
    return TWRC_SUCCESS;
  case ICAP_PIXELTYPE:
    if (!Contains(kPixelTypes, value)) return Fail(TWCC_BADVALUE);
    FSettings.PixelType = static_cast<int>(value);
    FSettings.BitDepth = DefaultBitDepth(FSettings.PixelType);
    return TWRC_SUCCESS;
  case ICAP_BITDEPTH:
    if (!Contains(BitDepths(FSettings.PixelType), value)) return Fail(TWCC_BADVALUE);
    FSettings.BitDepth = static_cast<int>(value);
    return TWRC_SUCCESS;
  case ICAP_UNITS:
    if (!Contains(kUnits, value)) return Fail(TWCC_BADVALUE);
    FSettings.Units = static_cast<int>(value);
    return TWRC_SUCCESS;
  case ICAP_XFERMECH:
    if (!Contains(kXferMechs, value)) return Fail(TWCC_BADVALUE);
    FSettings.XferMech = static_cast<int>(value);
    return TWRC_SUCCESS;
  case ICAP_IMAGEFILEFORMAT:
    if (!Contains(kFileFormats, value)) return Fail(TWCC_BADVALUE);
    FSettings.FileFormat = static_cast<int>(value);
    return TWRC_SUCCESS;
  case ICAP_PIXELFLAVOR:
    if (!Contains(kFlavors, value)) return Fail(TWCC_BADVALUE);
    FSettings.PixelFlavor = static_cast<int>(value);
    return TWRC_SUCCESS;
  case ICAP_SUPPORTEDSIZES:
    if (!Contains(kSizes, value)) return Fail(TWCC_BADVALUE);
    SelectSize(static_cast<int>(value));
    return TWRC_SUCCESS;
  case CAP_FEEDERENABLED:
    FSettings.Feeder = value != 0;
    return TWRC_SUCCESS;
  case CAP_DUPLEXENABLED:
    FSettings.Duplex = value != 0;
    return TWRC_SUCCESS;
  case CAP_INDICATORS:
    FSettings.Indicators = value != 0;
    return TWRC_SUCCESS;
  case ICAP_XRESOLUTION:
  case ICAP_YRESOLUTION: {
    const double dpi = value * u;
    if (dpi < kMinDpi - 0.01 || dpi > kMaxDpi + 0.01) return Fail(TWCC_BADVALUE);
    const double snapped = kMinDpi + std::round((dpi - kMinDpi) / kDpiStep) * kDpiStep;
    (cap->Cap == ICAP_XRESOLUTION ? FSettings.XDpi : FSettings.YDpi) = snapped;
    return std::fabs(snapped - dpi) < 0.01 ? TWRC_SUCCESS : TWRC_CHECKSTATUS;
  }
  case CAP_VIRTUAL_SHEETS:
    if (value < 0 || value > kMaxSheets) return Fail(TWCC_BADVALUE);
    FSettings.Sheets = static_cast<int>(value);
    return TWRC_SUCCESS;
  default:
    return Fail(TWCC_CAPUNSUPPORTED);
  }
}

TW_UINT16 TVirtualScanner::ResetCapability(pTW_CAPABILITY cap) {
  if (FState != 4) return Fail(TWCC_CAPSEQERROR);
  if (IsReadOnly(cap->Cap)) return Fail(TWCC_CAPBADOPERATION);
  const TScannerSettings defaults = [this] {
    TScannerSettings settings;
    settings.Sheets = FConfig->Sheets;
    return settings;
  }();
  switch (cap->Cap) {
  case CAP_XFERCOUNT:
    FSettings.XferCount = defaults.XferCount;
    break;
  case ICAP_PIXELTYPE:
    FSettings.PixelType = defaults.PixelType;
    FSettings.BitDepth = defaults.BitDepth;
    break;
  case ICAP_BITDEPTH:
    FSettings.BitDepth = DefaultBitDepth(FSettings.PixelType);
    break;
  case ICAP_UNITS:
    FSettings.Units = defaults.Units;
    break;
  case ICAP_XFERMECH:
    FSettings.XferMech = defaults.XferMech;
    break;
  case ICAP_IMAGEFILEFORMAT:
    FSettings.FileFormat = defaults.FileFormat;
    break;
  case ICAP_PIXELFLAVOR:
    FSettings.PixelFlavor = defaults.PixelFlavor;
    break;
  case ICAP_SUPPORTEDSIZES:
  case ICAP_FRAMES:
    SelectSize(TWSS_A4);
    break;
  case CAP_FEEDERENABLED:
    FSettings.Feeder = defaults.Feeder;
    break;
  case CAP_DUPLEXENABLED:
    FSettings.Duplex = defaults.Duplex;
    break;
  case CAP_INDICATORS:
    FSettings.Indicators = defaults.Indicators;
    break;
  case ICAP_XRESOLUTION:
    FSettings.XDpi = defaults.XDpi;
    break;
  case ICAP_YRESOLUTION:
    FSettings.YDpi = defaults.YDpi;
    break;
  case CAP_DEVICEEVENT:
    FSettings.DeviceEvents.clear();
    break;
  case CAP_EXTENDEDCAPS:
    FSettings.Extended.clear();
    break;
  case CAP_VIRTUAL_SHEETS:
    FSettings.Sheets = defaults.Sheets;
    break;
  default:
    return Fail(TWCC_CAPUNSUPPORTED);
  }
  return GetCapability(MSG_GETCURRENT, cap);
}
