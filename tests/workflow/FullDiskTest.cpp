#include "workflow/PageTestSupport.h"
#include "workflow/WorkflowTestSupport.h"

#include <gtest/gtest.h>

namespace {

// Runs tessivane-cli in a shell whose files may not grow beyond about bytes,
// as on a full disk: with SIGXFSZ ignored, writes past it fail with EFBIG.
test::RunResult CliWithFileLimit(std::vector<std::string> arguments, size_t bytes) {
  arguments.insert(arguments.begin(),
                   {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f \"$0\"; exec \"$@\"",
                    std::to_string(bytes / 512), test::BinPath("tessivane-cli")});
  return test::Run(arguments);
}

// A batch folder with two bilevel A4 pages at 300 dpi and a grey page.
struct TFullBatch {
  test::TempDir batch, out;
  std::vector<std::string> names = {"a.tif", "b.tif", "c.tif"};
  std::vector<std::vector<uint8_t>> bytes;
  TFullBatch() {
    for (size_t i = 0; i < names.size(); ++i) {
      const auto page = test::PatternPage(i == 2 ? ifGray256 : ifBlackWhite, 2480, 3508, 300, 300,
                                          static_cast<unsigned>(i + 1));
      test::SavePage(*page, batch.File(names[i]));
      bytes.push_back(test::ReadFile(batch.File(names[i])));
    }
  }
  void ExpectUnchanged() const {
    EXPECT_EQ(test::FolderNames(batch.Path()), names);
    for (size_t i = 0; i < names.size(); ++i)
      EXPECT_EQ(test::ReadFile(batch.File(names[i])), bytes[i]) << names[i];
  }
};

TEST(FullDisk, ARewriteThatRunsOutOfRoomLeavesEveryFileAsItWas) {
  TFullBatch files;
  for (const char* operation : {"negative", "rotate90"}) {
    SCOPED_TRACE(operation);
    const test::RunResult run = CliWithFileLimit({"process", files.batch.Path(), operation}, 4096);
    EXPECT_EQ(run.status, 1);
    for (const std::string& name : files.names)
      EXPECT_NE(run.err.find("Error processing " + files.batch.File(name) + " - "),
                std::string::npos)
          << run.err;
    files.ExpectUnchanged();
  }
  // With room the same command works.
  EXPECT_EQ(test::Cli({"process", files.batch.Path(), "negative"}).status, 0);
  EXPECT_NE(test::ReadFile(files.batch.File("a.tif")), files.bytes[0]);
}

// A new PDF or TIFF with room for about one and a half pages, and an
// existing TIFF with room for little more than itself: each is made aside,
// so none appears half written and the existing one stays as it was.
TEST(FullDisk, SavingTheBatchWithoutRoomLeavesTheOutputAndTheBatchAlone) {
  TFullBatch files;
  const std::string old = files.out.File("old.tif");
  test::SavePage(*test::PatternPage(ifBlackWhite, 200, 100, 100, 100), old);
  const auto oldBytes = test::ReadFile(old);
  for (const auto& [name, room] : {std::pair{"out.pdf", files.bytes[0].size() * 3 / 2},
                                   {"out.tif", files.bytes[0].size() * 3 / 2},
                                   {"old.tif", oldBytes.size() + 1024}}) {
    SCOPED_TRACE(name);
    const test::RunResult run =
        CliWithFileLimit({"save-batch", files.batch.Path(), files.out.File(name)}, room);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err, "");
    files.ExpectUnchanged();
    EXPECT_EQ(test::FolderNames(files.out.Path()), std::vector<std::string>{"old.tif"});
    EXPECT_EQ(test::ReadFile(old), oldBytes);
  }
}

} // namespace
