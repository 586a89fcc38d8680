#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

test::RunResult Cli(const std::vector<std::string>& arguments) {
  std::vector<std::string> all = {test::BinPath("tessivane-cli")};
  all.insert(all.end(), arguments.begin(), arguments.end());
  return test::Run(all);
}

void WriteText(const std::string& path, const std::string& text) {
  test::WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

} // namespace

TEST(ProfileCli, ShowPrintsTheScannerAndEverySetting) {
  const test::RunResult example =
      Cli({"profile", "show", test::SourcePath("tests/data/profiles/example.tsp")});
  EXPECT_EQ(example.status, 0) << example.err;
  EXPECT_EQ(
      example.out,
      "Example Source\nPixelType=BW\nX Resolution=300\nY Resolution=300\nDuplexEnabled=Yes\n");

  test::TempDir dir;
  WriteText(dir.File("Mixed.tsp"),
            "\n4352,B,0\r4368,I,3\r\n99999,X,7\n4386,I,?\n34895,I,2,extra\n4097,S,Citt\xE0");
  const test::RunResult mixed = Cli({"profile", "show", dir.File("Mixed.tsp")});
  EXPECT_EQ(mixed.status, 0) << mixed.err;
  EXPECT_EQ(mixed.out,
            "(default scanner)\nAuto Brightness=No\nOrientation=Rot270\n99999=7\nPage Size=?\n"
            "CFM Endorser Rotation=180\xC2\xB0\nCaption=Citt\xC3\xA0\n");

  WriteText(dir.File("Empty.tsp"), "");
  const test::RunResult empty = Cli({"profile", "show", dir.File("Empty.tsp")});
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.out, "(default scanner)\n");
}

TEST(ProfileCli, ShowStopsAtASettingItCannotShow) {
  test::TempDir dir;
  WriteText(dir.File("Bad.tsp"), "Scanner\r\n1,I,-1\r\n4386,I,77\r\n257,I,0\r\n");
  const test::RunResult bad = Cli({"profile", "show", dir.File("Bad.tsp")});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.out, "Scanner\nPages to Scan (-1=all)=-1\n");
  EXPECT_EQ(bad.err, dir.File("Bad.tsp") + ", line 3: Value 77 is not a value of Page Size.\n");

  const test::RunResult missing = Cli({"profile", "show", dir.File("missing.tsp")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Cannot open file \"" + dir.File("missing.tsp") + "\""),
            std::string::npos);
}

TEST(ProfileCli, ListPrintsProfileNames) {
  test::TempDir dir;
  for (const char* name : {"Office.tsp", "archive.tsp", "Zeta.tsp", "note.txt", ".hidden.tsp"})
    WriteText(dir.File(name), "\r\n");
  const test::RunResult list = Cli({"profile", "list", dir.Path()});
  EXPECT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(list.out, "archive\nOffice\nZeta\n");

  std::filesystem::create_directory(dir.File("empty"));
  const test::RunResult empty = Cli({"profile", "list", dir.File("empty")});
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.out, "");

  const test::RunResult missing = Cli({"profile", "list", dir.File("missing")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "Cannot open folder \"" + dir.File("missing") + "\".\n");
}

TEST(ProfileCli, WrongUseShowsTheUsage) {
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{"profile"},
                                                    {"profile", "show"},
                                                    {"profile", "edit", "x"},
                                                    {"profile", "show", "a", "b"}}) {
    const test::RunResult result = Cli(arguments);
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("Usage: tessivane-cli profile show FILE | profile list FOLDER"),
              std::string::npos);
  }
}
