#include "viewer/DisplayCopy.h"

#include "graphics/AntiAliasTransform.h"

#include <algorithm>
#include <vector>

namespace {

// Source columns or rows of each display column or row: map[i] = Trunc(i x
// source / display) for i = first .. last (inclusive).
std::vector<int> SourceMap(int64_t source, int64_t display, int first, int last) {
  std::vector<int> map;
  map.reserve(static_cast<size_t>(last - first + 1));
  for (int64_t i = first; i <= last; ++i) map.push_back(static_cast<int>(i * source / display));
  return map;
}

// The anti-aliased reduction's area maps end at the source's last pixel.
int AreaBound(int64_t i, int64_t source, int64_t display) {
  return i == display ? static_cast<int>(source - 1) : static_cast<int>(i * source / display);
}

void AntiAliased(const TDibGraphic& page, QSize display, const QRect& part, QImage& image) {
  const int64_t width = page.Width(), height = page.Height();
  const int64_t w = display.width(), h = display.height();
  const bool complement = RedOf(page.PaletteColour(0)) == 255;
  std::vector<int> xs;
  for (int64_t i = part.left(); i <= part.right() + 1; ++i) xs.push_back(AreaBound(i, width, w));
  std::vector<int64_t> ones(static_cast<size_t>(part.width()));
  for (int j = part.top(); j <= part.bottom(); ++j) {
    std::fill(ones.begin(), ones.end(), 0);
    const int firstRow = AreaBound(j, height, h);
    const int lastRow = AreaBound(j + 1, height, h);
    for (int y = firstRow; y <= lastRow; ++y) AddRowOnes(page.ScanLine(y), xs, ones.data());
    auto* target = reinterpret_cast<QRgb*>(image.scanLine(j - part.top()));
    const int64_t rows = lastRow - firstRow + 1;
    for (size_t i = 0; i < ones.size(); ++i) {
      const int64_t n = rows * std::max(0, xs[i + 1] - xs[i]);
      int grey = AntiAliasGrey(n, n - ones[i]);
      if (complement) grey = 255 - grey;
      target[i] = qRgb(grey, grey, grey);
    }
  }
}

// Nearest source pixel, for every format.
void Nearest(const TDibGraphic& page, QSize display, const QRect& part, QImage& image) {
  const std::vector<int> xs = SourceMap(page.Width(), display.width(), part.left(), part.right());
  const std::vector<int> ys = SourceMap(page.Height(), display.height(), part.top(), part.bottom());
  std::vector<QRgb> palette;
  for (int i = 0; i < page.PaletteSize(); ++i) {
    const TColour c = page.PaletteColour(i);
    palette.push_back(qRgb(RedOf(c), GreenOf(c), BlueOf(c)));
  }
  const int bits = page.BitCount();
  for (size_t j = 0; j < ys.size(); ++j) {
    const uint8_t* row = page.ScanLine(ys[j]);
    auto* target = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(j)));
    for (size_t i = 0; i < xs.size(); ++i) {
      const int x = xs[i];
      switch (bits) {
      case 1:
        target[i] = palette[(row[x >> 3] >> (7 - (x & 7))) & 1];
        break;
      case 4:
        target[i] = palette[(x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4];
        break;
      case 8:
        target[i] = palette[row[x]];
        break;
      default:
        target[i] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
        break;
      }
    }
  }
}

// True colour: the rounded mean of the source area of each display pixel.
void Averaged(const TDibGraphic& page, QSize display, const QRect& part, QImage& image) {
  const int64_t width = page.Width(), height = page.Height();
  const int64_t w = display.width(), h = display.height();
  std::vector<int> x0s, x1s;
  for (int64_t i = part.left(); i <= part.right(); ++i) {
    const auto x0 = static_cast<int>(i * width / w);
    x0s.push_back(x0);
    x1s.push_back(std::max(x0 + 1, static_cast<int>((i + 1) * width / w)));
  }
  std::vector<int64_t> sums(x0s.size() * 3);
  for (int64_t j = part.top(); j <= part.bottom(); ++j) {
    const auto y0 = static_cast<int>(j * height / h);
    const auto y1 = std::max(y0 + 1, static_cast<int>((j + 1) * height / h));
    std::fill(sums.begin(), sums.end(), 0);
    for (int y = y0; y < y1; ++y) {
      const uint8_t* row = page.ScanLine(y);
      for (size_t i = 0; i < x0s.size(); ++i) {
        int64_t blue = 0, green = 0, red = 0;
        for (const uint8_t *p = row + 3 * x0s[i], *end = row + 3 * x1s[i]; p < end; p += 3)
          blue += p[0], green += p[1], red += p[2];
        sums[3 * i] += red, sums[3 * i + 1] += green, sums[3 * i + 2] += blue;
      }
    }
    auto* target = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(j - part.top())));
    for (size_t i = 0; i < x0s.size(); ++i) {
      const int64_t count = int64_t{x1s[i] - x0s[i]} * (y1 - y0);
      target[i] = qRgb(static_cast<int>((sums[3 * i] + count / 2) / count),
                       static_cast<int>((sums[3 * i + 1] + count / 2) / count),
                       static_cast<int>((sums[3 * i + 2] + count / 2) / count));
    }
  }
}

} // namespace

QImage BuildDisplayPart(const TDibGraphic& page, QSize displaySize, bool antiAliased,
                        const QRect& part) {
  const QRect area = part.intersected(QRect(QPoint(0, 0), displaySize));
  if (page.Empty() || area.isEmpty()) return {};
  QImage image(area.size(), QImage::Format_RGB32);
  if (image.isNull()) throw EGraphicError("Out of resources");
  if (page.ImageFormat() == ifBlackWhite && antiAliased)
    AntiAliased(page, displaySize, area, image);
  else if (page.ImageFormat() == ifTrueColor && int64_t{page.Width()} * page.Height() > 1024)
    Averaged(page, displaySize, area, image);
  else
    Nearest(page, displaySize, area, image);
  image.setDotsPerMeterX(page.XPelsPerMetre());
  image.setDotsPerMeterY(page.YPelsPerMetre());
  return image;
}
