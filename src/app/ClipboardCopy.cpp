#include "app/ClipboardCopy.h"

#include "core/PageHandle.h"
#include "graphics/DibGraphic.h"
#include "raster/DIBTypes.h"

#include <QBuffer>
#include <QClipboard>
#include <QImage>
#include <QImageWriter>
#include <QMimeData>

#include <cstring>
#include <memory>

namespace {

// A bitmap file: the file header, then the exported block as it is.
QByteArray BitmapFile(const TDibGraphic& page) {
  const TPageHandle handle = page.ExportPageHandle();
  const TBlockLock lock(handle.Get());
  const auto* dib = static_cast<const uint8_t*>(lock.Address());
  TBitmapInfoHeader header;
  std::memcpy(&header, dib, sizeof header);
  const size_t dibSize = tsv_mem_size(handle.Get());
  TBitmapFileHeader file{};
  file.bfType = kBitmapSignature;
  file.bfSize = static_cast<uint32_t>(sizeof file + dibSize);
  file.bfOffBits = static_cast<uint32_t>(sizeof file + header.biSize + 4 * header.biClrUsed);
  QByteArray bytes;
  bytes.reserve(static_cast<qsizetype>(sizeof file + dibSize));
  bytes.append(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(dib), static_cast<qsizetype>(dibSize));
  return bytes;
}

QByteArray Png(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "png");
  if (!writer.write(image)) throw EGraphicError(writer.errorString().toStdString());
  return bytes;
}

} // namespace

QMimeData* PageMimeData(const TDibGraphic& page) {
  auto data = std::make_unique<QMimeData>();
  const QImage image = page.ToQImage();
  if (image.isNull()) throw EGraphicError("Graphic is empty");
  data->setData("image/bmp", BitmapFile(page));
  data->setData("image/png", Png(image));
  data->setImageData(image);
  return data.release();
}

void CopyPageToClipboard(const TDibGraphic& page, QClipboard& clipboard) {
  clipboard.setMimeData(PageMimeData(page), QClipboard::Clipboard);
}
