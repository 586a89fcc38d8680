#include "workflow/SaveBatch.h"
#include "workflow/PageTestSupport.h"
#include "workflow/WorkflowTestSupport.h"

#include <gtest/gtest.h>

namespace {

// The extension chooses the format of a saved batch and of a scan's file;
// a batch or a scan to any other name is refused before anything is written.
TEST(SaveBatch, ExtensionsChooseTheFormatOrAreRefused) {
  const auto tiff = TScanFileFormat::Tiff, pdf = TScanFileFormat::Pdf;
  const std::pair<const char*, std::optional<TScanFileFormat>> names[] = {
      {"/a/x.tif", tiff}, {"x.TIF", tiff}, {"x.tiff", tiff}, {"/a/x.TiFf", tiff}, {"x.pdf", pdf},
      {"/a/x.Pdf", pdf},  {"x.png", {}},   {"/a/x", {}},     {"x.tif.bak", {}},   {"x.pd", {}}};
  for (const auto& [name, format] : names) {
    EXPECT_EQ(PageFileFormat(name), format) << name;
    EXPECT_EQ(test::ErrorOf([&] { EXPECT_EQ(BatchOutputKind(name), format); }),
              format ? "(no error)"
                     : "Cannot save the batch as " + std::string(name) +
                           ": the name must end in .tif, .tiff or .pdf");
    EXPECT_EQ(test::ErrorOf([&] { EXPECT_EQ(ScanFileFormat(name), format); }),
              format ? "(no error)"
                     : "Unable to scan to " + std::string(name) +
                           " - only .tif, .tiff and .pdf files can be written");
  }
  test::TempDir dir;
  test::SavePage(*test::PatternPage(ifBlackWhite, 30, 20), dir.File("a.tif"));
  EXPECT_EQ(test::ErrorOf([&] { SaveBatchAs(dir.File("a.tif"), {dir.File("a.tif")}); }),
            "Cannot save the batch into " + dir.File("a.tif") +
                ": the file is one of the batch's files");
  EXPECT_EQ(test::ErrorOf([&] { SaveBatchAs(dir.File("o.pdf"), {}); }),
            "The batch holds no files to save");
  EXPECT_EQ(test::FolderNames(dir.Path()), std::vector<std::string>{"a.tif"});
}

// A 3-page TIFF (170 x 220 at 20 dpi), a JPEG (50 x 25 dpi), a BMP and a
// 2-page PDF: seven pages.
struct TMixedBatch {
  test::TempDir dir;
  std::vector<std::string> files = {dir.File("a.tif"), dir.File("b.jpg"), dir.File("c.bmp"),
                                    dir.File("d.pdf")};
  TMixedBatch() {
    test::AppendTiffPages(files[0],
                          {{ifBlackWhite, tcGroup4}, {ifGray256, tcLZW}, {ifColor16, tcPackbits}},
                          170, 220, 20, 20);
    test::SavePage(*test::PatternPage(ifTrueColor, 120, 80, 50, 25, 7), files[1]);
    test::SavePage(*test::PatternPage(ifColor256, 60, 40, 30, 30, 8), files[2]);
    test::SavePage(*test::PatternPage(ifBlackWhite, 90, 70, 10, 10, 9), dir.File("p1.tif"));
    test::SavePage(*test::PatternPage(ifBlackWhite, 70, 90, 10, 10, 10), dir.File("p2.tif"));
    EXPECT_EQ(test::Cli({"topdf", files[3], dir.File("p1.tif"), dir.File("p2.tif")}).status, 0);
    for (const auto& [file, count] : {std::pair{0, 3}, {1, 1}, {2, 1}, {3, 2}})
      for (int page = 1; page <= count; ++page) Pages.push_back(test::LoadPage(files[file], page));
  }
  std::vector<std::unique_ptr<TDibGraphic>> Pages; // as the registry reads them
};

TEST(SaveBatch, EveryFormatAsPdfInOrderJpegDataUnchanged) {
  TMixedBatch batch;
  const std::string out = batch.dir.File("out.pdf");
  test::TRecordedProgress progress;
  EXPECT_EQ(SaveBatchAs(out, batch.files, &progress).Written, 7);
  EXPECT_EQ(progress.Calls, (std::vector<std::string>{"begin 4", "0", "1", "2", "3", "end"}));
  EXPECT_EQ(test::Run({"qpdf", "--check", out}).status, 0);
  // Group 4 for bilevel pages, the JPEG file's data byte for byte, JPEG else.
  test::TempDir stored, decoded;
  std::vector<std::string> kinds;
  for (const std::string& name : test::PdfImages(out, {"-j", "-ccitt"}, stored))
    kinds.push_back(name.substr(name.rfind('.') + 1));
  EXPECT_EQ(kinds,
            (std::vector<std::string>{"ccitt", "jpg", "jpg", "jpg", "jpg", "ccitt", "ccitt"}));
  EXPECT_EQ(test::ReadFile(test::PdfImages(out, {"-j", "-ccitt"}, stored).at(3)),
            test::ReadFile(batch.files[1]));
  // Each page sized from its resolutions: the TIFF's pages are letter size.
  const std::string text = test::ReadText(out);
  for (const char* part :
       {"/MediaBox [0 0 612 792]", "612 0 0 792 0 0 cm", "/MediaBox [0 0 173 230]"})
    EXPECT_NE(text.find(part), std::string::npos) << part;
  // The largest mean channel difference, decoded by poppler: none for Group
  // 4, rounding for the JPEG file, coding loss for pages coded as JPEG.
  const double tolerance[] = {0, 8, 8, 1, 8, 0, 0};
  const auto images = test::PdfImages(out, {"-tiff"}, decoded);
  ASSERT_EQ(images.size(), 7u);
  for (size_t i = 0; i < images.size(); ++i) {
    int width = 0, height = 0;
    const auto looks = test::TiffLooks(images[i], 0, &width, &height);
    EXPECT_EQ(width, batch.Pages[i]->Width()) << i;
    EXPECT_LE(test::MeanDifference(looks, test::Looks(*batch.Pages[i])), tolerance[i]) << i;
  }
}

TEST(SaveBatch, EveryFormatAsTiffAppendedAfterExistingPages) {
  TMixedBatch batch;
  const std::string out = batch.dir.File("out.TIFF");
  test::AppendTiffPages(out, {{ifBlackWhite, tcGroup4}, {ifBlackWhite, tcGroup4}}, 20, 20, 100,
                        100);
  EXPECT_EQ(SaveBatchAs(out, batch.files).Written, 7);
  EXPECT_EQ(test::Run({"tiffinfo", "-D", out}).err, "");
  EXPECT_EQ(
      test::TiffCompressions(out),
      (std::vector<std::string>{"CCITT Group 4", "CCITT Group 4", "CCITT Group 4", "JPEG",
                                "PackBits", "JPEG", "LZW", "CCITT Group 4", "CCITT Group 4"}));
  for (size_t i = 0; i < batch.Pages.size(); ++i) {
    const auto page = test::LoadPage(out, static_cast<int>(i) + 3);
    const TDibGraphic& source = *batch.Pages[i];
    EXPECT_EQ(page->XDpi() * 1000 + page->YDpi(), source.XDpi() * 1000 + source.YDpi()) << i;
    EXPECT_TRUE(test::SamePixels(*page, source, i == 1 || i == 3 ? 48 : 0)) << i; // JPEG: grey, RGB
  }
}

// The output gets the pages before a failing file, the progress is ended;
// a failure before the first page leaves an existing output as it was.
TEST(SaveBatch, AFailureStopsAtItsFileKeepingTheEarlierPages) {
  TMixedBatch batch;
  const std::string bad = batch.dir.File("bad.tif");
  test::WriteText(bad, "not a TIFF");
  for (const char* name : {"out.pdf", "out.tif"}) {
    SCOPED_TRACE(name);
    const std::string out = batch.dir.File(name);
    test::TRecordedProgress progress;
    EXPECT_NE(test::ErrorOf([&] {
                SaveBatchAs(out, {batch.files[0], batch.files[1], bad, batch.files[3]}, &progress);
              }),
              "(no error)");
    EXPECT_EQ(progress.Calls, (std::vector<std::string>{"begin 4", "0", "1", "2", "end"}));
    EXPECT_EQ(
        test::Run({name[4] == 'p' ? "qpdf" : "tiffinfo", name[4] == 'p' ? "--check" : "-D", out})
            .status,
        0);
    EXPECT_EQ(test::LoadPage(out, 4)->Width(), 120);
    EXPECT_NE(test::ErrorOf([&] { test::LoadPage(out, 5); }), "(no error)");
  }
  const auto bytes = test::ReadFile(batch.dir.File("out.pdf"));
  EXPECT_NE(test::ErrorOf([&] { SaveBatchAs(batch.dir.File("out.pdf"), {bad}); }), "(no error)");
  EXPECT_EQ(test::ReadFile(batch.dir.File("out.pdf")), bytes);
}

} // namespace
