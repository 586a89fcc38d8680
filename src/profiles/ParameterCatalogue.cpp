#include "profiles/ParameterCatalogue.h"

#include "profiles/Text.h"

#include <array>
#include <string>

namespace {

// The catalogue text is UTF-8: "CFM Endorser Rotation" carries degree signs.
// "CFM Software Interpolation" ends in a blank that parsing trims away.
// "Auto Brightness" and "Auto Discard Blank Pages (!)" share capability 4352,
// so a lookup by capability always finds "Auto Brightness".
constexpr std::array<const char*, 78> kAvailableParameters = {
    "Pages to Scan (-1=all), 1, I",
    "PixelType, 257, I, BW=0, GrayScale=1, Colors=2",
    "Bit Depth, 4395, I, 1=1, 4=4, 8=8",
    "Bit Reduction, 4396, I, Threshold=0, Halftones=1, Custom Halftones=2, Error Diffusion=3",
    "Threshold (0..255), 4387, I",
    "X Resolution, 4376, F, 100, 150, 200, 300, 400",
    "Y Resolution, 4377, F, 100, 150, 200, 300, 400",
    "Brightness (-1000..1000), 4353, I",
    "Contrast (-1000..1000), 4355, I",
    "Page Size, 4386, I, MaxArea=0, A6=13, A5=5, A4=1, A3=11, A2=21, A1=20, A0=19, Letter=3, "
    "Legal=4, Ledger=9, Executive=10, Statement=52, BusinessCard=53, B3=12, B4=6, B6=7, C4=14, "
    "C5=15",
    "FeederEnabled, 4098, B",
    "AutoFeed, 4103, B",
    "DuplexEnabled, 4115, B",
    "AutoScan, 4112, B",
    "Max Batch Buffers, 4126, I",
    "ClearBuffers, 4125, I, Auto=0, Clear=1, No Clear=2",
    "Auto Border Detection, 4432, B",
    "Auto Brightness, 4352, B",
    "Auto Discard Blank Pages (!), 4352, B",
    "Auto Deskew, 4433, B",
    "Auto Rotate, 4434, B",
    "Endorser Index, 4118, I",
    "Printer, 4134, I, Imprinter Top Before=0, Imprinter Top After=1, Imprinter Bottom Before=2, "
    "Imprinter Bottom After=3, Endorser Top Before=4, Endorser Top After=5, Endorser Bottom "
    "Before=6, Endorser Bottom After=7",
    "Printer Enabled, 4135, B",
    "Printer Index, 4136, I",
    "Printer Mode, 4137, I, Single String=0, Multi String=1, Compound String=2",
    "Printer String, 4138, S",
    "Printer Suffix, 4139, S",
    "Job Control, 4119, I, No=0, Include and Continue=1, Include and Stop=2, Exclude and "
    "Continue=3, Exclude and Stop=4",
    "Filter, 4358, I, Red=0, Green=1, Blue=2, None=3, White=4, Cyan=5, Magenta=6, Yellow=7, "
    "Black=8",
    "Flip Rotation, 4406, I, Book=0, Fanfold=1",
    "Image Filter, 4423, I, None=0, Auto=1, LowPass=2, BandPass=3, HighPass=4",
    "JPEG Quality (1..100), 4435, I",
    "Light Source, 4366, I, Red=0, Green=1, Blue=2, None=3, White=4, IR=5, UV=6",
    "Noise Filter, 4424, I, None=0, Auto=1, LonePixel=2, MajorityValue=3",
    "Orientation, 4368, I, Rot0=0, Rot90=1, Rot180=2, Rot270=3, Portrait=0, Landscape=3",
    "Overscan, 4425, I, None=0, Auto=1, TopBottom=2, LeftRight=3, All=4",
    "Rotation (0..360), 4385, I",
    "X Scaling, 4388, F",
    "Y Scaling, 4389, F",
    "Caption, 4097, S",
    "Indicators, 4107, B",
    "CFM White Balance, 34840, I, Relative=0, Absolute=1",
    "CFM Auto Binary, 34841, I, Off=0, Default=1, Character=2, Texture=3",
    "CFM Image Separation, 34842, B",
    "CFM Image Emphasis, 34844, I, Off=0, Low=1, Medium=2, High=3, Smoothing=4",
    "CFM Outlining, 34845, B",
    "CFM Dynamic Thresholding, 34846, I, Off=0, Normal=1, Enhancement=2, Removal=3, Simplified=4",
    "CFM Variance (if DT simplified), 34847, I",
    "CFM Endorser Enabled, 34849, B",
    "CFM Endorser String, 34852, S",
    "CFM Endorser Print Order, 34891, I, RightToLeft=1, LeftToRight=2",
    "CFM Endorser Font, 34892, I, Medium=1, Small=2",
    "CFM Endorser XPos, 34893, I",
    "CFM Endorser YPos, 34894, I",
    "CFM Endorser Rotation, 34895, I, None=0, 90°=1, 180°=2, 270°=3",
    "CFM Endorser Format, 34896, I, BlackOnWhite=1, WhiteOnBlack=2, BlackOrImage=3",
    "CFM Dynamic Threshold Curve, 34864, I, Image Dark=0, Image Light=1, OCR Very Dark=2, OCR "
    "Dark=3, OCR Dark Normal=4, OCR Light Normal=5, OCR Light=6, OCR Very Light=7",
    "CFM Smoothing Mode, 34865, I, OCR=0, IMAGE=1",
    "CFM Filter Mode, 34866, I, Ordinary=0, BallPointPen=1",
    "CFM Gradation, 34867, I, Ordinary=0, High Contrast=1",
    "CFM Mirror, 34868, B",
    "CFM Software Interpolation, 34870, B ",
    "CFM Image Separation Extra, 34871, I, Auto Foto=0, Auto No Foto=1",
    "CFM Duplex Page, 34872, I, Front=0, Back=1, Front First=2, Back First=3",
    "CFM Invert Image, 34873, B",
    "CFM Speckle Remove, 34874, I, Off=0, 2X2=1, 3x3=2, 4x4=4, 5x5=8, All=15",
    "CFM USM Filter, 34875, I, Smooth=0, Medium Smooth=1, Weak Smooth=2, Weak=3, Medium=4, "
    "Strong=5",
    "CFM Noise Filter CFM, 34876, I, Off=0, 3x3=1, 5x5=2",
    "CFM Descreening, 34877, I, Off=1, Artprint=2, Magazine=3, Newspaper=4, Custom=5",
    "CFM Quality Filter, 34878, I, Normal=1, High Speed=2, Good=3, Very Good=4",
    "CFM Binary Filter, 34879, I, Off=0, Boldling=1, Edge Extraction=2",
    "CFM Paper Format, 34880, S",
    "CFM Gray Response Curve, 34881, I, Normal=0, Soft=1, Hard=2, Linear=3",
    "CFM Image Erase, 34882, I, None=0, Black=1, White=2, Notch=4, All=7",
    "CFM Complents Thin Lines, 34883, I",
    "CFM DoubleFeed Detect, 34890, I, None=0, ByLenght=1, ByThinckness=2",
    "CFM Function Control, 34900, I, None=1, JSXCONT=2, JSXSTOP=4, JSICONT=8, JSISTOP=16",
};

} // namespace

