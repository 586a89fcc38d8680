#include "profiles/PaperCodifier.h"

TPaperCodifier::TPaperCodifier()
    : FSizes{{{33.11, 46.81, "A0"},
              {23.39, 33.11, "A1"},
              {16.54, 23.39, "A2"},
              {11.69, 16.54, "A3"},
              {8.27, 11.69, "A4"},
              {5.84, 8.27, "A5"},
              {4.13, 5.84, "A6"},
              {8.5, 11, "Letter"},
              {8.5, 14, "Legal"},
              {7.25, 10.5, "Executive"},
              {17, 11, "Ledger"},
              {5.5, 8.5, "Statement"},
              {10.11, 13.93, "B4"},
              {7.16, 10.11, "B5"}}},
      FCount(14) {}

void TPaperCodifier::GetPaperSize(const std::string& name, TPaperSize& size) const {
  for (int i = 0; i < FCount; ++i) {
    if (FSizes[static_cast<size_t>(i)].Name == name) {
      size = FSizes[static_cast<size_t>(i)];
      return;
    }
  }
}

std::string SupportedSizePaperName(int32_t supportedSize) {
  switch (supportedSize) {
  case 1:
    return "A4"; // TWSS_A4
  case 3:
    return "Letter"; // TWSS_USLETTER
  case 4:
    return "Legal"; // TWSS_USLEGAL
  case 5:
    return "A5"; // TWSS_A5
  case 6:
    return "B4"; // TWSS_ISOB4
  case 9:
    return "Ledger"; // TWSS_USLEDGER
  case 10:
    return "Executive"; // TWSS_USEXECUTIVE
  case 11:
    return "A3"; // TWSS_A3
  case 13:
    return "A6"; // TWSS_A6
  case 19:
    return "A0"; // TWSS_A0
  case 20:
    return "A1"; // TWSS_A1
  case 21:
    return "A2"; // TWSS_A2
  case 29:
    return "B5"; // TWSS_ISOB5
  case 52:
    return "Statement"; // TWSS_USSTATEMENT
  default:
    return "";
  }
}
