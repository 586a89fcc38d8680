#include "graphics/ResizeTransform.h"

#include "graphics/PixelAccess.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

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

// The first pass works on blocks of kRows source rows; each source pixel of
// a block is kept as red of each row, then green, then blue, as doubles.
constexpr int kRows = 4;
constexpr int kBlockSamples = 3 * kRows;

std::atomic<bool> gVectorsAllowed = true;

// Whether this resize takes the AVX2 forms below; asked once per resize.
bool UseAvx2() {
#if defined(__x86_64__)
  static const bool processorHasAvx2 = __builtin_cpu_supports("avx2");
  return processorHasAvx2 && gVectorsAllowed.load(std::memory_order_relaxed);
#else
  return false;
#endif
}

#if defined(__x86_64__)
// AVX2 forms of the first pass's two loops. They give exactly the plain
// loops' values: the samples are the same whole numbers, and every lane of a
// vector is one of the plain loop's sums, taking its products and additions
// in the same order and rounding each one (AVX2 alone has no fused
// multiply-add to merge them).

// One pixel of each of kRows true-colour rows, as 32-bit lanes holding the
// bytes blue, green, red and one more, to the pixel's samples.
__attribute__((target("avx2"))) inline void StorePixelSamples(__m128i pixels, double* samples) {
  // Bytes to R0-R3, G0-G3, B0-B3.
  const __m128i order = _mm_setr_epi8(2, 6, 10, 14, 1, 5, 9, 13, 0, 4, 8, 12, -1, -1, -1, -1);
  const __m128i channels = _mm_shuffle_epi8(pixels, order);
  _mm256_storeu_pd(samples, _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(channels)));
  _mm256_storeu_pd(samples + kRows,
                   _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_srli_si128(channels, 4))));
  _mm256_storeu_pd(samples + 2 * kRows,
                   _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_srli_si128(channels, 8))));
}

// The Count bytes of each of kRows rows from offset on, in a 32-bit lane
// each (the rest 0).
template <size_t Count>
__attribute__((target("avx2"))) inline __m128i RowBytes(const uint8_t* const rows[kRows],
                                                        size_t offset) {
  const auto lane = [&](int r) __attribute__((target("avx2"))) {
    uint32_t value = 0;
    std::memcpy(&value, rows[r] + offset, Count);
    return static_cast<int>(value);
  };
  __m128i lanes = _mm_cvtsi32_si128(lane(0));
  lanes = _mm_insert_epi32(lanes, lane(1), 1);
  lanes = _mm_insert_epi32(lanes, lane(2), 2);
  return _mm_insert_epi32(lanes, lane(3), 3);
}

// A block of kRows true-colour rows (blue, green, red bytes) as samples.
__attribute__((target("avx2"))) void UnpackTrueColourAvx2(const uint8_t* const rows[kRows],
                                                          int width, double* samples) {
  static_assert(kRows == 4);
  // Four bytes from each row, but only three from the last pixel, whose
  // fourth may lie past the page's memory.
  for (int x = 0; x + 1 < width; ++x, samples += kBlockSamples)
    StorePixelSamples(RowBytes<4>(rows, 3 * size_t(x)), samples);
  StorePixelSamples(RowBytes<3>(rows, 3 * size_t(width - 1)), samples);
}

// One destination column's weighted sums over the block's samples.
__attribute__((target("avx2"))) void SumAcrossAvx2(const std::vector<TContributor>& contributors,
                                                   const double* samples,
                                                   double sums[kBlockSamples]) {
  __m256d red = _mm256_setzero_pd(), green = _mm256_setzero_pd(), blue = _mm256_setzero_pd();
  for (const TContributor& c : contributors) {
    const double* sample = samples + static_cast<size_t>(c.pixel) * kBlockSamples;
    const __m256d weight = _mm256_set1_pd(c.weight);
    red = _mm256_add_pd(red, _mm256_mul_pd(_mm256_loadu_pd(sample), weight));
    green = _mm256_add_pd(green, _mm256_mul_pd(_mm256_loadu_pd(sample + kRows), weight));
    blue = _mm256_add_pd(blue, _mm256_mul_pd(_mm256_loadu_pd(sample + 2 * kRows), weight));
  }
  _mm256_storeu_pd(sums, red);
  _mm256_storeu_pd(sums + kRows, green);
  _mm256_storeu_pd(sums + 2 * kRows, blue);
}
#endif

void SumAcross(const std::vector<TContributor>& contributors, const double* samples,
               double sums[kBlockSamples], [[maybe_unused]] bool avx2) {
#if defined(__x86_64__)
  if (avx2) return SumAcrossAvx2(contributors, samples, sums);
#endif
  std::fill(sums, sums + kBlockSamples, 0.0);
  for (const TContributor& c : contributors) {
    const double* sample = samples + static_cast<size_t>(c.pixel) * kBlockSamples;
#pragma GCC unroll 12 // the sums stay in registers
    for (int k = 0; k < kBlockSamples; ++k) sums[k] += sample[k] * c.weight;
  }
}

} // namespace

void AllowResizeVectorInstructions(bool allowed) {
  gVectorsAllowed = allowed;
}

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
  const std::vector<TColour> palette = source.Palette();
  std::vector<uint8_t> work(static_cast<size_t>(newWidth) * static_cast<size_t>(height) * 3);
  // The block's samples; the rows a short last block lacks keep the whole
  // values of earlier rows, summed but never stored.
  std::vector<double> samples(static_cast<size_t>(width) * kBlockSamples);
  const bool avx2 = UseAvx2();
  WithBits(source.BitCount(), [&](auto bits) {
    for (int y0 = 0; y0 < height; y0 += kRows) {
      const int rowsHere = std::min(kRows, height - y0);
      const uint8_t* block[kRows];
      for (int r = 0; r < rowsHere; ++r) block[r] = source.ScanLine(y0 + r);
#if defined(__x86_64__)
      if (bits() == 24 && rowsHere == kRows && avx2) {
        UnpackTrueColourAvx2(block, width, samples.data());
      } else
#endif
      {
        // Pixel by pixel across the block's rows, so that the samples are
        // stored in the order they lie in memory.
        double* pixel = samples.data();
        for (int x = 0; x < width; ++x, pixel += kBlockSamples)
          for (int r = 0; r < rowsHere; ++r) {
            const uint32_t value = GetRowValue<bits()>(block[r], x);
            const TColour colour = bits() == 24 ? value : palette[value];
            pixel[r] = kLevels[RedOf(colour)];
            pixel[kRows + r] = kLevels[GreenOf(colour)];
            pixel[2 * kRows + r] = kLevels[BlueOf(colour)];
          }
      }
      for (int i = 0; i < newWidth; ++i) {
        double sums[kBlockSamples];
        SumAcross(columns[static_cast<size_t>(i)], samples.data(), sums, avx2);
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
