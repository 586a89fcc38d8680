#pragma once

#include "core/PageHandle.h"
#include "graphics/DibGraphic.h"
#include "raster/DIB.h"

// Puts a copy of the graphic's page into page, for the raster algorithms and
// writers; page frees the copied block from then on.
inline void CopyToRaster(const TDibGraphic& graphic, TDIB& page) {
  TPageHandle copy = graphic.ExportPageHandle();
  page.AttachHandle(copy.Get());
  copy.Release();
}
