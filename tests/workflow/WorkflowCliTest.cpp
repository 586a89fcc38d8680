#include "workflow/PageTestSupport.h"
#include "workflow/WorkflowTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(WorkflowCli, SaveBatchWritesTheFolderInBatchOrder) {
  test::TempDir dir, out;
  // Names sort ignoring case: a.tif, B.tif, c.tif.
  for (const auto& [name, width] : {std::pair{"c.tif", 300}, {"a.tif", 100}, {"B.tif", 200}})
    test::SavePage(*test::PatternPage(ifBlackWhite, width, 50, 100, 100), dir.File(name));
  const test::RunResult pdf = test::Cli({"save-batch", dir.Path(), out.File("o.pdf")});
  EXPECT_EQ(pdf.status, 0) << pdf.err;
  EXPECT_EQ(pdf.out, "Created file " + out.File("o.pdf") + " with 3 images.\n");
  EXPECT_EQ(pdf.err, ""); // no progress when stderr is not a terminal
  const test::RunResult tiff = test::Cli({"save-batch", dir.Path(), out.File("o.TIF")});
  EXPECT_EQ(tiff.status, 0) << tiff.err;
  EXPECT_EQ(test::TiffCompressions(out.File("o.TIF")).size(), 3u);
  for (int page = 1; page <= 3; ++page) {
    EXPECT_EQ(test::LoadPage(out.File("o.pdf"), page)->Width(), 100 * page);
    EXPECT_EQ(test::LoadPage(out.File("o.TIF"), page)->Width(), 100 * page);
  }
}

TEST(WorkflowCli, WrongUsesAreRefusedAndWriteNothing) {
  test::TempDir dir, out;
  test::SavePage(*test::PatternPage(ifBlackWhite, 10, 10, 100, 100), dir.File("a.tif"));
  const auto bytes = test::ReadFile(dir.File("a.tif"));
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string message; // how standard error starts
  } cases[] = {
      {{"save-batch", dir.Path(), out.File("o.png")},
       1,
       "Cannot save the batch as " + out.File("o.png") +
           ": the name must end in .tif, .tiff or .pdf\n"},
      {{"save-batch", out.Path(), out.File("o.pdf")}, 1, "The batch holds no files to save\n"},
      {{"process", dir.Path(), "rotate45"},
       2,
       "The operation is one of rotate90, rotate180, rotate270, mirror, flip, negative, deskew, "
       "despeckle"},
  };
  for (const auto& c : cases) {
    const test::RunResult run = test::Cli(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.message;
    EXPECT_EQ(run.err.rfind(c.message, 0), 0u) << run.err;
  }
  EXPECT_EQ(test::FolderNames(out.Path()), std::vector<std::string>{});
  EXPECT_EQ(test::ReadFile(dir.File("a.tif")), bytes);
}

} // namespace
