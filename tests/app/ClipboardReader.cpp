// tessivane-clipboard-reader FOLDER: a second program reading the desktop's
// clipboard, as any other would; writes the bytes of each format offered into
// FOLDER, in a file named after the format with "_" for "/" (image_png).
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (argc != 2 || !data) return 2;
  for (QString format : data->formats()) {
    const QByteArray bytes = data->data(format);
    QFile file(QString::fromLocal8Bit(argv[1]) + '/' + format.replace('/', '_'));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return 1;
  }
  return 0;
}
