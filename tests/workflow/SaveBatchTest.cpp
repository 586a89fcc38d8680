#include "workflow/SaveBatch.h"
#include "workflow/PageTestSupport.h"
#include "workflow/WorkflowTestSupport.h"

#include <gtest/gtest.h>

using namespace test;

namespace {

// The extension chooses the format of a saved batch and of a scan's file;
// a batch or a scan to any other name is refused before anything is written.
TEST(SaveBatch, ExtensionsChooseTheFormatOrAreRefused) {
  const auto tiff = TScanFileFormat::Tiff, pdf = TScanFileFormat::Pdf;
  const std::pair<const char*, std::optional<TScanFileFormat>> names[] = {
      {"/a/x.tif", tiff}, {"x.TIF", tiff}, {"x.tiff", tiff}, {"/a/x.TiFf", tiff}, {"x.pdf", pdf},
      {"/a/x.Pdf", pdf},  {"x.png", {}},   {"/a/x", {}},     {"x.tif.bak", {}},   {"x.pd", {}}};
  for (const auto& [name, format] : names) {
    EXPECT_EQ(ErrorOf([&] { EXPECT_EQ(BatchOutputKind(name), format); }),
              format ? "(no error)"
                     : "Cannot save the batch as " + std::string(name) +
                           ": the name must end in .tif, .tiff or .pdf");
    EXPECT_EQ(ErrorOf([&] { EXPECT_EQ(ScanFileFormat(name), format); }),
              format ? "(no error)"
                     : "Unable to scan to " + std::string(name) +
                           " - only .tif, .tiff and .pdf files can be written");
  }
  TempDir dir;
  const std::string a = dir.File("a.tif"), bad = dir.File("bad.tif");
  SavePage(*PatternPage(ifBlackWhite, 30, 20), a);
  WriteText(bad, "not a TIFF");
  const auto bytes = ReadFile(a);
  EXPECT_EQ(ErrorOf([&] { SaveBatchAs(a, {a}); }),
            "Cannot save the batch into " + a + ": the file is one of the batch's files");
  EXPECT_EQ(ErrorOf([&] { SaveBatchAs(dir.File("o.pdf"), {}); }),
            "The batch holds no files to save");
  // A failure before the first page leaves an existing output as it was.
  EXPECT_NE(ErrorOf([&] { SaveBatchAs(a, {bad}); }), "(no error)");
  EXPECT_EQ(ReadFile(a), bytes);
  EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"a.tif", "bad.tif"}));
}

// A 3-page TIFF (170 x 220 at 20 dpi), a JPEG (50 x 25 dpi), a BMP and a
// 2-page PDF saved as a new PDF and after the pages of an existing TIFF.
TEST(SaveBatch, EveryFormatAsPdfAndAsTiffEveryPageInOrder) {
  TempDir dir, stored;
  const std::vector<std::string> files = {dir.File("a.tif"), dir.File("b.jpg"), dir.File("c.bmp"),
                                          dir.File("d.pdf")};
  AppendTiffPages(files[0], {{ifBlackWhite, tcGroup4}, {ifGray256, tcLZW}, {ifColor16, tcPackbits}},
                  170, 220, 20, 20);
  SavePage(*PatternPage(ifTrueColor, 120, 80, 50, 25, 7), files[1]);
  SavePage(*PatternPage(ifColor256, 60, 40, 30, 30, 8), files[2]);
  AppendTiffPages(dir.File("p.tif"), {{ifBlackWhite, tcGroup4}, {ifBlackWhite, tcGroup4}}, 90, 70,
                  10, 10);
  ASSERT_EQ(SaveBatchAs(files[3], {dir.File("p.tif")}).Written, 2);
  std::vector<std::unique_ptr<TDibGraphic>> pages;
  for (const auto& [file, count] : {std::pair{0, 3}, {1, 1}, {2, 1}, {3, 2}})
    for (int page = 1; page <= count; ++page) pages.push_back(LoadPage(files[file], page));

  const std::string pdf = dir.File("out.pdf"), tiff = dir.File("out.TIFF");
  TRecordedProgress progress;
  EXPECT_EQ(SaveBatchAs(pdf, files, &progress).Written, 7);
  EXPECT_EQ(progress.Calls, (std::vector<std::string>{"begin 4", "0", "1", "2", "3", "end"}));
  EXPECT_EQ(test::Run({"qpdf", "--check", pdf}).status, 0);
  // Group 4 for bilevel pages, the JPEG file's data byte for byte, JPEG else.
  std::string kinds;
  const auto data = PdfImages(pdf, {"-j", "-ccitt"}, stored);
  for (const std::string& name : data) kinds += name.substr(name.rfind('.'));
  EXPECT_EQ(kinds, ".ccitt.jpg.jpg.jpg.jpg.ccitt.ccitt");
  EXPECT_EQ(ReadFile(data.at(3)), ReadFile(files[1]));

  AppendTiffPages(tiff, {{ifBlackWhite, tcGroup4}, {ifBlackWhite, tcGroup4}}, 20, 20, 100, 100);
  EXPECT_EQ(SaveBatchAs(tiff, files).Written, 7);
  EXPECT_EQ(test::Run({"tiffinfo", "-D", tiff}).err, "");
  EXPECT_EQ(
      TiffCompressions(tiff),
      (std::vector<std::string>{"CCITT Group 4", "CCITT Group 4", "CCITT Group 4", "JPEG",
                                "PackBits", "JPEG", "LZW", "CCITT Group 4", "CCITT Group 4"}));
  for (size_t i = 0; i < pages.size(); ++i) {
    const auto page = LoadPage(tiff, static_cast<int>(i) + 3);
    EXPECT_TRUE(SamePixels(*page, *pages[i], i == 1 || i == 3 ? 48 : 0)) << i; // JPEG-coded
  }
}

} // namespace
