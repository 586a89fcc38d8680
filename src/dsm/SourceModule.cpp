#include "dsm/SourceModule.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <system_error>

extern "C" TW_UINT16 DSM_Entry(pTW_IDENTITY, pTW_IDENTITY, TW_UINT32, TW_UINT16, TW_UINT16,
                               TW_MEMREF);

TSourceModule::~TSourceModule() {
  if (FHandle != nullptr) dlclose(FHandle);
}

bool TSourceModule::Load(const std::string& path, pTW_IDENTITY origin) {
  FPath = path;
  FHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (FHandle == nullptr) return false;
  FEntry = reinterpret_cast<DSENTRYPROC>(dlsym(FHandle, "DS_Entry"));
  if (FEntry == nullptr) return false;
  TW_IDENTITY identity{};
  try {
    if (FEntry(origin, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity) != TWRC_SUCCESS) return false;
  } catch (...) {
    return false;
  }
  if (!SoundIdentity(identity)) return false; // a garbled identity is no source

  Identity = identity;
  return true;
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

std::string SourcesFolder() {
  if (const char* folder = std::getenv(kSourcesVariable); folder != nullptr && *folder != '\0')
    return folder;
  return (std::filesystem::path(ManagerFolder()) / kSourcesFolder).string();
}

std::vector<std::unique_ptr<TSourceModule>> LoadSources(const std::string& folder,
                                                        pTW_IDENTITY origin) {
  std::vector<std::string> paths;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error))
    if (it->path().extension() == kSourceExtension && it->is_regular_file(error))
      paths.push_back(it->path().string());
  std::sort(paths.begin(), paths.end());
  std::vector<std::unique_ptr<TSourceModule>> sources;
  for (const std::string& path : paths) {
    auto module = std::make_unique<TSourceModule>();
    if (module->Load(path, origin)) sources.push_back(std::move(module));
  }
  return sources;
}
