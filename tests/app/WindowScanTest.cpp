// Scanning from the window through the real engine, manager and virtual
// scanner: where the pages go, what the strip, the viewer and the log show.
#include "ProfileTestSupport.h"

#include "app/LogForm.h"
#include "app/PageView.h"
#include "app/ScanCommands.h"
#include "app/Thumbnail.h"
#include "app/ThumbnailStrip.h"
#include "graphics/GraphicDocument.h"
#include "support/WritePointFaults.h"
#include "tessivane/virtualscanner.h"
#include "twain/AcqTWAIN.h"
#include "viewer/ImageScrollBox.h"
#include "workflow/PageSaver.h"

#include <QComboBox>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sys/mount.h>

using namespace apptest;

namespace {

class WindowScan : public ProfileTest {
protected:
  void TearDown() override {
    ::unsetenv(VIRTUAL_CONFIG_VARIABLE);
    ProfileTest::TearDown();
  }
  void Configure(const std::string& lines) {
    std::ofstream(FConfig.File("scanner.conf")) << lines << "\n";
    ::setenv(VIRTUAL_CONFIG_VARIABLE, FConfig.File("scanner.conf").c_str(), 1);
  }
  // A fresh window on batch with the small pages' profile (A6, black and
  // white, 100 dots per inch) chosen, or combo item 0.
  void StartSmall(const std::string& batch, bool small = true) {
    WriteProfile(FAppFolder.File("Small.tsp"),
                 {"", "4386,I,13", "257,I,0", "4376,F,100", "4377,F,100"});
    FForm.reset();
    StartOn(batch);
    const int index = small ? FForm->ProfileCombo().findText("Small") : 0;
    FForm->ProfileCombo().setCurrentIndex(index);
    FForm->ComboBoxScannerSettingsClick(index);
  }
  // Scans to Batch, File or Screen until the scanner is closed and every
  // page shown. Once the log has a line, a hung call is released, and the
  // calls after it may take their time.
  bool Scan(const std::string& to = "Batch") {
    TAcqTWAIN& twain = FForm->ScanCommands().AcqTWAIN();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (FForm->LogForm().Lines().isEmpty() || test::FileExists(FRelease)) return;
      test::WriteFile(FRelease, {});
      twain.SetTimeout(60000);
    });
    poll.start(10);
    if (!FForm->ExecuteAction(QString::fromStdString("ActionScanTo" + to))) return false;
    const TPageSaver& saver = FForm->ScanCommands().PageSaver();
    return WaitFor([&] { return twain.State() == 1 && !twain.DSMOpen() && !saver.InFlight(); },
                   90000);
  }
  QImage Shown() const {
    return FForm->Viewer().Graphic().ToQImage().convertToFormat(QImage::Format_RGB32);
  }
  // Every thumbnail names a file of the batch, and every file has one; its
  // picture, made while scanning, is the one the file gives.
  void ExpectThumbnailsOnFiles(const std::string& batch) {
    std::set<std::string> named;
    for (const TThumbnail* thumbnail : FForm->Strip().Thumbnails()) {
      named.insert(std::filesystem::path(thumbnail->Path().toStdString()).filename());
      EXPECT_EQ(thumbnail->Picture(), TThumbnailStrip::ReadThumbnailPicture(
                                          thumbnail->Path().toStdString(), FForm->ThumbSize()));
    }
    EXPECT_EQ(named, test::FolderEntries(batch));
  }
  test::TempDir FConfig;
  const std::string FRelease = FConfig.File("release");
};

} // namespace

