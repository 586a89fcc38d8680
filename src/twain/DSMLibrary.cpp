#include "twain/DSMLibrary.h"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <system_error>

std::string DSMPath() {
  if (const char* path = std::getenv(kDSMPathVariable); path != nullptr && *path != '\0')
    return path;
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return kDSMFileName;
  return (program.parent_path() / kDSMFileName).string();
}

bool TDSMLibrary::Load(const std::string& path) {
  Unload();
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  FHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (FHandle == nullptr) return false;
  FEntry = reinterpret_cast<DSMENTRYPROC>(dlsym(FHandle, "DSM_Entry"));
  if (FEntry == nullptr) Unload();
  return FEntry != nullptr;
}

void TDSMLibrary::Unload() {
  FEntry = nullptr;
  if (FHandle != nullptr) dlclose(FHandle);
  FHandle = nullptr;
}
