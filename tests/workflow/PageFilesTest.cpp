// Page files the workflow writes: a batch saved as one file, a page written
// back into its file, the batch loop, and the command-line tool's batch
// commands on a full disk (a shell limits file sizes and ignores SIGXFSZ, so
// writes past the limit fail with EFBIG).
#include "workflow/LogSink.h"
#include "workflow/PageOperations.h"
#include "workflow/PageTestSupport.h"
#include "workflow/ProcessAllImages.h"
#include "workflow/ProcessAllImagesReplacer.h"
#include "workflow/SaveBatch.h"
#include "workflow/SavePage.h"
#include "workflow/WorkflowTestSupport.h"

#include "core/WritePoint.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <gmock/gmock.h>
#include <map>
#include <pthread.h>
#include <tuple>
#include <unistd.h>

using namespace test;
using ::testing::AllOf, ::testing::ElementsAre, ::testing::HasSubstr, ::testing::StartsWith;

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
  const auto data = PdfImages(pdf, stored);
  for (const std::string& name : data) kinds += name.substr(name.rfind('.'));
  EXPECT_EQ(kinds, ".ccitt.jpg.jpg.jpg.jpg.ccitt.ccitt");
  EXPECT_EQ(ReadFile(data.at(3)), ReadFile(files[1]));
  // Page sizes from the resolutions: 170 x 220 at 20 dpi is US Letter, the
  // JPEG's 120 x 80 at 50 x 25 dpi 2.4 x 3.2 inches; bilevel pages as
  // Group 4 (K -1).
  const std::string text = ReadText(pdf);
  for (const char* expected : {"/MediaBox [0 0 612 792]", "/MediaBox [0 0 173 230]", "/K -1"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected;

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
  const auto stored = PdfImages(pdf, before);
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
  const auto now = PdfImages(pdf, after);
  ASSERT_EQ(now.size(), 3u);
  for (const size_t other : {0, 2}) EXPECT_EQ(ReadFile(now[other]), ReadFile(stored.at(other)));
  EXPECT_EQ(ReadText(dir.File("3.bak")), "someone else's file");
  EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"3.bak", "3.pdf", "3.tif"}));
}

// A JPEG and a BMP file are written back in their own format: the turned
// page, its new size, the file's own signature.
TEST(SavePageIntoFile, JpegAndBmpFilesKeepTheirFormat) {
  TempDir dir;
  const std::tuple<const char*, const char*, int> files[] = {{"p.jpg", "\xFF\xD8", 48},
                                                            {"p.bmp", "BM", 0}};
  for (const auto& [name, signature, tolerance] : files) {
    SCOPED_TRACE(name);
    const std::string file = dir.File(name);
    SavePage(*PatternPage(ifTrueColor, 60, 40), file);
    auto page = LoadPage(file);
    ASSERT_EQ(RunPageCommand(TPageCommand::Rotate90, *page), 0);
    SavePageIntoFile(file, 1, *page);
    EXPECT_EQ(ReadText(file).substr(0, 2), signature);
    const auto stored = LoadPage(file);
    EXPECT_EQ(std::pair(stored->Width(), stored->Height()), std::pair(40, 60));
    EXPECT_TRUE(SamePixels(*stored, *page, tolerance));
  }
}

// A negative over a two-page TIFF, an empty JPEG and a TIFF that is not one:
// the first page is rewritten and the second kept as it was, each other
// file gets one error line and is left alone.
TEST(ProcessAllImages, FirstPagesRewrittenUnreadableFilesLoggedAndLeftAlone) {
  TempDir dir;
  const std::vector<std::string> files = {dir.File("a.tif"), dir.File("c.jpg"), dir.File("d.tif")};
  AppendTiffPages(files[0], {{ifBlackWhite, tcGroup4}, {ifGray256, tcLZW}}, 120, 80, 200, 200);
  WriteText(files[1], "");
  WriteText(files[2], "not an image");
  const auto first = LoadPage(files[0], 1), second = LoadPage(files[0], 2);
  TLogLines log;
  TRecordedProgress progress;
  const TProcessSummary summary =
      ProcessAllImages(files, PageOperation(TPageCommand::Invert), log, &progress);
  EXPECT_EQ(std::tuple(summary.Files, summary.Stored, summary.Failed), std::tuple(3, 1, 2));
  EXPECT_EQ(progress.Calls, (std::vector<std::string>{"begin 3", "0", "1", "2", "end"}));
  EXPECT_THAT(log.Lines(), ElementsAre(StartsWith("Error processing " + files[1] + " - "),
                                       StartsWith("Error processing " + files[2] + " - ")));
  EXPECT_EQ(ReadText(files[1]) + "|" + ReadText(files[2]), "|not an image");
  EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"a.tif", "c.jpg", "d.tif"}));
  EXPECT_EQ(CountDifferences(Looks(*LoadPage(files[0])), Looks(*first), 254),
            first->Width() * first->Height()); // every pixel turned
  EXPECT_TRUE(SamePixels(*LoadPage(files[0], 2), *second));
}

// Fails write point `failing` (from 1) among those passed on the thread
// named `thread`, with EIO.
class TThreadFault {
public:
  TThreadFault(const char* thread, int failing) {
    Thread = thread;
    Failing = failing;
    Passed = 0;
    FPrevious = SetWritePointObserver([]() -> int {
      char name[16] = {};
      ::pthread_getname_np(::pthread_self(), name, sizeof name);
      if (Thread != name) return 0;
      return ++Passed == Failing ? EIO : 0;
    });
  }
  ~TThreadFault() { SetWritePointObserver(FPrevious); }

private:
  static inline std::string Thread;
  static inline std::atomic<int> Failing{0}, Passed{0};
  TWritePointObserver FPrevious;
};

