#pragma once

#include "SaneDevice.h"
#include "tessivane/twain.h"

#include <vector>

// The TWAIN view of a device's well-known SANE options ("mode", "depth",
// "resolution", "source", the scan area, "brightness", "contrast"). Lengths
// cross in inches; the source applies ICAP_UNITS. Setters raise ESaneError
// (SANE_STATUS_INVAL for a value the device does not offer).
class TSaneSettings {
public:
  explicit TSaneSettings(TSaneDevice& device) : FDevice(device) {}

  // ICAP_PIXELTYPE: TWPT_BW from a lineart mode, or 1-bit grey when the
  // device has no such mode.
  std::vector<double> PixelTypes() const;
  int PixelType() const;
  void SetPixelType(int pixelType);
  // ICAP_BITDEPTH: bits per pixel as scanned (grey 8 or 16, colour 24 or 48).
  std::vector<double> BitDepths() const;
  int BitDepth() const;
  void SetBitDepth(int bits);

  // ICAP_XRESOLUTION / ICAP_YRESOLUTION in dots per inch.
  bool HasResolution() const;
  TSaneNumbers Resolutions() const;
  double Resolution(bool y) const;
  double SetResolution(bool y, double dpi);

  // The scan area: the largest, the current frame, and setting one.
  bool HasArea() const;
  double MaxWidth() const;
  double MaxHeight() const;
  TW_FRAME Frame() const; // inches, as TW_FIX32
  void SetFrame(double left, double top, double right, double bottom);

  // "source": which of flatbed, feeder and duplex feeder the device names.
  bool HasFeeder() const;
  bool HasDuplex() const;
  bool FeederSelected() const;
  bool DuplexSelected() const;
  void SelectFeeder(bool feeder);
  void SelectDuplex(bool duplex);

  // ICAP_BRIGHTNESS / ICAP_CONTRAST: the option's range as -1000 to 1000.
  bool HasLevel(const char* name) const;
  double Level(const char* name) const;
  void SetLevel(const char* name, double level);

private:
  enum TSourceKind { skFlatbed, skFeeder, skDuplex };
  static TSourceKind KindOf(const std::string& source);
  bool SelectKind(TSourceKind kind);
  std::string ModeFor(int pixelType) const;
  const char* ResolutionOption(bool y) const;
  TSaneDevice& FDevice;
};
