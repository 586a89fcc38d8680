// The command-line tool's batch commands on a full disk: a shell limits file
// sizes and ignores SIGXFSZ, so writes past the limit fail with EFBIG.
#include "workflow/PageTestSupport.h"
#include "workflow/WorkflowTestSupport.h"

#include <gtest/gtest.h>
#include <map>

using namespace test;

namespace {

std::map<std::string, std::vector<uint8_t>> Contents(const TempDir& dir) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const std::string& name : FolderNames(dir.Path())) files[name] = ReadFile(dir.File(name));
  return files;
}

// A batch of two bilevel A4 pages at 300 dpi and a grey one, an output
// folder holding a small TIFF; a rewrite (batch files), a new PDF or TIFF
// and an existing TIFF without room fail, each file left byte for byte as
// it was and nothing else left; with room the save works.
TEST(WorkflowCli, WithoutRoomEveryFileStaysAsItWas) {
  TempDir batch, out;
  for (const char* name : {"a.tif", "b.tif", "c.tif"})
    SavePage(*PatternPage(name[0] == 'c' ? ifGray256 : ifBlackWhite, 2480, 3508, 300, 300, name[0]),
             batch.File(name));
  SavePage(*PatternPage(ifBlackWhite, 200, 100), out.File("old.tif"));
  const auto batchBefore = Contents(batch), outBefore = Contents(out);
  const size_t page = ReadFile(batch.File("a.tif")).size();
  const struct {
    const char* Command;
    std::string Last; // the operation or the output
    size_t Room;
  } cases[] = {{"process", "negative", 4096},
               {"save-batch", out.File("new.pdf"), page * 3 / 2},
               {"save-batch", out.File("new.tif"), page * 3 / 2},
               {"save-batch", out.File("old.tif"), outBefore.at("old.tif").size() + 1024}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Last);
    const RunResult run = test::Run({"/bin/sh", "-c", "trap '' XFSZ; ulimit -f $0; exec \"$@\"",
                                     std::to_string(c.Room / 512), BinPath("tessivane-cli"),
                                     c.Command, batch.Path(), c.Last});
    EXPECT_EQ(run.status, 1);
    // The batch loop goes on to the last file.
    EXPECT_EQ(run.err.find("Error processing " + batch.File("c.tif") + " - ") != std::string::npos,
              c.Command == std::string("process"))
        << run.err;
    EXPECT_EQ(Contents(batch), batchBefore);
    EXPECT_EQ(Contents(out), outBefore);
  }
  const RunResult done =
      test::Run({BinPath("tessivane-cli"), "save-batch", batch.Path(), out.File("new.pdf")});
  EXPECT_EQ(done.out, "Created file " + out.File("new.pdf") + " with 3 images.\n");
}

} // namespace
