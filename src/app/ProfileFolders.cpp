#include "app/ProfileFolders.h"

#include "core/Exception.h"
#include "core/UserFolders.h"
#include "profiles/ProfileFile.h"
#include "profiles/ProfileStore.h"
#include "profiles/Text.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace {

std::string WithDelimiter(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

bool NamesFile(const std::string& profileName) {
  return !profileName.empty() && profileName.find('/') == std::string::npos &&
         profileName.find('\0') == std::string::npos;
}

bool HoldsProfile(const std::string& folder, const std::string& profileName) {
  std::error_code error;
  return std::filesystem::is_regular_file(ProfileFileName(folder, profileName), error);
}

} // namespace

bool FolderWritable(const std::string& folder) {
  return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

TProfileFolders::TProfileFolders(std::string programFolder, std::string userFolder)
    : FProgramFolder(WithDelimiter(std::move(programFolder))),
      FUserFolder(WithDelimiter(std::move(userFolder))) {}

std::string TProfileFolders::DefaultUserFolder() {
  return XdgUserFolder("XDG_CONFIG_HOME", "/.config") + "/tessivane/";
}

std::vector<std::string> TProfileFolders::List() const {
  std::vector<std::string> names;
  ListProfiles(FProgramFolder, names);
  if (FUserFolder != FProgramFolder) ListProfiles(FUserFolder, names);
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const int order = CompareText(a, b);
    return order != 0 ? order < 0 : a < b;
  });
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

std::string TProfileFolders::FolderOf(const std::string& profileName) const {
  if (!NamesFile(profileName)) return {};
  if (HoldsProfile(FUserFolder, profileName)) return FUserFolder;
  if (HoldsProfile(FProgramFolder, profileName)) return FProgramFolder;
  return {};
}

std::vector<std::string> TProfileFolders::Load(const std::string& profileName) const {
  const std::string folder = FolderOf(profileName);
  return LoadNamedProfile(folder.empty() ? FProgramFolder : folder, profileName);
}

std::string TProfileFolders::SaveFolder(const std::string& profileName) const {
  const std::string folder = FolderOf(profileName);
  if (!folder.empty() && FolderWritable(folder)) return folder;
  if (FolderWritable(FProgramFolder)) return FProgramFolder;
  return FUserFolder;
}

std::string TProfileFolders::Save(const std::string& profileName,
                                  const std::vector<std::string>& lines) const {
  const std::string folder = SaveFolder(profileName);
  if (folder == FUserFolder && NamesFile(profileName)) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) throw EFCreateError(ProfileFileName(folder, profileName), error.value());
  }
  SaveNamedProfile(folder, profileName, lines);
  return ProfileFileName(folder, profileName);
}
