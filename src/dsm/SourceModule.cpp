#include "dsm/SourceModule.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <sstream>
#include <system_error>

extern "C" TW_UINT16 DSM_Entry(pTW_IDENTITY, pTW_IDENTITY, TW_UINT32, TW_UINT16, TW_UINT16,
                               TW_MEMREF);

TModuleLibrary::~TModuleLibrary() {
  if (FHandle != nullptr) dlclose(FHandle);
}

bool TModuleLibrary::Load(const std::string& path, pTW_IDENTITY origin) {
  FPath = path;
  // Once loaded, a module stays for the rest of the process, so that another
  // session of the manager (loaded again by the application) does not load
  // and initialise it again; the handle is only counted down.
  FHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (FHandle == nullptr) return false;
  FEntry = reinterpret_cast<DSENTRYPROC>(dlsym(FHandle, "DS_Entry"));
  if (FEntry == nullptr) return false;
  FIdentities = ListIdentities(origin);
  return !FIdentities.empty();
}

std::vector<TW_IDENTITY> TModuleLibrary::ListIdentities(pTW_IDENTITY origin) const {
  std::vector<TW_IDENTITY> found;
  if (FEntry == nullptr) return found;
  try {
    TW_IDENTITY identity{};
    if (FEntry(origin, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &identity) == TWRC_SUCCESS) {
      // A module of several sources lists them all.
      do {
        if (SoundIdentity(identity)) found.push_back(identity);
        identity = TW_IDENTITY{};
      } while (found.size() < kMaxSourcesPerModule &&
               FEntry(origin, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &identity) == TWRC_SUCCESS);
    } else {
      identity = TW_IDENTITY{};
      if (FEntry(origin, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity) == TWRC_SUCCESS &&
          SoundIdentity(identity)) // a garbled identity is no source
        found.push_back(identity);
    }
  } catch (...) {
    found.clear();
  }
  return found;
}

bool Terminated(const TW_STR32& text) {
  return std::memchr(text, 0, sizeof(TW_STR32)) != nullptr;
}

bool SoundIdentity(const TW_IDENTITY& identity) {
  return Terminated(identity.Manufacturer) && Terminated(identity.ProductFamily) &&
         Terminated(identity.ProductName) && Terminated(identity.Version.Info) &&
         identity.ProductName[0] != '\0';
}

std::string ManagerFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&DSM_Entry), &info) == 0 || info.dli_fname == nullptr)
    return ".";
  return std::filesystem::path(info.dli_fname).parent_path().string();
}

std::vector<std::string> SourceFolders() {
  std::vector<std::string> folders;
  if (const char* list = std::getenv(kSourcesVariable); list != nullptr && *list != '\0') {
    std::istringstream in(list);
    for (std::string folder; std::getline(in, folder, ':');)
      if (!folder.empty()) folders.push_back(folder);
    return folders;
  }
  folders.push_back((std::filesystem::path(ManagerFolder()) / kSourcesFolder).string());
  folders.emplace_back(kStandardSourcesFolder);
  return folders;
}

std::vector<std::string> FindSourceFiles(const std::vector<std::string>& folders) {
  namespace fs = std::filesystem;
  std::vector<std::string> all;
  for (const std::string& folder : folders) {
    std::vector<std::string> paths;
    std::error_code error;
    for (fs::recursive_directory_iterator
             it(folder, fs::directory_options::skip_permission_denied, error),
         end;
         !error && it != end; it.increment(error))
      if (it->path().extension() == kSourceExtension && it->is_regular_file(error))
        paths.push_back(it->path().string());
    std::sort(paths.begin(), paths.end());
    for (std::string& path : paths)
      if (std::find(all.begin(), all.end(), path) == all.end()) all.push_back(std::move(path));
  }
  return all;
}
