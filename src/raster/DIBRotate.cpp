#include "raster/DIB.h"

#include "core/Rounding.h"
#include "raster/BitImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

// Rotation by two shears: every row moves sideways by an amount that grows
// with the row number, then every column moves up or down by an amount that
// grows with the column number. With interpolation a row or column whose
// shift is j + f is blended from the two pixels j and j - 1 places away with
// the weights f and 1 - f; it moves by j - 1 + f pixels and gets j fill
// pixels. Shears of whole pixels move by Round(shift).

namespace {

double SinDegrees(double angle) {
  return std::sin(angle * std::numbers::pi / 180);
}

// The whole and fractional parts of a shift.
struct TShift {
  int64_t j;
  double f;
};

TShift ShiftAt(double factor, int index) {
  const double t = factor * index;
  const int64_t j = Trunc(t);
  return {j, t - static_cast<double>(j)};
}

// Round(f * p + (1 - f) * q) for 0 <= p, q <= 255. Adding and taking away
// 2^52 leaves the nearest integer of a value below 2^51, halves going to the
// even neighbour, which is Round.
inline uint8_t Blend(double f, double g, uint8_t p, uint8_t q) {
  const double value = f * p + g * q;
  return static_cast<uint8_t>((value + 0x1p52) - 0x1p52);
}

// dst[i] = Blend(f, g, a[i], b[i]) for count bytes; a or b may be dst itself.
void BlendBytes(uint8_t* dst, const uint8_t* a, const uint8_t* b, double f, int64_t count) {
  const double g = 1 - f;
  for (int64_t i = 0; i < count; ++i) dst[i] = Blend(f, g, a[i], b[i]);
}

void FillPixels(uint8_t* row, int bytesPerPixel, int64_t first, int64_t end, int value) {
  if (first >= end) return;
  if (bytesPerPixel == 1) {
    std::memset(row + first, value, static_cast<size_t>(end - first));
    return;
  }
  for (int64_t x = first; x < end; ++x) {
    uint8_t* p = row + 3 * x;
    p[0] = static_cast<uint8_t>(value >> 16);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value);
  }
}

// The four outcomes of blending two 1-bit pixels with the weights f and 1 - f,
// as masks of all ones or all zeros: v[p * 2 + q] for the pixels p and q.
struct TBitBlend {
  uint64_t v[4];
};

TBitBlend BitBlend(double f) {
  TBitBlend blend;
  for (int p = 0; p < 2; ++p)
    for (int q = 0; q < 2; ++q)
      blend.v[p * 2 + q] = Round(f * p + (1 - f) * q) > 0 ? ~uint64_t{0} : 0;
  return blend;
}

inline uint64_t Combine(uint64_t a, uint64_t b, uint64_t v00, uint64_t v01, uint64_t v10,
                        uint64_t v11) {
  return (a & b & v11) | (a & ~b & v10) | (~a & b & v01) | (~a & ~b & v00);
}

// ---- Interpolated shears of 8- and 24-bit pages, in place on the rows.

void ShearRowsBytes(TDIB& page, double a, bool moveRight, int fill) {
  const int width = page.Width();
  const int c = page.BitCount() / 8;
  std::vector<uint8_t> old(static_cast<size_t>(width) * c);
  for (int y = 0; y < page.Height(); ++y) {
    const TShift s = ShiftAt(a, y);
    if (s.j == 0) continue;
    uint8_t* row = page.ScanLine(y);
    const int64_t j = std::min<int64_t>(s.j, width);
    if (j < width) {
      std::memcpy(old.data(), row, old.size());
      const int64_t count = (width - j) * c;
      if (moveRight) // new(x) = blend(old(x - j), old(x - j + 1)) for x >= j
        BlendBytes(row + j * c, old.data(), old.data() + c, s.f, count);
      else // new(x) = blend(old(x + j), old(x + j - 1)) for x < width - j
        BlendBytes(row, old.data() + j * c, old.data() + (j - 1) * c, s.f, count);
    }
    if (moveRight)
      FillPixels(row, c, 0, j, fill);
    else
      FillPixels(row, c, width - j, width, fill);
  }
}

// Columns grouped into runs of the same whole shift, with the weights of
// every byte of the run.
struct TColumnRuns {
  struct TRun {
    int first, end; // columns
    int64_t j;
  };
  std::vector<TRun> runs;
  std::vector<double> f, g; // per byte of a row
};

TColumnRuns ColumnRuns(int width, int bytesPerPixel, double b) {
  TColumnRuns result;
  result.f.resize(static_cast<size_t>(width) * bytesPerPixel);
  result.g.resize(result.f.size());
  for (int x = 0; x < width; ++x) {
    const TShift s = ShiftAt(b, x);
    for (int i = 0; i < bytesPerPixel; ++i) {
      result.f[static_cast<size_t>(x) * bytesPerPixel + i] = s.f;
      result.g[static_cast<size_t>(x) * bytesPerPixel + i] = 1 - s.f;
    }
    if (result.runs.empty() || result.runs.back().j != s.j)
      result.runs.push_back({x, x + 1, s.j});
    else
      result.runs.back().end = x + 1;
  }
  return result;
}

