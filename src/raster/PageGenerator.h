#pragma once

#include "raster/DIB.h"

#include <cstdint>

// What a generated document page looks like. The same description always
// gives the same pixels.
struct TPageSpec {
  int Width = 2480;
  int Height = 3508;
  int Dpi = 300;
  int Bits = 1; // 1, 8 or 24
  uint64_t Seed = 1;
  double SkewDegrees = 0.0; // positive: text lines rise from left to right
  bool Specks = false;      // dust and toner specks smaller than half a millimetre
};

// Draws a page of text-like lines: paragraphs of words made of glyph-shaped
// marks (stems, ascenders, descenders, bowls, bars, dots) at a body-text size
// for the resolution, dark ink on light paper, turned by the skew angle about
// the page centre. Grey and colour pages carry a little paper and ink noise.
void GeneratePage(TDIB& page, const TPageSpec& layout);
