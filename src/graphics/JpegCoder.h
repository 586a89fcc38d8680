#pragma once

// libjpeg calls of the graphics framework: what the raster library's JPEG
// reader does not give.

#include "core/Stream.h"

// The number of colour components a JPEG stream announces; the position is restored.
int JpegComponentCount(TStream& stream);
