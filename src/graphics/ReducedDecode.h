#pragma once

#include "core/Stream.h"
#include "graphics/DibGraphic.h"

#include <memory>

// Thumbnail pictures decoded straight at their reduced size, without
// building the whole page first.

// The size RenderThumbnailPicture gives a page of width x height in a cell.
struct TThumbnailSize {
  int Width = 0;
  int Height = 0;
};
TThumbnailSize ThumbnailSizeFor(int width, int height, int cellWidth, int cellHeight);

// The first directory of a TIFF stream, when it is a bilevel page read by
// strips (1 bit, 1 sample, white or black is zero, top-left orientation),
// decoded row by row straight into its anti-aliased thumbnail picture: the
// same picture, resolution included, as RenderThumbnailPicture of the page
// TTiffGraphic reads. Null for any other page, which the caller reads whole.
// Raises ETiffError ("ETiffError " before the message) for broken data.
std::unique_ptr<TDibGraphic> ReducedBilevelTiff(TStream& stream, int cellWidth, int cellHeight);

// A JPEG stream of one or three components decoded by libjpeg at the
// smallest of its scales that still gives at least twice the picture's size,
// then smoothed to the picture's size. The result has the size, format and
// resolution of RenderThumbnailPicture's; its pixels differ from it only as
// two good reductions differ. Raises EGraphicError for data libjpeg refuses.
std::unique_ptr<TDibGraphic> ReducedJpeg(TStream& stream, int cellWidth, int cellHeight);

// A TIFF stream's first directory when it is a JPEG-coded page of 256 grey
// levels or true colour read by strips: each strip decoded by libjpeg at the
// scale ReducedJpeg takes, then smoothed to the picture's size, with the
// size, format and resolution of RenderThumbnailPicture's. Null for any
// other page.
std::unique_ptr<TDibGraphic> ReducedJpegTiff(TStream& stream, int cellWidth, int cellHeight);
