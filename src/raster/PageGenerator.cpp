#include "raster/PageGenerator.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

class TRandom {
public:
  explicit TRandom(uint64_t seed) : FState(seed) {}
  uint64_t Next() {
    uint64_t z = (FState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, n).
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
  double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  double Between(double low, double high) { return low + (high - low) * Unit(); }

private:
  uint64_t FState;
};

uint32_t Noise(uint64_t seed, int x, int y) {
  uint64_t z =
      seed ^ (static_cast<uint64_t>(static_cast<uint32_t>(x)) << 32) ^ static_cast<uint32_t>(y);
  z = (z ^ (z >> 33)) * 0xFF51AFD7ED558CCDull;
  z = (z ^ (z >> 33)) * 0xC4CEB9FE1A85EC53ull;
  return static_cast<uint32_t>(z ^ (z >> 33));
}

struct TRect {
  double left, top, right, bottom;
};

// Paints ink into the page, by depth.
class TInk {
public:
  TInk(TDIB& page, uint64_t seed) : FPage(page), FSeed(seed), FBits(page.BitCount()) {}

  void Paper() {
    if (FBits == 1) {
      FPage.FillBits(0xFF);
      return;
    }
    for (int y = 0; y < FPage.Height(); ++y) {
      uint8_t* row = FPage.ScanLine(y);
      for (int x = 0; x < FPage.Width(); ++x) {
        int n = static_cast<int>(Noise(FSeed, x, y) % 9);
        if (FBits == 8) {
          row[x] = static_cast<uint8_t>(238 + n);
        } else {
          row[3 * x] = static_cast<uint8_t>(228 + n);     // blue
          row[3 * x + 1] = static_cast<uint8_t>(240 + n); // green
          row[3 * x + 2] = static_cast<uint8_t>(244 + n); // red
        }
      }
    }
  }

  void Dot(int x, int y) {
    if (x < 0 || y < 0 || x >= FPage.Width() || y >= FPage.Height()) return;
    uint8_t* row = FPage.ScanLine(y);
    if (FBits == 1) {
      row[x >> 3] &= static_cast<uint8_t>(~(0x80 >> (x & 7)));
      return;
    }
    int n = static_cast<int>(Noise(~FSeed, x, y) % 25);
    if (FBits == 8) {
      row[x] = static_cast<uint8_t>(18 + n);
    } else {
      row[3 * x] = static_cast<uint8_t>(70 + n);
      row[3 * x + 1] = static_cast<uint8_t>(34 + n);
      row[3 * x + 2] = static_cast<uint8_t>(28 + n);
    }
  }

  // Fills the pixels whose centres lie inside the convex quadrilateral.
  void Quad(const double (&px)[4], const double (&py)[4]) {
    double top = *std::min_element(py, py + 4), bottom = *std::max_element(py, py + 4);
    int y0 = std::max(0, static_cast<int>(std::ceil(top - 0.5)));
    int y1 = std::min(FPage.Height() - 1, static_cast<int>(std::floor(bottom - 0.5)));
    for (int y = y0; y <= y1; ++y) {
      double cy = y + 0.5, left = 1e300, right = -1e300;
      for (int i = 0; i < 4; ++i) {
        int j = (i + 1) % 4;
        double ya = py[i], yb = py[j];
        if ((cy < std::min(ya, yb)) || (cy > std::max(ya, yb))) continue;
        double x =
            ya == yb ? std::min(px[i], px[j]) : px[i] + (cy - ya) * (px[j] - px[i]) / (yb - ya);
        double x2 = ya == yb ? std::max(px[i], px[j]) : x;
        left = std::min(left, x);
        right = std::max(right, x2);
      }
      int x0 = std::max(0, static_cast<int>(std::ceil(left - 0.5)));
      int x1 = std::min(FPage.Width() - 1, static_cast<int>(std::floor(right - 0.5)));
      for (int x = x0; x <= x1; ++x) Dot(x, y);
    }
  }

private:
  TDIB& FPage;
  uint64_t FSeed;
  int FBits;
};

// Turns upright page coordinates by the skew about the page centre.
class TSkew {
public:
  TSkew(double degrees, double cx, double cy)
      : FCos(std::cos(degrees * std::numbers::pi / 180)),
        FSin(std::sin(degrees * std::numbers::pi / 180)), FCx(cx), FCy(cy) {}
  // Rows count downwards, so a positive angle (lines rising to the right)
  // maps x to a smaller y further right.
  void Apply(double x, double y, double& outX, double& outY) const {
    double dx = x - FCx, dy = y - FCy;
    outX = FCx + dx * FCos + dy * FSin;
    outY = FCy - dx * FSin + dy * FCos;
  }

private:
  double FCos, FSin, FCx, FCy;
};

class TTypesetter {
public:
  TTypesetter(TInk& ink, const TSkew& skew, TRandom& random)
      : FInk(ink), FSkew(skew), FRandom(random) {}

