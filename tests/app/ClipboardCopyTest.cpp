// Copy to Clipboard on a real X display: the window copies the page shown, a
// second program reads the clipboard, and what it got is compared with the page.
#include "WindowFixture.h"

#include "core/PageHandle.h"
#include "graphics/DibGraphic.h"
#include "graphics/GraphicRegistry.h"
#include "viewer/ImageScrollBox.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QProcess>

using namespace apptest;

namespace {

// A 1-bit bitmap file whose palette has white first, with a few black marks.
void WriteWhiteFirstBitmap(const std::string& path) {
  const std::unique_ptr<TDibGraphic> page = GraphicForFile(path);
  const std::vector<TColour> palette = {ColourOf(255, 255, 255), ColourOf(0, 0, 0)};
  page->NewImage(301, 77, 200, 200, &palette, ifBlackWhite);
  for (int i = 0; i < 77; ++i) page->SetPixelIndex((i * 7) % 301, i, 1);
  page->SaveToFile(path);
}

using ClipboardCopy = WindowTest;

} // namespace

TEST_F(ClipboardCopy, TheReaderInAnotherProgramGetsThePageShown) {
  ASSERT_EQ(QGuiApplication::platformName(), "xcb");
  // The pages' bits, and the PNG's palette in order.
  const std::pair<int, QList<QRgb>> rows[] = {
      {1, {0xFF000000, 0xFFFFFFFF}}, {1, {0xFFFFFFFF, 0xFF000000}}, {24, {}}};
  WritePage(FBatch.File("00000001.tif"), 2480, 3508, 300, 1);
  WriteWhiteFirstBitmap(FBatch.File("00000002.bmp"));
  WritePage(FBatch.File("00000003.tif"), 700, 500, 150, 24, 4);
  TFormMain& form = StartOn(FBatch.Path());
  for (int i = 0; i < 3; ++i) {
    const auto& [bits, palette] = rows[i];
    SCOPED_TRACE(i);
    ClickThumbnail(form, i);
    const TDibGraphic& page = form.Viewer().Graphic();
    ASSERT_EQ(page.BitCount(), bits);
    ASSERT_TRUE(form.ExecuteAction("ActionCopy"));
    const test::TempDir read;
    QProcess reader;
    reader.start(CLIPBOARD_READER, {QString::fromStdString(read.Path())});
    ASSERT_TRUE(WaitFor([&] { return reader.state() == QProcess::NotRunning; }, 60000));
    ASSERT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();
    const auto bytes = [&read](const char* name) {
      QFile file(QString::fromStdString(read.File(name)));
      return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    // The bitmap: a file header before the exported page, byte for byte.
    const QImage pixels = page.ToQImage().convertToFormat(QImage::Format_RGB32);
    const QByteArray bmp = bytes("image_bmp");
    const TPageHandle exported = page.ExportPageHandle();
    const TBlockLock lock(exported.Get());
    EXPECT_EQ(bmp.mid(14), QByteArray(static_cast<const char*>(lock.Address()),
                                      static_cast<qsizetype>(tsv_mem_size(exported.Get()))));
    EXPECT_EQ(QImage::fromData(bmp, "BMP").convertToFormat(QImage::Format_RGB32), pixels);
    // The PNG: the page's depth per sample, a 1-bit page's palette in order.
    const QByteArray png = bytes("image_png");
    ASSERT_GT(png.size(), 26);
    EXPECT_EQ(static_cast<int>(png[24]), bits == 24 ? 8 : bits);
    const QImage fromPng = QImage::fromData(png, "PNG");
    EXPECT_EQ(fromPng.convertToFormat(QImage::Format_RGB32), pixels);
    EXPECT_EQ(fromPng.colorTable(), palette);
  }
}

// With nothing shown, Copy is disabled and the clipboard keeps its text.
TEST_F(ClipboardCopy, NothingShownLeavesTheClipboardAsItWas) {
  TFormMain& form = Start();
  QApplication::clipboard()->setText("kept");
  EXPECT_FALSE(form.ExecuteAction("ActionCopy"));
  EXPECT_FALSE(form.Action("ActionCopy")->isEnabled());
  EXPECT_EQ(QApplication::clipboard()->text(), "kept");
}