// Writing the first file back fails while the loop reads the next files
// (one unreadable): making its new file, flushing it, linking it, renaming
// it. The first file is left byte for byte as it was and its line comes
// before the second file's; the third file is stored; no temporary file is
// left.
TEST(ProcessAllImages, FailedWriteBackWhileTheNextFilesAreReadLoggedInFileOrder) {
  const struct {
    const char* Thread;
    int Point;
  } cases[] = {{TBatchReplacer::kMakerName, 1},
               {TBatchReplacer::kPlacerName, 1},
               {TBatchReplacer::kPlacerName, 2},
               {TBatchReplacer::kPlacerName, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Thread) + " " + std::to_string(c.Point));
    TempDir dir;
    const std::vector<std::string> files = {dir.File("a.tif"), dir.File("b.tif"),
                                            dir.File("c.tif")};
    SavePage(*PatternPage(ifBlackWhite, 640, 480, 200, 200, 1), files[0]);
    WriteText(files[1], "not an image");
    SavePage(*PatternPage(ifBlackWhite, 640, 480, 200, 200, 3), files[2]);
    const std::vector<uint8_t> before = ReadFile(files[0]);
    const auto third = LoadPage(files[2]);
    TLogLines log;
    std::vector<std::string> stored;
    TProcessSummary summary;
    {
      const TThreadFault fault(c.Thread, c.Point);
      summary = ProcessAllImages(
          files, PageOperation(TPageCommand::Invert), log, nullptr,
          [&](const std::string& file, const TDibGraphic&) { stored.push_back(file); });
    }
    EXPECT_EQ(std::tuple(summary.Files, summary.Stored, summary.Failed), std::tuple(3, 1, 2));
    EXPECT_THAT(log.Lines(), ElementsAre(AllOf(StartsWith("Error processing " + files[0] + " - "),
                                               HasSubstr(std::strerror(EIO))),
                                         StartsWith("Error processing " + files[1] + " - ")));
    EXPECT_EQ(stored, std::vector<std::string>{files[2]});
    EXPECT_EQ(ReadFile(files[0]), before);
    EXPECT_EQ(CountDifferences(Looks(*LoadPage(files[2])), Looks(*third), 254),
              third->Width() * third->Height());
    EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"a.tif", "b.tif", "c.tif"}));
  }
}

// A later name of a file still being written back (a symbolic link to it)
// is read once the file holds its new content: the negative of the
// negative, as when the files are written one after another.
TEST(ProcessAllImages, ALinkToAnEarlierFileReadsItsNewContent) {
  TempDir dir;
  const std::vector<std::string> files = {dir.File("a.tif"), dir.File("b.tif")};
  SavePage(*PatternPage(ifBlackWhite, 640, 480, 200, 200, 1), files[0]);
  ASSERT_EQ(::symlink("a.tif", files[1].c_str()), 0);
  const auto before = LoadPage(files[0]);
  TLogLines log;
  const TProcessSummary summary = ProcessAllImages(files, PageOperation(TPageCommand::Invert), log);
  EXPECT_EQ(summary.Stored, 2);
  EXPECT_TRUE(SamePixels(*LoadPage(files[0]), *before));
  EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::string>{"a.tif", "b.tif"}));
}

std::map<std::string, std::vector<uint8_t>> Contents(const TempDir& dir) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const std::string& name : FolderNames(dir.Path())) files[name] = ReadFile(dir.File(name));
  return files;
}

// A batch of two bilevel A4 pages at 300 dpi and a grey one, an output
// folder holding a small TIFF; a rewrite (batch files), a new PDF and an
// existing TIFF without room fail, each file left byte for byte as
// it was and nothing else left; with room the save works.
TEST(WorkflowCli, WithoutRoomEveryFileStaysAsItWas) {
  TempDir batch, out;
  for (const char* name : {"a.tif", "b.tif", "c.tif"})
    SavePage(*PatternPage(name[0] == 'c' ? ifGray256 : ifBlackWhite, 2480, 3508, 300, 300, name[0]),
             batch.File(name));
  SavePage(*PatternPage(ifBlackWhite, 200, 100), out.File("old.tif"));
  const auto batchBefore = Contents(batch), outBefore = Contents(out);
  const size_t page = ReadFile(batch.File("a.tif")).size();
  const struct {
    const char* Command;
    std::string Last; // the operation or the output
    size_t Room;
  } cases[] = {{"process", "negative", 4096},
               {"save-batch", out.File("new.pdf"), page * 3 / 2},
               {"save-batch", out.File("old.tif"), outBefore.at("old.tif").size() + 1024}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Last);
    const RunResult run = test::Run({"/bin/sh", "-c", "trap '' XFSZ; ulimit -f $0; exec \"$@\"",
                                     std::to_string(c.Room / 512), BinPath("tessivane-cli"),
                                     c.Command, batch.Path(), c.Last});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(Contents(batch), batchBefore);
    EXPECT_EQ(Contents(out), outBefore);
  }
  const RunResult done =
      test::Run({BinPath("tessivane-cli"), "save-batch", batch.Path(), out.File("new.pdf")});
  EXPECT_EQ(done.out, "Created file " + out.File("new.pdf") + " with 3 images.\n");
}

} // namespace
