#include "raster/DIB.h"

#include "core/Rounding.h"
#include "raster/BitImage.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

// Which pixels the detector counts as dark, one bit per pixel: black on a
// 1-bit page; on 8-bit pages values, on 24-bit pages grey levels, below the
// mean grey level of the page.
TBitImage DarkPixels(const TDIB& page) {
  const int width = page.Width();
  const int height = page.Height();
  if (page.BitCount() == 1) {
    TBitImage dark(page);
    if (page.BlackIndex() == 0)
      for (int y = 0; y < height; ++y) {
        uint64_t* row = dark.Row(y);
        for (int i = 0; i < dark.WordsPerRow(); ++i) row[i] = ~row[i];
      }
    return dark;
  }
  const int threshold = TDIB::HistogramThreshold(page.Histogram(), 0);
  TBitImage dark(width, height);
  const bool grey8 = page.BitCount() == 8;
  // Trunc(level / 100) < threshold exactly when level < 100 * threshold.
  const int scaledThreshold = 100 * threshold;
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = page.ScanLine(y);
    uint64_t* row = dark.Row(y);
    for (int x0 = 0; x0 < width; x0 += 64) {
      const int count = std::min(64, width - x0);
      uint64_t word = 0;
      if (grey8) {
        for (int i = 0; i < count; ++i)
          word |= static_cast<uint64_t>(p[x0 + i] < threshold) << (63 - i);
      } else {
        const uint8_t* q = p + 3 * x0;
        for (int i = 0; i < count; ++i, q += 3)
          word |= static_cast<uint64_t>(30 * q[2] + 59 * q[1] + 11 * q[0] < scaledThreshold)
                  << (63 - i);
      }
      row[x0 / 64] = word;
    }
  }
  return dark;
}

// Dark pixels in the run of length pixels from x (length >= 0); reads at most
// one word past the run. Runs of up to 64 pixels, the most common, are
// counted without a branch on where they lie.
inline __attribute__((always_inline)) int CountDark(const uint64_t* row, int x, int length) {
  const uint64_t* word = row + (x >> 6);
  const int offset = x & 63;
  if (static_cast<unsigned>(length - 1) < 64) {
    const uint64_t window = (word[0] << offset) | ((word[1] >> 1) >> (63 - offset));
    return std::popcount(window & (~uint64_t{0} << (64 - length)));
  }
  if (length <= 0) return 0;
  int count = std::popcount(*word << offset);
  length -= 64 - offset;
  for (++word; length >= 64; ++word, length -= 64) count += std::popcount(*word);
  if (length > 0) count += std::popcount(*word >> (64 - length));
  return count;
}

// The dark pixels of the left and right lines of samples 0 .. n - 1, whose
// segments have the given bounds. Built twice, the processor's population
// count instruction used where there is one.
__attribute__((target_clones("popcnt", "default"))) void
CountLines(const TBitImage& dark, const std::vector<int>& bounds, int strip, int n,
           std::vector<int64_t>& left, std::vector<int64_t>& right) {
  const int width = dark.RowBits();
  const int parts = static_cast<int>(bounds.size()) - 1;
  std::fill(left.begin(), left.begin() + n, 0);
  std::fill(right.begin(), right.begin() + n, 0);
  // Row by row, so that each row is read while it is in the cache: row y
  // holds segment k = y - r * strip of every sample r that reaches it.
  const int lastRow = (n - 1) * strip + parts - 1;
  for (int y = 0; y <= lastRow; ++y) {
    const uint64_t* row = dark.Row(y);
    const int firstSample = y < parts ? 0 : (y - parts + strip) / strip;
    for (int r = std::min(n - 1, y / strip); r >= firstSample; --r) {
      const int k = y - r * strip;
      const int x0 = bounds[static_cast<size_t>(k)], x1 = bounds[static_cast<size_t>(k) + 1];
      left[static_cast<size_t>(r)] += CountDark(row, x0, x1 - x0);
      right[static_cast<size_t>(r)] += CountDark(row, width - x1, x1 - x0);
    }
  }
}

// Sum of squared distances from the mean, the mean taken in integers.
int64_t Score(const std::vector<int64_t>& values, int n) {
  int64_t sum = 0;
  for (int r = 0; r < n; ++r) sum += values[static_cast<size_t>(r)];
  const int64_t mean = sum / n;
  int64_t score = 0;
  for (int r = 0; r < n; ++r) {
    const int64_t d = values[static_cast<size_t>(r)] - mean;
    score += d * d;
  }
  return score;
}

} // namespace

double TDIB::DetectSkew(int stripHeight, double maxAngle, double angleStep) const {
  RequireImage();
  const int bits = BitCount();
  if (bits != 1 && bits != 8 && bits != 24) return 0.0;
  if (std::abs(maxAngle) < 0.1) return 0.0;
  const int width = Width();
  const int height = Height();

  int64_t maxShift = Round(std::sin(maxAngle * std::numbers::pi / 180) * width);
  if (maxShift >= height) maxShift = height;
  // A step of 0 or less counts as 0.1, and a search of less than one step as
  // one step.
  const double step = angleStep > 0 ? angleStep : 0.1;
  int64_t steps = Round(maxAngle / step);
  if (steps < 1) steps = 1;
  int64_t increment = maxShift / steps;
  if (increment == 0) increment = 1;
  int64_t strip = stripHeight > 0 ? stripHeight : Round(YResolution() / 2.54 / 20);
  if (strip < 2) strip = 2;
  if (width == 0 || height == 0 || maxShift < 0) return 0.0;

  // For each shift s, sample lines start every strip rows. The left line of
  // sample r falls by s rows from the left edge to the right edge: the width
  // is cut into s + 1 segments, segment k counted on row r * strip + k. The
  // right line is its mirror image and rises by s rows. The shift whose lines
  // vary most from one sample to the next follows the text lines.
  const TBitImage dark = DarkPixels(*this);
  std::vector<int64_t> left(static_cast<size_t>(height)), right(static_cast<size_t>(height));
  std::vector<int> bounds;
  int64_t bestScore = 0;
  int64_t bestShift = 0;
  for (int64_t s = 0; s <= maxShift; s += increment) {
    const int n = static_cast<int>((height - s) / strip);
    if (n <= 0) continue;
    // bounds[k] = k * width div (s + 1), without a division per segment.
    const auto parts = static_cast<int>(s + 1);
    bounds.resize(static_cast<size_t>(parts) + 1);
    for (int k = 0, x = 0, rest = 0; k <= parts; ++k) {
      bounds[static_cast<size_t>(k)] = x;
      x += width / parts;
      rest += width % parts;
      if (rest >= parts) {
        rest -= parts;
        ++x;
      }
    }
    CountLines(dark, bounds, static_cast<int>(strip), n, left, right);
    const int64_t leftScore = Score(left, n);
    if (leftScore > bestScore) {
      bestScore = leftScore;
      bestShift = -s;
    }
    const int64_t rightScore = Score(right, n);
    if (rightScore > bestScore) {
      bestScore = rightScore;
      bestShift = s;
    }
  }
  if (bestShift == 0) return 0.0;
  const double v = static_cast<double>(bestShift) / width;
  return std::atan(v / std::sqrt(1 - v * v)) * 180 / std::numbers::pi;
}
