#pragma once

// libjpeg calls of the graphics framework: what the raster library's JPEG
// reader does not give.

#include "core/Stream.h"

#include <cstdint>
#include <functional>

// The number of colour components a JPEG stream announces; the position is restored.
int JpegComponentCount(TStream& stream);

struct TJpegImage {
  int width = 0;
  int height = 0;
  int components = 1; // 1 grey, 3 red-green-blue
  int quality = 80;
  int xDpi = 0;
  int yDpi = 0;
  // Fills one row (top first) of width x components samples.
  std::function<void(int y, uint8_t* samples)> row;
};

// Encodes a baseline JFIF stream with the resolution in dots per inch.
void WriteJpeg(TStream& stream, const TJpegImage& image);
