#pragma once

#include "raster/DIB.h"

#include <cstdint>
#include <span>

// JBIG2 data of a PDF image (JBIG2Decode, embedded stream organisation),
// with the segments of its /JBIG2Globals stream when it has one, decoded
// with jbig2dec into a 1-bit page (0 = black). jbig2dec's allocations are
// held to the raster library's bound on a page. Raises EPDFReadError for data
// jbig2dec cannot decode.
void DecodeJbig2Data(std::span<const uint8_t> data, std::span<const uint8_t> globals, TDIB& page);
