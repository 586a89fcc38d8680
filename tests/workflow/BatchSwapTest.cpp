#include "workflow/BatchFiles.h"

#include "support/TestSupport.h"
#include "workflow/WorkflowTestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Contents = std::map<std::string, std::string>; // file name -> content

Contents FolderContents(const std::string& folder) {
  Contents contents;
  for (const std::string& name : test::FolderNames(folder))
    contents[name] = test::ReadText(folder + "/" + name);
  return contents;
}

void MakeFolder(const test::TempDir& dir, const Contents& contents) {
  for (const auto& [name, text] : contents) test::WriteText(dir.File(name), text);
}

TEST(SwapBatchFiles, ExchangesNamesAndKeepsExtensions) {
  struct Case {
    std::string a, b;
    Contents before, after;
    std::string pageOfB, pageOfA;
  };
  const Case cases[] = {
      {"00000001.tif",
       "00000002.tif",
       {{"00000001.tif", "first"}, {"00000002.tif", "second"}},
       {{"00000001.tif", "second"}, {"00000002.tif", "first"}},
       "00000001.tif",
       "00000002.tif"},
      {"a.tif",
       "b.jpg",
       {{"a.tif", "A"}, {"b.jpg", "B"}},
       {{"a.jpg", "B"}, {"b.tif", "A"}},
       "a.jpg",
       "b.tif"},
      // A file of the parking name is kept untouched; a fresh name is used.
      {"a.tif",
       "b.tif",
       {{"a.tif", "A"}, {"b.tif", "B"}, {"a.bak", "keep"}},
       {{"a.tif", "B"}, {"b.tif", "A"}, {"a.bak", "keep"}},
       "a.tif",
       "b.tif"},
      // Same base name, or the same file: nothing to exchange.
      {"x.tif",
       "x.jpg",
       {{"x.tif", "T"}, {"x.jpg", "J"}},
       {{"x.tif", "T"}, {"x.jpg", "J"}},
       "x.jpg",
       "x.tif"},
      {"x.tif", "x.tif", {{"x.tif", "T"}}, {{"x.tif", "T"}}, "x.tif", "x.tif"},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    MakeFolder(dir, c.before);
    const TSwappedPaths paths = SwapBatchFiles(dir.File(c.a), dir.File(c.b));
    EXPECT_EQ(FolderContents(dir.Path()), c.after) << c.a << " with " << c.b;
    EXPECT_EQ(paths.PageOfB, dir.File(c.pageOfB));
    EXPECT_EQ(paths.PageOfA, dir.File(c.pageOfA));
  }
}

TEST(SwapBatchFiles, FailingRenameLosesNoFile) {
  struct Case {
    const char* what;
    std::string a, b;
    Contents before;
    std::string reason;
  };
  const Case cases[] = {
      {"a.jpg taken: the second rename fails",
       "a.tif",
       "b.jpg",
       {{"a.tif", "A"}, {"b.jpg", "B"}, {"a.jpg", "other"}},
       "File exists"},
      {"b.tif taken: the third rename fails",
       "a.tif",
       "b.jpg",
       {{"a.tif", "A"}, {"b.jpg", "B"}, {"b.tif", "other"}},
       "File exists"},
      {"b missing", "a.tif", "b.tif", {{"a.tif", "A"}}, "No such file or directory"},
      {"a missing", "a.tif", "b.tif", {{"b.tif", "B"}}, "No such file or directory"},
      {"a.bak taken and b missing",
       "a.tif",
       "b.tif",
       {{"a.tif", "A"}, {"a.bak", "keep"}},
       "No such file or directory"},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    MakeFolder(dir, c.before);
    const std::string error = test::ErrorOf([&] { SwapBatchFiles(dir.File(c.a), dir.File(c.b)); });
    EXPECT_EQ(error, "Cannot exchange " + dir.File(c.a) + " and " + dir.File(c.b) + ": " + c.reason)
        << c.what;
    EXPECT_EQ(FolderContents(dir.Path()), c.before) << c.what;
  }
}

// Runs the swap in a read-only folder. Root may rename anywhere, so as root
// the swap runs in a child process that has given up root.
std::string SwapInReadOnlyFolder(const test::TempDir& dir, const std::string& folder) {
  if (geteuid() != 0) {
    chmod(folder.c_str(), 0555);
    return test::ErrorOf([&] { SwapBatchFiles(folder + "/a.tif", folder + "/b.tif"); });
  }
  chmod(dir.Path().c_str(), 0755);
  chmod(folder.c_str(), 0555);
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
    const std::string error =
        test::ErrorOf([&] { SwapBatchFiles(folder + "/a.tif", folder + "/b.tif"); });
    _exit(error ==
                  "Cannot exchange " + folder + "/a.tif and " + folder + "/b.tif: Permission denied"
              ? 0
              : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "refused"
                                                       : "child status " + std::to_string(status);
}

TEST(SwapBatchFiles, ReadOnlyFolderIsRefusedWithEveryFileInPlace) {
  test::TempDir dir;
  const std::string folder = dir.File("batch");
  std::filesystem::create_directory(folder);
  test::WriteText(folder + "/a.tif", "A");
  test::WriteText(folder + "/b.tif", "B");
  const std::string outcome = SwapInReadOnlyFolder(dir, folder);
  if (geteuid() == 0)
    EXPECT_EQ(outcome, "refused");
  else
    EXPECT_EQ(outcome,
              "Cannot exchange " + folder + "/a.tif and " + folder + "/b.tif: Permission denied");
  chmod(folder.c_str(), 0755);
  EXPECT_EQ(FolderContents(folder), (Contents{{"a.tif", "A"}, {"b.tif", "B"}}));
}

} // namespace
