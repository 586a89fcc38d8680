#pragma once

#include "graphics/DibGraphic.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace test {

// A graphic of random pixels in a format, with a random palette for the
// colour formats. Row padding is filled with random bits as well, as pages
// read from files may carry it; nothing may depend on it.
void RandomGraphic(TDibGraphic& graphic, int width, int height, TImageFormat format, uint32_t seed);

// Every byte of every row (padding included), the palette, format and
// resolution are the same.
::testing::AssertionResult SameGraphic(const TDibGraphic& a, const TDibGraphic& b);
// Only the pixels' colours and the size are the same.
::testing::AssertionResult SameLook(const TDibGraphic& a, const TDibGraphic& b);

// The colour (0xRRGGBB) of every pixel, rows from the top.
std::vector<uint32_t> Looks(const TDibGraphic& graphic);

// The plain per-pixel forms of the transforms, through the graphic's own
// pixel access: the oracle for the library's fast forms.
void ReferenceQuarterTurn(const TDibGraphic& source, TDibGraphic& dest, int degrees);
void ReferenceMirror(const TDibGraphic& source, TDibGraphic& dest);
void ReferenceFlip(const TDibGraphic& source, TDibGraphic& dest);
void ReferenceCrop(const TDibGraphic& source, TDibGraphic& dest, int left, int top, int width,
                   int height);
void ReferenceAntiAlias(const TDibGraphic& source, TDibGraphic& dest, int width, int height);
void ReferenceSmoothResize(const TDibGraphic& source, TDibGraphic& dest, int width, int height,
                           int filter);

// How libtiff's RGBA interface sees a TIFF page: 0xRRGGBB, rows from the top.
std::vector<uint32_t> TiffLooks(const std::string& path, int page, int* width = nullptr,
                                int* height = nullptr);

// Decodes a JPEG file with libjpeg: samples row after row, and the layout.
struct JpegPixels {
  int width = 0;
  int height = 0;
  int components = 0;
  int densityUnit = 0;
  int xDensity = 0;
  int yDensity = 0;
  std::vector<uint8_t> samples;
};
JpegPixels DecodeJpeg(const std::string& path);

} // namespace test
