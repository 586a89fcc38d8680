// A second program reading the desktop's clipboard, as any other program
// would: writes into FOLDER the formats offered (formats.txt, one a line) and
// the bytes of image/png and image/bmp (png.bytes, bmp.bytes).
//
// Usage: tessivane-clipboard-reader FOLDER
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
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
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data && Write(folder + "formats.txt", data->formats().join('\n').toUtf8()) &&
                 Write(folder + "png.bytes", data->data("image/png")) &&
                 Write(folder + "bmp.bytes", data->data("image/bmp"))
             ? 0
             : 1;
}
