#include "PlainAlgorithms.h"

#include "core/Rounding.h"
#include "raster/PointList.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>
#include <vector>

namespace plain {

namespace {

double Sin(double degrees) {
  return std::sin(degrees * std::numbers::pi / 180);
}

int64_t Score(const std::vector<int64_t>& v, int64_t n) {
  int64_t sum = 0;
  for (int64_t r = 0; r < n; ++r) sum += v[static_cast<size_t>(r)];
  const int64_t mean = sum / n;
  int64_t score = 0;
  for (int64_t r = 0; r < n; ++r)
    score += (v[static_cast<size_t>(r)] - mean) * (v[static_cast<size_t>(r)] - mean);
  return score;
}

int Blend(int bits, double f, int p, int q) {
  if (bits != 24) return static_cast<int>(Round(f * p + (1 - f) * q));
  int result = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const int a = (p >> shift) & 0xFF, b = (q >> shift) & 0xFF;
    result |= static_cast<int>(Round(f * a + (1 - f) * b)) << shift;
  }
  return result;
}

void Enlarge(TDIB& page, int64_t rowTotal, int64_t columnTotal, int fill) {
  const int bits = page.BitCount();
  const uint8_t fillByte = bits == 1   ? (fill > 0 ? 0xFF : 0x00)
                           : bits == 4 ? static_cast<uint8_t>((fill & 0x0F) * 0x11)
                                       : static_cast<uint8_t>(fill);
  page.ResizeCanvas(static_cast<int>(page.Width() + std::abs(rowTotal)),
                    static_cast<int>(page.Height() + std::abs(columnTotal)), fillByte);
  if (columnTotal < 0) {
    page.ShiftRows(static_cast<int>(-columnTotal));
    for (int y = 0; y < -columnTotal; ++y)
      for (int x = 0; x < page.Width(); ++x) page.SetPixel(x, y, fill);
  }
  if (rowTotal > 0) {
    page.ShiftLines(static_cast<int>(rowTotal));
    for (int y = 0; y < page.Height(); ++y)
      for (int x = 0; x < rowTotal; ++x) page.SetPixel(x, y, fill);
  }
}

void RotateWhole(TDIB& page, bool fillWithWhite, double angle, bool enlarge) {
  if (std::abs(angle) < 0.1) return;
  if (page.Width() == 0 || page.Height() == 0) return;
  const int64_t c = Round(Sin(angle) * page.Width());
  const int64_t r = Round(Sin(angle) * page.Height());
  const double b = static_cast<double>(std::abs(c)) / page.Width();
  const double a = static_cast<double>(std::abs(r)) / page.Height();
  const int fill = fillWithWhite ? page.WhiteIndex() : page.BlackIndex();
  if (enlarge) Enlarge(page, r, c, fill);
  const int w = page.Width(), h = page.Height();
  if (angle >= 0) {
    for (int y = 0; y < h; ++y) {
      const int64_t j = std::abs(Round(a * y));
      for (int64_t x = 0; x < w; ++x)
        page.SetPixel(static_cast<int>(x), y,
                      x + j < w ? page.GetPixel(static_cast<int>(x + j), y) : fill);
    }
    for (int x = 0; x < w; ++x) {
      const int64_t j = std::abs(Round(b * x));
      for (int64_t y = h - 1; y >= 0; --y)
        page.SetPixel(x, static_cast<int>(y),
                      y - j >= 0 ? page.GetPixel(x, static_cast<int>(y - j)) : fill);
    }
  } else {
    for (int y = 0; y < h; ++y) {
      const int64_t j = Round(a * y);
      for (int64_t x = w - 1; x >= 0; --x)
        page.SetPixel(static_cast<int>(x), y,
                      x - j >= 0 ? page.GetPixel(static_cast<int>(x - j), y) : fill);
    }
    for (int x = 0; x < w; ++x) {
      const int64_t j = Round(b * x);
      for (int64_t y = 0; y < h; ++y)
        page.SetPixel(x, static_cast<int>(y),
                      y + j < h ? page.GetPixel(x, static_cast<int>(y + j)) : fill);
    }
  }
}

} // namespace

