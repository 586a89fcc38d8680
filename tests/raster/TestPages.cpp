#include "TestPages.h"

#include <cstring>
#include <random>

namespace test {

namespace {

int DarkValue(int bits, std::mt19937_64& random) {
  switch (bits) {
  case 1:
    return 0;
  case 4:
    return static_cast<int>(random() % 6);
  case 8:
    return static_cast<int>(random() % 90);
  default:
    return static_cast<int>(random() % 120) | static_cast<int>(random() % 90) << 8 |
           static_cast<int>(random() % 100) << 16;
  }
}

int LightValue(int bits, std::mt19937_64& random) {
  switch (bits) {
  case 1:
    return 1;
  case 4:
    return 10 + static_cast<int>(random() % 6);
  case 8:
    return 170 + static_cast<int>(random() % 86);
  default:
    return (160 + static_cast<int>(random() % 96)) | (150 + static_cast<int>(random() % 106)) << 8 |
           (170 + static_cast<int>(random() % 86)) << 16;
  }
}

TPixelFormat Format(int bits) {
  return bits == 1 ? pf1bit : bits == 4 ? pf4bit : bits == 8 ? pf8bit : pf24bit;
}

void RandomPadding(TDIB& page, std::mt19937_64& random) {
  for (int y = 0; y < page.Height(); ++y) {
    uint8_t* row = page.ScanLine(y);
    const int64_t usedBits = int64_t{page.Width()} * page.BitCount();
    if (usedBits % 8) {
      const auto keep = static_cast<uint8_t>(0xFF << (8 - usedBits % 8));
      row[usedBits / 8] =
          static_cast<uint8_t>((row[usedBits / 8] & keep) | (random() & ~keep & 0xFF));
    }
    for (int i = page.RowBytes(); i < page.Stride(); ++i) row[i] = static_cast<uint8_t>(random());
  }
}

} // namespace

void RandomPage(TDIB& page, int bits, int width, int height, double darkShare, uint64_t seed,
                int dpi) {
  page.NewImage(width, height, Format(bits), dpi, dpi);
  std::mt19937_64 random(seed);
  std::bernoulli_distribution dark(darkShare);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      page.SetPixel(x, y, dark(random) ? DarkValue(bits, random) : LightValue(bits, random));
  RandomPadding(page, random);
}

void BlockPage(TDIB& page, int bits, int width, int height, int count, uint64_t seed, int dpi) {
  page.NewImage(width, height, Format(bits), dpi, dpi);
  std::mt19937_64 random(seed);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) page.SetPixel(x, y, LightValue(bits, random));
  for (int i = 0; i < count; ++i) {
    const int w = 1 + static_cast<int>(random() % static_cast<uint64_t>(std::max(1, width / 4)));
    const int h = random() % 3 == 0 ? 1 + static_cast<int>(random() % 3)
                                    : 1 + static_cast<int>(random() % 12);
    const int x0 = static_cast<int>(random() % static_cast<uint64_t>(width));
    const int y0 = static_cast<int>(random() % static_cast<uint64_t>(height));
    const int value = DarkValue(bits, random);
    for (int y = y0; y < std::min(height, y0 + h); ++y)
      for (int x = x0; x < std::min(width, x0 + w); ++x) page.SetPixel(x, y, value);
  }
  RandomPadding(page, random);
}

void CopyPage(const TDIB& from, TDIB& to) {
  const int bits = from.BitCount();
  to.NewImage(from.Width(), from.Height(), Format(bits), from.XResolution(), from.YResolution());
  for (int i = 0; i < from.ColorCount(); ++i) to.SetPaletteEntry(i, from.PaletteEntry(i));
  for (int y = 0; y < from.Height(); ++y)
    std::memcpy(to.ScanLine(y), from.ScanLine(y), static_cast<size_t>(from.Stride()));
}

std::string PixelDifference(const TDIB& a, const TDIB& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.BitCount() != b.BitCount())
    return "sizes " + std::to_string(a.Width()) + "x" + std::to_string(a.Height()) + "x" +
           std::to_string(a.BitCount()) + " and " + std::to_string(b.Width()) + "x" +
           std::to_string(b.Height()) + "x" + std::to_string(b.BitCount());
  for (int y = 0; y < a.Height(); ++y) {
    if (std::memcmp(a.ScanLine(y), b.ScanLine(y), static_cast<size_t>(a.RowBytes())) == 0) continue;
    for (int x = 0; x < a.Width(); ++x)
      if (a.GetPixel(x, y) != b.GetPixel(x, y))
        return "pixel (" + std::to_string(x) + ", " + std::to_string(y) +
               "): " + std::to_string(a.GetPixel(x, y)) + " and " +
               std::to_string(b.GetPixel(x, y));
  }
  return "";
}

} // namespace test
