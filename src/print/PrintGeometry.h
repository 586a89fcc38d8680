#pragma once

#include <cstdint>

// How the printed size of a picture is found.
enum TPrintSizeMode : uint8_t {
  psByResolution = 0, // physical size from the picture's resolution, shrunk to fit, never enlarged
  psFitToPage = 1,    // largest size inside the printable area, aspect ratio kept
  psFixedWidth = 2,   // WidthInches wide, height in proportion
  psFixedHeight = 3,  // HeightInches high, width in proportion
  psFixedSize = 4,    // WidthInches x HeightInches, aspect ratio not kept
  psStretchToPage = 5 // the whole printable area less one pixel each way
};

// What the printer tells about its page, in printer pixels: the printable
// area, the pixels per inch and the unprintable margins left and top.
struct TPrinterMetrics {
  int HorzRes = 0;
  int VertRes = 0;
  int PixelsPerInchX = 0;
  int PixelsPerInchY = 0;
  int OffsetX = 0;
  int OffsetY = 0;
};

// The picture to place: its size in pixels and its resolution in dots per inch.
struct TPictureSize {
  int Width = 0;
  int Height = 0;
  int XDpi = 0;
  int YDpi = 0;
};

// Where the picture goes, in printer pixels from the printable area's top-left corner.
struct TPrintRect {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  bool operator==(const TPrintRect&) const = default;
};

struct TPrintPlacement {
  TPrintSizeMode Mode = psFitToPage;
  double WidthInches = 5.0;
  double HeightInches = 5.0;
  double LeftMargin = 0.0; // inches from the paper's edge
  double TopMargin = 0.0;
};

// The target rectangle of a picture. Raises EMathError for a zero
// resolution or picture side the mode divides by, and for a size that does
// not fit in an integer.
TPrintRect PrintRectangle(const TPictureSize& picture, const TPrinterMetrics& metrics,
                          const TPrintPlacement& placement);
