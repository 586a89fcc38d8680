// Scanning from the window through the real engine, manager and virtual
// scanner: where the pages go, what the strip, the viewer and the log show,
// and what stops a scan before the scanner opens.
#include "ProfileTestSupport.h"

#include "app/LogForm.h"
#include "app/PageView.h"
#include "app/ScanCommands.h"
#include "app/Thumbnail.h"
#include "app/ThumbnailStrip.h"
#include "graphics/GraphicDocument.h"
#include "raster/DIB.h"
#include "support/WritePointFaults.h"
#include "tessivane/virtualscanner.h"
#include "twain/AcqTWAIN.h"
#include "viewer/ImageScrollBox.h"
#include "workflow/PageSaver.h"

#include <QComboBox>

#include <filesystem>
#include <optional>
#include <sstream>

using namespace apptest;

namespace {

class WindowScan : public ProfileTest {
protected:
  void TearDown() override {
    ::unsetenv(VIRTUAL_SHEETS_VARIABLE);
    ProfileTest::TearDown();
  }
  QImage Shown() const {
    return FForm->Viewer().Graphic().ToQImage().convertToFormat(QImage::Format_RGB32);
  }
};

} // namespace

TEST_F(WindowScan, WherePagesGoAndWhatTheWindowShows) {
  const struct {
    const char* Command;
    int Sheets;
    const char* Target;            // Scan To File's file
    std::set<std::string> Written; // the batch folder's files and thumbnails after
    const char* LogLine;           // an unwritable batch folder's one line (%B: the folder), last
    // The combo's "Small" profile, or item 0 with no profile lines: the
    // default source with its own window, whose default page is A4 at 300 dpi.
    bool Small = true;
  } cases[] = {
      {"ActionScanToBatch", 3, nullptr, {"00000000.tif", "00000001.tif", "00000002.tif"}, nullptr},
      {"ActionScanToFile", 2, "scan.pdf", {}, nullptr},
      {"ActionScanToFile", 2, "scan.tiff", {}, nullptr},
      {"ActionScanToScreen", 1, nullptr, {}, nullptr},
      {"ActionScanToScreen", 1, nullptr, {}, nullptr, false},
      {"ActionScanToBatch", 2, nullptr, {}, "Unable to save page 1 to %B/00000000.tif"},
  };
  // Small, fast pages: A6, black and white, 100 dots per inch.
  WriteProfile(FAppFolder.File("Small.tsp"),
               {"", "4386,I,13", "257,I,0", "4376,F,100", "4377,F,100"});
  for (const auto& row : cases) {
    SCOPED_TRACE(std::string(row.Command) + (row.Target ? row.Target : "") +
                 (row.LogLine ? " read-only" : "") + (row.Small ? "" : " item 0"));
    test::TempDir batch, out;
    ::setenv(VIRTUAL_SHEETS_VARIABLE, std::to_string(row.Sheets).c_str(), 1);
    FForm.reset();
    Start(); // a fresh run
    // Its first tick would open the stored batch folder again, emptying the
    // viewer, whenever a slow scan outlasts it.
    FForm->StartTimer().stop();
    const int index = row.Small ? FForm->ProfileCombo().findText("Small") : 0;
    FForm->ProfileCombo().setCurrentIndex(index);
    FForm->ComboBoxScannerSettingsClick(index);
    FForm->BatchCommands().OpenBatchFolder(QString::fromStdString(batch.Path()));
    std::optional<TReadOnlyFolder> readOnly;
    if (row.LogLine && !readOnly.emplace(batch.Path()).Made())
      GTEST_SKIP() << "this file system lets the test write everywhere";
    const std::string target = row.Target ? out.File(row.Target) : "";
    if (row.Target) FPrompt.AnswerSave(target, 2);
    // A changed page of an earlier Scan To File: the prompt the scan opens
    // with stores it there, not in this scan's target.
    const std::string earlier = out.File("earlier.tif");
    WritePage(earlier, 300, 400);
    FForm->Viewer().Graphic().Assign(*TGraphicDocument(earlier).LoadPage(1));
    FForm->PageView().SetScanFileName(QString::fromStdString(earlier));
    ASSERT_TRUE(FForm->ExecuteAction("ActionFlipVertical"));
    const QImage earlierPage = Shown();
    FPrompt.Answer(TAnswer::Yes);
    ASSERT_TRUE(FForm->ExecuteAction(row.Command));
    const TAcqTWAIN& twain = FForm->ScanCommands().AcqTWAIN();
    const TPageSaver& saver = FForm->ScanCommands().PageSaver();
    ASSERT_TRUE(WaitFor([&] { return twain.State() == 1 && !twain.DSMOpen() && !saver.InFlight(); },
                        60000));
    EXPECT_EQ(PageImage(earlier), earlierPage);
    EXPECT_EQ(test::FolderEntries(batch.Path()), row.Written);
    EXPECT_EQ(FForm->Strip().Count(), static_cast<int>(row.Written.size()));
    // Each thumbnail made while scanning is the picture its file gives.
    for (const TThumbnail* thumbnail : FForm->Strip().Thumbnails())
      EXPECT_EQ(thumbnail->Picture(), TThumbnailStrip::ReadThumbnailPicture(
                                          thumbnail->Path().toStdString(), FForm->ThumbSize()));
    // The viewer holds the page last finished, of the size the profile in the combo sets.
    EXPECT_EQ(Shown().width(), row.Small ? 413 : 2480);
    EXPECT_EQ(twain.ShowUI, !row.Small);
    const int page = row.Target ? row.Sheets : 1;
    // A file's pages finish in order; the batch's last is the thumbnail added last.
    if (row.Target) {
      // The extension chose the content, which the peer tools accept.
      const bool pdf = std::string_view(row.Target).ends_with(".pdf");
      EXPECT_EQ(FileText(target).substr(0, 4), pdf ? "%PDF" : "II*" + std::string(1, '\0'));
      EXPECT_EQ(test::Run(pdf ? std::vector<std::string>{"qpdf", "--check", target}
                              : std::vector<std::string>{"tiffinfo", target})
                    .status,
                0);
      EXPECT_EQ(Shown(), PageImage(target, page));
    } else if (!row.Written.empty()) {
      EXPECT_EQ(Shown(), PageImage(FForm->Strip().Thumbnails().back()->Path().toStdString()));
    }
    // Yes stores a changed page as the last page of the Scan To File
    // target; after the other scans the save dialog asks where.
    ASSERT_TRUE(FForm->ExecuteAction("ActionFlipVertical"));
    const QImage flipped = Shown();
    const std::string stored = row.Target ? target : out.File("page.tif");
    FPrompt.Answer(TAnswer::Yes);
    if (!row.Target) FPrompt.AnswerSave(stored);
    FForm->PageView().AskSaveChanges();
    EXPECT_EQ(TGraphicDocument(stored).PageCount(), page);
    EXPECT_EQ(PageImage(stored, page), flipped);
    // The one line expected, or none at all (every line contains "").
    const QString line = QString(row.LogLine).replace("%B", QString::fromStdString(batch.Path()));
    EXPECT_EQ(FForm->LogForm().Lines().filter(line).size(), row.LogLine ? 1 : 0);
  }
}

