#pragma once

#include "tessivane/twain.h"

#include <cstdint>
#include <string>
#include <vector>

// A triplet a fault applies to: DAT and MSG, and for DAT_CAPABILITY
// optionally the capability.
struct TTripletMatch {
  uint16_t DAT = 0;
  uint16_t MSG = 0;
  int32_t CAP = -1; // any
  bool Matches(uint16_t dat, uint16_t msg, const void* data) const;
};

struct TFailureFault {
  TTripletMatch Triplet;
  uint16_t Condition = TWCC_BUMMER;
};

// How the scanner is set up, from VIRTUAL_SHEETS_VARIABLE and the
// configuration file of VIRTUAL_CONFIG_VARIABLE (see virtualscanner.h).
struct TVirtualConfig {
  int Sheets = 3;
  int CancelPage = 0;
  int FailPage = 0;
  int OfflineReads = 0;
  bool InsistUI = false;
  bool CloseWindow = false;
  bool NoSupportedSizes = false;
  std::vector<TFailureFault> Failures;
  std::vector<TTripletMatch> Hangs;
  std::vector<TTripletMatch> Throws;
  std::string ReleaseFile;
  std::string TraceFile;

  static TVirtualConfig Read();
};