double DetectSkew(const TDIB& page, int stripHeight, double maxAngle, double angleStep) {
  const int bits = page.BitCount();
  if (bits != 1 && bits != 8 && bits != 24) return 0;
  // 1.
  if (std::abs(maxAngle) < 0.1) return 0;
  const int width = page.Width(), height = page.Height();
  // 2.
  int64_t maxShift = Round(Sin(maxAngle) * width);
  if (maxShift >= height) maxShift = height;
  // 3. (a step of 0 counts as 0.1 as a negative one does; at least one step)
  if (angleStep <= 0) angleStep = 0.1;
  int64_t steps = Round(maxAngle / angleStep);
  if (steps < 1) steps = 1;
  int64_t m = maxShift / steps;
  if (m == 0) m = 1;
  // 4.
  int64_t h = stripHeight > 0 ? stripHeight : Round(page.YResolution() / 2.54 / 20);
  if (h < 2) h = 2;
  // 5.
  int colour = page.BlackIndex();
  if (bits != 1) colour = TDIB::HistogramThreshold(page.Histogram(), 0);
  // 6.
  std::vector<int64_t> left(static_cast<size_t>(height)), right(static_cast<size_t>(height));
  double bestScore = 0.0;
  int64_t bestShift = 0;
  for (int64_t s = 0; s <= maxShift; s += m) {
    // a. The s + 1 segments share the whole width: segment k runs from
    // x(k) = k * width div (s + 1) up to x(k + 1).
    const int64_t n = (height - s) / h;
    if (n <= 0) continue;
    // b.
    for (int64_t r = 0; r < n; ++r) {
      const int64_t y0 = r * h;
      left[static_cast<size_t>(r)] = right[static_cast<size_t>(r)] = 0;
      for (int64_t k = 0; k <= s; ++k) {
        const auto y = static_cast<int>(y0 + k);
        const int64_t x0 = k * width / (s + 1), x1 = (k + 1) * width / (s + 1);
        left[static_cast<size_t>(r)] +=
            page.CountRun(static_cast<int>(x0), y, colour, static_cast<int>(x1 - x0));
        right[static_cast<size_t>(r)] +=
            page.CountRun(static_cast<int>(width - x1), y, colour, static_cast<int>(x1 - x0));
      }
    }
    // c, d.
    const int64_t leftScore = Score(left, n);
    if (static_cast<double>(leftScore) > bestScore) {
      bestScore = static_cast<double>(leftScore);
      bestShift = -s;
    }
    const int64_t rightScore = Score(right, n);
    if (static_cast<double>(rightScore) > bestScore) {
      bestScore = static_cast<double>(rightScore);
      bestShift = s;
    }
  }
  // 7.
  if (bestShift == 0) return 0;
  const double v = static_cast<double>(bestShift) / width;
  return std::atan(v / std::sqrt(1 - v * v)) * 180 / std::numbers::pi;
}

void Rotate(TDIB& page, bool fillWithWhite, bool interpolate, double rowAngle, double columnAngle,
            bool enlarge) {
  if (!interpolate) {
    RotateWhole(page, fillWithWhite, rowAngle, enlarge);
    return;
  }
  const int bits = page.BitCount();
  if (bits != 1 && bits != 8 && bits != 24) return;
  // 1.
  if (std::abs(rowAngle) < 0.1 && std::abs(columnAngle) < 0.1) return;
  if (page.Width() == 0 || page.Height() == 0) return;
  // 2.
  const int64_t rowTotal = Round(Sin(rowAngle) * page.Height());
  const double a = static_cast<double>(std::abs(rowTotal)) / page.Height();
  const int64_t columnTotal = Round(Sin(columnAngle) * page.Width());
  const double b = static_cast<double>(std::abs(columnTotal)) / page.Width();
  // 3.
  const int fill = fillWithWhite ? page.WhiteIndex() : page.BlackIndex();
  // 4.
  if (enlarge) Enlarge(page, rowTotal, columnTotal, fill);
  const int W = page.Width(), H = page.Height();
  // 5. Rows and columns whose whole shift is 0 stay.
  if (rowAngle < 0)
    for (int y = 0; y < H; ++y) {
      const double t = a * y;
      const int64_t j = Trunc(t);
      const double f = t - static_cast<double>(j);
      if (j == 0) continue;
      for (int64_t x = W - 1; x >= j; --x)
        page.SetPixel(static_cast<int>(x), y,
                      Blend(bits, f, page.GetPixel(static_cast<int>(x - j), y),
                            page.GetPixel(static_cast<int>(x - j + 1), y)));
      for (int64_t x = 0; x < std::min<int64_t>(j, W); ++x)
        page.SetPixel(static_cast<int>(x), y, fill);
    }
  if (columnAngle < 0)
    for (int x = 0; x < W; ++x) {
      const double t = b * x;
      const int64_t j = Trunc(t);
      const double f = t - static_cast<double>(j);
      if (j == 0) continue;
      for (int64_t y = 0; y <= H - j - 1; ++y)
        page.SetPixel(x, static_cast<int>(y),
                      Blend(bits, f, page.GetPixel(x, static_cast<int>(y + j)),
                            page.GetPixel(x, static_cast<int>(y + j - 1))));
      for (int64_t y = std::max<int64_t>(0, H - j); y < H; ++y)
        page.SetPixel(x, static_cast<int>(y), fill);
    }
  if (rowAngle > 0)
    for (int y = 0; y < H; ++y) {
      const double t = a * y;
      const int64_t j = Trunc(t);
      const double f = t - static_cast<double>(j);
      if (j == 0) continue;
      for (int64_t x = 0; x <= W - j - 1; ++x)
        page.SetPixel(static_cast<int>(x), y,
                      Blend(bits, f, page.GetPixel(static_cast<int>(x + j), y),
                            page.GetPixel(static_cast<int>(x + j - 1), y)));
      for (int64_t x = std::max<int64_t>(0, W - j); x < W; ++x)
        page.SetPixel(static_cast<int>(x), y, fill);
    }
  if (columnAngle > 0)
    for (int x = 0; x < W; ++x) {
      const double t = b * x;
      const int64_t j = Trunc(t);
      const double f = t - static_cast<double>(j);
      if (j == 0) continue;
      for (int64_t y = H - 1; y >= j; --y)
        page.SetPixel(x, static_cast<int>(y),
                      Blend(bits, f, page.GetPixel(x, static_cast<int>(y - j)),
                            page.GetPixel(x, static_cast<int>(y - j + 1))));
      for (int64_t y = 0; y < std::min<int64_t>(j, H); ++y)
        page.SetPixel(x, static_cast<int>(y), fill);
    }
}

