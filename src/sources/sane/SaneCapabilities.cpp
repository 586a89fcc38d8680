// The capabilities of a SANE source: one table row per capability, saying
// whether this device can do it, what it answers and how a value is set.
#include "SaneSource.h"

#include "SaneStatus.h"

#include <sane/saneopts.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>

namespace {

// What a capability answers, in inches and dots per inch before units apply.
struct TCapAnswer {
  enum TShape { One, Choice, Span, Items };
  TShape Shape = One;
  TW_UINT16 ItemType = TWTY_UINT16;
  std::vector<double> Values; // the choices or the items
  double Current = 0;
  double Min = 0, Max = 0, Step = 0;
};

TCapAnswer One(TW_UINT16 itemType, double current) {
  return {TCapAnswer::One, itemType, {}, current};
}
TCapAnswer Choice(TW_UINT16 itemType, std::vector<double> values, double current) {
  return {TCapAnswer::Choice, itemType, std::move(values), current};
}

const std::vector<double> kBooleans = {0, 1};
const std::vector<double> kUnits = {TWUN_INCHES, TWUN_CENTIMETERS, TWUN_PICAS,
                                    TWUN_POINTS, TWUN_TWIPS,       TWUN_MILLIMETERS};

} // namespace

// One row of the table. Device rows read or set SANE options, which the
// source does only while it is not scanning (state 4).
struct TSaneCapRow {
  TW_UINT16 Cap;
  bool Device;
  bool (*Supported)(TSaneSettings& settings);
  TCapAnswer (*Get)(TSaneSource& source, TSaneSettings& settings);
  // Returns TWRC_SUCCESS, or TWRC_CHECKSTATUS when the device took a
  // neighbouring value; raises ESaneError for a value it refuses. None for
  // a capability that is only read.
  TW_UINT16 (*Set)(TSaneSource& source, TSaneSettings& settings, double value);
};

double TSaneSource::UnitsPerInch() const {
  return UnitsInAnInch(static_cast<uint16_t>(FUnits));
}

