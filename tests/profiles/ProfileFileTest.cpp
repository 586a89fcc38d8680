#include "profiles/ProfileFile.h"
#include "core/Exception.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using Lines = std::vector<std::string>;

std::string ReadText(const std::string& path) {
  const std::vector<uint8_t> bytes = test::ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::string& path, const std::string& text) {
  test::WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

size_t EntriesIn(const std::string& folder) {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

// Saves with files limited to 64 bytes and exits 0 when the save raised a
// write error, 1 when it did not.
[[noreturn]] void SaveUnderFileSizeLimit(const std::string& target, const Lines& lines) {
  std::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{64, 64};
  ::setrlimit(RLIMIT_FSIZE, &limit);
  try {
    SaveProfileFile(target, lines);
  } catch (const EWriteError&) {
    std::_Exit(0);
  }
  std::_Exit(1);
}

const Lines kExample = {"Example Source", "257,I,0", "4376,F,300", "4377,F,300", "4115,B,1"};

} // namespace

TEST(ProfileFile, ExampleIsWrittenByteForByteAndReadBack) {
  test::TempDir dir;
  SaveProfileFile(dir.File("Example.tsp"), kExample);
  const std::string golden = test::SourcePath("tests/data/profiles/example.tsp");
  EXPECT_EQ(test::ReadFile(dir.File("Example.tsp")), test::ReadFile(golden));
  EXPECT_EQ(LoadProfileFile(golden), kExample);
  // Replacing an existing profile.
  SaveProfileFile(dir.File("Example.tsp"), {"", "1,I,-1"});
  EXPECT_EQ(ReadText(dir.File("Example.tsp")), "\r\n1,I,-1\r\n");
}

TEST(ProfileFile, TheScannerLineIsAlwaysWritten) {
  EXPECT_EQ(LinesToProfileText({}), "\r\n");
  EXPECT_EQ(LinesToProfileText({""}), "\r\n");
  test::TempDir dir;
  SaveProfileFile(dir.File("Default.tsp"), {});
  EXPECT_EQ(test::ReadFile(dir.File("Default.tsp")),
            test::ReadFile(test::SourcePath("tests/data/profiles/default-scanner.tsp")));
  EXPECT_EQ(LoadProfileFile(dir.File("Default.tsp")), Lines{""});
}

TEST(ProfileFile, EveryKindOfLineEndEndsALine) {
  EXPECT_EQ(ProfileTextToLines(""), Lines{});
  EXPECT_EQ(ProfileTextToLines("\r\n"), Lines{""});
  EXPECT_EQ(ProfileTextToLines("S\n257,I,0\n"), (Lines{"S", "257,I,0"}));
  EXPECT_EQ(ProfileTextToLines("S\r257,I,0\r"), (Lines{"S", "257,I,0"}));
  EXPECT_EQ(ProfileTextToLines("S\r\n257,I,0\r\n"), (Lines{"S", "257,I,0"}));
  // A missing last line end loses nothing.
  EXPECT_EQ(ProfileTextToLines("S\r\n257,I,0"), (Lines{"S", "257,I,0"}));
  EXPECT_EQ(ProfileTextToLines("no line end"), Lines{"no line end"});
  // Mixed: LF CR is two line ends, CR CR LF too; blank lines are kept.
  EXPECT_EQ(ProfileTextToLines("a\n\rb\r\r\nc\n\nd"), (Lines{"a", "", "b", "", "c", "", "d"}));
  EXPECT_EQ(ProfileTextToLines("\n\n"), (Lines{"", ""}));
}

TEST(ProfileFile, LinesAreKeptAsTheyAre) {
  test::TempDir dir;
  // Blanks, a "?" value, text after a third comma and malformed lines all
  // stay untouched; they are judged only when the profile is shown or applied.
  const Lines lines = {" Scanner, Model 2 ",
                       "4376,F,?",
                       "257,I,0,ignored,too",
                       "  4377 , f , 300 ",
                       "garbage",
                       "",
                       "4115,B"};
  WriteText(dir.File("p.tsp"), "\xEF\xBB\xBF" + LinesToProfileText(lines));
  EXPECT_EQ(LoadProfileFile(dir.File("p.tsp")), lines);
  SaveProfileFile(dir.File("q.tsp"), LoadProfileFile(dir.File("p.tsp")));
  EXPECT_EQ(LoadProfileFile(dir.File("q.tsp")), lines);
  EXPECT_NE(ReadText(dir.File("q.tsp")).find(" \r\n4376,F,?\r\n257,I,0,ignored,too\r\n"),
            std::string::npos);
}

TEST(ProfileFile, Latin1FilesAreReadAndWrittenBackAsUtf8) {
  test::TempDir dir;
  WriteText(dir.File("old.tsp"), "Scanner Citt\xE0 \xB0\r\n4097,S,Caff\xE8\r\n");
  const Lines lines = LoadProfileFile(dir.File("old.tsp"));
  EXPECT_EQ(lines, (Lines{"Scanner Citt\xC3\xA0 \xC2\xB0", "4097,S,Caff\xC3\xA8"}));
  SaveProfileFile(dir.File("old.tsp"), lines);
  EXPECT_EQ(ReadText(dir.File("old.tsp")),
            "Scanner Citt\xC3\xA0 \xC2\xB0\r\n4097,S,Caff\xC3\xA8\r\n");
}

TEST(ProfileFile, NamesAndFolders) {
  EXPECT_EQ(ProfileFileName("/opt/app/", "Office"), "/opt/app/Office.tsp");
  EXPECT_EQ(ProfileFileName("/opt/app", "Office"), "/opt/app/Office.tsp");
  test::TempDir dir;
  SaveNamedProfile(dir.Path(), "Office", kExample);
  EXPECT_EQ(LoadNamedProfile(dir.Path() + "/", "Office"), kExample);
  EXPECT_TRUE(test::FileExists(dir.File("Office.tsp")));
}

TEST(ProfileFile, NamesThatLeaveTheFolderAreRefused) {
  test::TempDir dir;
  std::filesystem::create_directory(dir.File("profiles"));
  const std::string folder = dir.File("profiles");
  EXPECT_THROW(SaveNamedProfile(folder, "../escaped", kExample), EFCreateError);
  EXPECT_THROW(SaveNamedProfile(folder, "", kExample), EFCreateError);
  EXPECT_THROW(SaveNamedProfile(folder, std::string("a\0b", 3), kExample), EFCreateError);
  EXPECT_FALSE(test::FileExists(dir.File("escaped.tsp")));
  EXPECT_EQ(EntriesIn(folder), 0u);
  SaveProfileFile(dir.File("outside.tsp"), kExample);
  EXPECT_THROW(LoadNamedProfile(folder, "../outside"), EFOpenError);
}

TEST(ProfileFile, UnreadableFilesRaiseNamingTheFile) {
  test::TempDir dir;
  try {
    LoadProfileFile(dir.File("missing.tsp"));
    FAIL();
  } catch (const EFOpenError& error) {
    EXPECT_NE(error.Message().find(dir.File("missing.tsp")), std::string::npos);
  }
  std::filesystem::create_directory(dir.File("folder.tsp"));
  EXPECT_THROW(LoadProfileFile(dir.File("folder.tsp")), EFOpenError);
  // A pipe would block a plain open; it is refused before opening.
  ASSERT_EQ(::mkfifo(dir.File("pipe.tsp").c_str(), 0600), 0);
  EXPECT_THROW(LoadProfileFile(dir.File("pipe.tsp")), EFOpenError);
}

TEST(ProfileFile, AFailedSaveLeavesTheGoodProfile) {
  test::TempDir dir;
  const std::string target = dir.File("Office.tsp");
  SaveProfileFile(target, kExample);
  const std::vector<uint8_t> good = test::ReadFile(target);

  // No folder to write in.
  EXPECT_THROW(SaveProfileFile(dir.File("none/Office.tsp"), kExample), EFCreateError);

  // The disk fills up halfway through the new file: a file size limit makes
  // the write fail after its first bytes, in a child process so the limit
  // stays there.
  Lines big(1000, "4097,S,a long caption that makes the profile larger than the limit");
  EXPECT_EXIT(SaveUnderFileSizeLimit(target, big), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(test::ReadFile(target), good);
  EXPECT_EQ(EntriesIn(dir.Path()), 1u); // no temporary file left behind
}
