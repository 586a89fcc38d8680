#pragma once

#include "tessivane/twain.h"

#include <string>

// Environment variable naming the Data Source Manager library to load.
constexpr const char* kDSMPathVariable = "TESSIVANE_TWAIN_DSM";
// File name of the manager this project builds, installed beside the program.
constexpr const char* kDSMFileName = "libtessivane_dsm.so";

// Where the manager is: TESSIVANE_TWAIN_DSM, else beside the executable.
std::string DSMPath();

// A loaded Data Source Manager library and its entry point.
class TDSMLibrary {
public:
  TDSMLibrary() = default;
  TDSMLibrary(const TDSMLibrary&) = delete;
  TDSMLibrary& operator=(const TDSMLibrary&) = delete;
  ~TDSMLibrary() { Unload(); }

  // False when the file is missing, does not load or exports no DSM_Entry.
  bool Load(const std::string& path);
  void Unload();
  bool Loaded() const { return FEntry != nullptr; }
  DSMENTRYPROC Entry() const { return FEntry; }

private:
  void* FHandle = nullptr;
  DSMENTRYPROC FEntry = nullptr;
};
