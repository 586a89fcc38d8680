// The graphic and the GUI toolkit's images: conversion both ways, drawing.
#include "graphics/DibGraphic.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <cstring>

namespace {

int ScreenDpi(bool horizontal) {
  if (QGuiApplication::instance() != nullptr) {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
      return qRound(horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY());
  }
  return 96;
}

QList<QRgb> ColourTable(const TDibGraphic& graphic) {
  QList<QRgb> table;
  for (int i = 0; i < graphic.PaletteSize(); ++i) {
    const TColour c = graphic.PaletteColour(i);
    table.push_back(qRgb(RedOf(c), GreenOf(c), BlueOf(c)));
  }
  return table;
}

} // namespace

int ScreenDpiX() {
  return ScreenDpi(true);
}
int ScreenDpiY() {
  return ScreenDpi(false);
}

QImage TDibGraphic::ToQImage() const {
  if (Empty()) return {};
  QImage image;
  switch (BitCount()) {
  case 1:
    image = QImage(Width(), Height(), QImage::Format_Mono);
    break;
  case 4:
  case 8:
    image = QImage(Width(), Height(), QImage::Format_Indexed8);
    break;
  default:
    image = QImage(Width(), Height(), QImage::Format_BGR888);
    break;
  }
  if (image.isNull()) throw EGraphicError("Out of resources");
  if (BitCount() <= 8) image.setColorTable(ColourTable(*this));
  const auto rowBytes = static_cast<size_t>(DIBRowBytes(Width(), BitCount()));
  for (int y = 0; y < Height(); ++y) {
    uchar* target = image.scanLine(y);
    const uint8_t* row = ScanLine(y);
    if (BitCount() == 4) {
      for (int x = 0; x < Width(); ++x)
        target[x] = static_cast<uchar>((x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4);
    } else {
      std::memcpy(target, row, rowBytes);
    }
  }
  image.setDotsPerMeterX(XPelsPerMetre());
  image.setDotsPerMeterY(YPelsPerMetre());
  return image;
}

void TDibGraphic::Assign(const QImage& image) {
  if (image.isNull()) {
    Release();
    return;
  }
  QImage source;
  int bits;
  std::vector<TColour> palette;
  if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB ||
      image.format() == QImage::Format_Indexed8) {
    bits = image.format() == QImage::Format_Indexed8 ? 8 : 1;
    source = image.format() == QImage::Format_MonoLSB ? image.convertToFormat(QImage::Format_Mono)
                                                      : image;
    for (QRgb entry : source.colorTable())
      palette.push_back(ColourOf(qRed(entry), qGreen(entry), qBlue(entry)));
    palette.resize(static_cast<size_t>(1) << bits, ColourOf(0, 0, 0));
  } else {
    // Anything else is drawn on black: premultiplied colours without their alpha.
    bits = 24;
    source = image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                 .convertToFormat(QImage::Format_RGB32)
                 .convertToFormat(QImage::Format_BGR888);
  }
  if (source.isNull()) throw EGraphicError("Out of resources");
  NewImage(source.width(), source.height(), 0, 0, &palette, FormatForBits(bits, palette));
  if (source.dotsPerMeterX() > 0 && source.dotsPerMeterY() > 0)
    SetPelsPerMetre(source.dotsPerMeterX(), source.dotsPerMeterY());
  const auto rowBytes = static_cast<size_t>(DIBRowBytes(Width(), bits));
  for (int y = 0; y < Height(); ++y) std::memcpy(ScanLine(y), source.constScanLine(y), rowBytes);
  // Bits past the width in the last byte of a 1-bit row stay clear.
  if (bits == 1 && Width() % 8 != 0)
    for (int y = 0; y < Height(); ++y)
      ScanLine(y)[rowBytes - 1] &= static_cast<uint8_t>(0xFF00 >> (Width() % 8));
}

void TDibGraphic::Draw(QPainter& painter, const QRectF& target, bool smooth) const {
  if (Empty() || Width() == 0 || Height() == 0) return;
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
  if (BitCount() == 4) {
    painter.drawImage(target, ToQImage());
  } else {
    // The rows lie bottom-up: the image is read from the bottom row as if it
    // were the top, and drawn mirrored vertically, without a copy.
    const QImage::Format format = BitCount() == 1   ? QImage::Format_Mono
                                  : BitCount() == 8 ? QImage::Format_Indexed8
                                                    : QImage::Format_BGR888;
    QImage view(ScanLine(Height() - 1), Width(), Height(), Stride(), format);
    if (BitCount() <= 8) view.setColorTable(ColourTable(*this));
    painter.translate(target.left(), target.bottom());
    painter.scale(target.width() / Width(), -target.height() / Height());
    painter.drawImage(QPointF(0, 0), view);
  }
  painter.restore();
}
