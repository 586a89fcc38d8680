#pragma once

#include "tessivane/twain.h"

#include <memory>
#include <string>
#include <vector>

// Environment variable naming the folder the manager loads sources from.
constexpr const char* kSourcesVariable = "TESSIVANE_TWAIN_SOURCES";
// The folder beside the manager library, used when the variable is not set.
constexpr const char* kSourcesFolder = "twain_sources";
// A data source is a module with this file extension exporting DS_Entry.
constexpr const char* kSourceExtension = ".ds";

// One loaded data source module.
class TSourceModule {
public:
  TSourceModule() = default;
  TSourceModule(const TSourceModule&) = delete;
  TSourceModule& operator=(const TSourceModule&) = delete;
  ~TSourceModule();

  // Loads the module and asks it for its identity; false when it is not a
  // data source.
  bool Load(const std::string& path, pTW_IDENTITY origin);

  const std::string& Path() const { return FPath; }
  DSENTRYPROC Entry() const { return FEntry; }
  TW_IDENTITY Identity{};

private:
  std::string FPath;
  void* FHandle = nullptr;
  DSENTRYPROC FEntry = nullptr;
};

// A text field of an identity ends within its 34 bytes.
bool Terminated(const TW_STR32& text);
// An identity the manager can keep: texts that end within their fields and a
// product name to find it by.
bool SoundIdentity(const TW_IDENTITY& identity);

// The folder of this manager library.
std::string ManagerFolder();
// Where sources are looked for.
std::string SourcesFolder();
// Every source module of the folder, in file-name order; modules that do not
// load or answer are left out.
std::vector<std::unique_ptr<TSourceModule>> LoadSources(const std::string& folder,
                                                        pTW_IDENTITY origin);
