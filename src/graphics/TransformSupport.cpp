#include "graphics/TransformSupport.h"

#include <array>
#include <cstring>

namespace {

constexpr std::array<uint8_t, 256> kReversed = [] {
  std::array<uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    int r = 0;
    for (int b = 0; b < 8; ++b)
      if (i & (1 << b)) r |= 0x80 >> b;
    table[static_cast<size_t>(i)] = static_cast<uint8_t>(r);
  }
  return table;
}();

} // namespace

void NewImageLike(const TDibGraphic& source, TDibGraphic& dest, int width, int height) {
  const std::vector<TColour> palette = source.Palette();
  dest.NewImage(width, height, source.XDpi(), source.YDpi(), &palette, source.ImageFormat());
  dest.SetPelsPerMetre(source.XPelsPerMetre(), source.YPelsPerMetre());
}

void CopyRowPixels(uint8_t* dest, const uint8_t* source, int width, int bits) {
  const auto bytes = static_cast<size_t>(DIBRowBytes(width, bits));
  if (bytes == 0) return;
  std::memcpy(dest, source, bytes);
  const int used = static_cast<int>((static_cast<int64_t>(width) * bits) % 8);
  if (used != 0) dest[bytes - 1] &= static_cast<uint8_t>(0xFF00 >> used);
}

void ReverseBitRow(uint8_t* dest, const uint8_t* source, int width) {
  const int bytes = (width + 7) / 8;
  const int shift = bytes * 8 - width;
  for (int m = 0; m < bytes; ++m) {
    const uint8_t high = kReversed[source[bytes - 1 - m]];
    const uint8_t low = m + 1 < bytes ? kReversed[source[bytes - 2 - m]] : 0;
    dest[m] = shift == 0 ? high : static_cast<uint8_t>(high << shift | low >> (8 - shift));
  }
}
