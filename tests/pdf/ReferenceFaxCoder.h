#pragma once

#include "raster/DIB.h"

#include <cstdint>
#include <vector>

namespace pdftest {

// The fax coding written plainly, pixel by pixel and bit by bit, as the
// oracle for the coder's fast form: mode 0 one-dimensional rows, mode 1 an
// end-of-line code, a 0 tag bit and a two-dimensional row, mode 2 Group 4
// ended by two end-of-line codes; 0 fill to the last byte.
std::vector<uint8_t> ReferenceFaxCode(const TDIB& page, int mode);

} // namespace pdftest
