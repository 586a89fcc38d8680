#include "workflow/BatchFolder.h"

#include "support/TestSupport.h"
#include "workflow/BatchFiles.h"
#include "workflow/BatchTexts.h"
#include "workflow/WorkflowTestSupport.h"

#include <QLocale>

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The names of paths that all lie in folder.
std::vector<std::string> NamesIn(const std::vector<std::string>& paths, const std::string& folder) {
  std::vector<std::string> names;
  for (const std::string& path : paths) {
    EXPECT_EQ(path.substr(0, folder.size()), folder) << path;
    names.push_back(path.substr(folder.size()));
  }
  return names;
}

TEST(BatchFolder, MembershipKeepsOnlyVisiblePageFilesDirectlyInside) {
  test::TempDir dir;
  for (const char* name : {"b.TIF", "a.jpg", "c.txt", "d.tiff", ".e.tif"})
    test::WriteText(dir.File(name), name);
  fs::create_directory(dir.File("f.tif"));
  test::WriteText(dir.File("f.tif/g.tif"), "inside a sub-folder");

  TBatchFolder batch;
  ASSERT_TRUE(batch.Open(dir.Path()));
  EXPECT_EQ(NamesIn(batch.ListBatchFiles(), batch.Folder()),
            (std::vector<std::string>{"a.jpg", "b.TIF", "d.tiff"}));
  EXPECT_EQ(batch.CountBatchFiles(), 3);

  // Read-only files and links to files belong; pipes, dangling links and
  // names without a batch extension do not.
  test::WriteText(dir.File("r.PDF"), "read-only");
  chmod(dir.File("r.PDF").c_str(), 0444);
  fs::create_symlink(dir.File("a.jpg"), dir.File("z.bmp"));
  fs::create_symlink(dir.File("gone.tif"), dir.File("dangling.tif"));
  ASSERT_EQ(mkfifo(dir.File("pipe.tif").c_str(), 0600), 0);
  for (const char* name : {"tif", "noext", "x.tif.txt", "x.jpeg", "x.png"})
    test::WriteText(dir.File(name), name);
  EXPECT_EQ(NamesIn(batch.ListBatchFiles(), batch.Folder()),
            (std::vector<std::string>{"a.jpg", "b.TIF", "d.tiff", "r.PDF", "z.bmp"}));
  EXPECT_EQ(batch.CountBatchFiles(), 5);
}

