#include "WindowFixture.h"

#include "app/Thumbnail.h"
#include "app/ThumbnailStrip.h"
#include "graphics/DibGraphic.h"
#include "graphics/GraphicDocument.h"
#include "graphics/GraphicRegistry.h"
#include "raster/PageGenerator.h"
#include "support/WritePointFaults.h"

#include <QApplication>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <filesystem>

namespace apptest {

namespace {

const std::string& RunFolder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/tessivane-window-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (!made) std::abort();
    return std::string(made);
  }();
  return folder;
}

} // namespace

std::string ConfigHome() {
  return RunFolder() + "/config";
}
std::string DataHome() {
  return RunFolder() + "/data";
}
std::string SettingsFile() {
  return ConfigHome() + "/Vellumtrace/Tessivane.ini";
}

QApplication& Application() {
  static QApplication* application = [] {
    std::filesystem::create_directories(ConfigHome());
    std::filesystem::create_directories(DataHome());
    ::setenv("HOME", RunFolder().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", ConfigHome().c_str(), 1);
    ::setenv("XDG_DATA_HOME", DataHome().c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (RunFolder() + "/cache").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", RunFolder().c_str(), 1);
    // Printing sees no scheduler and no printer settings of the machine's.
    std::filesystem::create_directories(RunFolder() + "/cups");
    ::setenv("CUPS_SERVER", (RunFolder() + "/cups/no-scheduler").c_str(), 1);
    ::setenv("CUPS_SERVERROOT", (RunFolder() + "/cups").c_str(), 1);
    // Offscreen unless the test names a platform (a virtual X display, say).
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "tessivane_window_tests";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  return *application;
}

void WritePage(const std::string& path, int width, int height, int dpi, int bits, uint64_t seed) {
  TPageSpec layout;
  layout.Width = width;
  layout.Height = height;
  layout.Dpi = dpi;
  layout.Bits = bits;
  layout.Seed = seed;
  TDIB dib;
  GeneratePage(dib, layout);
  std::unique_ptr<TDibGraphic> graphic = GraphicForFile(path);
  graphic->ImportPageHandle(dib.Handle());
  graphic->SetResolution(dpi, dpi);
  graphic->SaveToFile(path);
}

void WritePages(const std::string& path, const std::vector<int>& widths, int height, int dpi) {
  for (size_t i = 0; i < widths.size(); ++i) {
    TPageSpec layout;
    layout.Width = widths[i];
    layout.Height = height;
    layout.Dpi = dpi;
    layout.Seed = i + 1;
    TDIB dib;
    GeneratePage(dib, layout);
    std::unique_ptr<TDibGraphic> graphic = GraphicForFile(path);
    graphic->ImportPageHandle(dib.Handle());
    graphic->SetResolution(dpi, dpi);
    if (i == 0)
      graphic->SaveToFile(path);
    else
      graphic->AppendToFile(path);
  }
}

QSize PageSize(const std::string& path, int page) {
  TGraphicDocument document(path);
  const std::unique_ptr<TDibGraphic> graphic = document.LoadPage(page);
  return {graphic->Width(), graphic->Height()};
}

bool WaitFor(const std::function<bool()>& done, int milliseconds) {
  for (int waited = 0; waited < milliseconds; waited += 10) {
    if (done()) return true;
    // A real event loop, which waits for events as the program's does, so
    // the window's idle work runs as it would.
    QEventLoop loop;
    QTimer::singleShot(10, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return done();
}

void WindowTest::SetUp() {
  Application();
  std::filesystem::remove_all(ConfigHome() + "/Vellumtrace");
  ::setenv("TESSIVANE_APP_FOLDER", FAppFolder.Path().c_str(), 1);
}

void WindowTest::TearDown() {
  FForm.reset();
  EXPECT_TRUE(FPrompt.Unexpected().empty())
      << "a question nobody foresaw: " << FPrompt.Unexpected().front().Text;
}

TFormMain& WindowTest::Start(const QStringList& arguments) {
  FForm = std::make_unique<TFormMain>(FPrompt, arguments);
  FForm->BatchCommands().SetShellOpen([this](const QString& path) { FOpened << path; });
  FForm->show();
  QCoreApplication::processEvents();
  return *FForm;
}

void WindowTest::Tick() {
  FForm->Timer1Timer();
}

TFormMain& WindowTest::StartOn(const std::string& folder) {
  Start({QString::fromStdString(folder)});
  Tick();
  return *FForm;
}

QImage PageImage(const std::string& path, int page) {
  TGraphicDocument document(path);
  return document.LoadPage(page)->ToQImage().convertToFormat(QImage::Format_RGB32);
}

std::map<std::string, std::vector<uint8_t>> Contents(const std::string& folder) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const std::string& name : test::FolderEntries(folder))
    files[name] = test::ReadFile(folder + "/" + name);
  return files;
}

TThumbnail* ClickThumbnail(TFormMain& form, int index) {
  TThumbnail* thumbnail = form.Strip().Thumbnails().at(static_cast<size_t>(index));
  QTest::mouseClick(thumbnail, Qt::LeftButton, {}, QPoint(5, 5));
  return thumbnail;
}

} // namespace apptest
