// Copy to Clipboard on a real X display: the window copies the page shown,
// a second program reads the clipboard, and what it got is compared with the
// page: the exported bitmap byte for byte, the PNG's depth and palette, and
// the pixels of every form.
#include "WindowFixture.h"

#include "app/ClipboardCopy.h"
#include "core/PageHandle.h"
#include "graphics/DibGraphic.h"
#include "graphics/GraphicRegistry.h"
#include "viewer/ImageScrollBox.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMimeData>
#include <QProcess>

using namespace apptest;

namespace {

QByteArray ReadBytes(const std::string& path) {
  QFile file(QString::fromStdString(path));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray Block(const TPageHandle& handle) {
  const TBlockLock lock(handle.Get());
  return {static_cast<const char*>(lock.Address()),
          static_cast<qsizetype>(tsv_mem_size(handle.Get()))};
}

// A 1-bit bitmap file whose palette has white first, with a few black marks.
void WriteWhiteFirstBitmap(const std::string& path) {
  const std::unique_ptr<TDibGraphic> page = GraphicForFile(path);
  const std::vector<TColour> palette = {ColourOf(255, 255, 255), ColourOf(0, 0, 0)};
  page->NewImage(301, 77, 200, 200, &palette, ifBlackWhite);
  for (int i = 0; i < 77; ++i) page->SetPixelIndex((i * 7) % 301, i, 1);
  page->SaveToFile(path);
}

struct TPageRow {
  const char* Name;
  int Bits;
  QList<QRgb> Palette; // the 1-bit pages' two entries, in order
  std::function<void(const std::string&)> Write;
};

class ClipboardCopy : public WindowTest {
protected:
  // Runs the reader into a fresh folder while this program serves the clipboard.
  void ReadInOtherProgram() {
    FRead = std::make_unique<test::TempDir>();
    QProcess reader;
    reader.start(CLIPBOARD_READER, {QString::fromStdString(FRead->Path())});
    ASSERT_TRUE(WaitFor([&] { return reader.state() == QProcess::NotRunning; }, 60000));
    ASSERT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();
  }
  QByteArray Read(const char* name) const { return ReadBytes(FRead->File(name)); }

  std::unique_ptr<test::TempDir> FRead;
};

} // namespace

TEST_F(ClipboardCopy, TheReaderInAnotherProgramGetsThePageShown) {
  ASSERT_EQ(QGuiApplication::platformName(), "xcb");
  const std::vector<TPageRow> rows = {
      {"a bilevel A4 page",
       1,
       {0xFF000000, 0xFFFFFFFF},
       [](const std::string& path) { WritePage(path, 2480, 3508, 300, 1); }},
      {"a bilevel page with white first", 1, {0xFFFFFFFF, 0xFF000000}, WriteWhiteFirstBitmap},
      {"a grey page", 8, {}, [](const std::string& path) { WritePage(path, 640, 480, 150, 8, 3); }},
      {"a colour page", 24, {}, [](const std::string& path) {
         WritePage(path, 700, 500, 150, 24, 4);
       }}};
  const char* names[] = {"00000001.tif", "00000002.bmp", "00000003.tif", "00000004.tif"};
  for (size_t i = 0; i < rows.size(); ++i) rows[i].Write(FBatch.File(names[i]));
  TFormMain& form = StartOn(FBatch.Path());
  for (size_t i = 0; i < rows.size(); ++i) {
    const TPageRow& row = rows[i];
    SCOPED_TRACE(row.Name);
    ClickThumbnail(form, static_cast<int>(i));
    ASSERT_EQ(form.Viewer().FileName(), FBatch.File(names[i]));
    const TDibGraphic& page = form.Viewer().Graphic();
    ASSERT_EQ(page.BitCount(), row.Bits);
    ASSERT_TRUE(form.ExecuteAction("ActionCopy"));
    ReadInOtherProgram();
    const QImage pixels = page.ToQImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(pixels, PageImage(FBatch.File(names[i])));

    const QStringList formats = QString::fromUtf8(Read("formats.txt")).split('\n');
    EXPECT_TRUE(formats.contains("image/png") && formats.contains("image/bmp"))
        << Read("formats.txt").toStdString();
    // The bitmap: a file header before the exported page, byte for byte.
    const QByteArray bmp = Read("bmp.bytes");
    ASSERT_GT(bmp.size(), 54);
    EXPECT_EQ(bmp.left(2), "BM");
    EXPECT_EQ(bmp.mid(14), Block(page.ExportPageHandle()));
    const QImage fromBmp = QImage::fromData(bmp, "BMP");
    EXPECT_EQ(fromBmp.convertToFormat(QImage::Format_RGB32), pixels);
    // The PNG: the page's depth, and for 1-bit pages its palette in order.
    const QByteArray png = Read("png.bytes");
    ASSERT_GT(png.size(), 26);
    EXPECT_EQ(png.mid(12, 4), "IHDR");
    EXPECT_EQ(static_cast<int>(png[24]), row.Bits == 24 ? 8 : row.Bits);
    const QImage fromPng = QImage::fromData(png, "PNG");
    EXPECT_EQ(fromPng.convertToFormat(QImage::Format_RGB32), pixels);
    // The image as the toolkit hands it to the other program.
    const QImage received(QString::fromStdString(FRead->File("image.png")));
    EXPECT_EQ(received.convertToFormat(QImage::Format_RGB32), pixels);
    if (row.Bits == 1) {
      EXPECT_EQ(
          QList<QRgb>({0xFF000000 | page.PaletteColour(0), 0xFF000000 | page.PaletteColour(1)}),
          row.Palette);
      // The bitmap's palette: blue, green, red and a zero byte per entry.
      const uint32_t entries[2] = {row.Palette[0] & 0xFFFFFF, row.Palette[1] & 0xFFFFFF};
      EXPECT_EQ(bmp.mid(54, 8), QByteArray(reinterpret_cast<const char*>(entries), 8));
      EXPECT_EQ(fromPng.format(), QImage::Format_Mono);
      EXPECT_EQ(fromPng.colorTable(), row.Palette);
      EXPECT_EQ(Read("image.txt").toStdString(),
                "1 " + QByteArray::number(row.Palette[0], 16).toStdString() + " " +
                    QByteArray::number(row.Palette[1], 16).toStdString());
    }
  }
}

TEST_F(ClipboardCopy, NothingShownLeavesTheClipboardAsItWas) {
  TFormMain& form = Start();
  ASSERT_TRUE(form.Viewer().Empty());
  QApplication::clipboard()->setText("kept");
  EXPECT_FALSE(form.ExecuteAction("ActionCopy"));
  EXPECT_FALSE(form.Action("ActionCopy")->isEnabled());
  EXPECT_THROW(CopyPageToClipboard(form.Viewer().Graphic(), *QApplication::clipboard()), Exception);
  ReadInOtherProgram();
  const QStringList formats = QString::fromUtf8(Read("formats.txt")).split('\n');
  EXPECT_TRUE(formats.contains("text/plain"));
  EXPECT_FALSE(formats.contains("image/png"));
  EXPECT_EQ(QApplication::clipboard()->text(), "kept");
}
