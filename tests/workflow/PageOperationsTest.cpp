#include "workflow/PageOperations.h"
#include "core/FileStream.h"
#include "raster/DIB.h"
#include "workflow/PageTestSupport.h"

#include <gtest/gtest.h>

namespace {

// Where the pixel (x, y) of a w x h page lands after the command.
std::pair<int, int> Destination(TPageCommand command, int x, int y, int w, int h) {
  switch (command) {
  case TPageCommand::Rotate90:
    return {h - 1 - y, x};
  case TPageCommand::Rotate180:
    return {w - 1 - x, h - 1 - y};
  case TPageCommand::Rotate270:
    return {y, w - 1 - x};
  case TPageCommand::FlipHorizontal:
    return {w - 1 - x, y};
  case TPageCommand::FlipVertical:
    return {x, h - 1 - y};
  default:
    return {x, y};
  }
}

TEST(PageOperations, TurnsFlipsAndNegativeMoveEveryPixelForEveryFormat) {
  for (const TImageFormat format : {ifBlackWhite, ifGray256, ifTrueColor, ifColor16})
    for (const TPageCommand command :
         {TPageCommand::Rotate90, TPageCommand::Rotate180, TPageCommand::Rotate270,
          TPageCommand::FlipHorizontal, TPageCommand::FlipVertical, TPageCommand::Invert}) {
      SCOPED_TRACE(testing::Message() << "format " << int(format) << " command " << int(command));
      const auto source = test::PatternPage(format, 37, 23, 300, 150);
      auto page = test::PatternPage(format, 37, 23, 300, 150);
      ASSERT_EQ(RunPageCommand(command, *page), 0);
      const bool turned = command == TPageCommand::Rotate90 || command == TPageCommand::Rotate270;
      ASSERT_EQ(page->Width(), turned ? 23 : 37);
      ASSERT_EQ(page->Height(), turned ? 37 : 23);
      EXPECT_EQ(page->ImageFormat(), format);
      EXPECT_EQ(page->XDpi(), turned ? 150 : 300);
      const TColour mask = command == TPageCommand::Invert ? 0xFFFFFF : 0;
      for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x) {
          const auto [toX, toY] = Destination(command, x, y, 37, 23);
          ASSERT_EQ(page->Pixel(toX, toY), source->Pixel(x, y) ^ mask) << x << "," << y;
        }
    }
}

// Deskew straightens as the raster library's deskew does, up to 5 degrees.
TEST(PageOperations, DeskewStraightensAGeneratedSkewedPage) {
  test::TempDir dir;
  ASSERT_EQ(test::Cli({"make-page", dir.File("s.tif"), "--width", "850", "--height", "1100",
                       "--dpi", "100", "--bits", "1", "--skew", "2.5"})
                .status,
            0);
  auto page = test::LoadPage(dir.File("s.tif"));
  ASSERT_EQ(RunPageCommand(TPageCommand::Deskew, *page), 0);
  TDIB reference;
  TFileStream file(dir.File("s.tif"), TFileStream::fmOpenRead);
  reference.LoadFromStream(file, 0);
  ASSERT_NE(reference.Deskew(true, true, 5.0), 0.0);
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
