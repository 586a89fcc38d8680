#pragma once

#include "raster/DIB.h"

#include <cstdint>
#include <span>

// JPEG 2000 data of a PDF image (JPXDecode), a JP2 file or a bare codestream,
// decoded with OpenJPEG into a page: one component becomes 256 grey levels,
// three or more true colour (sYCC converted, components after the third
// dropped), every precision scaled to 8 bits. The picture's size is held to
// the raster library's bound before anything is decoded. Raises EPDFReadError
// for data OpenJPEG cannot decode and for layouts it does not take.
void DecodeJpxData(std::span<const uint8_t> data, TDIB& page);
