#include "graphics/Group4Data.h"

#include "core/MemoryStream.h"
#include "pdf/CCITTCompression.h"

#include <cstring>

std::vector<uint8_t> Group4Data(const TDibGraphic& graphic) {
  TMemoryStream data;
  // The coder takes bit 0 as black: a page whose entry 0 is the lighter one
  // is coded from a complemented copy, any other straight from its rows.
  if (GreyOf(graphic.PaletteColour(0)) <= GreyOf(graphic.PaletteColour(1))) {
    TCCITTCompression::CompressBitmap(graphic.Dib(), data, cmGroup4);
    return data.Bytes();
  }
  TDIB bits;
  bits.NewImage(graphic.Width(), graphic.Height(), pf1bit, 0, 0);
  const auto bytes = static_cast<size_t>((graphic.Width() + 7) / 8);
  for (int y = 0; y < graphic.Height(); ++y) {
    const uint8_t* source = graphic.ScanLine(y);
    uint8_t* row = bits.ScanLine(y);
    for (size_t i = 0; i < bytes; ++i) row[i] = static_cast<uint8_t>(~source[i]);
  }
  TCCITTCompression::CompressBitmap(bits, data, cmGroup4);
  return data.Bytes();
}
