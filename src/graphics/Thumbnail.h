#pragma once

#include "graphics/DibGraphic.h"

#include <memory>

// The picture of a page for a thumbnail cell: the page scaled by the factor
// that makes it fit the cell (to whole pixels, halves to even), a bilevel
// page through the anti-aliased reduction (grey, so thin strokes stay
// visible), any other through the smooth resize. The page is not changed.
std::unique_ptr<TDibGraphic> RenderThumbnailPicture(const TDibGraphic& page, int cellWidth,
                                                    int cellHeight);
