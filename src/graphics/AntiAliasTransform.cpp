#include "graphics/AntiAliasTransform.h"

#include "raster/Grey.h"

#include <algorithm>
#include <vector>

void AddRowOnes(const uint8_t* row, const std::vector<int>& xs, int64_t* ones) {
  // An area's count is the set bits left of its right bound less those left
  // of its left bound. Those are counted as the bounds move right: the
  // row's bytes are each counted once, however many areas share one, and
  // the bits of a bound's own byte before it are added.
  int byte = 0;
  int64_t bytesBefore = 0; // set bits of the bytes before byte
  auto before = [&](int x) {
    for (; byte < x >> 3; ++byte) bytesBefore += kBitCount[row[byte]];
    return bytesBefore + kBitCount[row[byte] & static_cast<uint8_t>(~kLeftEdgeMask[x & 7])];
  };
  int64_t left = before(xs.front());
  for (size_t i = 0; i + 1 < xs.size(); ++i) {
    const int64_t right = before(xs[i + 1]);
    ones[i] += right - left;
    left = right;
  }
}

std::vector<int> AreaMap(int source, int dest) {
  std::vector<int> map(static_cast<size_t>(dest) + 1);
  for (int i = 0; i < dest; ++i)
    map[static_cast<size_t>(i)] = static_cast<int>(static_cast<int64_t>(i) * source / dest);
  map[static_cast<size_t>(dest)] = source - 1;
  return map;
}

int AntiAliasGrey(int64_t n, int64_t b) {
  if (b == 0) return 255;
  if (b == n || n - b < n / 8) return 0;
  if (b < n / 8) return 255;
  return static_cast<int>((n - b) * 255 / n);
}

void TAntiAliasTransform::Apply(TDibGraphic& graphic) {
  if (graphic.ImageFormat() != ifBlackWhite || graphic.Empty()) return;
  TImageTransform::Apply(graphic);
}

void TAntiAliasTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& dest) {
  Progress(0, 0, 1);
  if (source.ImageFormat() != ifBlackWhite || source.Empty()) {
    dest.Assign(source);
    Progress(1, 0, 1);
    return;
  }
  const int width = source.Width();
  const int height = source.Height();
  if (OutWidth < 0 || OutHeight < 0) throw EGraphicError("Destination graphic too small");
  const int newWidth = OutWidth != 0 ? OutWidth : width;
  const int newHeight = OutHeight != 0 ? OutHeight : height;
  dest.NewImage(newWidth, newHeight, source.XDpi(), source.YDpi(), nullptr, ifGray256);
  dest.SetPelsPerMetre(source.XPelsPerMetre(), source.YPelsPerMetre());
  const std::vector<int> xs = AreaMap(width, newWidth);
  const std::vector<int> ys = AreaMap(height, newHeight);
  // When entry 0 of the palette is white, bit 0 is white, not black.
  const bool complement = RedOf(source.PaletteColour(0)) == 255;

  std::vector<int64_t> ones(static_cast<size_t>(newWidth));
  for (int k = 0; k < newHeight; ++k) {
    std::fill(ones.begin(), ones.end(), 0);
    const int firstRow = ys[static_cast<size_t>(k)];
    const int lastRow = ys[static_cast<size_t>(k) + 1];
    for (int y = firstRow; y <= lastRow; ++y) AddRowOnes(source.ScanLine(y), xs, ones.data());
    const int64_t rows = lastRow - firstRow + 1;
    uint8_t* target = dest.ScanLine(k);
    for (int i = 0; i < newWidth; ++i) {
      const int64_t columns =
          std::max(0, xs[static_cast<size_t>(i) + 1] - xs[static_cast<size_t>(i)]);
      const int64_t n = rows * columns;
      const int grey = AntiAliasGrey(n, n - ones[static_cast<size_t>(i)]);
      target[i] = static_cast<uint8_t>(complement ? 255 - grey : grey);
    }
    Progress(k + 1, 0, newHeight);
  }
}
