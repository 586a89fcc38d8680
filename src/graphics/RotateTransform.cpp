#include "graphics/RotateTransform.h"

#include "core/Rounding.h"
#include "graphics/PixelAccess.h"
#include "graphics/TransformSupport.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// A quarter turn, pixel by pixel through the row accessors, a band of
// source columns at a time so that the destination rows being written stay
// in the cache.
template <int Bits, typename Progress>
void TurnQuarter(const TDibGraphic& source, TDibGraphic& dest, bool clockwise,
                 Progress&& progress) {
  constexpr int kBand = 32;
  const int width = source.Width();
  const int height = source.Height();
  for (int x0 = 0; x0 < width; x0 += kBand) {
    const int x1 = std::min(width, x0 + kBand);
    uint8_t* rows[kBand];
    for (int x = x0; x < x1; ++x) rows[x - x0] = dest.ScanLine(clockwise ? x : width - 1 - x);
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = source.ScanLine(y);
      const int column = clockwise ? height - 1 - y : y;
      for (int x = x0; x < x1; ++x)
        SetRowValue<Bits>(rows[x - x0], column, GetRowValue<Bits>(row, x));
    }
    progress(x1, width);
  }
}

template <int Bits> void TurnHalf(const TDibGraphic& source, TDibGraphic& dest, int y) {
  const int width = source.Width();
  const uint8_t* row = source.ScanLine(y);
  uint8_t* target = dest.ScanLine(source.Height() - 1 - y);
  if constexpr (Bits == 1) {
    ReverseBitRow(target, row, width);
  } else {
    for (int x = 0; x < width; ++x)
      SetRowValue<Bits>(target, width - 1 - x, GetRowValue<Bits>(row, x));
  }
}

} // namespace

void TRotateTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& dest) {
  const double angle = static_cast<double>(Round(RotationAngle * 1000)) / 1000;
  const int64_t whole = Round(angle);
  if (std::abs(angle - static_cast<double>(whole)) <= 0.005) {
    int degrees = static_cast<int>(whole % 360);
    while (degrees < 0) degrees += 360;
    if (degrees % 90 == 0)
      Turn(source, dest, degrees);
    else
      TurnFree(source, dest, degrees);
  } else {
    TurnFree(source, dest, angle);
  }
}

void TRotateTransform::Turn(const TDibGraphic& source, TDibGraphic& dest, int degrees) {
  Progress(0, 0, 1);
  if (degrees == 0 || source.Empty()) {
    dest.Assign(source);
    Progress(1, 0, 1);
    return;
  }
  const int width = source.Width();
  const int height = source.Height();
  auto report = [this](int64_t done, int64_t total) { Progress(done, 0, total); };
  if (degrees == 180) {
    NewImageLike(source, dest, width, height);
    WithBits(source.BitCount(), [&](auto bits) {
      for (int y = 0; y < height; ++y) {
        TurnHalf<bits()>(source, dest, y);
        report(y + 1, height);
      }
    });
    return;
  }
  // A quarter turn exchanges the page's sides, and with them its two resolutions.
  NewImageLike(source, dest, height, width);
  dest.SetPelsPerMetre(source.YPelsPerMetre(), source.XPelsPerMetre());
  const bool clockwise = degrees == 90;
  if (source.BitCount() == 1)
    RotateBitsQuarter(source, dest, clockwise, report);
  else
    WithBits(source.BitCount(),
             [&](auto bits) { TurnQuarter<bits()>(source, dest, clockwise, report); });
  report(1, 1);
}

void TRotateTransform::TurnFree(const TDibGraphic& source, TDibGraphic& dest, double degrees) {
  Progress(0, 0, 1);
  if (source.Empty()) {
    dest.Assign(source);
    Progress(1, 0, 1);
    return;
  }
  const int width = source.Width();
  const int height = source.Height();
  const double theta = degrees * std::numbers::pi / 180;
  const double c = std::cos(theta);
  const double s = std::sin(theta);
  const int cx = width / 2;
  const int cy = height / 2;
  const int cornerX[4] = {0, 0, width - 1, width - 1};
  const int cornerY[4] = {0, height - 1, height - 1, 0};
  int64_t minX = INT64_MAX, maxX = INT64_MIN, minY = INT64_MAX, maxY = INT64_MIN;
  for (int i = 0; i < 4; ++i) {
    const int64_t x = Round((cornerX[i] - cx) * c - (cornerY[i] - cy) * s + cx);
    const int64_t y = Round((cornerX[i] - cx) * s + (cornerY[i] - cy) * c + cy);
    minX = std::min(minX, x), maxX = std::max(maxX, x);
    minY = std::min(minY, y), maxY = std::max(maxY, y);
  }
  const auto newWidth = static_cast<int>(maxX - minX + 1);
  const auto newHeight = static_cast<int>(maxY - minY + 1);
  NewImageLike(source, dest, newWidth, newHeight);
  const int centreX = newWidth / 2;
  const int centreY = newHeight / 2;
  const uint32_t fill = dest.ImageFormat() == ifTrueColor
                            ? FillColour & 0xFFFFFF
                            : static_cast<uint32_t>(dest.NearestIndex(FillColour));
  WithBits(source.BitCount(), [&](auto bits) {
    for (int j = 0; j < newHeight; ++j) {
      uint8_t* row = dest.ScanLine(j);
      for (int i = 0; i < newWidth; ++i) {
        int64_t sx = Round((i - centreX) * c + (j - centreY) * s + cx);
        int64_t sy = Round(-(i - centreX) * s + (j - centreY) * c + cy);
        if (sx == width) sx = width - 1;
        if (sy == height) sy = height - 1;
        const bool inside = sx >= 0 && sx < width && sy >= 0 && sy < height;
        SetRowValue<bits()>(row, i,
                            inside ? GetRowValue<bits()>(source.ScanLine(static_cast<int>(sy)),
                                                         static_cast<int>(sx))
                                   : fill);
      }
      Progress(j + 1, 0, newHeight);
    }
  });
}
