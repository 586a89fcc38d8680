#include "twain/Log.h"

#include "core/UserFolders.h"

#include <filesystem>
#include <system_error>

namespace {

void DeleteFile(const std::string& fileName) {
  std::error_code error;
  std::filesystem::remove(fileName, error);
}

} // namespace

TAcqTWAINLog::TAcqTWAINLog() : FLogFilename(DefaultLogFilename()) {
  DeleteFile(FLogFilename);
}

std::string TAcqTWAINLog::INIFile() const {
  return XdgUserFolder("XDG_CONFIG_HOME", "/.config") + "/AcqTWAIN.INI";
}

void TAcqTWAINLog::SetLogFilename(const std::string& fileName) {
  if (fileName == FLogFilename) return;
  FLogFilename = fileName;
  if (!fileName.empty()) DeleteFile(fileName);
}

std::string TAcqTWAINLog::DefaultLogFilename() {
  return XdgUserFolder("XDG_STATE_HOME", "/.local/state") + "/APPTWN.LOG";
}