const std::vector<TSaneCapRow>& TSaneSource::Table() {
  auto always = [](TSaneSettings&) { return true; };
  static const std::vector<TSaneCapRow> rows = {
      {CAP_XFERCOUNT, false, always,
       [](TSaneSource& s, TSaneSettings&) { return One(TWTY_INT16, s.FXferCount); },
       [](TSaneSource& s, TSaneSettings&, double v) -> TW_UINT16 {
         if (v != -1 && (v < 1 || v > SHRT_MAX)) throw ESaneError(SANE_STATUS_INVAL, "count");
         s.FXferCount = static_cast<int>(v);
         return TWRC_SUCCESS;
       }},
      {ICAP_XFERMECH, false, always,
       [](TSaneSource& s, TSaneSettings&) {
         return Choice(TWTY_UINT16, {TWSX_NATIVE, TWSX_FILE, TWSX_MEMORY}, s.FXferMech);
       },
       [](TSaneSource& s, TSaneSettings&, double v) -> TW_UINT16 {
         if (v != TWSX_NATIVE && v != TWSX_FILE && v != TWSX_MEMORY)
           throw ESaneError(SANE_STATUS_INVAL, "mech");
         s.FXferMech = static_cast<int>(v);
         return TWRC_SUCCESS;
       }},
      {ICAP_IMAGEFILEFORMAT, false, always,
       [](TSaneSource& s, TSaneSettings&) {
         return Choice(TWTY_UINT16, {TWFF_TIFF, TWFF_BMP}, s.FFileXfer.Format);
       },
       [](TSaneSource& s, TSaneSettings&, double v) -> TW_UINT16 {
         if (v != TWFF_TIFF && v != TWFF_BMP) throw ESaneError(SANE_STATUS_INVAL, "format");
         s.FFileXfer.Format = static_cast<uint16_t>(v);
         return TWRC_SUCCESS;
       }},
      {ICAP_UNITS, false, always,
       [](TSaneSource& s, TSaneSettings&) { return Choice(TWTY_UINT16, kUnits, s.FUnits); },
       [](TSaneSource& s, TSaneSettings&, double v) -> TW_UINT16 {
         if (!Contains(kUnits, v)) throw ESaneError(SANE_STATUS_INVAL, "units");
         s.FUnits = static_cast<int>(v);
         return TWRC_SUCCESS;
       }},
      {ICAP_COMPRESSION, false, always,
       [](TSaneSource&, TSaneSettings&) { return Choice(TWTY_UINT16, {TWCP_NONE}, TWCP_NONE); },
       nullptr},
      {ICAP_PIXELFLAVOR, false, always,
       [](TSaneSource&, TSaneSettings&) {
         return Choice(TWTY_UINT16, {TWPF_CHOCOLATE}, TWPF_CHOCOLATE);
       },
       nullptr},
      {CAP_INDICATORS, false, always,
       [](TSaneSource& s, TSaneSettings&) { return Choice(TWTY_BOOL, kBooleans, s.FIndicators); },
       [](TSaneSource& s, TSaneSettings&, double v) -> TW_UINT16 {
         s.FIndicators = v != 0;
         return TWRC_SUCCESS;
       }},
      {CAP_UICONTROLLABLE, false, always,
       [](TSaneSource&, TSaneSettings&) { return One(TWTY_BOOL, 1); }, nullptr},
      {CAP_DEVICEONLINE, true, always,
       [](TSaneSource& s, TSaneSettings&) { return One(TWTY_BOOL, s.FDevice->Online()); }, nullptr},
      {CAP_SUPPORTEDCAPS, false, always,
       [](TSaneSource& s, TSaneSettings&) {
         const std::vector<TW_UINT16> caps = s.SupportedCaps();
         return TCapAnswer{TCapAnswer::Items, TWTY_UINT16, {caps.begin(), caps.end()}};
       },
       nullptr},
      {ICAP_PIXELTYPE, true, [](TSaneSettings& d) { return !d.PixelTypes().empty(); },
       [](TSaneSource&, TSaneSettings& d) {
         return Choice(TWTY_UINT16, d.PixelTypes(), d.PixelType());
       },
       [](TSaneSource&, TSaneSettings& d, double v) -> TW_UINT16 {
         d.SetPixelType(static_cast<int>(v));
         return TWRC_SUCCESS;
       }},
      {ICAP_BITDEPTH, true, [](TSaneSettings& d) { return !d.PixelTypes().empty(); },
       [](TSaneSource&, TSaneSettings& d) {
         return Choice(TWTY_UINT16, d.BitDepths(), d.BitDepth());
       },
       [](TSaneSource&, TSaneSettings& d, double v) -> TW_UINT16 {
         d.SetBitDepth(static_cast<int>(v));
         return TWRC_SUCCESS;
       }},
      {ICAP_XRESOLUTION, true, [](TSaneSettings& d) { return d.HasResolution(); },
       [](TSaneSource&, TSaneSettings& d) {
         const TSaneNumbers allowed = d.Resolutions();
         if (!allowed.IsRange) return Choice(TWTY_FIX32, allowed.List, d.Resolution(false));
         return TCapAnswer{TCapAnswer::Span, TWTY_FIX32,  {},          d.Resolution(false),
                           allowed.Min,      allowed.Max, allowed.Step};
       },
       [](TSaneSource&, TSaneSettings& d, double v) -> TW_UINT16 {
         return std::fabs(d.SetResolution(false, v) - v) < 0.01 ? TWRC_SUCCESS : TWRC_CHECKSTATUS;
       }},
      {ICAP_YRESOLUTION, true, [](TSaneSettings& d) { return d.HasResolution(); },
       [](TSaneSource&, TSaneSettings& d) {
         const TSaneNumbers allowed = d.Resolutions();
         if (!allowed.IsRange) return Choice(TWTY_FIX32, allowed.List, d.Resolution(true));
         return TCapAnswer{TCapAnswer::Span, TWTY_FIX32,  {},          d.Resolution(true),
                           allowed.Min,      allowed.Max, allowed.Step};
       },
       [](TSaneSource&, TSaneSettings& d, double v) -> TW_UINT16 {
         return std::fabs(d.SetResolution(true, v) - v) < 0.01 ? TWRC_SUCCESS : TWRC_CHECKSTATUS;
       }},
      {ICAP_PHYSICALWIDTH, true, [](TSaneSettings& d) { return d.HasArea(); },
       [](TSaneSource&, TSaneSettings& d) { return One(TWTY_FIX32, d.MaxWidth()); }, nullptr},
      {ICAP_PHYSICALHEIGHT, true, [](TSaneSettings& d) { return d.HasArea(); },
       [](TSaneSource&, TSaneSettings& d) { return One(TWTY_FIX32, d.MaxHeight()); }, nullptr},
      {ICAP_SUPPORTEDSIZES, true, [](TSaneSettings& d) { return d.HasArea(); },
       [](TSaneSource& s, TSaneSettings& d) {
         std::vector<double> sizes = {TWSS_NONE};
         for (const TPaperInches& paper : PaperSizes())
           if (paper.Width <= d.MaxWidth() + 0.001 && paper.Height <= d.MaxHeight() + 0.001)
             sizes.push_back(paper.Size);
         return Choice(TWTY_UINT16, sizes, s.FSupportedSize);
       },
       [](TSaneSource& s, TSaneSettings& d, double v) -> TW_UINT16 {
         if (v == TWSS_NONE) {
           s.FSupportedSize = TWSS_NONE;
           return TWRC_SUCCESS;
         }
         for (const TPaperInches& paper : PaperSizes())
           if (paper.Size == v) {
             d.SetFrame(0, 0, paper.Width, paper.Height);
             s.FSupportedSize = paper.Size;
             return TWRC_SUCCESS;
           }
         throw ESaneError(SANE_STATUS_INVAL, "size");
       }},
      {CAP_FEEDERENABLED, true, [](TSaneSettings& d) { return d.HasFeeder(); },
       [](TSaneSource&, TSaneSettings& d) {
         return Choice(TWTY_BOOL, kBooleans, d.FeederSelected());
       },
       [](TSaneSource&, TSaneSettings& d, double v) -> TW_UINT16 {
         d.SelectFeeder(v != 0);
         return TWRC_SUCCESS;
       }},
      {CAP_FEEDERLOADED, true, [](TSaneSettings& d) { return d.HasFeeder(); },
       [](TSaneSource&, TSaneSettings& d) { return One(TWTY_BOOL, d.FeederSelected()); }, nullptr},
      {CAP_DUPLEXENABLED, true, [](TSaneSettings& d) { return d.HasDuplex(); },
       [](TSaneSource&, TSaneSettings& d) {
         return Choice(TWTY_BOOL, kBooleans, d.DuplexSelected());
       },
       [](TSaneSource&, TSaneSettings& d, double v) -> TW_UINT16 {
         d.SelectDuplex(v != 0);
         return TWRC_SUCCESS;
       }},
      {ICAP_BRIGHTNESS, true, [](TSaneSettings& d) { return d.HasLevel(SANE_NAME_BRIGHTNESS); },
       [](TSaneSource&, TSaneSettings& d) {
         return TCapAnswer{
             TCapAnswer::Span, TWTY_FIX32, {}, d.Level(SANE_NAME_BRIGHTNESS), -1000, 1000, 0};
       },
       [](TSaneSource&, TSaneSettings& d, double v) -> TW_UINT16 {
         d.SetLevel(SANE_NAME_BRIGHTNESS, v);
         return TWRC_SUCCESS;
       }},
      {ICAP_CONTRAST, true, [](TSaneSettings& d) { return d.HasLevel(SANE_NAME_CONTRAST); },
       [](TSaneSource&, TSaneSettings& d) {
         return TCapAnswer{
             TCapAnswer::Span, TWTY_FIX32, {}, d.Level(SANE_NAME_CONTRAST), -1000, 1000, 0};
       },
       [](TSaneSource&, TSaneSettings& d, double v) -> TW_UINT16 {
         d.SetLevel(SANE_NAME_CONTRAST, v);
         return TWRC_SUCCESS;
       }},
  };
  return rows;
}