void ShearColumnsBytes(TDIB& page, double b, bool moveDown, int fill) {
  const int height = page.Height();
  const int c = page.BitCount() / 8;
  const TColumnRuns columns = ColumnRuns(page.Width(), c, b);
  for (int i = 0; i < height; ++i) {
    // Moving up works from the top row down, moving down from the bottom row
    // up, so every row read still holds its old pixels.
    const int y = moveDown ? height - 1 - i : i;
    uint8_t* row = page.ScanLine(y);
    for (const TColumnRuns::TRun& run : columns.runs) {
      if (run.j == 0) continue;
      const bool filled = moveDown ? y < run.j : y >= height - run.j;
      if (filled) {
        FillPixels(row, c, run.first, run.end, fill);
        continue;
      }
      const auto j = static_cast<int>(run.j);
      const uint8_t* a = page.ScanLine(moveDown ? y - j : y + j);
      const uint8_t* bRow = page.ScanLine(moveDown ? y - j + 1 : y + j - 1);
      const double* f = columns.f.data();
      const double* g = columns.g.data();
      for (int64_t k = int64_t{run.first} * c; k < int64_t{run.end} * c; ++k) {
        const double value = f[k] * a[k] + g[k] * bRow[k];
        row[k] = static_cast<uint8_t>((value + 0x1p52) - 0x1p52);
      }
    }
  }
}

// ---- Interpolated shears of 1-bit pages, on words of 64 pixels.

void ShearRowsBits(TBitImage& image, double a, bool moveRight, int fill) {
  const int width = image.RowBits();
  const int words = image.WordsPerRow();
  const uint64_t pattern = FillPattern(1, fill);
  std::vector<uint64_t> near(static_cast<size_t>(words)), far(static_cast<size_t>(words));
  for (int y = 0; y < image.Height(); ++y) {
    const TShift s = ShiftAt(a, y);
    if (s.j == 0) continue;
    uint64_t* row = image.Row(y);
    const int64_t j = std::min<int64_t>(s.j, width);
    if (j < width) {
      // far: the pixel j places away; near: the one j - 1 places away.
      ShiftBits(far.data(), row, words, moveRight ? j : -j);
      ShiftBits(near.data(), row, words, moveRight ? j - 1 : -(j - 1));
      const TBitBlend blend = BitBlend(s.f);
      for (int i = 0; i < words; ++i)
        row[i] = Combine(far[static_cast<size_t>(i)], near[static_cast<size_t>(i)], blend.v[0],
                         blend.v[1], blend.v[2], blend.v[3]);
    }
    if (moveRight)
      FillBitRange(row, 0, j, pattern);
    else
      FillBitRange(row, width - j, width, pattern);
  }
}

// The columns of one word that share a whole shift, with the masks of the
// columns whose blend gives each outcome.
struct TBitSegment {
  int word;
  int64_t j;
  uint64_t all;
  uint64_t v[4];
};

void ShearColumnsBits(TBitImage& image, double b, bool moveDown, int fill) {
  const int width = image.RowBits();
  const int height = image.Height();
  const uint64_t pattern = FillPattern(1, fill);
  std::vector<TBitSegment> segments;
  for (int x = 0; x < width; ++x) {
    const TShift s = ShiftAt(b, x);
    const int word = x / 64;
    if (segments.empty() || segments.back().word != word || segments.back().j != s.j)
      segments.push_back({word, s.j, 0, {0, 0, 0, 0}});
    TBitSegment& segment = segments.back();
    const uint64_t bit = uint64_t{1} << (63 - x % 64);
    segment.all |= bit;
    const TBitBlend blend = BitBlend(s.f);
    for (int k = 0; k < 4; ++k) segment.v[k] |= blend.v[k] & bit;
  }
  if (segments.empty()) return;
  for (int i = 0; i < height; ++i) {
    const int y = moveDown ? height - 1 - i : i;
    uint64_t* row = image.Row(y);
    int word = segments.front().word;
    uint64_t result = 0;
    for (const TBitSegment& segment : segments) {
      if (segment.word != word) {
        row[word] = result;
        result = 0;
        word = segment.word;
      }
      if (segment.j == 0) {
        result |= row[word] & segment.all;
      } else if (moveDown ? y < segment.j : y >= height - segment.j) {
        result |= pattern & segment.all;
      } else {
        const auto j = static_cast<int>(segment.j);
        const uint64_t far = image.Row(moveDown ? y - j : y + j)[word];
        const uint64_t near = image.Row(moveDown ? y - j + 1 : y + j - 1)[word];
        result |= Combine(far, near, segment.v[0], segment.v[1], segment.v[2], segment.v[3]);
      }
    }
    row[word] = result;
  }
}

// ---- Shears of whole pixels, any depth.

