#include "graphics/FlipTransforms.h"

#include "graphics/PixelAccess.h"
#include "graphics/TransformSupport.h"

void TFlipHorizontalTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& dest) {
  Progress(0, 0, 1);
  const int width = source.Width();
  const int height = source.Height();
  if (source.Empty() || width <= 1) {
    dest.Assign(source);
    Progress(1, 0, 1);
    return;
  }
  NewImageLike(source, dest, width, height);
  WithBits(source.BitCount(), [&](auto bits) {
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = source.ScanLine(y);
      uint8_t* target = dest.ScanLine(y);
      if constexpr (bits() == 1) {
        ReverseBitRow(target, row, width);
      } else {
        for (int x = 0; x < width; ++x)
          SetRowValue<bits()>(target, width - 1 - x, GetRowValue<bits()>(row, x));
      }
      Progress(y + 1, 0, height);
    }
  });
}

void TFlipVerticalTransform::ApplyOnDest(const TDibGraphic& source, TDibGraphic& dest) {
  Progress(0, 0, 1);
  const int width = source.Width();
  const int height = source.Height();
  if (source.Empty() || height <= 1) {
    dest.Assign(source);
    Progress(1, 0, 1);
    return;
  }
  NewImageLike(source, dest, width, height);
  for (int y = 0; y < height; ++y) {
    CopyRowPixels(dest.ScanLine(height - 1 - y), source.ScanLine(y), width, source.BitCount());
    Progress(y + 1, 0, height);
  }
}
