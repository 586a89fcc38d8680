#include "SaneSettings.h"

#include "../virtual/VirtualWire.h"
#include "SaneStatus.h"

#include <sane/saneopts.h>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

constexpr double kMillimetresPerInch = 25.4;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The pixel type a mode's name stands for, -1 when none.
int TypeOfMode(const std::string& mode) {
  const std::string name = Lower(mode);
  if (name.find("color") != std::string::npos || name.find("colour") != std::string::npos)
    return name.find("lineart") != std::string::npos || name.find("halftone") != std::string::npos
               ? -1
               : TWPT_RGB;
  if (name.find("gray") != std::string::npos || name.find("grey") != std::string::npos)
    return TWPT_GRAY;
  if (name.find("lineart") != std::string::npos || name.find("halftone") != std::string::npos ||
      name.find("binary") != std::string::npos)
    return TWPT_BW;
  return -1;
}

void Refuse(const char* what) {
  throw ESaneError(SANE_STATUS_INVAL, what);
}

} // namespace

std::string TSaneSettings::ModeFor(int pixelType) const {
  for (const std::string& mode : FDevice.Texts(SANE_NAME_SCAN_MODE))
    if (TypeOfMode(mode) == pixelType) return mode;
  return {};
}

std::vector<double> TSaneSettings::PixelTypes() const {
  std::vector<double> types;
  for (const std::string& mode : FDevice.Texts(SANE_NAME_SCAN_MODE))
    if (const int type = TypeOfMode(mode); type >= 0 && !Contains(types, type))
      types.push_back(type);
  const TSaneNumbers depths = FDevice.Numbers(SANE_NAME_BIT_DEPTH);
  if (!Contains(types, TWPT_BW) && Contains(types, TWPT_GRAY) && Contains(depths.List, 1))
    types.push_back(TWPT_BW);
  std::sort(types.begin(), types.end());
  return types;
}

int TSaneSettings::PixelType() const {
  const int type = TypeOfMode(FDevice.Text(SANE_NAME_SCAN_MODE).value_or(""));
  if (type == TWPT_GRAY && FDevice.Number(SANE_NAME_BIT_DEPTH).value_or(8) == 1) return TWPT_BW;
  return type;
}

void TSaneSettings::SetPixelType(int pixelType) {
  if (!Contains(PixelTypes(), pixelType)) Refuse(SANE_NAME_SCAN_MODE);
  std::string mode = ModeFor(pixelType);
  const bool greyLineart = mode.empty() && pixelType == TWPT_BW;
  if (greyLineart) mode = ModeFor(TWPT_GRAY);
  FDevice.SetText(SANE_NAME_SCAN_MODE, mode);
  if (!FDevice.Settable(SANE_NAME_BIT_DEPTH)) return;
  const std::vector<double> depths = FDevice.Numbers(SANE_NAME_BIT_DEPTH).List;
  if (greyLineart)
    FDevice.SetNumber(SANE_NAME_BIT_DEPTH, 1);
  else if (pixelType != TWPT_BW && FDevice.Number(SANE_NAME_BIT_DEPTH).value_or(8) == 1 &&
           Contains(depths, 8))
    FDevice.SetNumber(SANE_NAME_BIT_DEPTH, 8);
}

std::vector<double> TSaneSettings::BitDepths() const {
  const int type = PixelType();
  if (type == TWPT_BW) return {1};
  std::vector<double> depths = FDevice.Numbers(SANE_NAME_BIT_DEPTH).List;
  if (depths.empty()) depths = {8};
  std::vector<double> bits;
  for (double depth : depths)
    if (depth == 8 || depth == 16) bits.push_back(type == TWPT_RGB ? 3 * depth : depth);
  return bits;
}

int TSaneSettings::BitDepth() const {
  const int type = PixelType();
  if (type == TWPT_BW) return 1;
  const int depth = static_cast<int>(FDevice.Number(SANE_NAME_BIT_DEPTH).value_or(8));
  return type == TWPT_RGB ? 3 * depth : depth;
}

void TSaneSettings::SetBitDepth(int bits) {
  if (!Contains(BitDepths(), bits)) Refuse(SANE_NAME_BIT_DEPTH);
  if (PixelType() == TWPT_BW || !FDevice.Settable(SANE_NAME_BIT_DEPTH)) return;
  FDevice.SetNumber(SANE_NAME_BIT_DEPTH, PixelType() == TWPT_RGB ? bits / 3 : bits);
}

const char* TSaneSettings::ResolutionOption(bool y) const {
  if (y && FDevice.Settable(SANE_NAME_SCAN_Y_RESOLUTION)) return SANE_NAME_SCAN_Y_RESOLUTION;
  if (FDevice.Find(SANE_NAME_SCAN_RESOLUTION) != nullptr) return SANE_NAME_SCAN_RESOLUTION;
  return SANE_NAME_SCAN_X_RESOLUTION;
}

bool TSaneSettings::HasResolution() const {
  return FDevice.Find(ResolutionOption(false)) != nullptr;
}

TSaneNumbers TSaneSettings::Resolutions() const {
  return FDevice.Numbers(ResolutionOption(false));
}

double TSaneSettings::Resolution(bool y) const {
  return FDevice.Number(ResolutionOption(y)).value_or(0);
}

double TSaneSettings::SetResolution(bool y, double dpi) {
  const TSaneNumbers allowed = FDevice.Numbers(ResolutionOption(y));
  if (allowed.IsRange ? dpi < allowed.Min - 0.01 || dpi > allowed.Max + 0.01
                      : !allowed.List.empty() && !Contains(allowed.List, dpi))
    Refuse(SANE_NAME_SCAN_RESOLUTION);
  return FDevice.SetNumber(ResolutionOption(y), dpi);
}

