#include "workflow/ProcessAllImages.h"
#include "workflow/BatchFolder.h"
#include "workflow/BatchProgress.h"
#include "workflow/LogSink.h"
#include "workflow/PageTestSupport.h"
#include "workflow/WorkflowTestSupport.h"

#include <gtest/gtest.h>

namespace {

// Records every call, so the order of Begin, Position and End can be checked.
class TRecordedProgress : public TBatchProgress {
public:
  void Begin(int maximum) override { Calls.push_back("begin " + std::to_string(maximum)); }
  void Position(int position) override { Calls.push_back(std::to_string(position)); }
  void End() override { Calls.push_back("end"); }
  std::vector<std::string> Calls;
};

struct TBatch {
  test::TempDir dir;
  std::vector<std::string> Files() const {
    TBatchFolder folder;
    folder.Open(dir.Path());
    return folder.ListBatchFiles();
  }
};

TEST(ProcessAllImages, NegativeRewritesTheFirstPageOfEveryFileAndReportsEach) {
  TBatch batch;
  test::SavePage(*test::PatternPage(ifBlackWhite, 120, 80, 200, 200, 1), batch.dir.File("a.tif"));
  test::SavePage(*test::PatternPage(ifGray256, 60, 90, 150, 150, 2), batch.dir.File("b.bmp"));
  test::SavePage(*test::PatternPage(ifBlackWhite, 70, 50, 100, 100, 3), batch.dir.File("c.tif"));
  const auto source = test::PatternPage(ifBlackWhite, 120, 80, 200, 200, 1);

  TLogLines log;
  TRecordedProgress progress;
  std::vector<std::string> stored;
  const TProcessSummary summary =
      ProcessAllImages(batch.Files(), PageOperation(TPageCommand::Invert), log, &progress,
                       [&](const std::string& file, const TDibGraphic& graphic) {
                         stored.push_back(file);
                         EXPECT_EQ(graphic.Pixel(0, 0), 0xFFFFFFu); // the corner block, inverted
                       });
  EXPECT_EQ(summary.Files, 3);
  EXPECT_EQ(summary.Stored, 3);
  EXPECT_EQ(summary.Failed, 0);
  EXPECT_TRUE(log.Lines().empty());
  EXPECT_EQ(progress.Calls, (std::vector<std::string>{"begin 3", "0", "1", "2", "end"}));
  EXPECT_EQ(stored, batch.Files());
  auto a = test::LoadPage(batch.dir.File("a.tif"));
  ASSERT_EQ(a->Width(), 120);
  for (int x = 0; x < 120; ++x) EXPECT_EQ(a->Pixel(x, 40), ~source->Pixel(x, 40) & 0xFFFFFF);
  const std::string bmp = test::ReadText(batch.dir.File("b.bmp"));
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(test::FolderNames(batch.dir.Path()),
            (std::vector<std::string>{"a.tif", "b.bmp", "c.tif"}));
}

TEST(ProcessAllImages, UnreadableFilesAreLoggedAndTheOthersProcessed) {
  TBatch batch;
  test::SavePage(*test::PatternPage(ifBlackWhite, 40, 30, 100, 100), batch.dir.File("a.tif"));
  test::WriteText(batch.dir.File("b.tif"), "not an image");
  test::WriteText(batch.dir.File("c.jpg"), "");
  test::SavePage(*test::PatternPage(ifTrueColor, 30, 40, 100, 100), batch.dir.File("d.tif"));
  const std::string badBytes = test::ReadText(batch.dir.File("b.tif"));

  TLogLines log;
  const TProcessSummary summary =
      ProcessAllImages(batch.Files(), PageOperation(TPageCommand::Rotate90), log);
  EXPECT_EQ(summary.Stored, 2);
  EXPECT_EQ(summary.Failed, 2);
  const std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), 2u);
  const std::string prefixB = "Error processing " + batch.dir.File("b.tif") + " - ";
  const std::string prefixC = "Error processing " + batch.dir.File("c.jpg") + " - ";
  EXPECT_EQ(lines[0].rfind(prefixB, 0), 0u) << lines[0];
  EXPECT_GT(lines[0].size(), prefixB.size()); // the reader's message follows
  EXPECT_EQ(lines[1].rfind(prefixC, 0), 0u) << lines[1];
  EXPECT_EQ(test::ReadText(batch.dir.File("b.tif")), badBytes);
  EXPECT_EQ(test::LoadPage(batch.dir.File("a.tif"))->Width(), 30);
  EXPECT_EQ(test::LoadPage(batch.dir.File("d.tif"))->Width(), 40);
}

