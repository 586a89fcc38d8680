#include "graphics/AntiAliasTransform.h"

#include "raster/Grey.h"

#include <algorithm>
#include <vector>

int64_t CountOnes(const uint8_t* row, const std::vector<int>& prefix, int a, int b) {
  if (a >= b) return 0;
  const int first = a >> 3;
  const int last = (b - 1) >> 3;
  const uint8_t head = kLeftEdgeMask[a & 7];
  const uint8_t tail = kRightEdgeMask[(b - 1) & 7];
  if (first == last) return kBitCount[row[first] & head & tail];
  return kBitCount[row[first] & head] + prefix[static_cast<size_t>(last)] -
         prefix[static_cast<size_t>(first) + 1] + kBitCount[row[last] & tail];
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

  // A destination pixel's count of 1 bits is S(its right edge) - S(its left
  // edge), S(x) being the count of 1 bits left of column x summed over the
  // band's rows. S(x) is the sum of the whole bytes before x's byte (column
  // byte sums, added up across) and of the bits of x's own byte before it
  // (summed at each edge). Each row's byte is read once, not once per cell.
  const int rowBytes = (width + 7) / 8;
  std::vector<int64_t> byteSums(static_cast<size_t>(rowBytes) + 1);
  std::vector<int64_t> edgeSums(static_cast<size_t>(newWidth) + 1);
  std::vector<int64_t> ones(static_cast<size_t>(newWidth));
  for (int k = 0; k < newHeight; ++k) {
    std::fill(byteSums.begin(), byteSums.end(), 0);
    std::fill(edgeSums.begin(), edgeSums.end(), 0);
    const int firstRow = ys[static_cast<size_t>(k)];
    const int lastRow = ys[static_cast<size_t>(k) + 1];
    for (int y = firstRow; y <= lastRow; ++y) {
      const uint8_t* row = source.ScanLine(y);
      for (int m = 0; m < rowBytes; ++m) byteSums[static_cast<size_t>(m) + 1] += kBitCount[row[m]];
      for (int i = 0; i <= newWidth; ++i) {
        const int x = xs[static_cast<size_t>(i)];
        edgeSums[static_cast<size_t>(i)] +=
            kBitCount[row[x >> 3] & static_cast<uint8_t>(~kLeftEdgeMask[x & 7])];
      }
    }
    for (int m = 0; m < rowBytes; ++m)
      byteSums[static_cast<size_t>(m) + 1] += byteSums[static_cast<size_t>(m)];
    auto before = [&](int i) {
      const int x = xs[static_cast<size_t>(i)];
      return byteSums[static_cast<size_t>(x >> 3)] + edgeSums[static_cast<size_t>(i)];
    };
    for (int i = 0; i < newWidth; ++i)
      ones[static_cast<size_t>(i)] =
          xs[static_cast<size_t>(i)] < xs[static_cast<size_t>(i) + 1] ? before(i + 1) - before(i) : 0;
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
