// Scanning from the window through the real engine, manager and virtual
// scanner: where the pages go, what the strip and the viewer show.
#include "ProfileTestSupport.h"

#include "app/LogForm.h"
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
#include <fstream>

using namespace apptest;

namespace {

// Small, fast pages: A6, black and white, 100 dots per inch.
const std::vector<std::string> kSmallPages = {"", "4386,I,13", "257,I,0", "4376,F,100",
                                              "4377,F,100"};

class WindowScan : public ProfileTest {
protected:
  void SetUp() override {
    ProfileTest::SetUp();
    FTrace = FAppFolder.File("trace.txt");
    const std::string config = FAppFolder.File("scanner.conf");
    std::ofstream(config) << "trace=" << FTrace << "\n";
    ::setenv(VIRTUAL_CONFIG_VARIABLE, config.c_str(), 1);
    ::setenv("XDG_STATE_HOME", (ConfigHome() + "/state").c_str(), 1);
  }
  void TearDown() override {
    for (const char* name : {VIRTUAL_CONFIG_VARIABLE, VIRTUAL_SHEETS_VARIABLE, "XDG_STATE_HOME"})
      ::unsetenv(name);
    ProfileTest::TearDown();
  }
  // Makes the profile active through the toolbar combo.
  void ChooseProfile(const std::string& name, const std::vector<std::string>& lines) {
    WriteProfile(FAppFolder.File(name + ".tsp"), lines);
    FForm.reset();
    Start();
    const int index = FForm->ProfileCombo().findText(QString::fromStdString(name));
    ASSERT_GT(index, 0);
    FForm->ProfileCombo().setCurrentIndex(index);
    FForm->ComboBoxScannerSettingsClick(index);
  }
  // Runs a scan command and waits until the scanner is closed and every
  // page shown.
  void Scan(const QString& command) {
    ASSERT_TRUE(FForm->ExecuteAction(command));
    TScanCommands& scan = FForm->ScanCommands();
    ASSERT_TRUE(WaitFor(
        [&] {
          return scan.AcqTWAIN().State() == 1 && !scan.AcqTWAIN().DSMOpen() &&
                 scan.PageSaver().InFlight() == 0;
        },
        60000));
  }
  std::vector<std::string> FolderFiles(const std::string& folder) const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  QImage Shown() const { return FForm->Viewer().Graphic().ToQImage(); }
  static QImage Stored(const std::string& path, int page) {
    TGraphicDocument document(path);
    return document.LoadPage(page)->ToQImage();
  }
  std::string FTrace;
};

// Lines of the scanner's trace that are start or start followed by a blank.
size_t CountLines(const std::string& path, const std::string& start) {
  std::ifstream file(path);
  size_t count = 0;
  for (std::string line; std::getline(file, line);)
    if (line.compare(0, start.size(), start) == 0 &&
        (line.size() == start.size() || line[start.size()] == ' '))
      ++count;
  return count;
}

} // namespace

TEST_F(WindowScan, ThreePagesToTheBatchOfAFreshRun) {
  ChooseProfile("Small", kSmallPages);
  FForm->BatchCommands().OpenBatchFolder(QString::fromStdString(FBatch.Path()));
  Scan("ActionScanToBatch");
  EXPECT_EQ(FolderFiles(FBatch.Path()),
            (std::vector<std::string>{"00000000.tif", "00000001.tif", "00000002.tif"}));
  const auto& thumbnails = FForm->Strip().Thumbnails();
  ASSERT_EQ(thumbnails.size(), 3u);
  QStringList named;
  for (TThumbnail* thumbnail : thumbnails)
    named << QString::fromStdString(
        std::filesystem::path(thumbnail->Path().toStdString()).filename().string());
  named.sort();
  EXPECT_EQ(named, (QStringList{"00000000.tif", "00000001.tif", "00000002.tif"}));
  // The viewer holds the page whose thumbnail came last, and no file.
  EXPECT_TRUE(FForm->Viewer().FileName().empty());
  EXPECT_EQ(Shown(), Stored(thumbnails.back()->Path().toStdString(), 1));
  EXPECT_EQ(Shown().width(), 413); // A6 at 100 dots per inch
  EXPECT_EQ(FForm->ScanCommands().AcqTWAIN().ShowUI, false);
  EXPECT_EQ(CountLines(FTrace, "1 1 6 cap=257"), 1u); // the profile reached the scanner
}

