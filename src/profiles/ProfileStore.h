#pragma once

#include <string>
#include <vector>

// The rules of the toolbar's profile list, kept free of any widget: item 0 is
// always kShowScannerUserInterface, the items after it are profile names.

extern const char* const kShowScannerUserInterface;

// Appends the base names of the ordinary, not hidden files "*.tsp" in the
// folder, sorted by name ignoring case (names equal but for case in byte
// order). The extension is matched exactly, as loading adds ".tsp" to the
// name. A folder that cannot be read adds nothing.
void ListProfiles(const std::string& folder, std::vector<std::string>& list);

// The whole toolbar list: kShowScannerUserInterface, then the profiles.
std::vector<std::string> ProfileComboItems(const std::string& folder);

// The list is usable only when it offers at least one profile.
bool ProfileComboEnabled(const std::vector<std::string>& items);

// After a profile is saved: appends its name unless a profile item already
// bears it. Returns whether it was appended.
bool AddSavedProfile(std::vector<std::string>& items, const std::string& profileName);

// The active profile's lines for the selected item: none for item 0 (or no
// selection), else the lines of that profile's file. Raises the file's open
// or read error; the caller's active profile then stays as it was.
std::vector<std::string> ActiveProfileForItem(const std::vector<std::string>& items,
                                              int selectedIndex, const std::string& folder);

// A scan shows the scanner's own dialog exactly when item 0 is selected.
bool ShowsScannerUserInterface(int selectedIndex);

// The scanner to open: line 0 of the active profile, empty for the default.
std::string ProfileScannerName(const std::vector<std::string>& activeProfile);
