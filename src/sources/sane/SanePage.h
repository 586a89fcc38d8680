#pragma once

#include "raster/DIB.h"

#include <sane/sane.h>

#include <cstdint>
#include <memory>
#include <vector>

// A scanned page as the TWAIN source delivers it: rows from the top, each
// RowBytes long, samples of 8 bits (grey; red, green, blue for colour) or
// single bits with 1 = white.
struct TSanePage {
  int Width = 0;
  int Height = 0;
  int PixelType = 0;    // TWPT_BW, TWPT_GRAY or TWPT_RGB
  int BitsPerPixel = 0; // 1, 8 or 24
  size_t RowBytes = 0;
  std::vector<uint8_t> Rows;
  // The page as a packed DIB (bottom-up, blue-green-red, black and white
  // palette for bilevel pages).
  std::unique_ptr<TDIB> ToDIB(int xDpi, int yDpi) const;
};

// Builds a page from the frames of one sane_start: a grey or colour frame,
// or a red, green and blue frame of a three-pass scanner. 1-bit grey data
// (SANE's 1 = black) becomes a bilevel page (1 = white); 16-bit samples keep
// their high byte; a frame of unknown length grows the page line by line.
class TSanePageBuilder {
public:
  // Starts the next frame; raises ESaneError for a frame it cannot take.
  void BeginFrame(const SANE_Parameters& parameters);
  // Data as sane_read gave it, any length.
  void Add(const uint8_t* data, size_t length);
  // The page once the last frame has ended.
  TSanePage Finish();

private:
  void TakeLine(const uint8_t* line);
  SANE_Parameters FFrame{};
  bool FStarted = false;
  int FChannel = -1; // 0 to 2 for the frames of a three-pass scan, else -1
  int FLineInFrame = 0;
  std::vector<uint8_t> FPartial; // the start of a line not yet complete
  TSanePage FPage;
};
