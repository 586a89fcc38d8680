#include "workflow/PageOperations.h"
#include "core/FileStream.h"
#include "raster/DIB.h"
#include "workflow/PageTestSupport.h"

#include <gtest/gtest.h>

namespace {

// Where the pixel (x, y) of a w x h page lands after the command.
struct TMove {
  TPageCommand Command;
  bool Swapped; // width and height exchanged
  int (*ToX)(int x, int y, int w, int h);
  int (*ToY)(int x, int y, int w, int h);
};

const TMove kMoves[] = {
    {TPageCommand::Rotate90, true, [](int, int y, int, int h) { return h - 1 - y; },
     [](int x, int, int, int) { return x; }},
    {TPageCommand::Rotate180, false, [](int x, int, int w, int) { return w - 1 - x; },
     [](int, int y, int, int h) { return h - 1 - y; }},
    {TPageCommand::Rotate270, true, [](int, int y, int, int) { return y; },
     [](int x, int, int w, int) { return w - 1 - x; }},
    {TPageCommand::FlipHorizontal, false, [](int x, int, int w, int) { return w - 1 - x; },
     [](int, int y, int, int) { return y; }},
    {TPageCommand::FlipVertical, false, [](int x, int, int, int) { return x; },
     [](int, int y, int, int h) { return h - 1 - y; }},
};

TEST(PageOperations, TurnsAndFlipsMoveEveryPixelForEveryFormat) {
  for (const TImageFormat format : {ifBlackWhite, ifGray256, ifTrueColor, ifColor16}) {
    for (const TMove& move : kMoves) {
      SCOPED_TRACE(testing::Message()
                   << "format " << int(format) << " command " << int(move.Command));
      auto source = test::PatternPage(format, 37, 23, 300, 150);
      auto page = test::PatternPage(format, 37, 23, 300, 150);
      ASSERT_EQ(RunPageCommand(move.Command, *page), 0);
      ASSERT_EQ(page->Width(), move.Swapped ? 23 : 37);
      ASSERT_EQ(page->Height(), move.Swapped ? 37 : 23);
      EXPECT_EQ(page->ImageFormat(), format);
      EXPECT_EQ(page->XDpi(), move.Swapped ? 150 : 300);
      for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
          ASSERT_EQ(page->Pixel(move.ToX(x, y, 37, 23), move.ToY(x, y, 37, 23)),
                    source->Pixel(x, y))
              << x << "," << y;
    }
  }
}

TEST(PageOperations, NegativeComplementsEveryPixel) {
  for (const TImageFormat format : {ifBlackWhite, ifGray256, ifTrueColor}) {
    auto source = test::PatternPage(format, 40, 30, 200, 200);
    auto page = test::PatternPage(format, 40, 30, 200, 200);
    ASSERT_EQ(RunPageCommand(TPageCommand::Invert, *page), 0);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) ASSERT_EQ(page->Pixel(x, y), ~source->Pixel(x, y) & 0xFFFFFF);
  }
}

TEST(PageOperations, DespeckleCleansBilevelPagesAndLeavesOthersAlone) {
  // A bilevel page with one isolated dot and a large block.
  auto page = test::PatternPage(ifBlackWhite, 400, 300, 300, 300);
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 400; ++x) page->SetPixel(x, y, 0xFFFFFF);
  page->SetPixel(200, 150, 0);
  for (int y = 10; y < 60; ++y)
    for (int x = 10; x < 90; ++x) page->SetPixel(x, y, 0);
  ASSERT_EQ(RunPageCommand(TPageCommand::Despeckle, *page), 0);
  EXPECT_EQ(page->Pixel(200, 150), 0xFFFFFFu);
  EXPECT_EQ(page->Pixel(50, 30), 0u);

  for (const TImageFormat format : {ifGray256, ifTrueColor}) {
    auto grey = test::PatternPage(format, 50, 40, 300, 300);
    auto before = test::PatternPage(format, 50, 40, 300, 300);
    EXPECT_EQ(RunPageCommand(TPageCommand::Despeckle, *grey), 1);
    EXPECT_TRUE(test::SamePixels(*grey, *before));
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
  const double angle = reference.Deskew(true, true, 5.0);
  ASSERT_NE(angle, 0.0);
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
  ASSERT_EQ(PageCommands().size(), 8u);
  for (const auto& [word, command] : words) {
    ASSERT_TRUE(PageCommandForWord(word).has_value()) << word;
    EXPECT_EQ(*PageCommandForWord(word), command);
  }
  EXPECT_EQ(std::string(PageCommands()[3].ActionName), "ActionFlipHorizontal");
  EXPECT_FALSE(PageCommandForWord("Rotate90").has_value());
  EXPECT_FALSE(PageCommandForWord("rotate45").has_value());
  // The operation value runs the same command.
  auto page = test::PatternPage(ifGray256, 10, 20, 100, 100);
  EXPECT_EQ(PageOperation(TPageCommand::Rotate90)(*page, nullptr), 0);
  EXPECT_EQ(page->Width(), 20);
}

} // namespace