void MoveRowsWhole(TBitImage& image, int bits, double a, bool moveRight, int fill) {
  const int64_t width = image.RowBits() / bits;
  const int words = image.WordsPerRow();
  const uint64_t pattern = FillPattern(bits, fill);
  std::vector<uint64_t> old(static_cast<size_t>(words));
  for (int y = 0; y < image.Height(); ++y) {
    const int64_t j = std::min<int64_t>(std::abs(Round(a * y)), width);
    if (j == 0) continue;
    uint64_t* row = image.Row(y);
    std::memcpy(old.data(), row, old.size() * 8);
    ShiftBits(row, old.data(), words, (moveRight ? j : -j) * bits);
    if (moveRight)
      FillBitRange(row, 0, j * bits, pattern);
    else
      FillBitRange(row, (width - j) * bits, width * bits, pattern);
  }
}

void MoveColumnsWhole(TBitImage& image, int bits, double b, bool moveDown, int fill) {
  const int width = image.RowBits() / bits;
  const int height = image.Height();
  const uint64_t pattern = FillPattern(bits, fill);
  struct TRun {
    int first, end;
    int64_t j;
  };
  std::vector<TRun> runs;
  for (int x = 0; x < width; ++x) {
    const int64_t j = std::abs(Round(b * x));
    if (runs.empty() || runs.back().j != j)
      runs.push_back({x, x + 1, j});
    else
      runs.back().end = x + 1;
  }
  for (int i = 0; i < height; ++i) {
    const int y = moveDown ? height - 1 - i : i;
    uint64_t* row = image.Row(y);
    for (const TRun& run : runs) {
      if (run.j == 0) continue;
      const int64_t begin = int64_t{run.first} * bits, end = int64_t{run.end} * bits;
      if (moveDown ? y < run.j : y >= height - run.j)
        FillBitRange(row, begin, end, pattern);
      else
        CopyBitRange(
            row, image.Row(moveDown ? y - static_cast<int>(run.j) : y + static_cast<int>(run.j)),
            begin, end);
    }
  }
}

} // namespace

void TDIB::Rotate(bool fillWithWhite, bool interpolate, double rowAngle, double columnAngle,
                  bool enlarge) {
  RequireImage();
  const int bits = BitCount();
  if (interpolate && bits == 4) return;
  if (!interpolate) columnAngle = rowAngle;
  if (std::abs(rowAngle) < 0.1 && std::abs(columnAngle) < 0.1) return;
  if (Width() == 0 || Height() == 0) return;

  const int64_t rowTotal = Round(SinDegrees(rowAngle) * Height());
  const double a = static_cast<double>(std::abs(rowTotal)) / Height();
  const int64_t columnTotal = Round(SinDegrees(columnAngle) * Width());
  const double b = static_cast<double>(std::abs(columnTotal)) / Width();
  const int fill = fillWithWhite ? WhiteIndex() : BlackIndex();

  if (enlarge) {
    ResizeCanvas(static_cast<int>(Width() + std::abs(rowTotal)),
                 static_cast<int>(Height() + std::abs(columnTotal)),
                 static_cast<uint8_t>(FillPattern(bits, fill)));
    // ShiftRows and ShiftLines bring in white; a black fill paints over it.
    if (columnTotal < 0) {
      ShiftRows(static_cast<int>(-columnTotal));
      if (fill != WhiteIndex())
        FillRect({0, 0, Width() - 1, static_cast<int32_t>(-columnTotal - 1)}, fill);
    }
    if (rowTotal > 0) {
      ShiftLines(static_cast<int>(rowTotal));
      if (fill != WhiteIndex())
        FillRect({0, 0, static_cast<int32_t>(rowTotal - 1), Height() - 1}, fill);
    }
  }

  if (!interpolate) {
    TBitImage image(*this);
    const bool negative = rowAngle < 0;
    MoveRowsWhole(image, bits, a, negative, fill);
    MoveColumnsWhole(image, bits, b, !negative, fill);
    image.StoreTo(*this);
    return;
  }

  if (bits == 1) {
    TBitImage image(*this);
    if (rowAngle < 0) ShearRowsBits(image, a, true, fill);
    if (columnAngle < 0) ShearColumnsBits(image, b, false, fill);
    if (rowAngle > 0) ShearRowsBits(image, a, false, fill);
    if (columnAngle > 0) ShearColumnsBits(image, b, true, fill);
    image.StoreTo(*this);
    return;
  }
  if (rowAngle < 0) ShearRowsBytes(*this, a, true, fill);
  if (columnAngle < 0) ShearColumnsBytes(*this, b, false, fill);
  if (rowAngle > 0) ShearRowsBytes(*this, a, false, fill);
  if (columnAngle > 0) ShearColumnsBytes(*this, b, true, fill);
}

double TDIB::Deskew(bool fillWithWhite, bool interpolate, double maxAngle) {
  const double angle = DetectSkew(0, maxAngle, 0.1);
  if (std::abs(angle) < 0.1) return 0.0;
  Rotate(fillWithWhite, interpolate, angle, angle, false);
  return angle;
}
