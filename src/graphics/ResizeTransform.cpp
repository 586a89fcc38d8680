#include "graphics/ResizeTransform.h"

#include "graphics/PixelAccess.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

double Sinc(double x) {
  if (x == 0) return 1;
  x *= std::numbers::pi;
  return std::sin(x) / x;
}

struct TContributor {
  int pixel;
  double weight;
};
using TContributors = std::vector<std::vector<TContributor>>;

// The source pixels each destination pixel draws on, and their weights.
// Outside the source the line is mirrored at its ends.
TContributors Contributors(int destSize, int sourceSize, double scale, int filterIndex) {
  const double support = ResizeFilterSupport(filterIndex);
  TContributors list(static_cast<size_t>(destSize));
  for (int i = 0; i < destSize; ++i) {
    const double centre = i / scale;
    const double reach = scale < 1 ? support / scale : support;
    const auto left = static_cast<int64_t>(std::floor(centre - reach));
    const auto right = static_cast<int64_t>(std::ceil(centre + reach));
    for (int64_t j = left; j <= right; ++j) {
      const double weight = scale < 1 ? ResizeFilter(filterIndex, (centre - j) * scale) * scale
                                      : ResizeFilter(filterIndex, centre - j);
      if (weight == 0) continue;
      const int64_t n = j < 0 ? -j : j >= sourceSize ? 2 * int64_t{sourceSize} - 1 - j : j;
      if (n < 0 || n >= sourceSize) continue;
      list[static_cast<size_t>(i)].push_back({static_cast<int>(n), weight});
    }
  }
  return list;
}

// Each 8-bit level as a double, looked up rather than converted.
constexpr auto kLevels = [] {
  std::array<double, 256> levels{};
  for (int i = 0; i < 256; ++i) levels[static_cast<size_t>(i)] = i;
  return levels;
}();

// The nearest whole value, halves to even as Round gives them; the weighted
// sums are always finite, and the processor's rounding mode is never changed.
uint8_t Clamped(double value) {
  if (value > 255) return 255;
  if (value < 0) return 0;
  return static_cast<uint8_t>(std::nearbyint(value));
}

} // namespace

double ResizeFilterSupport(int filterIndex) {
  static const double support[kResizeFilterCount] = {1.0, 1.0, 1.5, 2.0, 3.0, 2.0};
  if (filterIndex < 0 || filterIndex >= kResizeFilterCount)
    throw EGraphicError(FormatText("Invalid filter index %d", filterIndex));
  return support[filterIndex];
}

double ResizeFilter(int filterIndex, double x) {
  const double t = std::abs(x);
  switch (filterIndex) {
  case 0:
    return t < 1 ? 1 - t : 0;
  case 1:
    return t < 1 ? (2 * t - 3) * t * t + 1 : 0;
  case 2:
    if (t < 0.5) return 0.75 - t * t;
    if (t < 1.5) return 0.5 * (t - 1.5) * (t - 1.5);
    return 0;
  case 3:
    if (t < 1) return 2.0 / 3.0 - t * t + t * t * t / 2;
    if (t < 2) return (2 - t) * (2 - t) * (2 - t) / 6;
    return 0;
  case 4:
    return t < 3 ? Sinc(t) * Sinc(t / 3) : 0;
  case 5:
    if (t < 1) return (7 * t * t * t - 12 * t * t + 16.0 / 3.0) / 6;
    if (t < 2) return (-7.0 / 3.0 * t * t * t + 12 * t * t - 20 * t + 32.0 / 3.0) / 6;
    return 0;
  default:
    throw EGraphicError(FormatText("Invalid filter index %d", filterIndex));
  }
}

void TResizeTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& dest) {
  Progress(0, 0, 1);
  if (source.Empty() || source.Width() < 1 || source.Height() < 1)
    throw EGraphicError("Source graphic too small");
  if (Smooth)
    Filter(source, dest);
  else
    Stretch(source, dest);
  Progress(1, 0, 1);
}

namespace {

void NewDestination(const TDibGraphic& source, TDibGraphic& dest, int width, int height,
                    TImageFormat format) {
  const std::vector<TColour> palette =
      format == source.ImageFormat() ? source.Palette() : DefaultPalette(format);
  dest.NewImage(width, height, source.XDpi(), source.YDpi(), &palette, format);
  dest.SetPelsPerMetre(source.XPelsPerMetre(), source.YPelsPerMetre());
}

} // namespace