std::vector<TW_UINT16> TSaneSource::SupportedCaps() {
  // The device's options are read only while it is idle; while it scans,
  // the answer is what it could do when it was last idle.
  if (FState == 4) {
    FSupportedCaps.clear();
    for (const TSaneCapRow& row : Table())
      if (row.Supported(*FSettings)) FSupportedCaps.push_back(row.Cap);
  }
  return FSupportedCaps;
}

void TSaneSource::KeepDefaults() {
  SupportedCaps();
  for (const TSaneCapRow& row : Table())
    if (row.Set != nullptr && row.Supported(*FSettings))
      FDefaults[row.Cap] = row.Get(*this, *FSettings).Current;
}

TW_UINT16 TSaneSource::Capability(TW_UINT16 MSG, pTW_CAPABILITY cap) {
  const std::vector<TSaneCapRow>& table = Table();
  const auto row = std::find_if(table.begin(), table.end(),
                                [cap](const TSaneCapRow& r) { return r.Cap == cap->Cap; });
  if (row == table.end()) return Fail(TWCC_CAPUNSUPPORTED);
  const bool supported = FState == 4 ? row->Supported(*FSettings)
                                     : std::find(FSupportedCaps.begin(), FSupportedCaps.end(),
                                                 row->Cap) != FSupportedCaps.end();
  if (!supported) return Fail(TWCC_CAPUNSUPPORTED);
  if (row->Device && FState != 4) return Fail(TWCC_CAPSEQERROR);
  // Resolutions cross per unit, lengths in units.
  const double u = UnitsPerInch();
  const double scale = cap->Cap == ICAP_XRESOLUTION || cap->Cap == ICAP_YRESOLUTION        ? 1 / u
                       : cap->Cap == ICAP_PHYSICALWIDTH || cap->Cap == ICAP_PHYSICALHEIGHT ? u
                                                                                           : 1;
  switch (MSG) {
  case MSG_QUERYSUPPORT: {
    int flags = TWQC_GET | TWQC_GETCURRENT | TWQC_GETDEFAULT;
    if (row->Set != nullptr) flags |= TWQC_SET | TWQC_RESET;
    cap->ConType = TWON_ONEVALUE;
    cap->hContainer = OneValue(FMemory, TWTY_INT32, flags);
    break;
  }
  case MSG_GET:
  case MSG_GETCURRENT:
  case MSG_GETDEFAULT:
    break;
  case MSG_SET:
  case MSG_RESET: {
    if (row->Set == nullptr) return Fail(TWCC_CAPBADOPERATION);
    if (FState != 4) return Fail(TWCC_CAPSEQERROR);
    double value = FDefaults.count(cap->Cap) ? FDefaults[cap->Cap] : 0;
    if (MSG == MSG_SET) {
      TReceived received;
      if (!ReadContainer(FMemory, *cap, received) || !received.Current(value))
        return Fail(TWCC_BADVALUE);
      value /= scale;
    }
    const TW_UINT16 result = row->Set(*this, *FSettings, value);
    if (MSG == MSG_SET) return result;
    MSG = MSG_GETCURRENT; // a reset answers the value now current
    break;
  }
  default:
    return Fail(TWCC_CAPBADOPERATION);
  }
  if (MSG != MSG_QUERYSUPPORT) {
    const TCapAnswer answer = row->Get(*this, *FSettings);
    const double current = answer.Current;
    const double byDefault = FDefaults.count(cap->Cap) ? FDefaults[cap->Cap] : current;
    std::vector<double> values = answer.Values;
    if (answer.Shape != TCapAnswer::Items)
      for (double& value : values) value *= scale;
    TW_HANDLE reply = nullptr;
    cap->ConType = TWON_ONEVALUE;
    if (answer.Shape == TCapAnswer::Items) {
      cap->ConType = TWON_ARRAY;
      reply = Array(FMemory, answer.ItemType, values);
    } else if (MSG != MSG_GET || answer.Shape == TCapAnswer::One) {
      reply =
          OneValue(FMemory, answer.ItemType, (MSG == MSG_GETDEFAULT ? byDefault : current) * scale);
    } else if (answer.Shape == TCapAnswer::Choice) {
      cap->ConType = TWON_ENUMERATION;
      reply = Enumeration(FMemory, answer.ItemType, values, IndexOf(answer.Values, current),
                          IndexOf(answer.Values, byDefault));
    } else {
      cap->ConType = TWON_RANGE;
      reply = Range(FMemory, answer.ItemType, answer.Min * scale, answer.Max * scale,
                    answer.Step * scale, byDefault * scale, current * scale);
    }
    cap->hContainer = reply;
  }
  if (cap->hContainer == nullptr) return Fail(TWCC_LOWMEMORY);
  return TWRC_SUCCESS;
}
