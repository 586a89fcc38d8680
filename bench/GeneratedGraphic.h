// The generated A4 page of a given depth, at 300 dpi (2480 x 3508) unless
// told otherwise, made once per graphic class, depth and resolution and kept
// for the whole benchmark run.
#pragma once

#include "raster/PageGenerator.h"

#include <cmath>
#include <map>
#include <utility>

template <class Graphic>
Graphic& GeneratedGraphic(int bits, int dpi = 300) {
  static std::map<std::pair<int, int>, Graphic> pages;
  Graphic& page = pages[{bits, dpi}];
  if (page.Empty()) {
    TPageSpec layout;
    layout.Width = static_cast<int>(std::lround(210 / 25.4 * dpi));
    layout.Height = static_cast<int>(std::lround(297 / 25.4 * dpi));
    layout.Dpi = dpi;
    layout.Bits = bits;
    TDIB dib;
    GeneratePage(dib, layout);
    page.ImportPageHandle(dib.Handle());
  }
  return page;
}