TEST(ProcessAllImages, DespeckleLeavesGreyFilesUntouchedAndUnlogged) {
  TBatch batch;
  test::SavePage(*test::PatternPage(ifBlackWhite, 200, 100, 300, 300), batch.dir.File("a.tif"));
  test::SavePage(*test::PatternPage(ifGray256, 200, 100, 300, 300), batch.dir.File("b.tif"));
  const auto grey = test::ReadFile(batch.dir.File("b.tif"));
  const auto bilevel = test::ReadFile(batch.dir.File("a.tif"));
  TLogLines log;
  std::vector<std::string> stored;
  const TProcessSummary summary = ProcessAllImages(
      batch.Files(), PageOperation(TPageCommand::Despeckle), log, nullptr,
      [&](const std::string& file, const TDibGraphic&) { stored.push_back(file); });
  EXPECT_EQ(summary.Stored, 1);
  EXPECT_EQ(stored, std::vector<std::string>{batch.dir.File("a.tif")});
  EXPECT_TRUE(log.Lines().empty());
  EXPECT_EQ(test::ReadFile(batch.dir.File("b.tif")), grey);
  EXPECT_NE(test::ReadFile(batch.dir.File("a.tif")), bilevel); // noise dots removed
}

TEST(ProcessAllImages, OnlyTheFirstPageOfAMultiPageFileIsProcessed) {
  TBatch batch;
  const std::string file = batch.dir.File("m.tif");
  ASSERT_EQ(test::Cli({"make-page", file, "--width", "90", "--height", "60", "--dpi", "100",
                       "--bits", "1", "--seed", "1"})
                .status,
            0);
  ASSERT_EQ(test::Cli({"make-page", batch.dir.File("p2.tmp.tif"), "--width", "50", "--height", "70",
                       "--dpi", "100", "--bits", "8", "--seed", "2"})
                .status,
            0);
  ASSERT_EQ(test::Cli({"append", batch.dir.File("p2.tmp.tif"), file}).status, 0);
  std::remove(batch.dir.File("p2.tmp.tif").c_str());
  const auto second = test::LoadPage(file, 2);
  const std::string secondCompression = test::TiffCompressions(file).at(1);
  auto first = test::LoadPage(file, 1);
  RunPageCommand(TPageCommand::Rotate180, *first);
  TLogLines log;
  TRecordedProgress progress;
  // The context names the file and page index 0.
  ProcessAllImages(
      batch.Files(),
      [&](TDibGraphic& graphic, const TPageContext* context) {
        EXPECT_EQ(context ? context->FileName : "(none)", file);
        EXPECT_EQ(context ? context->PageIndex : -1, 0);
        return RunPageCommand(TPageCommand::Rotate180, graphic);
      },
      log, &progress);
  EXPECT_EQ(log.Lines(), std::vector<std::string>{});
  ASSERT_EQ(test::TiffCompressions(file).size(), 2u);
  EXPECT_EQ(test::TiffCompressions(file)[0], "CCITT Group 4");
  EXPECT_TRUE(test::SamePixels(*test::LoadPage(file, 1), *first));
  // The second page keeps its compression; JPEG data is coded again.
  EXPECT_EQ(test::TiffCompressions(file)[1], secondCompression);
  EXPECT_TRUE(test::ClosePixels(*test::LoadPage(file, 2), *second, 8));
  EXPECT_EQ(progress.Calls.back(), "end");
}

} // namespace