TEST(BatchFolder, OrderIgnoresCaseAndIsTotal) {
  struct Case {
    std::vector<std::string> in, out;
  };
  const Case cases[] = {
      {{"/b/c.TIF", "/b/B.tif", "/b/a.tif"}, {"/b/a.tif", "/b/B.tif", "/b/c.TIF"}},
      {{"/b/a.tif", "/b/A.tif", "/b/a.TIF"}, {"/b/A.tif", "/b/a.TIF", "/b/a.tif"}},
      {{"/b/00000010.tif", "/b/00000002.tif", "/b/Z.jpg"},
       {"/b/00000002.tif", "/b/00000010.tif", "/b/Z.jpg"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> paths = c.in;
    SortBatchOrder(paths);
    EXPECT_EQ(paths, c.out);
  }
}

TEST(BatchFolder, OrderFollowsTheLocaleCollation) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  std::vector<std::string> paths{"/b/z.tif", "/b/\xC3\xA4.tif", "/b/b.tif", "/b/a.tif"};
  SortBatchOrder(paths);
  QLocale::setDefault(QLocale::c());
  EXPECT_EQ(paths,
            (std::vector<std::string>{"/b/a.tif", "/b/\xC3\xA4.tif", "/b/b.tif", "/b/z.tif"}));
}

TEST(BatchFolder, OpenAcceptsOnlyExistingFolders) {
  test::TempDir dir;
  test::WriteText(dir.File("page.tif"), "x");
  TBatchFolder batch;
  EXPECT_FALSE(batch.IsOpen());
  EXPECT_TRUE(batch.ListBatchFiles().empty());
  EXPECT_EQ(batch.CountBatchFiles(), 0);

  ASSERT_TRUE(batch.Open(dir.Path()));
  EXPECT_EQ(batch.Folder(), dir.Path() + "/");
  EXPECT_TRUE(batch.Exists());
  ASSERT_TRUE(batch.Open(dir.Path() + "/"));
  EXPECT_EQ(batch.Folder(), dir.Path() + "/");

  for (const std::string& bad : {std::string(), dir.File("page.tif"), dir.File("missing")}) {
    ASSERT_TRUE(batch.Open(dir.Path()));
    EXPECT_FALSE(batch.Open(bad)) << bad;
    EXPECT_EQ(batch.Folder(), "") << bad;
  }

  // A folder that vanishes while open is still named, but no longer exists.
  fs::create_directory(dir.File("later"));
  ASSERT_TRUE(batch.Open(dir.File("later")));
  fs::remove(dir.File("later"));
  EXPECT_TRUE(batch.IsOpen());
  EXPECT_FALSE(batch.Exists());
  EXPECT_TRUE(batch.ListBatchFiles().empty());
}

TEST(BatchFolder, NewNamesSkipEveryExistingEntry) {
  test::TempDir dir;
  TBatchFolder batch;
  EXPECT_EQ(test::ErrorOf([&] { batch.NewBatchFileName(); }), kNoBatchFolderText);
  ASSERT_TRUE(batch.Open(dir.Path()));
  const std::string folder = batch.Folder();

  EXPECT_EQ(batch.NewBatchFileName(), folder + "00000000.tif");
  EXPECT_EQ(batch.NewBatchFileName(), folder + "00000001.tif");

  // A fresh run in a folder holding 00000000.tif and 00000002.tif: the two
  // imported files become 00000001.tif and 00000003.tif. A folder and a
  // dangling link take their names too.
  batch.SetNextFileNumber(0);
  for (const char* name : {"00000000.tif", "00000002.tif"}) test::WriteText(folder + name, name);
  fs::create_directory(folder + "00000004.tif");
  fs::create_symlink(folder + "gone", folder + "00000005.tif");
  for (const char* expected : {"00000001.tif", "00000003.tif", "00000006.tif"}) {
    const std::string name = batch.NewBatchFileName();
    EXPECT_EQ(name, folder + expected);
    test::WriteText(name, "new");
  }
  EXPECT_EQ(batch.NextFileNumber(), 7);
  test::WriteText(folder + "00000007.jpg", "taken");
  EXPECT_EQ(batch.NewBatchFileName(".jpg"), folder + "00000008.jpg");

  batch.SetNextFileNumber(99999999);
  EXPECT_EQ(batch.NewBatchFileName(), folder + "99999999.tif");
  EXPECT_EQ(batch.NewBatchFileName(), folder + "100000000.tif");
}

TEST(BatchFolder, MovePartnersAndPathIdentity) {
  const std::vector<std::string> files{"/b/1.tif", "/b/2.tif", "/b/3.tif"};
  struct Case {
    std::string path;
    TMoveDirection direction;
    std::optional<std::string> partner;
  };
  const Case cases[] = {
      {"/b/1.tif", TMoveDirection::Prior, std::nullopt},
      {"/b/3.tif", TMoveDirection::Next, std::nullopt},
      {"/b/1.tif", TMoveDirection::Next, "/b/2.tif"},
      {"/b/2.tif", TMoveDirection::Prior, "/b/1.tif"},
      {"/b/2.tif", TMoveDirection::Next, "/b/3.tif"},
      {"/b//./2.tif", TMoveDirection::Next, "/b/3.tif"},
      {"/b/4.tif", TMoveDirection::Prior, std::nullopt},
      {"/B/2.tif", TMoveDirection::Prior, std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MovePartner(files, c.path, c.direction), c.partner) << c.path;

  EXPECT_TRUE(SameBatchPath("/b/x/../a.tif", "/b/a.tif"));
  EXPECT_FALSE(SameBatchPath("/b/A.tif", "/b/a.tif"));
}

} // namespace
