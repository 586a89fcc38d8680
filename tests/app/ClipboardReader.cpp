// A second program reading the desktop's clipboard, as any other program
// would: writes into FOLDER the formats offered (formats.txt, one a line),
// the bytes of image/png and image/bmp (png.bytes, bmp.bytes), and the image
// the toolkit decodes (image.txt: depth and colour table in hex; image.png).
//
// Usage: tessivane-clipboard-reader FOLDER
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

namespace {

bool Write(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  if (argc != 2) return 2;
  const QString folder = QString::fromLocal8Bit(argv[1]) + "/";
  QClipboard& clipboard = *QGuiApplication::clipboard();
  const QMimeData* data = clipboard.mimeData();
  if (!data) return 1;
  bool written = Write(folder + "formats.txt", data->formats().join('\n').toUtf8()) &&
                 Write(folder + "png.bytes", data->data("image/png")) &&
                 Write(folder + "bmp.bytes", data->data("image/bmp"));
  const QImage image = clipboard.image();
  QByteArray description = QByteArray::number(image.depth());
  for (QRgb entry : image.colorTable()) description += ' ' + QByteArray::number(entry, 16);
  written = written && Write(folder + "image.txt", description) &&
            (image.isNull() || image.save(folder + "image.png"));
  return written ? 0 : 1;
}
