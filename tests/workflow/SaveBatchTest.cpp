#include "workflow/SaveBatch.h"
#include "core/FileStream.h"
#include "raster/DIB.h"
#include "workflow/PageTestSupport.h"
#include "workflow/WorkflowTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(SaveBatch, TheExtensionChoosesTheFormatAndOthersAreRefusedFirst) {
  for (const char* name : {"a.tif", "a.TIF", "a.tiff", "/x/a.TiFf"})
    EXPECT_EQ(BatchOutputKind(name), TBatchOutputKind::Tiff) << name;
  for (const char* name : {"a.pdf", "a.PDF"})
    EXPECT_EQ(BatchOutputKind(name), TBatchOutputKind::Pdf) << name;
  test::TempDir dir;
  test::SavePage(*test::PatternPage(ifBlackWhite, 30, 20, 100, 100), dir.File("a.tif"));
  const auto save = [&](const std::string& name, const std::vector<std::string>& files) {
    return test::ErrorOf([&] { SaveBatchAs(dir.File(name), files); });
  };
  for (const char* name : {"out.png", "out", "out.tif.txt", "out.pd"})
    EXPECT_EQ(save(name, {dir.File("a.tif")}), "Cannot save the batch as " + dir.File(name) +
                                                   ": the name must end in .tif, .tiff or .pdf");
  EXPECT_EQ(save("a.tif", {dir.File("a.tif")}), "Cannot save the batch into " + dir.File("a.tif") +
                                                    ": the file is one of the batch's files");
  EXPECT_EQ(save("o.pdf", {}), "The batch holds no files to save");
  EXPECT_EQ(test::FolderNames(dir.Path()), std::vector<std::string>{"a.tif"});
}

// A batch of every format: a 3-page TIFF, a JPEG, a BMP and a 2-page PDF;
// the TIFF's pages are 170 x 220 at 20 dpi, the JPEG is 50 x 25 dpi.
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
  }
  // The seven pages in order, as the registry reads them.
  std::vector<std::unique_ptr<TDibGraphic>> Sources() const {
    std::vector<std::unique_ptr<TDibGraphic>> pages;
    for (const auto& [file, count] : {std::pair{0, 3}, {1, 1}, {2, 1}, {3, 2}})
      for (int page = 1; page <= count; ++page) pages.push_back(test::LoadPage(files[file], page));
    return pages;
  }
};

TEST(SaveBatch, EveryFormatAsPdfEveryPageInOrderJpegDataUnchanged) {
  TMixedBatch batch;
  const std::string out = batch.dir.File("out.pdf");
  test::TRecordedProgress progress;
  const TBatchSaveResult result = SaveBatchAs(out, batch.files, &progress);
  EXPECT_EQ(result.FileName, out);
  EXPECT_EQ(result.Written, 7);
  EXPECT_EQ(progress.Calls, (std::vector<std::string>{"begin 4", "0", "1", "2", "3", "end"}));
  EXPECT_EQ(test::Run({"qpdf", "--check", out}).status, 0);
  const auto rows = test::PdfImageRows(out);
  const char* const expected[] = {
      "  170   220  gray    1   1  ccitt", "  170   220  rgb     3   8  jpeg",
      "  170   220  rgb     3   8  jpeg",  "  120    80  rgb     3   8  jpeg",
      "   60    40  rgb     3   8  jpeg",  "   90    70  gray    1   1  ccitt",
      "   70    90  gray    1   1  ccitt"};
  ASSERT_EQ(rows.size(), std::size(expected));
  for (size_t i = 0; i < rows.size(); ++i) { // one image a page, in order
    EXPECT_EQ(std::stoul(rows[i]), i + 1) << rows[i];
    EXPECT_NE(rows[i].find(expected[i]), std::string::npos) << rows[i];
  }
  // The JPEG file's data is in the PDF byte for byte.
  EXPECT_EQ(test::PdfImageData(out).at(3), test::ReadFile(batch.files[1]));
  // Each page is sized from its own resolutions and filled by its image.
  const std::string text = test::ReadText(out);
  for (const char* part :
       {"/MediaBox [0 0 612 792]", "612 0 0 792 0 0 cm", "/K -1", "/MediaBox [0 0 173 230]"})
    EXPECT_NE(text.find(part), std::string::npos) << part;

  // Pixels, decoded by poppler: the largest mean difference of a channel is
  // none for Group 4, rounding for the JPEG file decoded by another
  // decoder, coding loss for pages coded as JPEG.
  test::TempDir pixels;
  ASSERT_EQ(test::Run({"pdfimages", "-png", out, pixels.File("p")}).status, 0);
  const auto sources = batch.Sources();
  const double tolerance[] = {0, 8, 8, 1, 8, 0, 0};
  for (size_t i = 0; i < sources.size(); ++i) {
    SCOPED_TRACE(i);
    TFileStream png(pixels.File("p-00" + std::to_string(i) + ".png"), TFileStream::fmOpenRead);
    TDIB decoded;
    decoded.LoadPngFromStream(png);
    TDibGraphic page;
    page.ImportDib(decoded, TDibGraphic::FormatForBits(decoded.BitCount(), {}), 0, 0);
    EXPECT_LE(test::MeanDifference(page, *sources[i]), tolerance[i]);
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
  const auto sources = batch.Sources();
  for (size_t i = 0; i < sources.size(); ++i) {
    SCOPED_TRACE(i);
    const auto page = test::LoadPage(out, static_cast<int>(i) + 3);
    EXPECT_EQ(page->XDpi(), sources[i]->XDpi());
    EXPECT_EQ(page->YDpi(), sources[i]->YDpi());
    // Grey and true colour pages are coded as JPEG.
    EXPECT_TRUE(test::SamePixels(*page, *sources[i], i == 1 || i == 3 ? 48 : 0));
  }
}

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
    EXPECT_EQ(test::Run({"qpdf", "--check", out}).status == 0, std::string(name) == "out.pdf");
    EXPECT_EQ(test::Run({"tiffinfo", "-D", out}).status == 0, std::string(name) == "out.tif");
    EXPECT_EQ(test::LoadPage(out, 4)->Width(), 120);
    EXPECT_NE(test::ErrorOf([&] { test::LoadPage(out, 5); }), "(no error)");
  }
  // A failure before the first page leaves an existing output as it was.
  const auto bytes = test::ReadFile(batch.dir.File("out.pdf"));
  EXPECT_NE(test::ErrorOf([&] { SaveBatchAs(batch.dir.File("out.pdf"), {bad}); }), "(no error)");
  EXPECT_EQ(test::ReadFile(batch.dir.File("out.pdf")), bytes);
}

} // namespace
