#pragma once

#include "tessivane/pagemem.h"
#include "twain/Types.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The largest image the engine accepts from a source (bytes of pixels).
constexpr int64_t kMaxTransferBytes = int64_t{1} << 30;

// Bytes from one DIB row to the next.
constexpr int64_t DIBRowSize(int64_t width, int bits) {
  return ((width * bits + 31) / 32) * 4;
}

// A DIB section made from a packed DIB (a 40-byte or 12-byte header, colour
// table, bits): a new block with a 40-byte header whose biClrUsed is 0 (the
// table is the full one for the depth, entries the source did not give are
// zero), missing resolutions completed (the other axis, else 11811 pixels per
// metre = 300 dpi) and biSizeImage filled in, then the table and the bits,
// bottom-up also when the source's rows came top-down.
// `size` is what the packed DIB's memory holds. Null when the packed DIB is
// malformed, larger than its memory or too large. The block is unlocked.
TSV_HANDLE BuildDIBSection(const uint8_t* packed, size_t size);

// Rows of an uncompressed top-down DIB (negative height) turned bottom-up,
// the height made positive; other DIBs are left as they are.
void TurnBottomUp(TTwnBitmapInfoHeader& header, uint8_t* bits);

// The bytes a sound packed DIB takes (header, table, bits), 0 for a
// malformed one; `size` bounds it as above.
size_t PackedDIBSize(const uint8_t* packed, size_t size);

// Reads a BMP file: raw, a block with everything after the 14-byte file
// header; otherwise a DIB section as above. Null when the file cannot be read
// or is not a sound BMP.
TSV_HANDLE ReadBmpFile(const std::string& path, bool raw);

// Pixels per metre for a resolution in the given TWUN_ unit, rounded half to
// even; 11811 (300 dpi) for other units.
int32_t PelsPerMetre(double resolution, int units);

// The colour table of a memory transfer's grey image: 2 entries black and
// white, 16 entries 0 then 17 i - 1 (16, 33 ... 254), 256 entries i;
// inverted (255 - level) for TWPF_VANILLA.
std::vector<uint32_t> GreyRamp(int entries, bool vanilla);
constexpr uint32_t GreyEntry(uint8_t level) {
  return level | (uint32_t{level} << 8) | (uint32_t{level} << 16);
}

// Row i swapped with row height - 1 - i.
void FlipRows(uint8_t* bits, size_t rowSize, int height);
