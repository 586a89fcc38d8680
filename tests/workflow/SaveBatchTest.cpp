#include "workflow/SaveBatch.h"
#include "core/FileStream.h"
#include "graphics/TiffGraphic.h"
#include "raster/DIB.h"
#include "workflow/BatchProgress.h"
#include "workflow/PageTestSupport.h"
#include "workflow/WorkflowTestSupport.h"

#include <cstdio>
#include <gtest/gtest.h>

namespace {

class TRecordedProgress : public TBatchProgress {
public:
  void Begin(int maximum) override { Calls.push_back("begin " + std::to_string(maximum)); }
  void Position(int position) override { Calls.push_back(std::to_string(position)); }
  void End() override { Calls.push_back("end"); }
  std::vector<std::string> Calls;
};

int Pages(const std::string& pdf) {
  const std::string info = test::Run({"pdfinfo", pdf}).out;
  const auto at = info.find("Pages:");
  return at == std::string::npos ? -1 : std::stoi(info.substr(at + 6));
}

TEST(SaveBatch, TheExtensionChoosesTheFormatAndOthersAreRefusedFirst) {
  const std::pair<const char*, TBatchOutputKind> chosen[] = {
      {"a.tif", TBatchOutputKind::Tiff},  {"a.TIF", TBatchOutputKind::Tiff},
      {"a.tiff", TBatchOutputKind::Tiff}, {"/x/a.TiFf", TBatchOutputKind::Tiff},
      {"a.pdf", TBatchOutputKind::Pdf},   {"a.PDF", TBatchOutputKind::Pdf}};
  for (const auto& [name, kind] : chosen) EXPECT_EQ(BatchOutputKind(name), kind) << name;

  test::TempDir dir;
  test::SavePage(*test::PatternPage(ifBlackWhite, 30, 20, 100, 100), dir.File("a.tif"));
  for (const char* name : {"out.png", "out", "out.tif.txt", "out.pd"}) {
    EXPECT_EQ(test::ErrorOf([&] { SaveBatchAs(dir.File(name), {dir.File("a.tif")}); }),
              "Cannot save the batch as " + dir.File(name) +
                  ": the name must end in .tif, .tiff or .pdf");
  }
  EXPECT_EQ(test::ErrorOf([&] { SaveBatchAs(dir.File("a.tif"), {dir.File("a.tif")}); }),
            "Cannot save the batch into " + dir.File("a.tif") +
                ": the file is one of the batch's files");
  EXPECT_EQ(test::ErrorOf([&] { SaveBatchAs(dir.File("o.pdf"), {}); }),
            "The batch holds no files to save");
  EXPECT_EQ(test::FolderNames(dir.Path()), std::vector<std::string>{"a.tif"});
  EXPECT_EQ(CreatedFileText("/d/o.pdf", 4), "Created file /d/o.pdf with 4 images.");
}

// A batch of every format: a 3-page TIFF, a JPEG, a BMP and a 2-page PDF.
struct TMixedBatch {
  test::TempDir dir;
  std::vector<std::string> files;
  TMixedBatch() {
    const std::string tiff = dir.File("a.tif");
    const TImageFormat formats[] = {ifBlackWhite, ifGray256, ifColor16};
    unsigned seed = 1;
    for (const TImageFormat format : formats) {
      TTiffGraphic page;
      page.Assign(*test::PatternPage(format, 170, 220, 20, 20, seed++));
      if (format == ifGray256) page.SetCompression(tcLZW);
      page.AppendToFile(tiff);
    }
    test::SavePage(*test::PatternPage(ifTrueColor, 120, 80, 50, 25, 7), dir.File("b.jpg"));
    test::SavePage(*test::PatternPage(ifColor256, 60, 40, 30, 30, 8), dir.File("c.bmp"));
    test::SavePage(*test::PatternPage(ifBlackWhite, 90, 70, 10, 10, 9), dir.File("p1.tif"));
    test::SavePage(*test::PatternPage(ifBlackWhite, 70, 90, 10, 10, 10), dir.File("p2.tif"));
    EXPECT_EQ(
        test::Cli({"topdf", dir.File("d.pdf"), dir.File("p1.tif"), dir.File("p2.tif")}).status, 0);
    files = {tiff, dir.File("b.jpg"), dir.File("c.bmp"), dir.File("d.pdf")};
  }
  // The seven pages in order, as the registry reads them.
  std::vector<std::unique_ptr<TDibGraphic>> Sources() const {
    std::vector<std::unique_ptr<TDibGraphic>> pages;
    for (int i = 1; i <= 3; ++i) pages.push_back(test::LoadPage(files[0], i));
    pages.push_back(test::LoadPage(files[1]));
    pages.push_back(test::LoadPage(files[2]));
    for (int i = 1; i <= 2; ++i) pages.push_back(test::LoadPage(files[3], i));
    return pages;
  }
};

TEST(SaveBatch, EveryFormatAsPdfEveryPageInOrderJpegDataUnchanged) {
  TMixedBatch batch;
  const std::string out = batch.dir.File("out.pdf");
  TRecordedProgress progress;
  const TBatchSaveResult result = SaveBatchAs(out, batch.files, &progress);
  EXPECT_EQ(result.FileName, out);
  EXPECT_EQ(result.Written, 7);
  EXPECT_EQ(progress.Calls, (std::vector<std::string>{"begin 4", "0", "1", "2", "3", "end"}));
  EXPECT_EQ(test::Run({"qpdf", "--check", out}).status, 0);
  EXPECT_EQ(Pages(out), 7);
  const auto rows = test::PdfImageRows(out);
  ASSERT_EQ(rows.size(), 7u);
  const char* const expected[] = {
      "  170   220  gray    1   1  ccitt", "  170   220  rgb     3   8  jpeg",
      "  170   220  rgb     3   8  jpeg",  "  120    80  rgb     3   8  jpeg",
      "   60    40  rgb     3   8  jpeg",  "   90    70  gray    1   1  ccitt",
      "   70    90  gray    1   1  ccitt"};
  for (size_t i = 0; i < 7; ++i) EXPECT_NE(rows[i].find(expected[i]), std::string::npos) << rows[i];
  // The JPEG file's data is in the PDF byte for byte.
  EXPECT_EQ(test::PdfImageData(out).at(3), test::ReadFile(batch.files[1]));

  // Pixels, decoded by poppler: the bilevel pages exactly, the JPEG-coded
  // ones closely.
  test::TempDir pixels;
  ASSERT_EQ(test::Run({"pdfimages", "-png", out, pixels.File("p")}).status, 0);
  const auto sources = batch.Sources();
  // The largest mean difference a channel may have: none for Group 4,
  // rounding for the JPEG file decoded by another decoder, coding loss for
  // pages coded as JPEG.
  const double tolerance[] = {0, 8, 8, 1, 8, 0, 0};
  for (size_t i = 0; i < sources.size(); ++i) {
    SCOPED_TRACE(i);
    char name[32];
    std::snprintf(name, sizeof name, "p-%03zu.png", i);
    TFileStream png(pixels.File(name), TFileStream::fmOpenRead);
    TDIB decoded;
    decoded.LoadPngFromStream(png);
    TDibGraphic page;
    page.ImportDib(decoded, TDibGraphic::FormatForBits(decoded.BitCount(), {}), 0, 0);
    EXPECT_LE(test::MeanDifference(page, *sources[i]), tolerance[i]);
  }
  // The page sizes follow each page's own resolution: 170 x 220 at 20 dpi
  // is 612 x 792 points; 120 x 80 at 50 x 25 dpi is 173 x 230 points.
  const std::string sizes = test::Run({"pdfinfo", "-f", "1", "-l", "7", out}).out;
  EXPECT_NE(sizes.find("Page    1 size:  612 x 792 pts"), std::string::npos) << sizes;
  EXPECT_NE(sizes.find("Page    4 size:  173 x 230 pts"), std::string::npos) << sizes;
}

TEST(SaveBatch, MediaBoxAndContentOfA200DpiPage) {
  test::TempDir dir;
  test::SavePage(*test::PatternPage(ifBlackWhite, 1700, 2200, 200, 200), dir.File("a.tif"));
  const std::string out = dir.File("o.pdf");
  SaveBatchAs(out, {dir.File("a.tif")});
  const std::string text = test::ReadText(out);
  EXPECT_NE(text.find("/MediaBox [0 0 612 792]"), std::string::npos);
  EXPECT_NE(text.find("1 0 0 1 0 0 cm"), std::string::npos);
  EXPECT_NE(text.find("612 0 0 792 0 0 cm"), std::string::npos);
  EXPECT_NE(text.find("/K -1"), std::string::npos);
}

TEST(SaveBatch, EveryFormatAsTiffAppendedAfterExistingPages) {
  TMixedBatch batch;
  const std::string out = batch.dir.File("out.TIFF");
  // The output already holds two pages.
  test::SavePage(*test::PatternPage(ifBlackWhite, 20, 20, 100, 100), batch.dir.File("x.tif"));
  ASSERT_EQ(test::Cli({"append", batch.dir.File("x.tif"), out}).status, 0);
  ASSERT_EQ(test::Cli({"append", batch.dir.File("x.tif"), out}).status, 0);
  const TBatchSaveResult result = SaveBatchAs(out, batch.files);
  EXPECT_EQ(result.Written, 7);
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
    if (i == 1 || i == 3)
      EXPECT_TRUE(test::ClosePixels(*page, *sources[i], 48));
    else
      EXPECT_TRUE(test::SamePixels(*page, *sources[i]));
  }
}

