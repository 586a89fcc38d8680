#include "dsm/DefaultSource.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <unistd.h>

namespace {

constexpr const char* kKey = "DefaultSource=";

std::filesystem::path SettingsFile() {
  std::filesystem::path folder;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/')
    folder = config;
  else if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/')
    folder = std::filesystem::path(home) / ".config";
  else
    return {};
  return folder / "Vellumtrace" / "TessivaneTwain.conf";
}

} // namespace

std::string StoredDefaultSource() {
  const std::filesystem::path file = SettingsFile();
  if (file.empty()) return {};
  std::ifstream input(file);
  std::string line;
  const std::string key = kKey;
  while (std::getline(input, line))
    if (line.compare(0, key.size(), key) == 0) return line.substr(key.size());
  return {};
}

void StoreDefaultSource(const std::string& productName) {
  const std::filesystem::path file = SettingsFile();
  if (file.empty()) return;
  std::error_code error;
  std::filesystem::create_directories(file.parent_path(), error);
  // Written beside and renamed over, so a failed write keeps the old choice.
  const std::filesystem::path temporary = file.string() + "." + std::to_string(getpid()) + ".tmp";
  {
    std::ofstream output(temporary, std::ios::trunc);
    output << kKey << productName << '\n';
    output.flush();
    if (!output) {
      std::filesystem::remove(temporary, error);
      return;
    }
  }
  std::filesystem::rename(temporary, file, error);
  if (error) std::filesystem::remove(temporary, error);
}
