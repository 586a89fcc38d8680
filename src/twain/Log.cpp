#include "twain/Log.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

std::string UserFolder(const char* variable, const char* fallback) {
  if (const char* folder = std::getenv(variable); folder != nullptr && *folder == '/')
    return folder;
  if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/')
    return std::string(home) + fallback;
  std::error_code error;
  const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
  return error ? std::string("/tmp") : temp.string();
}

void DeleteFile(const std::string& fileName) {
  std::error_code error;
  std::filesystem::remove(fileName, error);
}

} // namespace

TAcqTWAINLog::TAcqTWAINLog() : FLogFilename(DefaultLogFilename()) {
  DeleteFile(FLogFilename);
}

std::string TAcqTWAINLog::INIFile() const {
  return UserFolder("XDG_CONFIG_HOME", "/.config") + "/AcqTWAIN.INI";
}

void TAcqTWAINLog::SetLogFilename(const std::string& fileName) {
  if (fileName == FLogFilename) return;
  FLogFilename = fileName;
  if (!fileName.empty()) DeleteFile(fileName);
}

std::string TAcqTWAINLog::DefaultLogFilename() {
  return UserFolder("XDG_STATE_HOME", "/.local/state") + "/APPTWN.LOG";
}
