#include "profiles/ProfileStore.h"

#include "profiles/ProfileFile.h"
#include "profiles/Text.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

const char* const kShowScannerUserInterface = "Show Scanner User Interface";

void ListProfiles(const std::string& folder, std::vector<std::string>& list) {
  static const std::string kExtension = ".tsp";
  namespace fs = std::filesystem;
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string fileName = it->path().filename().string();
    if (fileName.empty() || fileName[0] == '.') continue;
    if (fileName.size() <= kExtension.size() ||
        fileName.compare(fileName.size() - kExtension.size(), kExtension.size(), kExtension) != 0)
      continue;
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    names.push_back(fileName.substr(0, fileName.size() - kExtension.size()));
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const int order = CompareText(a, b);
    return order != 0 ? order < 0 : a < b;
  });
  list.insert(list.end(), names.begin(), names.end());
}

std::vector<std::string> ProfileComboItems(const std::string& folder) {
  std::vector<std::string> items{kShowScannerUserInterface};
  ListProfiles(folder, items);
  return items;
}

bool ProfileComboEnabled(const std::vector<std::string>& items) {
  return items.size() > 1;
}

bool AddSavedProfile(std::vector<std::string>& items, const std::string& profileName) {
  // Item 0 is no profile, so a profile that happens to bear its text is still added.
  if (!items.empty() && std::find(items.begin() + 1, items.end(), profileName) != items.end())
    return false;
  if (items.empty()) items.push_back(kShowScannerUserInterface);
  items.push_back(profileName);
  return true;
}

std::vector<std::string> ActiveProfileForItem(const std::vector<std::string>& items,
                                              int selectedIndex, const std::string& folder) {
  if (selectedIndex < 1 || static_cast<size_t>(selectedIndex) >= items.size()) return {};
  return LoadNamedProfile(folder, items[static_cast<size_t>(selectedIndex)]);
}

bool ShowsScannerUserInterface(int selectedIndex) {
  return selectedIndex == 0;
}

std::string ProfileScannerName(const std::vector<std::string>& activeProfile) {
  return activeProfile.empty() ? std::string() : activeProfile[0];
}
