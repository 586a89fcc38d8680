// The generated A4 page at 300 dpi (2480 x 3508) of a given depth, made once
// per graphic class and depth and kept for the whole benchmark run.
#pragma once

#include "raster/PageGenerator.h"

#include <map>

template <class Graphic>
Graphic& GeneratedGraphic(int bits) {
  static std::map<int, Graphic> pages;
  Graphic& page = pages[bits];
  if (page.Empty()) {
    TPageSpec layout;
    layout.Bits = bits;
    TDIB dib;
    GeneratePage(dib, layout);
    page.ImportPageHandle(dib.Handle());
  }
  return page;
}