void FindBlobs(const TDIB& page, int minWidth, int minHeight, int minPixelCount, int maxWidth,
               int maxHeight, int maxPixelCount, TBlobList* blobs) {
  // 1.
  if (page.BitCount() != 1) throw EDIBError("This operation requires 1 bit per pixel bitmap !");
  // 2.
  const int black = page.BlackIndex();
  const int width = page.Width(), height = page.Height();
  TDIB visited;
  visited.NewImage(width, height, pf1bit, page.XResolution(), page.YResolution());
  // 3.
  for (int x = 0; x < width; ++x)
    for (int y = 0; y < height; ++y) {
      if (page.GetPixel(x, y) != black || visited.GetPixel(x, y) != 0) continue;
      TPointList points; // a.
      points.Add(x, y);
      visited.SetPixel(x, y, 1);
      for (int i = 0; i < points.Count(); ++i) { // b.
        if (points.Item(i).Expanded) continue;
        points.Item(i).Expanded = 1;
        const int px = points.Item(i).X, py = points.Item(i).Y;
        for (int nx = std::max(0, px - 1); nx <= std::min(px + 1, width - 1); ++nx)
          for (int ny = std::max(0, py - 1); ny <= std::min(py + 1, height - 1); ++ny)
            if (page.GetPixel(nx, ny) == black && visited.GetPixel(nx, ny) == 0) {
              points.Add(nx, ny);
              visited.SetPixel(nx, ny, 1);
            }
      }
      const int n = points.Count(); // c.
      if (n < std::max(0, minPixelCount) || n > std::min(INT_MAX, maxPixelCount)) continue;
      TPixelRect rect{INT_MAX, INT_MAX, 0, 0};
      for (int i = 0; i < n; ++i) {
        rect.Left = std::min(rect.Left, points.Item(i).X);
        rect.Top = std::min(rect.Top, points.Item(i).Y);
        rect.Right = std::max(rect.Right, points.Item(i).X);
        rect.Bottom = std::max(rect.Bottom, points.Item(i).Y);
      }
      const int w = rect.Right - rect.Left + 1, h = rect.Bottom - rect.Top + 1;
      if (blobs && minWidth <= w && w <= maxWidth && minHeight <= h && h <= maxHeight)
        blobs->Add(rect, n);
    }
}

void FillRect(TDIB& page, const TPixelRect& rect, int value) {
  for (int y = std::min(rect.Top, rect.Bottom); y <= std::max(rect.Top, rect.Bottom); ++y)
    for (int x = std::min(rect.Left, rect.Right); x <= std::max(rect.Left, rect.Right); ++x)
      if (x >= 0 && y >= 0 && x < page.Width() && y < page.Height()) page.SetPixel(x, y, value);
}

int Despeckle(TDIB& page, int maxWidth, int maxHeight) {
  if (page.BitCount() != 1) throw EDIBError("This operation requires 1 bit per pixel bitmap !");
  if (maxWidth <= 0) {
    maxWidth = static_cast<int>(Round(page.XResolution() / 2.54 / 20));
    if (maxWidth == 0) maxWidth = 2;
  }
  if (maxHeight <= 0) {
    maxHeight = static_cast<int>(Round(page.YResolution() / 2.54 / 20));
    if (maxHeight == 0) maxHeight = 2;
  }
  TBlobList blobs;
  FindBlobs(page, 0, 0, 0, maxWidth, maxHeight, INT_MAX, &blobs);
  for (int i = 0; i < blobs.Count(); ++i) FillRect(page, blobs.Item(i).Rect, page.WhiteIndex());
  return blobs.Count();
}

} // namespace plain