// Where the pages go and what the window shows; jammed or cancelled pages, an offline report
// and a hung call end the scan with the log saying so; each time the next scan works.
TEST_F(WindowScan, WherePagesGoWhatTheWindowShowsAndTheScannerFaultsItLogs) {
  const QString noImage = "The scanner delivered no image for a page";
  const QString jam =
      "Scanner error: DG 2, DAT 260, MSG 1 ended with return code 1, condition code 20";
  const struct {
    const char* To;     // Batch, File (scan.pdf) or Screen
    const char* Config; // the scanner's; a hang waits for the release file
    size_t Written;     // batch files
    int Width;          // of the page shown: A6 at 100 dpi, or item 0's scanner default A4
    QStringList Log;
  } rows[] = {
      {"Batch", "sheets=3", 3, 413, {}},
      {"File", "sheets=2", 0, 413, {}},
      {"Screen", "sheets=1", 0, 413, {}},
      {"Screen", "sheets=1", 0, 2480, {}},
      // Page 2 jams (DG_IMAGE 2, DAT_IMAGENATIVEXFER 260, MSG_GET 1, TWCC_PAPERJAM 20); goes on.
      {"Batch", "sheets=3\nfailxfer=2", 2, 413, {noImage, jam}},
      {"Batch", "sheets=3\ncancel=1", 2, 413, {noImage}},
      {"Batch", "sheets=2\noffline=-1", 2, 413, {}}, // nothing asked
      // Reading ICAP_PIXELTYPE (DAT_CAPABILITY 1, MSG_GET 1) hangs past the time-out.
      {"Batch", "sheets=1\nhang=1 1 257", 1, 413, {"Unable to get parameter PixelType."}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.Config) + " " + std::to_string(row.Width));
    test::TempDir batch, out;
    std::filesystem::remove(FRelease);
    Configure(row.Config + ("\nrelease=" + FRelease));
    StartSmall(batch.Path(), row.Width == 413);
    TAcqTWAIN& twain = FForm->ScanCommands().AcqTWAIN();
    if (std::string_view(row.Config).find("hang=") != std::string::npos) twain.SetTimeout(1000);
    const bool toFile = row.To == std::string_view("File");
    const std::string target = toFile ? out.File("scan.pdf") : "";
    if (toFile) FPrompt.AnswerSave(target, 2);
    // A changed page of an earlier Scan To File: Yes in the prompt the scan
    // opens with stores it there, not in this scan's target.
    const std::string earlier = out.File("earlier.tif");
    WritePage(earlier, 300, 400);
    FForm->Viewer().Graphic().Assign(*TGraphicDocument(earlier).LoadPage(1));
    FForm->PageView().SetScanFileName(QString::fromStdString(earlier));
    ASSERT_TRUE(FForm->ExecuteAction("ActionFlipVertical"));
    const QImage earlierPage = Shown();
    FPrompt.Answer(TAnswer::Yes);
    ASSERT_TRUE(Scan(row.To));
    EXPECT_EQ(PageImage(earlier), earlierPage);
    EXPECT_EQ(test::FolderEntries(batch.Path()).size(), row.Written);
    ExpectThumbnailsOnFiles(batch.Path());
    EXPECT_EQ(FForm->LogForm().Lines(), row.Log);
    EXPECT_EQ(twain.ShowUI, row.Width != 413);
    // The viewer holds the page last finished: a file's last page, the batch's last thumbnail.
    EXPECT_EQ(Shown().width(), row.Width);
    if (toFile || row.Written) {
      const QString last =
          toFile ? QString::fromStdString(target) : FForm->Strip().Thumbnails().back()->Path();
      EXPECT_EQ(Shown(), PageImage(last.toStdString(), toFile ? 2 : 1));
    }
    // Yes stores a changed page as the last page of the Scan To File target;
    // after the other scans the save dialog asks where.
    ASSERT_TRUE(FForm->ExecuteAction("ActionFlipVertical"));
    const QImage flipped = Shown();
    const std::string stored = toFile ? target : out.File("page.tif");
    FPrompt.Answer(TAnswer::Yes);
    if (!toFile) FPrompt.AnswerSave(stored);
    FForm->PageView().AskSaveChanges();
    EXPECT_EQ(TGraphicDocument(stored).PageCount(), toFile ? 2 : 1);
    EXPECT_EQ(PageImage(stored, toFile ? 2 : 1), flipped);
    // The window is still usable: the next scan adds its page after these.
    Configure("sheets=1");
    ASSERT_TRUE(Scan());
    EXPECT_EQ(FForm->Strip().Count(), static_cast<int>(row.Written) + 1);
    EXPECT_EQ(FForm->LogForm().Lines(), QStringList{});
  }
}

TEST_F(WindowScan, ARefusedTargetOrAMissingBatchFolderStopsBeforeTheScannerOpens) {
  StartOn(FBatch.Path());
  FPrompt.AnswerSave(FBatch.File("scan.jpg"));
  FPrompt.Answer(TAnswer::Ok);
  ASSERT_TRUE(FForm->ExecuteAction("ActionScanToFile"));
  EXPECT_EQ(FPrompt.MessageTexts(),
            std::vector<std::string>{"Unable to scan to " + FBatch.File("scan.jpg") +
                                     " - only .tif, .tiff and .pdf files can be written"});
  EXPECT_FALSE(FForm->ScanCommands().AcqTWAIN().DSMOpen());
  // Scan To Batch once its folder went away (the command itself is disabled then).
  std::filesystem::remove(FBatch.Path());
  EXPECT_EQ(test::ErrorOf([&] { FForm->ScanCommands().ActionScanToBatchExecute(); }),
            "Batch folder not selected !");
}

// Pages past the room of a full batch folder: each logged with its number,
// target and recovery file, which holds the page; only written files get
// thumbnails; no page is lost.
TEST_F(WindowScan, AFullBatchFolderLogsAndRecoversEveryPageItCannotHold) {
  test::TempDir batch;
  if (::mount("tmpfs", batch.Path().c_str(), "tmpfs", 0, "size=12k") != 0)
    GTEST_SKIP() << "mounting a tmpfs needs root";
  const std::unique_ptr<const char, int (*)(const char*)> mounted(
      batch.Path().c_str(), [](const char* folder) { return ::umount2(folder, MNT_DETACH); });
  Configure("sheets=6");
  StartSmall(batch.Path());
  ASSERT_TRUE(Scan());
  const std::set<std::string> written = test::FolderEntries(batch.Path());
  ExpectThumbnailsOnFiles(batch.Path());
  const std::regex line("Unable to save page [0-9]+ to " + batch.Path() +
                        "/(0000000[0-9]\\.tif) - .* - kept in (.*)");
  std::set<std::string> recovered;
  for (const QString& text : FForm->LogForm().Lines()) {
    std::smatch match;
    const std::string logged = text.toStdString();
    ASSERT_TRUE(std::regex_match(logged, match, line)) << logged;
    EXPECT_TRUE(recovered.insert(match[1]).second && !written.contains(match[1])) << logged;
    EXPECT_FALSE(PageImage(match[2]).isNull()) << logged;
  }
  EXPECT_FALSE(written.empty() || recovered.empty());
  EXPECT_EQ(written.size() + recovered.size(), 6u);
}
