#include "twain/MemStrip.h"

#include <algorithm>
#include <cstring>

bool PlaceStrip(const TW_IMAGEMEMXFER& strip, const uint8_t* buffer, size_t bufferSize,
                const TMemPage& page) {
  const size_t written = std::min<size_t>(strip.BytesWritten, bufferSize);
  if (strip.Rows == 0 || written == 0) return written == 0;
  if (strip.Compression != TWCP_NONE && strip.Compression != TWON_DONTCARE16) return false;
  const uint64_t bits = static_cast<uint64_t>(page.Bits);
  const uint64_t xBits = uint64_t{strip.XOffset} * bits;
  // A strip that starts inside a byte cannot be placed by bytes.
  if (xBits % 8 != 0) return false;
  if (uint64_t{strip.XOffset} + strip.Columns > static_cast<uint64_t>(page.Width) ||
      uint64_t{strip.YOffset} + strip.Rows > static_cast<uint64_t>(page.Height))
    return false;
  const uint64_t rowBytes = (uint64_t{strip.Columns} * bits + 7) / 8;
  const uint64_t spacing = strip.BytesPerRow;
  if (spacing < rowBytes) return false;
  // The last row needs only its own bytes, the others their full spacing.
  if ((uint64_t{strip.Rows} - 1) * spacing + rowBytes > written) return false;
  const size_t x = static_cast<size_t>(xBits / 8);
  const size_t copy = static_cast<size_t>(std::min<uint64_t>(rowBytes, page.RowSize - x));
  for (uint32_t r = 0; r < strip.Rows; ++r)
    std::memcpy(page.Pixels + (size_t{strip.YOffset} + r) * page.RowSize + x,
                buffer + static_cast<size_t>(r * spacing), copy);
  return true;
}
