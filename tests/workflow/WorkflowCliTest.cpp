#include "workflow/PageTestSupport.h"
#include "workflow/WorkflowTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(WorkflowCli, SaveBatchWritesTheFolderInBatchOrder) {
  test::TempDir dir, out;
  // Names sort ignoring case: a.tif, B.tif, c.tif.
  const std::pair<const char*, const char*> pages[] = {
      {"c.tif", "300"}, {"a.tif", "100"}, {"B.tif", "200"}};
  for (const auto& [name, width] : pages)
    ASSERT_EQ(test::Cli({"make-page", dir.File(name), "--width", width, "--height", "50", "--dpi",
                         "100", "--bits", "1"})
                  .status,
              0);
  const test::RunResult pdf = test::Cli({"save-batch", dir.Path(), out.File("o.pdf")});
  EXPECT_EQ(pdf.status, 0) << pdf.err;
  EXPECT_EQ(pdf.out, "Created file " + out.File("o.pdf") + " with 3 images.\n");
  EXPECT_EQ(pdf.err, ""); // no progress when stderr is not a terminal
  const auto rows = test::PdfImageRows(out.File("o.pdf"));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_NE(rows[0].find("  100    50 "), std::string::npos);
  EXPECT_NE(rows[1].find("  200    50 "), std::string::npos);
  EXPECT_NE(rows[2].find("  300    50 "), std::string::npos);

  const test::RunResult tiff = test::Cli({"save-batch", dir.Path(), out.File("o.TIF")});
  EXPECT_EQ(tiff.status, 0) << tiff.err;
  EXPECT_EQ(test::TiffCompressions(out.File("o.TIF")).size(), 3u);
  EXPECT_EQ(test::LoadPage(out.File("o.TIF"), 2)->Width(), 200);
}

TEST(WorkflowCli, WrongUsesAreRefusedAndWriteNothing) {
  test::TempDir dir, out;
  ASSERT_EQ(test::Cli({"make-page", dir.File("a.tif"), "--width", "10", "--height", "10", "--dpi",
                       "100", "--bits", "1"})
                .status,
            0);
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string message;
  } cases[] = {
      {{"save-batch", dir.Path(), out.File("o.png")},
       1,
       "Cannot save the batch as " + out.File("o.png") +
           ": the name must end in .tif, .tiff or .pdf\n"},
      {{"save-batch", dir.File("none"), out.File("o.pdf")}, 2, "Not a folder: " + dir.File("none")},
      {{"save-batch", out.Path(), out.File("o.pdf")}, 1, "The batch holds no files to save\n"},
      {{"process", dir.Path(), "rotate45"},
       2,
       "The operation is one of rotate90, rotate180, rotate270, mirror, flip, negative, deskew, "
       "despeckle"},
      {{"process", dir.Path()}, 2, "process needs a folder and an operation"},
  };
  const auto bytes = test::ReadFile(dir.File("a.tif"));
  for (const auto& c : cases) {
    const test::RunResult run = test::Cli(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.message;
    EXPECT_EQ(run.err.rfind(c.message, 0), 0u) << run.err;
  }
  EXPECT_EQ(test::FolderNames(out.Path()), std::vector<std::string>{});
  EXPECT_EQ(test::ReadFile(dir.File("a.tif")), bytes);
}

TEST(WorkflowCli, ProcessReportsEachFailedFileAndFailsAsAWhole) {
  test::TempDir dir;
  ASSERT_EQ(test::Cli({"make-page", dir.File("a.tif"), "--width", "30", "--height", "20", "--dpi",
                       "100", "--bits", "1"})
                .status,
            0);
  test::WriteText(dir.File("b.pdf"), "%PDF-1.3 broken");
  const test::RunResult run = test::Cli({"process", dir.Path(), "rotate270"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "2 files, 1 stored, 1 failed\n");
  EXPECT_EQ(run.err.rfind("Error processing " + dir.File("b.pdf") + " - ", 0), 0u) << run.err;
  EXPECT_EQ(test::LoadPage(dir.File("a.tif"))->Width(), 20);
  EXPECT_EQ(test::ReadText(dir.File("b.pdf")), "%PDF-1.3 broken");

  std::remove(dir.File("b.pdf").c_str());
  const test::RunResult clean = test::Cli({"process", dir.Path(), "rotate90"});
  EXPECT_EQ(clean.status, 0);
  EXPECT_EQ(clean.err, "");
  EXPECT_EQ(test::LoadPage(dir.File("a.tif"))->Width(), 30);
}

} // namespace