TEST(SaveBatch, AFailureStopsAtItsFileKeepingTheEarlierPages) {
  TMixedBatch batch;
  test::WriteText(batch.dir.File("bad.tif"), "not a TIFF");
  const std::vector<std::string> files = {batch.files[0], batch.files[1], batch.dir.File("bad.tif"),
                                          batch.files[3]};
  for (const char* name : {"out.pdf", "out.tif"}) {
    SCOPED_TRACE(name);
    const std::string out = batch.dir.File(name);
    TRecordedProgress progress;
    EXPECT_NE(test::ErrorOf([&] { SaveBatchAs(out, files, &progress); }), "(no error)");
    EXPECT_EQ(progress.Calls, (std::vector<std::string>{"begin 4", "0", "1", "2", "end"}));
    if (std::string(name) == "out.pdf") {
      EXPECT_EQ(test::Run({"qpdf", "--check", out}).status, 0);
      EXPECT_EQ(Pages(out), 4);
    } else {
      EXPECT_EQ(test::TiffCompressions(out).size(), 4u);
    }
  }
  // A failure before the first page leaves an existing PDF output as it was.
  const std::string out = batch.dir.File("out.pdf");
  const auto bytes = test::ReadFile(out);
  EXPECT_NE(test::ErrorOf([&] { SaveBatchAs(out, {batch.dir.File("bad.tif")}); }), "(no error)");
  EXPECT_EQ(test::ReadFile(out), bytes);
}

} // namespace
