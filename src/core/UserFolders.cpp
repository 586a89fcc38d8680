#include "core/UserFolders.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

std::string XdgUserFolder(const char* variable, const char* fallback) {
  if (const char* folder = std::getenv(variable); folder != nullptr && *folder == '/')
    return folder;
  if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/')
    return std::string(home) + fallback;
  std::error_code error;
  const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
  return error ? std::string("/tmp") : temp.string();
}