void TResizeTransform::Stretch(const TDibGraphic& source, TDibGraphic& dest) {
  if (OutWidth < 0 || OutHeight < 0) throw EGraphicError("Destination graphic too small");
  const TImageFormat format = ForceFormat ? ForcedFormat : source.ImageFormat();
  NewDestination(source, dest, OutWidth, OutHeight, format);
  const int64_t width = source.Width();
  const int64_t height = source.Height();
  const bool sameFormat = format == source.ImageFormat();
  const bool averaging = source.ImageFormat() == ifTrueColor && width * height > 1024;
  for (int j = 0; j < OutHeight; ++j) {
    const auto y0 = static_cast<int>(j * height / OutHeight);
    const auto y1 = std::max(y0 + 1, static_cast<int>((j + 1) * height / OutHeight));
    for (int i = 0; i < OutWidth; ++i) {
      const auto x0 = static_cast<int>(i * width / OutWidth);
      if (!averaging) {
        if (sameFormat)
          dest.SetPixelValue(i, j, source.PixelValue(x0, y0));
        else
          dest.SetPixel(i, j, source.Pixel(x0, y0));
        continue;
      }
      const auto x1 = std::max(x0 + 1, static_cast<int>((i + 1) * width / OutWidth));
      int64_t red = 0, green = 0, blue = 0;
      for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
          const TColour colour = source.Pixel(x, y);
          red += RedOf(colour), green += GreenOf(colour), blue += BlueOf(colour);
        }
      const int64_t count = int64_t{x1 - x0} * (y1 - y0);
      dest.SetPixel(i, j,
                    ColourOf(static_cast<int>((red + count / 2) / count),
                             static_cast<int>((green + count / 2) / count),
                             static_cast<int>((blue + count / 2) / count)));
    }
    Progress(j + 1, 0, OutHeight);
  }
}

void TResizeTransform::Filter(const TDibGraphic& source, TDibGraphic& dest) {
  if (OutWidth <= 1 || OutHeight <= 1) throw EGraphicError("Destination graphic too small");
  const int width = source.Width();
  const int height = source.Height();
  const int newWidth = OutWidth;
  const int newHeight = OutHeight;
  const double xScale = width == 1 ? static_cast<double>(newWidth) / width
                                   : static_cast<double>(newWidth - 1) / (width - 1);
  const double yScale = height == 1 ? static_cast<double>(newHeight) / height
                                    : static_cast<double>(newHeight - 1) / (height - 1);
  const TContributors columns = Contributors(newWidth, width, xScale, FilterIndex);
  const TContributors rows = Contributors(newHeight, height, yScale, FilterIndex);
  const TImageFormat format = ForceFormat ? ForcedFormat : source.ImageFormat();
  NewDestination(source, dest, newWidth, newHeight, format);
  const int64_t steps = int64_t{height} + newWidth;

  // First pass: every source row, resampled across, into a true-colour work
  // image of the destination's width and the source's height. kRows rows go
  // through together: each sum keeps its own order of additions, and the
  // processor overlaps the rows' independent sums instead of waiting on one.
  constexpr int kRows = 4;
  const std::vector<TColour> palette = source.Palette();
  std::vector<uint8_t> work(static_cast<size_t>(newWidth) * static_cast<size_t>(height) * 3);
  // The block's samples, pixel by pixel: red of each row, then green, blue.
  std::vector<double> samples(static_cast<size_t>(width) * 3 * kRows);
  WithBits(source.BitCount(), [&](auto bits) {
    for (int y0 = 0; y0 < height; y0 += kRows) {
      const int rowsHere = std::min(kRows, height - y0);
      // Pixel by pixel across the block's rows, so that the samples are
      // stored in the order they lie in memory.
      const uint8_t* block[kRows];
      for (int r = 0; r < rowsHere; ++r) block[r] = source.ScanLine(y0 + r);
      double* pixel = samples.data();
      for (int x = 0; x < width; ++x, pixel += 3 * kRows)
        for (int r = 0; r < rowsHere; ++r) {
          const uint32_t value = GetRowValue<bits()>(block[r], x);
          const TColour colour = bits() == 24 ? value : palette[value];
          pixel[r] = kLevels[RedOf(colour)];
          pixel[kRows + r] = kLevels[GreenOf(colour)];
          pixel[2 * kRows + r] = kLevels[BlueOf(colour)];
        }
      for (int i = 0; i < newWidth; ++i) {
        double sums[3 * kRows] = {};
        for (const TContributor& c : columns[static_cast<size_t>(i)]) {
          const double* sample = samples.data() + static_cast<size_t>(c.pixel) * 3 * kRows;
#pragma GCC unroll 12 // the sums stay in registers
          for (int k = 0; k < 3 * kRows; ++k) sums[k] += sample[k] * c.weight;
        }
        for (int r = 0; r < rowsHere; ++r) {
          uint8_t* out =
              work.data() + (static_cast<size_t>(y0 + r) * static_cast<size_t>(newWidth) + i) * 3;
          out[0] = Clamped(sums[r]);
          out[1] = Clamped(sums[kRows + r]);
          out[2] = Clamped(sums[2 * kRows + r]);
        }
      }
      for (int r = 0; r < rowsHere; ++r) Progress(y0 + r + 1, 0, steps);
    }
  });

  // Second pass: every column of the work image, resampled down.
  const bool trueColour = format == ifTrueColor;
  for (int i = 0; i < newWidth; ++i) {
    for (int j = 0; j < newHeight; ++j) {
      double red = 0, green = 0, blue = 0;
      for (const TContributor& c : rows[static_cast<size_t>(j)]) {
        const uint8_t* p =
            work.data() + (static_cast<size_t>(c.pixel) * static_cast<size_t>(newWidth) + i) * 3;
        red += p[0] * c.weight;
        green += p[1] * c.weight;
        blue += p[2] * c.weight;
      }
      const TColour colour = ColourOf(Clamped(red), Clamped(green), Clamped(blue));
      if (trueColour)
        dest.SetPixelValue(i, j, colour);
      else
        dest.SetPixel(i, j, colour);
    }
    Progress(height + i + 1, 0, steps);
  }
}
