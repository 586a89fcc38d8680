#include "workflow/SavePage.h"
#include "workflow/PageOperations.h"
#include "workflow/PageTestSupport.h"
#include "workflow/WorkflowTestSupport.h"

#include <gtest/gtest.h>

using namespace test;

namespace {

// Page 2 of 3 turned and written back: the file stays sound, the other
// pages keep their pixels and their compression (TIFF) or their stored
// image data (PDF); a missing page is refused with the file untouched, and
// a file holding a backup's name is never touched.
TEST(SavePageIntoFile, SecondOfThreePagesReplacedTheOthersAndOtherFilesUnchanged) {
  TempDir dir, before, after;
  const std::string tiff = dir.File("3.tif"), pdf = dir.File("3.pdf");
  AppendTiffPages(tiff, {{ifBlackWhite, tcGroup4}, {ifGray256, tcLZW}, {ifTrueColor, tcPackbits}},
                  64, 48, 200, 100);
  ASSERT_EQ(test::Run({BinPath("tessivane-cli"), "topdf", pdf, tiff}).status, 0);
  WriteText(dir.File("3.bak"), "someone else's file");
  const auto stored = PdfImages(pdf, {"-j", "-ccitt"}, before);
  for (const std::string& file : {tiff, pdf}) {
    SCOPED_TRACE(file);
    const auto first = LoadPage(file, 1), third = LoadPage(file, 3);
    auto page = LoadPage(file, 2);
    ASSERT_EQ(RunPageCommand(TPageCommand::Rotate90, *page), 0);
    SavePageIntoFile(file, 2, *page);
    EXPECT_EQ(
        test::Run({file == pdf ? "qpdf" : "tiffinfo", file == pdf ? "--check" : "-D", file}).status,
        0);
    EXPECT_TRUE(SamePixels(*LoadPage(file, 1), *first));
    EXPECT_TRUE(SamePixels(*LoadPage(file, 2), *page, 48));
    EXPECT_TRUE(SamePixels(*LoadPage(file, 3), *third));
    const auto bytes = ReadFile(file);
    for (const int number : {0, 4})
      EXPECT_EQ(ErrorOf([&] { SavePageIntoFile(file, number, *page); }),
                "Page " + std::to_string(number) + " does not exist in " + file);
    EXPECT_EQ(ReadFile(file), bytes);
  }
  EXPECT_EQ(TiffCompressions(tiff),
            (std::vector<std::string>{"CCITT Group 4", "JPEG", "PackBits"}));
  const auto now = PdfImages(pdf, {"-j", "-ccitt"}, after);
  ASSERT_EQ(now.size(), 3u);
  for (const size_t other : {0, 2}) EXPECT_EQ(ReadFile(now[other]), ReadFile(stored.at(other)));
  EXPECT_EQ(ReadText(dir.File("3.bak")), "someone else's file");
  EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"3.bak", "3.pdf", "3.tif"}));
}

} // namespace
