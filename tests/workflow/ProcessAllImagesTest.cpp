#include "workflow/ProcessAllImages.h"
#include "workflow/LogSink.h"
#include "workflow/PageTestSupport.h"
#include "workflow/WorkflowTestSupport.h"

#include <gmock/gmock.h>
#include <tuple>

using namespace test;
using ::testing::ElementsAre, ::testing::StartsWith;

namespace {

// A negative over a two-page TIFF, an empty JPEG and a TIFF that is not one:
// the first page is rewritten and the second kept as it was, each other
// file gets one error line and is left alone.
TEST(ProcessAllImages, FirstPagesRewrittenUnreadableFilesLoggedAndLeftAlone) {
  TempDir dir;
  const std::vector<std::string> files = {dir.File("a.tif"), dir.File("c.jpg"), dir.File("d.tif")};
  AppendTiffPages(files[0], {{ifBlackWhite, tcGroup4}, {ifGray256, tcLZW}}, 120, 80, 200, 200);
  WriteText(files[1], "");
  WriteText(files[2], "not an image");
  const auto first = LoadPage(files[0], 1), second = LoadPage(files[0], 2);
  TLogLines log;
  TRecordedProgress progress;
  std::vector<std::string> stored;
  const TProcessSummary summary = ProcessAllImages(
      files, PageOperation(TPageCommand::Invert), log, &progress,
      [&](const std::string& file, const TDibGraphic&) { stored.push_back(file); });
  EXPECT_EQ(std::tuple(summary.Files, summary.Stored, summary.Failed), std::tuple(3, 1, 2));
  EXPECT_EQ(stored, std::vector<std::string>{files[0]});
  EXPECT_EQ(progress.Calls, (std::vector<std::string>{"begin 3", "0", "1", "2", "end"}));
  EXPECT_THAT(log.Lines(), ElementsAre(StartsWith("Error processing " + files[1] + " - "),
                                       StartsWith("Error processing " + files[2] + " - ")));
  EXPECT_EQ(ReadText(files[1]) + "|" + ReadText(files[2]), "|not an image");
  EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"a.tif", "c.jpg", "d.tif"}));
  EXPECT_EQ(CountDifferences(Looks(*LoadPage(files[0])), Looks(*first), 254),
            first->Width() * first->Height()); // every pixel turned
  EXPECT_TRUE(SamePixels(*LoadPage(files[0], 2), *second));
}

} // namespace
