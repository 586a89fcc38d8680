#pragma once

#include "raster/DIB.h"

#include <cstdint>
#include <string>

namespace test {

// A page of random pixels: each pixel dark with the given probability (1-bit:
// black; 8-bit: a low value; 24-bit: a dark colour), the rest light but not
// all equal. Padding bits beyond the width are random too, so that nothing
// may depend on them.
void RandomPage(TDIB& page, int bits, int width, int height, double darkShare, uint64_t seed,
                int dpi = 300);

// A page of random dark rectangles and lines on light paper.
void BlockPage(TDIB& page, int bits, int width, int height, int count, uint64_t seed,
               int dpi = 300);

// Makes "to" a copy of "from": header, palette and rows.
void CopyPage(const TDIB& from, TDIB& to);

// "" when both pages have the same size, depth and pixels; else where they
// differ first.
std::string PixelDifference(const TDIB& a, const TDIB& b);

} // namespace test
