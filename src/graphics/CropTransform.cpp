#include "graphics/CropTransform.h"

#include "graphics/PixelAccess.h"
#include "graphics/TransformSupport.h"

#include <algorithm>

void TCropTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& dest) {
  Progress(0, 0, 1);
  const int width = source.Width();
  const int height = source.Height();
  const int left = CropLeft;
  const int top = CropTop;
  const int right = CropByRect ? CropRight : width - CropRight;
  const int bottom = CropByRect ? CropBottom : height - CropBottom;
  // A rectangle that starts outside the page would read outside it.
  if (top >= bottom || left >= right || left < 0 || top < 0 || left >= width || top >= height)
    throw EGraphicError("Invalid crop parameters");
  const int newWidth = std::min(right - left, width - left);
  const int newHeight = std::min(bottom - top, height - top);
  NewImageLike(source, dest, newWidth, newHeight);
  WithBits(source.BitCount(), [&](auto bits) {
    for (int y = 0; y < newHeight; ++y) {
      const uint8_t* row = source.ScanLine(y + top);
      uint8_t* target = dest.ScanLine(y);
      for (int x = 0; x < newWidth; ++x)
        SetRowValue<bits()>(target, x, GetRowValue<bits()>(row, x + left));
      Progress(y + 1, 0, newHeight);
    }
  });
}
