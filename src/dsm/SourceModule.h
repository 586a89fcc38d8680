#pragma once

#include "tessivane/twain.h"

#include <memory>
#include <string>
#include <vector>

// Environment variable naming the folders the manager loads sources from
// (separated by ':'), in place of the standard ones.
constexpr const char* kSourcesVariable = "TESSIVANE_TWAIN_SOURCES";
// The folder beside the manager library.
constexpr const char* kSourcesFolder = "twain_sources";
// Where the standard has Linux data sources installed.
constexpr const char* kStandardSourcesFolder = "/usr/local/lib/twain";
// A data source is a module with this file extension exporting DS_Entry.
constexpr const char* kSourceExtension = ".ds";
// The most sources one module may offer.
constexpr size_t kMaxSourcesPerModule = 256;

// One loaded module. It offers one source (it answers DAT_IDENTITY /
// MSG_GET) or several (it answers MSG_GETFIRST, then MSG_GETNEXT until
// TWRC_ENDOFLIST); see sdk/SOURCES.md. Loaded once per process: it stays
// loaded after the last holder lets go.
class TModuleLibrary {
public:
  TModuleLibrary() = default;
  TModuleLibrary(const TModuleLibrary&) = delete;
  TModuleLibrary& operator=(const TModuleLibrary&) = delete;
  ~TModuleLibrary();

  // Loads the module and asks it for its sources' identities (garbled ones
  // are left out); false when it is not a data source or offers none.
  bool Load(const std::string& path, pTW_IDENTITY origin);
  // Asks the loaded module again which sources it offers now (a scanner
  // may have been plugged in or out since it was loaded); Identities keeps
  // what it said when it was loaded.
  std::vector<TW_IDENTITY> ListIdentities(pTW_IDENTITY origin) const;

  const std::string& Path() const { return FPath; }
  DSENTRYPROC Entry() const { return FEntry; }
  const std::vector<TW_IDENTITY>& Identities() const { return FIdentities; }

private:
  std::string FPath;
  void* FHandle = nullptr;
  DSENTRYPROC FEntry = nullptr;
  std::vector<TW_IDENTITY> FIdentities;
};

// One source as the manager lists it: the module that offers it and the
// identity it gave, with the Id the manager assigned.
class TSourceModule {
public:
  TSourceModule(std::shared_ptr<TModuleLibrary> library, const TW_IDENTITY& identity)
      : Library(std::move(library)), Identity(identity) {}
  DSENTRYPROC Entry() const { return Library->Entry(); }

  const std::shared_ptr<TModuleLibrary> Library;
  TW_IDENTITY Identity{};
};

// A text field of an identity ends within its 34 bytes.
bool Terminated(const TW_STR32& text);
// An identity the manager can keep: texts that end within their fields and a
// product name to find it by.
bool SoundIdentity(const TW_IDENTITY& identity);

// The folder of this manager library.
std::string ManagerFolder();
// Where sources are looked for, in order.
std::vector<std::string> SourceFolders();
// Every module file of the folders, each folder searched recursively, in
// file-name order within a folder.
std::vector<std::string> FindSourceFiles(const std::vector<std::string>& folders);