TEST_F(WindowScan, ARefusedTargetOrAMissingBatchFolderStopsBeforeTheScannerOpens) {
  StartOn(FBatch.Path());
  const TAcqTWAIN& twain = FForm->ScanCommands().AcqTWAIN();
  FPrompt.AnswerSave(FBatch.File("scan.jpg"));
  FPrompt.Answer(TAnswer::Ok);
  ASSERT_TRUE(FForm->ExecuteAction("ActionScanToFile"));
  EXPECT_EQ(FPrompt.MessageTexts(),
            std::vector<std::string>{"Unable to scan to " + FBatch.File("scan.jpg") +
                                     " - only .tif, .tiff and .pdf files can be written"});
  EXPECT_TRUE(twain.State() == 1 && !twain.DSMOpen());
  // Scan To Batch once its folder went away (the command itself is disabled then).
  std::filesystem::remove(FBatch.Path());
  EXPECT_EQ(test::ErrorOf([&] { FForm->ScanCommands().ActionScanToBatchExecute(); }),
            "Batch folder not selected !");
}

// A bilevel page delivered with white as pixel value 0 (the scanner's
// vanilla pixel flavour, ICAP_PIXELFLAVOR 4383 = TWPF_VANILLA 1) is stored
// with white 1: the same TIFF page, and the same look, as the page
// delivered white 1.
TEST_F(WindowScan, AWhiteIsZeroPageIsStoredWhiteIsOneAndLooksTheSame) {
  ::setenv(VIRTUAL_SHEETS_VARIABLE, "1", 1);
  std::vector<QImage> stored;
  std::vector<std::string> descriptions;
  std::vector<int> deliveredWhite;
  for (const char* flavor : {"0", "1"}) {
    SCOPED_TRACE(flavor);
    test::TempDir batch;
    WriteProfile(FAppFolder.File("Flavor.tsp"), {"", "4386,I,13", "257,I,0", "4376,F,100",
                                                 "4377,F,100", std::string("4383,I,") + flavor});
    FForm.reset();
    StartOn(batch.Path());
    const int index = FForm->ProfileCombo().findText("Flavor");
    FForm->ProfileCombo().setCurrentIndex(index);
    FForm->ComboBoxScannerSettingsClick(index);
    TAcqTWAIN& twain = FForm->ScanCommands().AcqTWAIN();
    twain.OnImageReady = [&, save = twain.OnImageReady](TTwnObject* sender, void* bits,
                                                        TTwnBitmapInfo* info, TW_HANDLE page,
                                                        const std::string& path) {
      TDIB view;
      view.AttachHandle(static_cast<TSV_HANDLE>(page));
      view.SetOwnsHandle(false);
      deliveredWhite.push_back(view.WhiteIndex());
      save(sender, bits, info, page, path);
    };
    ASSERT_TRUE(FForm->ExecuteAction("ActionScanToBatch"));
    ASSERT_TRUE(WaitFor([&] {
      return twain.State() == 1 && !twain.DSMOpen() &&
             !FForm->ScanCommands().PageSaver().InFlight();
    }));
    EXPECT_EQ(FForm->LogForm().Lines(), QStringList{});
    const std::string file = batch.File("00000000.tif");
    // The file as libtiff describes it, its date and path aside: photometric
    // interpretation, compression, strip sizes.
    std::string described;
    std::istringstream lines(test::Run({"tiffinfo", "-s", file}).out);
    for (std::string line; std::getline(lines, line);)
      if (line.find("DateTime") == std::string::npos && line.find(file) == std::string::npos)
        described += line + "\n";
    descriptions.push_back(described);
    EXPECT_EQ(descriptions.back(), descriptions.front());
    stored.push_back(PageImage(file));
    EXPECT_EQ(stored.back(), stored.front());
    EXPECT_EQ(stored.back(), Shown());
    // The page shown is the page normalised for storing: white is 1.
    EXPECT_EQ(FForm->Viewer().Graphic().PaletteColour(1), 0xFFFFFFu);
    EXPECT_EQ(FForm->Viewer().Graphic().PaletteColour(0), 0u);
  }
  EXPECT_EQ(deliveredWhite, (std::vector<int>{1, 0}));
}
