#include "workflow/BatchFiles.h"

#include "support/TestSupport.h"
#include "workflow/WorkflowTestSupport.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

TEST(CopyFileIntoBatch, RenamesOnCollisionAndNeverOverwrites) {
  test::TempDir dir;
  fs::create_directory(dir.File("batch"));
  test::WriteText(dir.File("scan.tif"), "new page");
  test::WriteText(dir.File("batch/00000000.tif"), "old page");

  std::string copiedTo;
  ASSERT_TRUE(CopyFileIntoBatch(dir.File("scan.tif"), dir.File("batch/00000001.tif"), &copiedTo));
  EXPECT_EQ(copiedTo, dir.File("batch/00000001.tif"));
  ASSERT_TRUE(CopyFileIntoBatch(dir.File("scan.tif"), dir.File("batch/00000000.tif"), &copiedTo));
  EXPECT_EQ(copiedTo, dir.File("batch/00000000 (2).tif"));
  ASSERT_TRUE(CopyFileIntoBatch(dir.File("scan.tif"), dir.File("batch/00000000.tif"), &copiedTo));
  EXPECT_EQ(copiedTo, dir.File("batch/00000000 (3).tif"));

  EXPECT_EQ(test::ReadText(dir.File("batch/00000000.tif")), "old page");
  for (const char* name : {"00000001.tif", "00000000 (2).tif", "00000000 (3).tif"})
    EXPECT_EQ(test::ReadText(dir.File("batch/") + name), "new page") << name;
  // No temporary file is left behind.
  EXPECT_EQ(test::FolderNames(dir.File("batch")),
            (Names{"00000000 (2).tif", "00000000 (3).tif", "00000000.tif", "00000001.tif"}));
}

TEST(CopyFileIntoBatch, RefusesWhatIsNoFileAndLeavesNothing) {
  test::TempDir dir;
  fs::create_directory(dir.File("batch"));
  fs::create_directory(dir.File("folder.tif"));
  test::WriteText(dir.File("page.tif"), "page");
  std::string copiedTo = "untouched";
  const std::pair<std::string, std::string> refused[] = {
      {dir.File("missing.tif"), dir.File("batch/00000000.tif")},
      {dir.File("folder.tif"), dir.File("batch/00000000.tif")},
      {dir.File("page.tif"), dir.File("no-such-folder/00000000.tif")},
  };
  for (const auto& [source, target] : refused) {
    EXPECT_FALSE(CopyFileIntoBatch(source, target, &copiedTo)) << source << " -> " << target;
    EXPECT_EQ(copiedTo, "untouched");
  }
  EXPECT_TRUE(test::FolderNames(dir.File("batch")).empty());
}

TEST(BatchFiles, OverLongPathsAreRefusedNotCut) {
  test::TempDir dir;
  test::WriteText(dir.File("page.tif"), "page");
  const std::string longName = dir.File(std::string(NAME_MAX + 1, 'n') + ".tif");
  std::string longPath = dir.Path();
  while (longPath.size() < PATH_MAX) longPath += "/" + std::string(200, 'p');
  for (const std::string& path : {longName, longPath}) {
    const std::string expected = "The path is longer than the system allows: " + path;
    EXPECT_EQ(test::ErrorOf([&] { CopyFileIntoBatch(dir.File("page.tif"), path); }), expected);
    EXPECT_EQ(test::ErrorOf([&] { CopyFileIntoBatch(path, dir.File("copy.tif")); }), expected);
    EXPECT_EQ(test::ErrorOf([&] { RecycleFile(path); }), expected);
    EXPECT_EQ(test::ErrorOf([&] { SwapBatchFiles(dir.File("page.tif"), path); }), expected);
  }
  EXPECT_EQ(test::FolderNames(dir.Path()), Names{"page.tif"});
  // The longest name the system takes is accepted.
  EXPECT_TRUE(
      CopyFileIntoBatch(dir.File("page.tif"), dir.File(std::string(NAME_MAX - 4, 'm') + ".tif")));
}

// HOME and XDG_DATA_HOME point into a private folder for the test's life,
// so that nothing reaches the machine's own trash.
class PrivateTrash : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* name : {"HOME", "XDG_DATA_HOME"}) {
      const char* value = std::getenv(name);
      FSaved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    fs::create_directories(FDir.File("home/.local/share"));
    setenv("HOME", FDir.File("home").c_str(), 1);
    setenv("XDG_DATA_HOME", FDir.File("home/.local/share").c_str(), 1);
    fs::create_directory(FDir.File("batch"));
  }
  void TearDown() override {
    for (const auto& [name, value] : FSaved)
      value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
  }
  std::string Batch(const std::string& name) const { return FDir.File("batch/" + name); }
  std::string Trash(const std::string& name) const {
    return FDir.File("home/.local/share/Trash/" + name);
  }

  test::TempDir FDir;
  std::vector<std::pair<std::string, std::optional<std::string>>> FSaved;
};

TEST_F(PrivateTrash, RecycledFileCanBeRestoredFromTheTrash) {
  test::WriteText(Batch("00000000.tif"), "first page");
  test::WriteText(Batch("00000001.tif"), "second page");
  ASSERT_TRUE(RecycleFile(Batch("00000000.tif")));
  EXPECT_EQ(test::FolderNames(FDir.File("batch")), Names{"00000001.tif"});
  EXPECT_EQ(test::ReadText(Trash("files/00000000.tif")), "first page");
  const std::string info = test::ReadText(Trash("info/00000000.tif.trashinfo"));
  EXPECT_NE(info.find("Path=" + Batch("00000000.tif")), std::string::npos) << info;
}

TEST_F(PrivateTrash, RecycleRefusesMissingFilesAndFolders) {
  fs::create_directory(Batch("sub.tif"));
  EXPECT_FALSE(RecycleFile(Batch("missing.tif")));
  EXPECT_FALSE(RecycleFile(Batch("sub.tif")));
  EXPECT_EQ(test::FolderNames(FDir.File("batch")), Names{"sub.tif"});
  EXPECT_FALSE(fs::exists(Trash("files")));
}

} // namespace
