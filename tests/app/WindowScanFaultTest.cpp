// Faults during a scan from the window: the scanner's injected failures and
// a batch folder that fills up. Each page is either a batch file with its
// thumbnail or logged and kept in a recovery file; the window then scans again.
#include "ProfileTestSupport.h"

#include "app/LogForm.h"
#include "app/ScanCommands.h"
#include "app/Thumbnail.h"
#include "app/ThumbnailStrip.h"
#include "support/WritePointFaults.h"
#include "tessivane/virtualscanner.h"
#include "twain/AcqTWAIN.h"
#include "workflow/PageSaver.h"

#include <sys/mount.h>

#include <fstream>
#include <regex>

using namespace apptest;

namespace {

class WindowScanFault : public ProfileTest {
protected:
  void SetUp() override {
    ProfileTest::SetUp();
    // Small, fast pages: A6, black and white, 100 dots per inch.
    WriteProfile(FAppFolder.File("Small.tsp"),
                 {"", "4386,I,13", "257,I,0", "4376,F,100", "4377,F,100"});
  }
  void TearDown() override {
    ::unsetenv(VIRTUAL_CONFIG_VARIABLE);
    ProfileTest::TearDown();
  }
  void Configure(const std::string& lines) {
    const std::string path = FConfigDir.File("scanner.conf");
    std::ofstream(path) << lines << "\n";
    ::setenv(VIRTUAL_CONFIG_VARIABLE, path.c_str(), 1);
  }
  void StartSmall(const std::string& batch) {
    StartOn(batch);
    const int index = FForm->ProfileCombo().findText("Small");
    FForm->ProfileCombo().setCurrentIndex(index);
    FForm->ComboBoxScannerSettingsClick(index);
  }
  // Scan To Batch until the scanner is closed and every page shown; the
  // window's timers run whileScanning meanwhile, also while it waits for
  // the scanner.
  bool ScanToBatch(const std::function<void()>& whileScanning = [] {}) {
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, whileScanning);
    poll.start(10);
    if (!FForm->ExecuteAction("ActionScanToBatch")) return false;
    const TAcqTWAIN& twain = FForm->ScanCommands().AcqTWAIN();
    const TPageSaver& saver = FForm->ScanCommands().PageSaver();
    return WaitFor([&] { return twain.State() == 1 && !twain.DSMOpen() && !saver.InFlight(); },
                   90000);
  }
  std::vector<std::string> Log() const {
    std::vector<std::string> lines;
    for (const QString& line : FForm->LogForm().Lines()) lines.push_back(line.toStdString());
    return lines;
  }
  // Every thumbnail names a file of the batch that reads as a page.
  void ExpectThumbnailsOnReadableFiles(const std::string& batch) {
    std::set<std::string> named;
    for (const TThumbnail* thumbnail : FForm->Strip().Thumbnails()) {
      const std::string path = thumbnail->Path().toStdString();
      named.insert(path.substr(path.rfind('/') + 1));
      EXPECT_FALSE(PageImage(path).isNull()) << path;
    }
    EXPECT_EQ(named, test::FolderEntries(batch));
  }
  test::TempDir FConfigDir;
};

} // namespace

