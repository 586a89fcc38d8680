#pragma once

#include "raster/DIB.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace test {

// How a pixel of a page looks: 0xRRGGBB.
uint32_t Look(const TDIB& page, int x, int y);
// The look of every pixel, rows from the top.
std::vector<uint32_t> Looks(const TDIB& page);

// A page of random pixels (random palette for 4 and 8 bits when asked).
void RandomPage(TDIB& page, int width, int height, TPixelFormat format, uint32_t seed,
                bool randomPalette = false);

// How a TIFF page looks, decoded by libtiff's RGBA interface: 0xRRGGBB, rows from the top.
struct TiffLook {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};
TiffLook ReadTiffLook(const std::string& path, int page = 0);

// Writes a TIFF page directly with libtiff. sample(x, y, s) gives sample s of
// pixel (x, y); rows are packed by libtiff's rules for the given layout.
struct TiffSpec {
  uint32_t width = 64;
  uint32_t height = 48;
  uint16_t bitsPerSample = 8;
  uint16_t samplesPerPixel = 1;
  uint16_t photometric = 1;
  uint16_t compression = 1;
  uint16_t planar = 1;
  uint32_t tileSize = 0;     // 0: strips
  uint32_t rowsPerStrip = 0; // 0: libtiff's default
  bool writeBitsPerSample = true;
  bool writeRowsPerStrip = true;
  float xResolution = 300;
  float yResolution = 300;
  int resolutionUnit = 2;         // 0: the tag is left out
  std::vector<uint16_t> colorMap; // red, green, blue runs of 2^bits each
  int t4Options = -1;
};
void WriteTiff(const std::string& path, const TiffSpec& layout,
               const std::function<uint32_t(uint32_t x, uint32_t y, int sample)>& sample,
               bool append = false);

// Compares looks: the number of pixels whose channels differ by more than tolerance.
int CountDifferences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int tolerance);
// Mean absolute channel difference.
double MeanDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b);

} // namespace test
