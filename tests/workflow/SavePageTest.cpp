#include "workflow/SavePage.h"
#include "graphics/JpegGraphic.h"
#include "graphics/TiffGraphic.h"
#include "workflow/PageOperations.h"
#include "workflow/PageTestSupport.h"
#include "workflow/WorkflowTestSupport.h"

#include <gtest/gtest.h>

namespace {

// A three-page TIFF whose pages have three different compressions.
std::string ThreePageTiff(const test::TempDir& dir) {
  const std::string file = dir.File("three.tif");
  const std::pair<TImageFormat, TTiffCompression> pages[] = {
      {ifBlackWhite, tcGroup4}, {ifGray256, tcLZW}, {ifTrueColor, tcPackbits}};
  unsigned seed = 1;
  for (const auto& [format, compression] : pages) {
    TTiffGraphic page;
    page.Assign(*test::PatternPage(format, 64, 48, 200, 100, seed++));
    page.SetCompression(compression);
    page.AppendToFile(file);
  }
  return file;
}

TEST(SavePageIntoFile, TiffPageReplacedOthersKeepTheirCompressionAndPixels) {
  test::TempDir dir;
  const std::string file = ThreePageTiff(dir);
  ASSERT_EQ(test::TiffCompressions(file),
            (std::vector<std::string>{"CCITT Group 4", "LZW", "PackBits"}));
  auto first = test::LoadPage(file, 1), third = test::LoadPage(file, 3);
  auto second = test::LoadPage(file, 2);
  ASSERT_EQ(RunPageCommand(TPageCommand::Rotate90, *second), 0);
  SavePageIntoFile(file, 2, *second);

  // The new page 2 is 256 grey levels, so JPEG.
  EXPECT_EQ(test::TiffCompressions(file),
            (std::vector<std::string>{"CCITT Group 4", "JPEG", "PackBits"}));
  EXPECT_EQ(test::Run({"tiffinfo", "-D", file}).err, "");
  EXPECT_TRUE(test::SamePixels(*test::LoadPage(file, 1), *first));
  EXPECT_TRUE(test::SamePixels(*test::LoadPage(file, 3), *third));
  auto stored = test::LoadPage(file, 2);
  EXPECT_EQ(stored->Width(), 48);
  EXPECT_TRUE(test::ClosePixels(*stored, *second, 48));
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
  ASSERT_EQ(before.size(), 3u);

  auto page = test::LoadPage(file, 2);
  ASSERT_EQ(RunPageCommand(TPageCommand::Rotate270, *page), 0);
  SavePageIntoFile(file, 2, *page);

  EXPECT_EQ(test::Run({"qpdf", "--check", file}).status, 0);
  const auto after = test::PdfImageData(file);
  ASSERT_EQ(after.size(), 3u);
  EXPECT_EQ(after[0], before[0]);
  EXPECT_EQ(after[2], before[2]);
  EXPECT_NE(after[1], before[1]);
  const auto rows = test::PdfImageRows(file);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_NE(rows[1].find("   60    80 "), std::string::npos) << rows[1];
  EXPECT_NE(rows[0].find("  170   220 "), std::string::npos) << rows[0];
}

TEST(SavePageIntoFile, SinglePageFormatsAreWrittenBackInTheirOwnFormat) {
  test::TempDir dir;
  // BMP: lossless, so the pixels come back exactly.
  const std::string bmp = dir.File("page.bmp");
  test::SavePage(*test::PatternPage(ifColor16, 50, 30, 100, 100), bmp);
  auto page = test::LoadPage(bmp);
  RunPageCommand(TPageCommand::FlipVertical, *page);
  SavePageIntoFile(bmp, 1, *page);
  EXPECT_EQ(test::ReadText(bmp).substr(0, 2), "BM");
  EXPECT_TRUE(test::SamePixels(*test::LoadPage(bmp), *page));

  // JPEG: coded again at the graphic's quality; a lower quality gives a
  // smaller file.
  const std::string jpg = dir.File("page.jpg");
  test::SavePage(*test::PatternPage(ifTrueColor, 120, 90, 100, 100), jpg);
  auto photo = test::LoadPage(jpg);
  RunPageCommand(TPageCommand::Invert, *photo);
  auto* jpeg = dynamic_cast<TJpegGraphic*>(photo.get());
  ASSERT_NE(jpeg, nullptr);
  jpeg->SetQuality(95);
  SavePageIntoFile(jpg, 1, *photo);
  const size_t fine = test::ReadFile(jpg).size();
  EXPECT_EQ(test::Run({"file", "-b", jpg}).out.rfind("JPEG image data", 0), 0u);
  EXPECT_TRUE(test::ClosePixels(*test::LoadPage(jpg), *photo, 40));
  jpeg->SetQuality(20);
  SavePageIntoFile(jpg, 1, *photo);
  EXPECT_LT(test::ReadFile(jpg).size(), fine);
  EXPECT_EQ(test::FolderNames(dir.Path()), (std::vector<std::string>{"page.bmp", "page.jpg"}));
}

TEST(SavePageIntoFile, MissingFileIsMadeInTheFormatOfItsExtension) {
  test::TempDir dir;
  const auto page = test::PatternPage(ifBlackWhite, 40, 20, 300, 300);
  const std::pair<const char*, const char*> kinds[] = {
      {"n.tif", "TIFF image data"}, {"n.pdf", "PDF document"}, {"n.bmp", "PC bitmap"}};
  for (const auto& [name, kind] : kinds) {
    SavePageIntoFile(dir.File(name), 7, *page);
    EXPECT_EQ(test::Run({"file", "-b", dir.File(name)}).out.rfind(kind, 0), 0u) << name;
    EXPECT_TRUE(test::SamePixels(*test::LoadPage(dir.File(name)), *page)) << name;
  }
  EXPECT_EQ(test::TiffCompressions(dir.File("n.tif")), std::vector<std::string>{"CCITT Group 4"});
}

TEST(SavePageIntoFile, RefusalsLeaveTheFileAndAnyBackupNameAlone) {
  test::TempDir dir;
  const std::string file = ThreePageTiff(dir);
  // Another file already holds the name a backup would take.
  test::WriteText(dir.File("three.bak"), "someone else's file");
  const auto bytes = test::ReadFile(file);
  const auto page = test::PatternPage(ifBlackWhite, 10, 10, 100, 100);
  const struct {
    std::string file;
    int number;
    std::string message;
  } refusals[] = {
      {file, 0, "Page 0 does not exist in " + file},
      {file, 4, "Page 4 does not exist in " + file},
  };
  for (const auto& refusal : refusals)
    EXPECT_EQ(test::ErrorOf([&] { SavePageIntoFile(refusal.file, refusal.number, *page); }),
              refusal.message);
  // A file that is not what its extension says.
  test::WriteText(dir.File("bad.tif"), "not a TIFF file");
  EXPECT_NE(test::ErrorOf([&] { SavePageIntoFile(dir.File("bad.tif"), 1, *page); }), "(no error)");
  EXPECT_EQ(test::ReadText(dir.File("bad.tif")), "not a TIFF file");

  SavePageIntoFile(file, 3, *page);
  EXPECT_NE(test::ReadFile(file), bytes);
  EXPECT_EQ(test::ReadText(dir.File("three.bak")), "someone else's file");
  EXPECT_EQ(test::FolderNames(dir.Path()),
            (std::vector<std::string>{"bad.tif", "three.bak", "three.tif"}));
}

} // namespace