  void Rect(double left, double top, double right, double bottom) {
    double px[4], py[4];
    FSkew.Apply(left, top, px[0], py[0]);
    FSkew.Apply(right, top, px[1], py[1]);
    FSkew.Apply(right, bottom, px[2], py[2]);
    FSkew.Apply(left, bottom, px[3], py[3]);
    FInk.Quad(px, py);
  }

  // One glyph with its left edge at x on the baseline; returns its advance.
  double Glyph(double x, double baseline, double size) {
    const double xHeight = 0.5 * size, ascent = 0.72 * size, descent = 0.22 * size;
    const double stroke = std::max(1.0, 0.075 * size);
    const double width = size * FRandom.Between(0.38, 0.58);
    const double top = baseline - xHeight;
    switch (FRandom.Below(9)) {
    case 0: // n, u, m: two legs joined
      Rect(x, top, x + stroke, baseline);
      Rect(x + width - stroke, top, x + width, baseline);
      Rect(x, top, x + width, top + stroke);
      break;
    case 1: // o, e: a bowl
      Rect(x, top, x + width, top + stroke);
      Rect(x, baseline - stroke, x + width, baseline);
      Rect(x, top, x + stroke, baseline);
      Rect(x + width - stroke, top, x + width, baseline);
      if (FRandom.Below(2))
        Rect(x, top + xHeight / 2 - stroke / 2, x + width, top + xHeight / 2 + stroke / 2);
      break;
    case 2: // l, d, b, h: an ascender
      Rect(x + width / 2 - stroke / 2, baseline - ascent, x + width / 2 + stroke / 2, baseline);
      if (FRandom.Below(2)) {
        Rect(x, top, x + width / 2, top + stroke);
        Rect(x, baseline - stroke, x + width / 2, baseline);
        Rect(x, top, x + stroke, baseline);
      }
      return width * 0.8 + 0.12 * size;
    case 3: // p, q, g, y: a descender
      Rect(x, top, x + stroke, baseline + descent);
      Rect(x, top, x + width, top + stroke);
      Rect(x + width - stroke, top, x + width, baseline);
      Rect(x, baseline - stroke, x + width, baseline);
      break;
    case 4: // i, j: a stem and a dot
      Rect(x, top, x + stroke, baseline);
      Rect(x, top - 2.5 * stroke, x + stroke, top - 1.2 * stroke);
      return stroke + 0.14 * size;
    case 5: // t, f: a stem with a cross bar
      Rect(x + stroke, baseline - 0.62 * size, x + 2 * stroke, baseline);
      Rect(x, top, x + width * 0.8, top + stroke);
      return width * 0.8 + 0.1 * size;
    case 6: // s, z: three bars and two half stems
      Rect(x, top, x + width, top + stroke);
      Rect(x, top + xHeight / 2 - stroke / 2, x + width, top + xHeight / 2 + stroke / 2);
      Rect(x, baseline - stroke, x + width, baseline);
      Rect(x, top, x + stroke, top + xHeight / 2);
      Rect(x + width - stroke, top + xHeight / 2, x + width, baseline);
      break;
    case 7: // v, x, w: two slanted legs drawn as staggered blocks
      for (int k = 0; k < 4; ++k) {
        double t = k / 4.0, dy = xHeight / 4;
        Rect(x + t * width / 2, top + k * dy, x + t * width / 2 + 1.4 * stroke, top + (k + 1) * dy);
        Rect(x + width - t * width / 2 - 1.4 * stroke, top + k * dy, x + width - t * width / 2,
             top + (k + 1) * dy);
      }
      break;
    default: // r, c, a
      Rect(x, top, x + stroke, baseline);
      Rect(x, top, x + width * 0.75, top + stroke);
      if (FRandom.Below(2)) Rect(x, baseline - stroke, x + width * 0.75, baseline);
      return width * 0.75 + 0.12 * size;
    }
    return width + 0.12 * size;
  }