TEST_F(WindowScan, TwoPagesToANewPdfFile) {
  ::setenv(VIRTUAL_SHEETS_VARIABLE, "2", 1);
  ChooseProfile("Small", kSmallPages);
  const std::string target = FBatch.File("scan.pdf");
  FPrompt.AnswerSave(target, 2);
  Scan("ActionScanToFile");
  TGraphicDocument document(target);
  ASSERT_EQ(document.PageCount(), 2);
  EXPECT_EQ(Shown(), Stored(target, 2)); // pages of one file finish in order
  EXPECT_EQ(FForm->Strip().Count(), 0);
  const test::RunResult check = test::Run({"qpdf", "--check", target});
  EXPECT_EQ(check.status, 0) << check.out << check.err;
}

TEST_F(WindowScan, ScanToFileRefusesATargetItCannotAppendTo) {
  Start();
  FPrompt.AnswerSave(FBatch.File("scan.jpg"));
  FPrompt.Answer(TAnswer::Ok);
  ASSERT_TRUE(FForm->ExecuteAction("ActionScanToFile"));
  ASSERT_EQ(FPrompt.MessageTexts().size(), 1u);
  EXPECT_NE(FPrompt.MessageTexts()[0].find("scan.jpg"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(FTrace)); // the scanner was never opened
}

TEST_F(WindowScan, ScanToScreenWritesNothing) {
  ChooseProfile("Small", kSmallPages);
  FForm->BatchCommands().OpenBatchFolder(QString::fromStdString(FBatch.Path()));
  const std::vector<std::string> before = FolderFiles(FAppFolder.Path());
  Scan("ActionScanToScreen");
  EXPECT_TRUE(FolderFiles(FBatch.Path()).empty());
  std::vector<std::string> after = FolderFiles(FAppFolder.Path());
  std::erase(after, "trace.txt");
  EXPECT_EQ(after, before);
  EXPECT_EQ(FForm->Strip().Count(), 0);
  EXPECT_FALSE(FForm->Viewer().Empty());
  EXPECT_TRUE(FForm->Viewer().FileName().empty());
}

TEST_F(WindowScan, ItemZeroWithoutAProfileScansTheDefaultSourceWithItsWindow) {
  ::setenv(VIRTUAL_SHEETS_VARIABLE, "1", 1);
  Start();
  ASSERT_EQ(FForm->ProfileCombo().currentIndex(), 0);
  ASSERT_TRUE(FForm->ActiveProfile().empty());
  Scan("ActionScanToScreen");
  const TAcqTWAIN& twain = FForm->ScanCommands().AcqTWAIN();
  EXPECT_TRUE(twain.ShowUI);
  EXPECT_FALSE(FForm->Viewer().Empty());
  EXPECT_EQ(Shown().width(), 2480);                   // the scanner's own A4 at 300 dots per inch
  EXPECT_EQ(CountLines(FTrace, "1 1 6 cap=257"), 0u); // no settings sent
}

TEST_F(WindowScan, PagesThatCannotBeWrittenAreLoggedShownAndGetNoThumbnail) {
  ::setenv(VIRTUAL_SHEETS_VARIABLE, "2", 1);
  ChooseProfile("Small", kSmallPages);
  FForm->BatchCommands().OpenBatchFolder(QString::fromStdString(FBatch.Path()));
  const TReadOnlyFolder readOnly(FBatch.Path());
  if (!readOnly.Made()) GTEST_SKIP() << "this file system lets the test write everywhere";
  Scan("ActionScanToBatch");
  EXPECT_TRUE(FolderFiles(FBatch.Path()).empty());
  EXPECT_EQ(FForm->Strip().Count(), 0); // no thumbnail names a file that is not there
  EXPECT_FALSE(FForm->Viewer().Empty());
  QStringList unsaved;
  for (const QString& line : FForm->LogForm().Lines())
    if (line.startsWith("Unable to save page ")) unsaved << line;
  ASSERT_EQ(unsaved.size(), 2);
  unsaved.sort(); // pages for different files are written side by side

  EXPECT_TRUE(unsaved[0].startsWith("Unable to save page 1 to " +
                                    QString::fromStdString(FBatch.Path()) + "/00000000.tif"));
}

TEST_F(WindowScan, ASettingTheScannerRefusesIsLoggedAndTheScanGoesOn) {
  std::vector<std::string> lines = kSmallPages;
  lines.insert(lines.begin() + 1, "257,X,0");
  ::setenv(VIRTUAL_SHEETS_VARIABLE, "1", 1);
  ChooseProfile("Odd", lines);
  FForm->LogForm().AddLine(QString("from before"));
  Scan("ActionScanToScreen");
  const QStringList log = FForm->LogForm().Lines();
  EXPECT_FALSE(log.contains("from before"));
  EXPECT_TRUE(log.contains("Tipo di parametro non valido X per PixelType"))
      << log.join('\n').toStdString();
  EXPECT_EQ(Shown().width(), 413); // the later settings still applied
}