std::span<const char* const> AvailableParameters() {
  return kAvailableParameters;
}

std::string CutField(std::string& text) {
  const size_t comma = text.find(',');
  std::string field;
  if (comma == std::string::npos) {
    field.swap(text);
  } else {
    field = text.substr(0, comma);
    text.erase(0, comma + 1);
  }
  return field;
}

TParameterInfo ParseParameterLine(const std::string& line, TParameterValues* values) {
  std::string rest = line;
  TParameterInfo info;
  info.DisplayName = Trim(CutField(rest));
  if (info.DisplayName.empty()) throw EParameterError("Nome parametro non valido.");
  info.Capability = StrToInt(Trim(CutField(rest)));
  const std::string type = UpperCase(Trim(CutField(rest)));
  if (type.size() != 1) throw EParameterError("Tipo parametro non valido.");
  info.TypeLetter = type[0];
  if (values == nullptr) return info;

  values->clear();
  if (info.TypeLetter == 'B') {
    values->push_back({"Yes", 1});
    values->push_back({"No", 0});
  } else if (info.TypeLetter == 'I') {
    while (!rest.empty()) {
      const std::string field = Trim(CutField(rest));
      const size_t equals = field.find('=');
      if (equals == std::string::npos)
        values->push_back({field, StrToInt(field)});
      else
        values->push_back({field.substr(0, equals), StrToInt(field.substr(equals + 1))});
    }
  }
  return info;
}

std::string ParameterDisplayName(int32_t capability) {
  for (const char* line : kAvailableParameters) {
    const TParameterInfo info = ParseParameterLine(Trim(line));
    if (info.Capability == capability) return info.DisplayName;
  }
  return std::to_string(capability);
}

int IndexOfValue(const TParameterValues& values, int32_t value) {
  for (size_t i = 0; i < values.size(); ++i)
    if (values[i].Value == value) return static_cast<int>(i);
  return -1;
}
