#include "workflow/PageOperations.h"
#include "core/FileStream.h"
#include "raster/DIB.h"
#include "workflow/PageTestSupport.h"

#include <gtest/gtest.h>

namespace {

// Where the pixel (x, y) of a w x h page lands after each command, and the
// colour it then has (negative: the complement).
struct TMove {
  TPageCommand Command;
  std::pair<int, int> (*To)(int x, int y, int w, int h);
};
const TMove kMoves[] = {
    {TPageCommand::Rotate90,
     [](int x, int y, int, int h) {
       return std::pair{h - 1 - y, x};
     }},
    {TPageCommand::Rotate180,
     [](int x, int y, int w, int h) {
       return std::pair{w - 1 - x, h - 1 - y};
     }},
    {TPageCommand::Rotate270,
     [](int x, int y, int w, int) {
       return std::pair{y, w - 1 - x};
     }},
    {TPageCommand::FlipHorizontal,
     [](int x, int y, int w, int) {
       return std::pair{w - 1 - x, y};
     }},
    {TPageCommand::FlipVertical,
     [](int x, int y, int, int h) {
       return std::pair{x, h - 1 - y};
     }},
    {TPageCommand::Invert,
     [](int x, int y, int, int) {
       return std::pair{x, y};
     }},
};

TEST(PageOperations, TurnsFlipsAndNegativeMoveEveryPixelForEveryFormat) {
  for (const TImageFormat format : {ifBlackWhite, ifGray256, ifTrueColor, ifColor16})
    for (const TMove& move : kMoves) {
      SCOPED_TRACE(testing::Message()
                   << "format " << int(format) << " command " << int(move.Command));
      const auto source = test::PatternPage(format, 37, 23, 300, 150);
      auto page = test::PatternPage(format, 37, 23, 300, 150);
      ASSERT_EQ(RunPageCommand(move.Command, *page), 0);
      const bool turned =
          move.Command == TPageCommand::Rotate90 || move.Command == TPageCommand::Rotate270;
      ASSERT_EQ(page->Width(), turned ? 23 : 37);
      ASSERT_EQ(page->Height(), turned ? 37 : 23);
      EXPECT_EQ(page->ImageFormat(), format);
      EXPECT_EQ(page->XDpi(), turned ? 150 : 300);
      const TColour mask = move.Command == TPageCommand::Invert ? 0xFFFFFF : 0;
      for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x) {
          const auto [toX, toY] = move.To(x, y, 37, 23);
          ASSERT_EQ(page->Pixel(toX, toY), source->Pixel(x, y) ^ mask) << x << "," << y;
        }
    }
}

TEST(PageOperations, DespeckleCleansBilevelPagesAndLeavesOthersAlone) {
  // A white bilevel page with one isolated dot and a large block.
  auto page = test::PatternPage(ifBlackWhite, 400, 300, 300, 300);
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 400; ++x)
      page->SetPixel(x, y, x >= 10 && x < 90 && y >= 10 && y < 60 ? 0 : 0xFFFFFF);
  page->SetPixel(200, 150, 0);
  ASSERT_EQ(RunPageCommand(TPageCommand::Despeckle, *page), 0);
  EXPECT_EQ(page->Pixel(200, 150), 0xFFFFFFu);
  EXPECT_EQ(page->Pixel(50, 30), 0u);
  for (const TImageFormat format : {ifGray256, ifTrueColor}) {
    auto other = test::PatternPage(format, 50, 40, 300, 300);
    EXPECT_EQ(RunPageCommand(TPageCommand::Despeckle, *other), 1);
    EXPECT_TRUE(test::SamePixels(*other, *test::PatternPage(format, 50, 40, 300, 300)));
  }
}

TEST(PageOperations, DeskewStraightensAGeneratedSkewedPage) {
  test::TempDir dir;
  ASSERT_EQ(test::Cli({"make-page", dir.File("s.tif"), "--width", "850", "--height", "1100",
                       "--dpi", "100", "--bits", "1", "--skew", "2.5"})
                .status,
            0);
  auto page = test::LoadPage(dir.File("s.tif"));
  TDIB reference;
  TFileStream file(dir.File("s.tif"), TFileStream::fmOpenRead);
  reference.LoadFromStream(file, 0);
  ASSERT_NE(reference.Deskew(true, true, 5.0), 0.0);
  ASSERT_EQ(RunPageCommand(TPageCommand::Deskew, *page), 0);
  TDibGraphic expected;
  expected.ImportDib(reference, ifBlackWhite, reference.XResolution(), reference.YResolution());
  EXPECT_TRUE(test::SamePixels(*page, expected));
}

TEST(PageOperations, EveryCommandHasItsWordAndActionName) {
  const std::pair<const char*, TPageCommand> words[] = {
      {"rotate90", TPageCommand::Rotate90},   {"rotate180", TPageCommand::Rotate180},
      {"rotate270", TPageCommand::Rotate270}, {"mirror", TPageCommand::FlipHorizontal},
      {"flip", TPageCommand::FlipVertical},   {"negative", TPageCommand::Invert},
      {"deskew", TPageCommand::Deskew},       {"despeckle", TPageCommand::Despeckle}};
  ASSERT_EQ(PageCommands().size(), std::size(words));
  for (const auto& [word, command] : words) EXPECT_EQ(PageCommandForWord(word), command) << word;
  for (const char* word : {"Rotate90", "rotate45", ""})
    EXPECT_FALSE(PageCommandForWord(word)) << word;
  EXPECT_EQ(std::string(PageCommands()[3].ActionName), "ActionFlipHorizontal");
}

} // namespace
