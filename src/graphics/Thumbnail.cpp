#include "graphics/Thumbnail.h"

#include "core/Rounding.h"
#include "graphics/AntiAliasTransform.h"
#include "graphics/ResizeTransform.h"

#include <algorithm>

std::unique_ptr<TDibGraphic> RenderThumbnailPicture(const TDibGraphic& page, int cellWidth,
                                                    int cellHeight) {
  if (page.Empty() || page.Width() < 1 || page.Height() < 1)
    throw EGraphicError("Source graphic too small");
  const double factor = std::min(static_cast<double>(cellWidth) / page.Width() * 100,
                                 static_cast<double>(cellHeight) / page.Height() * 100) /
                        100;
  // A sliver of a page still gets one pixel: 0 would mean the page's full size.
  const int width = static_cast<int>(std::max<int64_t>(1, Round(page.Width() * factor)));
  const int height = static_cast<int>(std::max<int64_t>(1, Round(page.Height() * factor)));
  auto picture = std::make_unique<TDibGraphic>();
  if (page.BitCount() == 1) {
    TAntiAliasTransform reduce;
    reduce.OutWidth = width;
    reduce.OutHeight = height;
    reduce.ApplyOnDest(page, *picture);
  } else {
    TResizeTransform resize;
    resize.OutWidth = width;
    resize.OutHeight = height;
    resize.Smooth = true;
    resize.ApplyOnDest(page, *picture);
  }
  return picture;
}
