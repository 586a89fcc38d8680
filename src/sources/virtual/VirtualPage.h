#pragma once

#include "raster/DIB.h"

#include <memory>

// What one scanned page looks like.
struct TPageLayout {
  int Width = 0; // pixels
  int Height = 0;
  int XDpi = 300;
  int YDpi = 300;
  int PixelType = 0; // TWPT_BW, TWPT_GRAY, TWPT_RGB
  int BitDepth = 1;  // 1; 4 or 8; 24
};

// The page of that number: the same text-like document page for the same
// number and layout, with the number drawn large in the top right corner.
// 4-bit grey pages carry the palette 17 × i.
std::unique_ptr<TDIB> RenderPage(const TPageLayout& layout, int pageNumber);

// The grey level (0 black to 255 white) of a pixel of a grey or bilevel page.
int GreyLevel(const TDIB& page, int x, int y);
