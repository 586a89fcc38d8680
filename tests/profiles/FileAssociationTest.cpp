#include "profiles/FileAssociation.h"
#include "core/UserFolders.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
  ScopedEnv(const char* name, const char* value) : FName(name) {
    if (const char* old = std::getenv(name)) FOld = old;
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (FOld)
      ::setenv(FName.c_str(), FOld->c_str(), 1);
    else
      ::unsetenv(FName.c_str());
  }

private:
  std::string FName;
  std::optional<std::string> FOld;
};

std::string ReadText(const std::string& path) {
  const std::vector<uint8_t> bytes = test::ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  test::WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

const std::string kExecutable = "/opt/tessivane/bin/tessivane";

} // namespace

TEST(FileAssociation, DataFolderFollowsTheXdgRules) {
  test::TempDir dir;
  ScopedEnv home("HOME", dir.Path().c_str());
  {
    ScopedEnv data("XDG_DATA_HOME", (dir.Path() + "/data").c_str());
    EXPECT_EQ(UserDataFolder(), dir.Path() + "/data");
  }
  {
    ScopedEnv data("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(UserDataFolder(), dir.Path() + "/.local/share");
  }
  // Empty and relative values are not valid and fall back to the default.
  for (const char* value : {"", "relative/data"}) {
    ScopedEnv data("XDG_DATA_HOME", value);
    EXPECT_EQ(UserDataFolder(), dir.Path() + "/.local/share") << value;
  }
}

// Without an absolute HOME the account's home folder is used (the same one
// UserDataFolder finds), never a shared temporary folder.
TEST(FileAssociation, UserFoldersWithoutHomeAreTheAccountsHome) {
  ScopedEnv dataHome("XDG_DATA_HOME", nullptr);
  ScopedEnv stateHome("XDG_STATE_HOME", nullptr);
  for (const char* value : {static_cast<const char*>(nullptr), "relative/home"}) {
    ScopedEnv home("HOME", value);
    const std::string data = UserDataFolder();
    ASSERT_TRUE(data.starts_with("/") && data.ends_with("/.local/share")) << data;
    EXPECT_EQ(XdgUserFolder("XDG_DATA_HOME", "/.local/share"), data);
    EXPECT_EQ(UserStateFolder(), data.substr(0, data.size() - 6) + "/state/tessivane");
  }
}

TEST(FileAssociation, WritesTheMimeTypeAndDesktopEntry) {
  test::TempDir dir;
  const std::string data = dir.File("data");
  ScopedEnv home("HOME", dir.File("home").c_str());
  ScopedEnv dataHome("XDG_DATA_HOME", data.c_str());
  RegisterProfileFileType(kExecutable);

  const std::string package = ReadText(data + "/mime/packages/tessivane-tspfile.xml");
  EXPECT_NE(package.find("<mime-type type=\"application/x-tspfile\">"), std::string::npos);
  EXPECT_NE(package.find("<comment>Vellumtrace Twain Settings Parameters File</comment>"),
            std::string::npos);
  EXPECT_NE(package.find("<glob pattern=\"*.tsp\"/>"), std::string::npos);
  const std::string entry = ReadText(data + "/applications/tessivane-tspfile.desktop");
  EXPECT_NE(entry.find("\nExec=\"/opt/tessivane/bin/tessivane\" %f\n"), std::string::npos);
  EXPECT_NE(entry.find("\nMimeType=application/x-tspfile;\n"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.File("home")));

  // The freedesktop tools accept both files: the MIME database was rebuilt
  // with the glob and the comment, the desktop cache knows the type, and the
  // entry validates.
  EXPECT_NE(ReadText(data + "/mime/globs2").find("application/x-tspfile:*.tsp"), std::string::npos);
  EXPECT_NE(ReadText(data + "/mime/application/x-tspfile.xml")
                .find("Vellumtrace Twain Settings Parameters File"),
            std::string::npos);
  EXPECT_NE(ReadText(data + "/applications/mimeinfo.cache")
                .find("application/x-tspfile=tessivane-tspfile.desktop"),
            std::string::npos);
  const test::RunResult valid =
      test::Run({"desktop-file-validate", data + "/applications/tessivane-tspfile.desktop"});
  EXPECT_EQ(valid.status, 0) << valid.out << valid.err;
}

TEST(FileAssociation, ExecQuotesAnyPath) {
  EXPECT_EQ(DesktopExecLine("/usr/bin/tessivane"), "\"/usr/bin/tessivane\" %f");
  EXPECT_EQ(DesktopExecLine("/home/a b/100%/$x\"`\\y"), "\"/home/a b/100%%/\\$x\\\"\\`\\\\y\" %f");

  // A path with blanks, quotes and a backslash still validates.
  test::TempDir dir;
  RegisterProfileFileType("/home/o'neil/my apps/$tessivane \"2\"\\bin", dir.Path());
  const std::string entry = ReadText(dir.File("applications/tessivane-tspfile.desktop"));
  EXPECT_NE(
      entry.find("\nExec=\"/home/o'neil/my apps/\\\\$tessivane \\\\\"2\\\\\"\\\\\\\\bin\" %f\n"),
      std::string::npos)
      << entry;
  const test::RunResult valid =
      test::Run({"desktop-file-validate", dir.File("applications/tessivane-tspfile.desktop")});
  EXPECT_EQ(valid.status, 0) << valid.out << valid.err;
}

TEST(FileAssociation, LeavesExistingEntriesUntouched) {
  test::TempDir dir;
  const std::string package = dir.File("mime/packages/tessivane-tspfile.xml");
  const std::string entry = dir.File("applications/tessivane-tspfile.desktop");

  WriteText(entry, "[Desktop Entry]\nExec=the user's own choice %f\n");
  RegisterProfileFileType(kExecutable, dir.Path());
  EXPECT_EQ(ReadText(entry), "[Desktop Entry]\nExec=the user's own choice %f\n");
  EXPECT_TRUE(test::FileExists(package));

  WriteText(package, "customised");
  std::filesystem::remove(entry);
  RegisterProfileFileType("/elsewhere/tessivane", dir.Path());
  EXPECT_EQ(ReadText(package), "customised");
  EXPECT_NE(ReadText(entry).find("/elsewhere/tessivane"), std::string::npos);

  // A second start changes nothing, not even a moved program's path.
  const std::string before = ReadText(entry);
  RegisterProfileFileType("/moved/tessivane", dir.Path());
  EXPECT_EQ(ReadText(entry), before);
  // A dangling link counts as an existing entry too.
  std::filesystem::remove(entry);
  std::filesystem::create_symlink(dir.File("nowhere"), entry);
  RegisterProfileFileType(kExecutable, dir.Path());
  EXPECT_TRUE(std::filesystem::is_symlink(entry));
  EXPECT_FALSE(std::filesystem::exists(dir.File("nowhere")));
}

TEST(FileAssociation, SurvivesAFolderItCannotWriteIn) {
  test::TempDir dir;
  // A read-only data folder: nothing can be added (a superuser is not held
  // back by permissions, so then the files may appear).
  const std::string readOnly = dir.File("readonly");
  std::filesystem::create_directory(readOnly);
  ::chmod(readOnly.c_str(), 0555);
  RegisterProfileFileType(kExecutable, readOnly);
  if (::geteuid() != 0) {
    EXPECT_TRUE(std::filesystem::is_empty(readOnly));
  }
  ::chmod(readOnly.c_str(), 0755);

  // A data folder that is a file stops everyone, the superuser included.
  WriteText(dir.File("file"), "not a folder");
  RegisterProfileFileType(kExecutable, dir.File("file"));
  EXPECT_EQ(ReadText(dir.File("file")), "not a folder");
  {
    ScopedEnv data("XDG_DATA_HOME", dir.File("file").c_str());
    RegisterProfileFileType(kExecutable);
  }
  EXPECT_EQ(ReadText(dir.File("file")), "not a folder");

  // One part failing does not keep the other from being written.
  const std::string partly = dir.File("partly");
  WriteText(partly + "/mime", "a file where the MIME folder belongs");
  RegisterProfileFileType(kExecutable, partly);
  EXPECT_TRUE(test::FileExists(partly + "/applications/tessivane-tspfile.desktop"));
  EXPECT_EQ(ReadText(partly + "/mime"), "a file where the MIME folder belongs");
}