bool TSaneSettings::HasArea() const {
  for (const char* name :
       {SANE_NAME_SCAN_TL_X, SANE_NAME_SCAN_TL_Y, SANE_NAME_SCAN_BR_X, SANE_NAME_SCAN_BR_Y})
    if (FDevice.MillimetresPerUnit(name) <= 0 || !FDevice.Numbers(name).IsRange) return false;
  return true;
}

double TSaneSettings::MaxWidth() const {
  return FDevice.Numbers(SANE_NAME_SCAN_BR_X).Max *
         FDevice.MillimetresPerUnit(SANE_NAME_SCAN_BR_X) / kMillimetresPerInch;
}

double TSaneSettings::MaxHeight() const {
  return FDevice.Numbers(SANE_NAME_SCAN_BR_Y).Max *
         FDevice.MillimetresPerUnit(SANE_NAME_SCAN_BR_Y) / kMillimetresPerInch;
}

TW_FRAME TSaneSettings::Frame() const {
  auto inches = [&](const char* name) {
    return ToFix32(FDevice.Number(name).value_or(0) * FDevice.MillimetresPerUnit(name) /
                   kMillimetresPerInch);
  };
  return TW_FRAME{inches(SANE_NAME_SCAN_TL_X), inches(SANE_NAME_SCAN_TL_Y),
                  inches(SANE_NAME_SCAN_BR_X), inches(SANE_NAME_SCAN_BR_Y)};
}

void TSaneSettings::SetFrame(double left, double top, double right, double bottom) {
  constexpr double slack = 0.001;
  if (left < -slack || top < -slack || right <= left || bottom <= top ||
      right > MaxWidth() + slack || bottom > MaxHeight() + slack)
    Refuse("scan area");
  auto set = [&](const char* name, double inches) {
    const TSaneNumbers range = FDevice.Numbers(name);
    const double units = inches * kMillimetresPerInch / FDevice.MillimetresPerUnit(name);
    FDevice.SetNumber(name, std::clamp(units, range.Min, range.Max));
  };
  // The bottom right corner first at its largest, so that the new top left
  // corner is always inside the area.
  set(SANE_NAME_SCAN_BR_X, MaxWidth());
  set(SANE_NAME_SCAN_BR_Y, MaxHeight());
  set(SANE_NAME_SCAN_TL_X, left);
  set(SANE_NAME_SCAN_TL_Y, top);
  set(SANE_NAME_SCAN_BR_X, right);
  set(SANE_NAME_SCAN_BR_Y, bottom);
}

TSaneSettings::TSourceKind TSaneSettings::KindOf(const std::string& source) {
  const std::string name = Lower(source);
  if (name.find("duplex") != std::string::npos) return skDuplex;
  if (name.find("adf") != std::string::npos || name.find("feeder") != std::string::npos ||
      name.find("document") != std::string::npos)
    return skFeeder;
  return skFlatbed;
}

bool TSaneSettings::SelectKind(TSourceKind kind) {
  for (const std::string& source : FDevice.Texts(SANE_NAME_SCAN_SOURCE))
    if (KindOf(source) == kind) {
      FDevice.SetText(SANE_NAME_SCAN_SOURCE, source);
      return true;
    }
  return false;
}

bool TSaneSettings::HasFeeder() const {
  for (const std::string& source : FDevice.Texts(SANE_NAME_SCAN_SOURCE))
    if (KindOf(source) != skFlatbed) return FDevice.Settable(SANE_NAME_SCAN_SOURCE);
  return false;
}

bool TSaneSettings::HasDuplex() const {
  for (const std::string& source : FDevice.Texts(SANE_NAME_SCAN_SOURCE))
    if (KindOf(source) == skDuplex) return FDevice.Settable(SANE_NAME_SCAN_SOURCE);
  return false;
}

bool TSaneSettings::FeederSelected() const {
  const std::optional<std::string> source = FDevice.Text(SANE_NAME_SCAN_SOURCE);
  return source && KindOf(*source) != skFlatbed;
}

bool TSaneSettings::DuplexSelected() const {
  const std::optional<std::string> source = FDevice.Text(SANE_NAME_SCAN_SOURCE);
  return source && KindOf(*source) == skDuplex;
}

void TSaneSettings::SelectFeeder(bool feeder) {
  if (feeder == FeederSelected()) return;
  // A device whose only feeder is a duplex one scans both sides.
  if (!(feeder ? SelectKind(skFeeder) || SelectKind(skDuplex) : SelectKind(skFlatbed)))
    Refuse(SANE_NAME_SCAN_SOURCE);
}

void TSaneSettings::SelectDuplex(bool duplex) {
  if (duplex == DuplexSelected()) return;
  if (!SelectKind(duplex ? skDuplex : skFeeder)) Refuse(SANE_NAME_SCAN_SOURCE);
}

bool TSaneSettings::HasLevel(const char* name) const {
  const TSaneNumbers range = FDevice.Numbers(name);
  return FDevice.Settable(name) && range.IsRange && range.Max > range.Min;
}

double TSaneSettings::Level(const char* name) const {
  const TSaneNumbers range = FDevice.Numbers(name);
  const double value = FDevice.Number(name).value_or(range.Min);
  return (value - range.Min) / (range.Max - range.Min) * 2000 - 1000;
}

void TSaneSettings::SetLevel(const char* name, double level) {
  if (level < -1000 || level > 1000) Refuse(name);
  const TSaneNumbers range = FDevice.Numbers(name);
  FDevice.SetNumber(name, range.Min + (level + 1000) / 2000 * (range.Max - range.Min));
}
