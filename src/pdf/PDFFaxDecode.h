#pragma once

#include "raster/DIB.h"

#include <cstdint>
#include <span>

// The parameters of the CCITTFaxDecode filter that decoding needs.
struct TFaxParameters {
  int K = 0; // below 0 Group 4, 0 Group 3 one-dimensional, above 0 Group 3 two-dimensional
  int Columns = 1728;
  bool EncodedByteAlign = false;
  bool EndOfLine = false;
  bool BlackIs1 = false;
};

// Decodes CCITT fax data into a new 1-bit page of height rows, through
// libtiff's fax decoder on a one-strip TIFF held in memory. The page's bits
// are the filter's output samples (0 for black unless BlackIs1), so a PDF
// image of DeviceGray shows black where the page holds 0. Raises
// EPDFReadError when the data cannot be decoded or ends before the last row.
void DecodeFaxData(std::span<const uint8_t> data, const TFaxParameters& parameters, int height,
                   TDIB& page);