  // Sets one line of words from left to at most right; returns where it ended.
  double Line(double left, double right, double baseline, double size, bool shortLine) {
    double x = left;
    const double limit = shortLine ? left + (right - left) * FRandom.Between(0.25, 0.8) : right;
    while (true) {
      int letters = 1 + FRandom.Below(9);
      double wordWidth = letters * 0.62 * size;
      if (x + wordWidth > limit) break;
      for (int i = 0; i < letters; ++i) x += Glyph(x, baseline, size);
      if (FRandom.Below(12) == 0) { // a full stop or comma
        Rect(x, baseline - 0.1 * size, x + 0.1 * size, baseline);
        x += 0.15 * size;
      }
      x += size * FRandom.Between(0.28, 0.4);
    }
    return x;
  }

private:
  TInk& FInk;
  const TSkew& FSkew;
  TRandom& FRandom;
};

} // namespace

void GeneratePage(TDIB& page, const TPageSpec& layout) {
  TPixelFormat format = layout.Bits == 1    ? pf1bit
                        : layout.Bits == 8  ? pf8bit
                        : layout.Bits == 24 ? pf24bit
                                            : pfCustom;
  page.NewImage(layout.Width, layout.Height, format, layout.Dpi, layout.Dpi);
  TRandom random(layout.Seed);
  TInk ink(page, layout.Seed);
  ink.Paper();

  const double dpi = layout.Dpi > 0 ? layout.Dpi : 300;
  const double size = dpi * 11.0 / 72.0;  // 11-point type
  const double pitch = dpi * 14.0 / 72.0; // on 14-point lines
  const double margin = std::min(dpi * 0.9, std::min(layout.Width, layout.Height) / 8.0);
  const double left = margin, right = layout.Width - margin;
  TSkew skew(layout.SkewDegrees, layout.Width / 2.0, layout.Height / 2.0);
  TTypesetter setter(ink, skew, random);

  double baseline = margin + 1.6 * size;
  if (right - left > 4 * size) {
    // A heading, then paragraphs with indented first lines.
    setter.Line(left, right, baseline, 1.6 * size, true);
    baseline += 2.2 * pitch;
    int linesLeft = 3 + random.Below(8);
    bool first = true;
    while (baseline + 0.3 * size < layout.Height - margin) {
      bool last = --linesLeft == 0;
      setter.Line(first ? left + 2 * size : left, right, baseline, size, last);
      first = false;
      baseline += pitch;
      if (last) {
        baseline += 0.6 * pitch;
        linesLeft = 3 + random.Below(8);
        first = true;
      }
    }
  }

  if (layout.Specks) {
    // About three specks to the square centimetre, one to three pixels across.
    const double squareCentimetres = (layout.Width / dpi) * (layout.Height / dpi) * 6.4516;
    const int count = static_cast<int>(squareCentimetres * 3);
    const int largest = std::max(1, std::min(3, static_cast<int>(dpi / 100)));
    for (int i = 0; i < count; ++i) {
      int x = random.Below(std::max(1, layout.Width)), y = random.Below(std::max(1, layout.Height));
      int w = 1 + random.Below(largest), h = 1 + random.Below(largest);
      for (int dy = 0; dy < h; ++dy)
        for (int dx = 0; dx < w; ++dx) ink.Dot(x + dx, y + dy);
    }
  }
}
