#include "dsm/DefaultSource.h"

#include "core/Exception.h"
#include "core/FileStream.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

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
  // Replaced whole, so a failed write keeps the old choice.
  try {
    TReplacingFileStream output(file.string());
    const std::string line = kKey + productName + '\n';
    output.WriteBuffer(line.data(), line.size());
    output.Commit();
  } catch (const Exception&) {
    // The choice is a convenience: not keeping it is no error for the caller.
  }
}
