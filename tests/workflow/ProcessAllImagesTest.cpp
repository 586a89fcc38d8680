#include "workflow/ProcessAllImages.h"
#include "workflow/BatchFolder.h"
#include "workflow/LogSink.h"
#include "workflow/PageTestSupport.h"
#include "workflow/WorkflowTestSupport.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> BatchFiles(const test::TempDir& dir) {
  TBatchFolder folder;
  folder.Open(dir.Path());
  return folder.ListBatchFiles();
}

// Negative, then despeckle, over a batch of a two-page TIFF, a grey BMP, an
// empty JPEG and a TIFF that is not one: the readable files get their first
// page processed, each other file one error line, and nothing else changes.
TEST(ProcessAllImages, FirstPagesRewrittenUnreadableFilesLoggedGreyPagesNotDespeckled) {
  test::TempDir dir;
  const std::string a = dir.File("a.tif"), b = dir.File("b.bmp");
  test::AppendTiffPages(a, {{ifBlackWhite, tcGroup4}, {ifGray256, tcLZW}}, 120, 80, 200, 200);
  test::SavePage(*test::PatternPage(ifGray256, 60, 90, 150, 150, 3), b);
  test::WriteText(dir.File("c.jpg"), "");
  test::WriteText(dir.File("d.tif"), "not an image");
  const auto before = test::LoadPage(a, 1), second = test::LoadPage(a, 2), grey = test::LoadPage(b);

  TLogLines log;
  test::TRecordedProgress progress;
  std::vector<std::string> seen, stored;
  const TPageOperation negative = PageOperation(TPageCommand::Invert);
  const TProcessSummary summary = ProcessAllImages(
      BatchFiles(dir),
      [&](TDibGraphic& graphic, const TPageContext* context) {
        EXPECT_EQ(context ? context->PageIndex : -1, 0);
        seen.push_back(context ? context->FileName : "(none)");
        return negative(graphic, context);
      },
      log, &progress, [&](const std::string& file, const TDibGraphic&) { stored.push_back(file); });
  EXPECT_EQ(summary.Files, 4);
  EXPECT_EQ(summary.Stored, 2);
  EXPECT_EQ(summary.Failed, 2);
  EXPECT_EQ(seen, (std::vector<std::string>{a, b}));
  EXPECT_EQ(stored, seen);
  EXPECT_EQ(progress.Calls, (std::vector<std::string>{"begin 4", "0", "1", "2", "3", "end"}));
  const std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    const std::string start = "Error processing " + dir.File(i ? "d.tif" : "c.jpg") + " - ";
    EXPECT_EQ(lines[i].rfind(start, 0), 0u) << lines[i];
    EXPECT_GT(lines[i].size(), start.size()) << "the reader's message follows";
  }
  EXPECT_EQ(test::ReadText(dir.File("d.tif")), "not an image");
  EXPECT_EQ(test::ReadText(dir.File("c.jpg")), "");
  EXPECT_EQ(test::FolderNames(dir.Path()),
            (std::vector<std::string>{"a.tif", "b.bmp", "c.jpg", "d.tif"}));

  for (const auto& [file, source] : {std::pair{a, before.get()}, {b, grey.get()}}) {
    const auto page = test::LoadPage(file);
    ASSERT_EQ(page->Width(), source->Width());
    for (int y = 0; y < page->Height(); ++y)
      for (int x = 0; x < page->Width(); ++x)
        ASSERT_EQ(page->Pixel(x, y), ~source->Pixel(x, y) & 0xFFFFFF)
            << file << " " << x << "," << y;
  }
  EXPECT_EQ(test::ReadText(b).substr(0, 2), "BM");
  // The second page keeps its compression and its pixels.
  EXPECT_EQ(test::TiffCompressions(a), (std::vector<std::string>{"CCITT Group 4", "LZW"}));
  EXPECT_TRUE(test::SamePixels(*test::LoadPage(a, 2), *second));

  // Despeckle stores the bilevel page and leaves the grey one as it is.
  const auto greyBytes = test::ReadFile(b);
  stored.clear();
  EXPECT_EQ(
      ProcessAllImages(BatchFiles(dir), PageOperation(TPageCommand::Despeckle), log, nullptr,
                       [&](const std::string& file, const TDibGraphic&) { stored.push_back(file); })
          .Stored,
      1);
  EXPECT_EQ(stored, std::vector<std::string>{a});
  EXPECT_EQ(test::ReadFile(b), greyBytes);
  EXPECT_EQ(log.Lines().size(), 4u); // only the two unreadable files again
}

} // namespace
