#include "profiles/ProfileStore.h"
#include "core/Exception.h"
#include "profiles/ProfileFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using Lines = std::vector<std::string>;

void Touch(const std::string& path) {
  test::WriteFile(path, {});
}

} // namespace

TEST(ProfileStore, ListsOrdinaryProfileFilesSortedIgnoringCase) {
  test::TempDir dir;
  for (const char* name :
       {"office.tsp", "Batch.tsp", "Office.tsp", "zeta.tsp", "a.b.tsp", "_x.tsp", "Archive.tsp",
        "caps.TSP", "notes.txt", "tsp", ".tsp", ".hidden.tsp", "half.tsp~", "Scan\xC3\xA8.tsp"})
    Touch(dir.File(name));
  std::filesystem::create_directory(dir.File("folder.tsp"));
  std::filesystem::create_symlink(dir.File("zeta.tsp"), dir.File("link.tsp"));
  std::filesystem::create_symlink(dir.File("nowhere"), dir.File("dangling.tsp"));

  Lines list = {"kept"};
  ListProfiles(dir.Path(), list);
  // The extension matches exactly: "caps.TSP" could not be loaded as "caps" + ".tsp".
  EXPECT_EQ(list, (Lines{"kept", "_x", "a.b", "Archive", "Batch", "link", "Office", "office",
                         "Scan\xC3\xA8", "zeta"}));
  Lines again;
  ListProfiles(dir.Path() + "/", again);
  EXPECT_EQ(again, Lines(list.begin() + 1, list.end()));
}

TEST(ProfileStore, MissingOrEmptyFoldersListNothing) {
  test::TempDir dir;
  Lines list;
  ListProfiles(dir.File("missing"), list);
  ListProfiles(dir.Path(), list);
  Touch(dir.File("file"));
  ListProfiles(dir.File("file"), list);
  EXPECT_TRUE(list.empty());
  const Lines items = ProfileComboItems(dir.Path());
  EXPECT_EQ(items, Lines{"Show Scanner User Interface"});
  EXPECT_FALSE(ProfileComboEnabled(items));
}

TEST(ProfileStore, ComboItemsAndSaving) {
  test::TempDir dir;
  SaveNamedProfile(dir.Path(), "Office", {"", "257,I,0"});
  Lines items = ProfileComboItems(dir.Path());
  EXPECT_EQ(items, (Lines{"Show Scanner User Interface", "Office"}));
  EXPECT_TRUE(ProfileComboEnabled(items));

  EXPECT_FALSE(AddSavedProfile(items, "Office"));
  EXPECT_TRUE(AddSavedProfile(items, "office")); // another file on this system
  EXPECT_TRUE(AddSavedProfile(items, "Show Scanner User Interface"));
  EXPECT_FALSE(AddSavedProfile(items, "Show Scanner User Interface"));
  EXPECT_EQ(items, (Lines{"Show Scanner User Interface", "Office", "office",
                          "Show Scanner User Interface"}));

  Lines alone = {"Show Scanner User Interface"};
  EXPECT_FALSE(ProfileComboEnabled(alone));
  EXPECT_TRUE(AddSavedProfile(alone, "First"));
  EXPECT_TRUE(ProfileComboEnabled(alone));
  Lines none;
  EXPECT_TRUE(AddSavedProfile(none, "First"));
  EXPECT_EQ(none, (Lines{"Show Scanner User Interface", "First"}));
}

TEST(ProfileStore, SelectingAnItemChoosesTheActiveProfile) {
  test::TempDir dir;
  SaveNamedProfile(dir.Path(), "Office", {"Flatbed 1", "257,I,0", "4376,F,?"});
  SaveNamedProfile(dir.Path(), "Default", {"", "4115,B,1"});
  const Lines items = ProfileComboItems(dir.Path());
  ASSERT_EQ(items, (Lines{"Show Scanner User Interface", "Default", "Office"}));

  Lines active = ActiveProfileForItem(items, 2, dir.Path());
  EXPECT_EQ(active, (Lines{"Flatbed 1", "257,I,0", "4376,F,?"}));
  EXPECT_EQ(ProfileScannerName(active), "Flatbed 1");
  EXPECT_FALSE(ShowsScannerUserInterface(2));

  active = ActiveProfileForItem(items, 1, dir.Path());
  EXPECT_EQ(ProfileScannerName(active), "");
  EXPECT_EQ(active.size(), 2u);

  // Item 0 empties the active profile: default scanner, its own dialog, no settings.
  active = ActiveProfileForItem(items, 0, dir.Path());
  EXPECT_TRUE(active.empty());
  EXPECT_EQ(ProfileScannerName(active), "");
  EXPECT_TRUE(ShowsScannerUserInterface(0));
  EXPECT_FALSE(ShowsScannerUserInterface(-1));
  EXPECT_TRUE(ActiveProfileForItem(items, -1, dir.Path()).empty());

  // A profile deleted since the list was built raises; the caller keeps its lines.
  std::filesystem::remove(dir.File("Office.tsp"));
  active = {"previous"};
  EXPECT_THROW(active = ActiveProfileForItem(items, 2, dir.Path()), EFOpenError);
  EXPECT_EQ(active, Lines{"previous"});
}