// A jammed or cancelled page, an offline report and a call that never
// returns: the scan ends, the log says what happened, and the next scan works.
TEST_F(WindowScanFault, ScannerFaultsAreLoggedAndTheNextScanWorks) {
  const std::string release = FConfigDir.File("release");
  const struct {
    const char* Name;
    std::string Config;
    std::set<std::string> Written;
    std::vector<std::string> Log;
  } rows[] = {
      // The jammed page 2 fails its native transfer (DG_IMAGE 2,
      // DAT_IMAGENATIVEXFER 260, MSG_GET 1, TWCC_PAPERJAM 20); the batch goes on.
      {"jam",
       "sheets=3\nfailxfer=2",
       {"00000000.tif", "00000001.tif"},
       {"The scanner delivered no image for a page",
        "Scanner error: DG 2, DAT 260, MSG 1 ended with return code 1, condition code 20"}},
      {"cancel",
       "sheets=3\ncancel=1",
       {"00000000.tif", "00000001.tif"},
       {"The scanner delivered no image for a page"}},
      // The window asks nothing about an offline device; the scanner feeds.
      {"offline", "sheets=2\noffline=-1", {"00000000.tif", "00000001.tif"}, {}},
      // The pixel type's read (DAT_CAPABILITY 1, MSG_GET 1, ICAP_PIXELTYPE
      // 257) hangs past the time-out; the window, still painting, lets the
      // scanner go once it logged that.
      {"hang",
       "sheets=1\nhang=1 1 257\nrelease=" + release,
       {"00000000.tif"},
       {"Unable to get parameter PixelType."}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    test::TempDir batch;
    std::filesystem::remove(release);
    Configure(row.Config);
    FForm.reset();
    StartSmall(batch.Path());
    TAcqTWAIN& twain = FForm->ScanCommands().AcqTWAIN();
    const bool hangs = row.Config.find("hang=") != std::string::npos;
    if (hangs) twain.SetTimeout(1000);
    ASSERT_TRUE(ScanToBatch([&] {
      if (!hangs || FForm->LogForm().Lines().isEmpty() || test::FileExists(release)) return;
      test::WriteFile(release, {});
      twain.SetTimeout(60000); // the calls after the hung one take their time
    }));
    EXPECT_EQ(test::FolderEntries(batch.Path()), row.Written);
    ExpectThumbnailsOnReadableFiles(batch.Path());
    EXPECT_EQ(Log(), row.Log);
    // The window is still usable: the next scan adds its page after these.
    Configure("sheets=1");
    ASSERT_TRUE(ScanToBatch());
    EXPECT_EQ(FForm->Strip().Count(), static_cast<int>(row.Written.size()) + 1);
    EXPECT_EQ(Log(), std::vector<std::string>{});
  }
}

namespace {

// A small file system of its own, mounted while it lives; needs root.
struct TSmallTmpfs {
  explicit TSmallTmpfs(const std::string& folder, const char* size) : FFolder(folder) {
    FMounted = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, size) == 0;
  }
  ~TSmallTmpfs() {
    if (FMounted) ::umount2(FFolder.c_str(), MNT_DETACH);
  }
  TSmallTmpfs(const TSmallTmpfs&) = delete;
  TSmallTmpfs& operator=(const TSmallTmpfs&) = delete;
  const std::string FFolder;
  bool FMounted = false;
};

} // namespace

// Pages past the room of a full batch folder: each logged with its number,
// target and recovery file, which holds the page; only written files get
// thumbnails; no page is lost.
TEST_F(WindowScanFault, AFullBatchFolderLogsAndRecoversEveryPageItCannotHold) {
  test::TempDir batch;
  const TSmallTmpfs tmpfs(batch.Path(), "size=12k");
  if (!tmpfs.FMounted) GTEST_SKIP() << "mounting a tmpfs needs root";
  constexpr int kSheets = 6;
  Configure("sheets=" + std::to_string(kSheets));
  StartSmall(batch.Path());
  ASSERT_TRUE(ScanToBatch());
  const std::set<std::string> written = test::FolderEntries(batch.Path());
  ExpectThumbnailsOnReadableFiles(batch.Path());
  const std::regex line("Unable to save page ([0-9]+) to " + batch.Path() +
                        "/(0000000[0-9]\\.tif) - .* - kept in (.*)");
  std::set<std::string> recoveredNames;
  for (const std::string& text : Log()) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(text, match, line)) << text;
    EXPECT_FALSE(written.contains(match[2])) << text;
    recoveredNames.insert(match[2]);
    EXPECT_FALSE(PageImage(match[3]).isNull()) << text;
  }
  EXPECT_FALSE(written.empty());
  EXPECT_FALSE(recoveredNames.empty());
  EXPECT_EQ(written.size() + recoveredNames.size(), static_cast<size_t>(kSheets));
}
