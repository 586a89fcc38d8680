#include "workflow/SavePage.h"
#include "graphics/JpegGraphic.h"
#include "workflow/PageOperations.h"
#include "workflow/PageTestSupport.h"
#include "workflow/WorkflowTestSupport.h"

#include <gtest/gtest.h>

namespace {

// A three-page TIFF whose pages have three different compressions.
std::string ThreePageTiff(const test::TempDir& dir) {
  const std::string file = dir.File("three.tif");
  test::AppendTiffPages(file,
                        {{ifBlackWhite, tcGroup4}, {ifGray256, tcLZW}, {ifTrueColor, tcPackbits}},
                        64, 48, 200, 100);
  return file;
}

TEST(SavePageIntoFile, TiffPageReplacedOthersKeepTheirCompressionAndPixels) {
  test::TempDir dir;
  const std::string file = ThreePageTiff(dir);
  auto first = test::LoadPage(file, 1), second = test::LoadPage(file, 2),
       third = test::LoadPage(file, 3);
  ASSERT_EQ(RunPageCommand(TPageCommand::Rotate90, *second), 0);
  SavePageIntoFile(file, 2, *second);
  // The new page 2 is 256 grey levels, so JPEG.
  EXPECT_EQ(test::TiffCompressions(file),
            (std::vector<std::string>{"CCITT Group 4", "JPEG", "PackBits"}));
  EXPECT_EQ(test::Run({"tiffinfo", "-D", file}).err, "");
  EXPECT_TRUE(test::SamePixels(*test::LoadPage(file, 1), *first));
  EXPECT_TRUE(test::SamePixels(*test::LoadPage(file, 2), *second, 48));
  EXPECT_TRUE(test::SamePixels(*test::LoadPage(file, 3), *third));
  EXPECT_EQ(test::FolderNames(dir.Path()), std::vector<std::string>{"three.tif"});
}

TEST(SavePageIntoFile, PdfPageReplacedOtherPagesImageDataCopiedAsStored) {
  test::TempDir dir;
  const std::string file = dir.File("doc.pdf");
  test::SavePage(*test::PatternPage(ifBlackWhite, 170, 220, 20, 20, 1), dir.File("p1.tif"));
  test::SavePage(*test::PatternPage(ifTrueColor, 80, 60, 10, 10, 2), dir.File("p2.tif"));
  test::SavePage(*test::PatternPage(ifGray256, 60, 80, 10, 10, 3), dir.File("p3.tif"));
  ASSERT_EQ(
      test::Cli({"topdf", file, dir.File("p1.tif"), dir.File("p2.tif"), dir.File("p3.tif")}).status,
      0);
  const auto before = test::PdfImageData(file);
  auto page = test::LoadPage(file, 2);
  ASSERT_EQ(RunPageCommand(TPageCommand::Rotate270, *page), 0);
  SavePageIntoFile(file, 2, *page);
  EXPECT_EQ(test::Run({"qpdf", "--check", file}).status, 0);
  const auto after = test::PdfImageData(file);
  ASSERT_EQ(before.size(), 3u);
  ASSERT_EQ(after.size(), 3u);
  EXPECT_EQ(after[0], before[0]);
  EXPECT_NE(after[1], before[1]);
  EXPECT_EQ(after[2], before[2]);
  EXPECT_TRUE(test::SamePixels(*test::LoadPage(file, 2), *page, 48));
}

// BMP comes back exactly; JPEG is coded again at the graphic's quality, so a
// lower quality gives a smaller file; a missing file is made in the format
// of its extension, whatever page number is asked for.
TEST(SavePageIntoFile, EveryFormatIsWrittenInItsOwnFormat) {
  test::TempDir dir;
  test::SavePage(*test::PatternPage(ifColor16, 50, 30, 100, 100), dir.File("page.bmp"));
  test::SavePage(*test::PatternPage(ifTrueColor, 120, 90, 100, 100), dir.File("page.jpg"));
  const struct {
    const char* name;
    int number;
    const char* kind; // what file(1) says
    int tolerance;
  } cases[] = {{"page.bmp", 1, "PC bitmap", 0},
               {"page.jpg", 1, "JPEG image data", 40},
               {"n.tif", 7, "TIFF image data", 0},
               {"n.pdf", 7, "PDF document", 0},
               {"n.bmp", 7, "PC bitmap", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = dir.File(c.name);
    auto page =
        c.number == 1 ? test::LoadPage(file) : test::PatternPage(ifBlackWhite, 40, 20, 300, 300);
    RunPageCommand(TPageCommand::FlipVertical, *page);
    SavePageIntoFile(file, c.number, *page);
    EXPECT_EQ(test::Run({"file", "-b", file}).out.rfind(c.kind, 0), 0u);
    EXPECT_TRUE(test::SamePixels(*test::LoadPage(file), *page, c.tolerance));
    if (auto* jpeg = dynamic_cast<TJpegGraphic*>(page.get())) {
      const size_t size = test::ReadFile(file).size();
      jpeg->SetQuality(20);
      SavePageIntoFile(file, 1, *page);
      EXPECT_LT(test::ReadFile(file).size(), size);
    }
  }
  EXPECT_EQ(test::TiffCompressions(dir.File("n.tif")), std::vector<std::string>{"CCITT Group 4"});
  EXPECT_EQ(test::FolderNames(dir.Path()),
            (std::vector<std::string>{"n.bmp", "n.pdf", "n.tif", "page.bmp", "page.jpg"}));
}

TEST(SavePageIntoFile, RefusalsLeaveTheFileAndAnyBackupNameAlone) {
  test::TempDir dir;
  const std::string file = ThreePageTiff(dir);
  // Another file already holds the name a backup would take.
  test::WriteText(dir.File("three.bak"), "someone else's file");
  test::WriteText(dir.File("bad.tif"), "not a TIFF file");
  const auto bytes = test::ReadFile(file);
  const auto page = test::PatternPage(ifBlackWhite, 10, 10, 100, 100);
  for (const int number : {0, 4})
    EXPECT_EQ(test::ErrorOf([&] { SavePageIntoFile(file, number, *page); }),
              "Page " + std::to_string(number) + " does not exist in " + file);
  EXPECT_EQ(test::ReadFile(file), bytes);
  EXPECT_NE(test::ErrorOf([&] { SavePageIntoFile(dir.File("bad.tif"), 1, *page); }), "(no error)");
  EXPECT_EQ(test::ReadText(dir.File("bad.tif")), "not a TIFF file");
  SavePageIntoFile(file, 3, *page);
  EXPECT_TRUE(test::SamePixels(*test::LoadPage(file, 3), *page));
  EXPECT_EQ(test::ReadText(dir.File("three.bak")), "someone else's file");
  EXPECT_EQ(test::FolderNames(dir.Path()),
            (std::vector<std::string>{"bad.tif", "three.bak", "three.tif"}));
}

} // namespace
