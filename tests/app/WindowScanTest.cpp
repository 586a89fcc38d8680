// Scanning from the window through the real engine, manager and virtual
// scanner: where the pages go, what the strip, the viewer and the log show.
#include "ProfileTestSupport.h"

#include "app/LogForm.h"
#include "app/PageView.h"
#include "app/ScanCommands.h"
#include "app/Thumbnail.h"
#include "app/ThumbnailStrip.h"
#include "graphics/GraphicDocument.h"
#include "tessivane/virtualscanner.h"
#include "twain/AcqTWAIN.h"
#include "viewer/ImageScrollBox.h"
#include "workflow/PageSaver.h"

#include <QComboBox>

#include <filesystem>
#include <optional>

using namespace apptest;

namespace {

// Small, fast pages: A6, black and white, 100 dots per inch.
const std::vector<std::string> kSmall = {"", "4386,I,13", "257,I,0", "4376,F,100", "4377,F,100"};
// The same with a setting of a type the pixel type does not take, before the others.
const std::vector<std::string> kRefused = {"",        "257,X,0",    "4386,I,13",
                                           "257,I,0", "4376,F,100", "4377,F,100"};

struct TScanCase {
  const char* Name;
  const char* Command;
  int Sheets;
  const std::vector<std::string>* Profile; // nullptr: combo item 0
  const char* Target;                      // Scan To File's file
  bool ReadOnlyBatch;
  const char* LogLine; // the start of the one line the log holds (%B: the batch folder)
};

class WindowScan : public ProfileTest {
protected:
  void SetUp() override {
    ProfileTest::SetUp();
    ::setenv("XDG_STATE_HOME", (ConfigHome() + "/state").c_str(), 1); // the recovery files
  }
  void TearDown() override {
    for (const char* name : {VIRTUAL_SHEETS_VARIABLE, "XDG_STATE_HOME"}) ::unsetenv(name);
    ProfileTest::TearDown();
  }
  QImage Shown() const {
    return FForm->Viewer().Graphic().ToQImage().convertToFormat(QImage::Format_RGB32);
  }
};

} // namespace

TEST_F(WindowScan, WherePagesGoAndWhatTheWindowShows) {
  const TScanCase cases[] = {
      {"three pages to the batch of a fresh run", "ActionScanToBatch", 3, &kSmall, nullptr, false,
       nullptr},
      {"two pages to a new PDF file", "ActionScanToFile", 2, &kSmall, "scan.pdf", false, nullptr},
      {"to the screen, a refused setting logged and the others applied", "ActionScanToScreen", 1,
       &kRefused, nullptr, false, "Tipo di parametro non valido X per PixelType"},
      {"combo item 0: the default source with its own window, no settings", "ActionScanToScreen", 1,
       nullptr, nullptr, false, nullptr},
      // Last, as the file system may not allow it.
      {"an unwritable batch folder: pages logged and shown, no thumbnail", "ActionScanToBatch", 2,
       &kSmall, nullptr, true, "Unable to save page 1 to %B/00000000.tif"},
  };
  for (const TScanCase& row : cases) {
    SCOPED_TRACE(row.Name);
    test::TempDir batch, out;
    ::setenv(VIRTUAL_SHEETS_VARIABLE, std::to_string(row.Sheets).c_str(), 1);
    if (row.Profile) WriteProfile(FAppFolder.File("Small.tsp"), *row.Profile);
    FForm.reset();
    Start();
    const int index = row.Profile ? FForm->ProfileCombo().findText("Small") : 0;
    ASSERT_GE(index, 0);
    FForm->ProfileCombo().setCurrentIndex(index);
    FForm->ComboBoxScannerSettingsClick(index);
    FForm->BatchCommands().OpenBatchFolder(QString::fromStdString(batch.Path()));
    FForm->LogForm().AddLine(QString("from before"));
    const std::vector<std::string> programFiles = FolderFiles(FAppFolder.Path());
    std::optional<TReadOnlyFolder> readOnly;
    if (row.ReadOnlyBatch && !readOnly.emplace(batch.Path()).Made())
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
    // Until the scanner is closed and every page shown.
    const TAcqTWAIN& twain = FForm->ScanCommands().AcqTWAIN();
    ASSERT_TRUE(WaitFor(
        [&] {
          return twain.State() == 1 && !twain.DSMOpen() &&
                 FForm->ScanCommands().PageSaver().InFlight() == 0;
        },
        60000));

    std::vector<std::string> written, named;
    if (row.Command == std::string("ActionScanToBatch") && !row.ReadOnlyBatch)
      for (int page = 0; page < row.Sheets; ++page)
        written.push_back("0000000" + std::to_string(page) + ".tif");
    EXPECT_EQ(FolderFiles(batch.Path()), written);
    for (const TThumbnail* thumbnail : FForm->Strip().Thumbnails())
      named.push_back(std::filesystem::path(thumbnail->Path().toStdString()).filename());
    std::sort(named.begin(), named.end());
    EXPECT_EQ(named, written);
    // The viewer holds the page last finished, and no file.
    ASSERT_FALSE(FForm->Viewer().Empty());
    EXPECT_TRUE(FForm->Viewer().FileName().empty());
    EXPECT_EQ(Shown().width(), row.Profile ? 413 : 2480); // A6 at 100 dpi, or the scanner's A4
    if (!written.empty()) {
      EXPECT_EQ(Shown(), PageImage(FForm->Strip().Thumbnails().back()->Path().toStdString()));
    }
    if (row.Target) {
      ASSERT_EQ(PageCount(target), row.Sheets);
      EXPECT_EQ(Shown(), PageImage(target, row.Sheets)); // pages of one file finish in order
    }
    // Yes in the save prompt stores the changed page as the last page of
    // the Scan To File target; after the other scans the save dialog asks.
    const QImage firstPage = row.Target ? PageImage(target, 1) : QImage();
    ASSERT_TRUE(FForm->ExecuteAction("ActionFlipVertical"));
    const QImage flipped = Shown();
    const std::string stored = row.Target ? target : out.File("page.tif");
    FPrompt.Answer(TAnswer::Yes);
    if (!row.Target) FPrompt.AnswerSave(stored);
    FForm->PageView().AskSaveChanges();
    EXPECT_EQ(PageCount(earlier), 1);
    EXPECT_EQ(PageImage(earlier), earlierPage);
    EXPECT_EQ(PageImage(stored, row.Target ? row.Sheets : 1), flipped);
    if (row.Target) {
      EXPECT_EQ(PageImage(target, 1), firstPage);
      const test::RunResult check = test::Run({"qpdf", "--check", target});
      EXPECT_EQ(check.status, 0) << check.out << check.err;
    }
    EXPECT_EQ(twain.ShowUI, !row.Profile);
    EXPECT_EQ(FolderFiles(FAppFolder.Path()), programFiles);
    // The one line expected, or none at all (every line contains "").
    const QStringList log = FForm->LogForm().Lines();
    const QString line = QString(row.LogLine).replace("%B", QString::fromStdString(batch.Path()));
    EXPECT_EQ(log.filter(line).size(), row.LogLine ? 1 : 0) << log.join('\n').toStdString();
  }
}
