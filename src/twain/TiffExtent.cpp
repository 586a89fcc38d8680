#include "twain/TiffExtent.h"

#include <algorithm>
#include <vector>

namespace {

constexpr uint16_t kStripOffsets = 273;
constexpr uint16_t kStripByteCounts = 279;
constexpr uint16_t kTileOffsets = 324;
constexpr uint16_t kTileByteCounts = 325;

// Bytes of one value of each TIFF field type (1 to 12), 0 for unknown types.
size_t TypeSize(uint16_t type) {
  static const size_t sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
  return type < std::size(sizes) ? sizes[type] : 0;
}

class TReader {
public:
  TReader(const uint8_t* bytes, bool big) : FBytes(bytes), FBig(big) {}
  uint32_t U16(size_t at) const {
    return FBig ? (FBytes[at] << 8 | FBytes[at + 1]) : (FBytes[at] | FBytes[at + 1] << 8);
  }
  uint32_t U32(size_t at) const {
    return FBig ? (U16(at) << 16 | U16(at + 2)) : (U16(at) | U16(at + 2) << 16);
  }

private:
  const uint8_t* FBytes;
  bool FBig;
};

} // namespace

bool IsTiff(const uint8_t* bytes, size_t size) {
  if (bytes == nullptr || size < 4) return false;
  return (bytes[0] == 'I' && bytes[1] == 'I' && bytes[2] == 42 && bytes[3] == 0) ||
         (bytes[0] == 'M' && bytes[1] == 'M' && bytes[2] == 0 && bytes[3] == 42);
}

size_t TiffExtent(const uint8_t* bytes, size_t limit) {
  if (limit < 8 || !IsTiff(bytes, limit)) return 0;
  const TReader read(bytes, bytes[0] == 'M');
  const uint64_t directory = read.U32(4);
  if (directory < 8 || directory + 2 > limit) return 0;
  const uint32_t entries = read.U16(directory);
  uint64_t extent = directory + 2 + uint64_t{entries} * 12 + 4;
  if (extent > limit) return 0;
  std::vector<uint64_t> offsets[2], counts[2]; // strips, tiles
  for (uint32_t i = 0; i < entries; ++i) {
    const size_t entry = static_cast<size_t>(directory + 2 + uint64_t{i} * 12);
    const uint16_t tag = static_cast<uint16_t>(read.U16(entry));
    const uint16_t type = static_cast<uint16_t>(read.U16(entry + 2));
    const uint64_t count = read.U32(entry + 4);
    const uint64_t bytesOfValue = count * TypeSize(type);
    uint64_t at = entry + 8;
    if (bytesOfValue > 4) {
      at = read.U32(entry + 8);
      if (at + bytesOfValue > limit) return 0;
      extent = std::max(extent, at + bytesOfValue);
    }
    const bool isOffsets = tag == kStripOffsets || tag == kTileOffsets;
    const bool isCounts = tag == kStripByteCounts || tag == kTileByteCounts;
    if (!isOffsets && !isCounts) continue;
    if (type != 3 && type != 4) return 0; // SHORT or LONG only
    const int kind = tag == kTileOffsets || tag == kTileByteCounts ? 1 : 0;
    std::vector<uint64_t>& list = isOffsets ? offsets[kind] : counts[kind];
    for (uint64_t n = 0; n < count; ++n)
      list.push_back(type == 3 ? read.U16(static_cast<size_t>(at + 2 * n))
                               : read.U32(static_cast<size_t>(at + 4 * n)));
  }
  for (int kind = 0; kind < 2; ++kind) {
    if (offsets[kind].size() != counts[kind].size()) return 0;
    for (size_t n = 0; n < offsets[kind].size(); ++n)
      extent = std::max(extent, offsets[kind][n] + counts[kind][n]);
  }
  if (offsets[0].empty() && offsets[1].empty()) return 0; // no image data
  return extent <= limit ? static_cast<size_t>(extent) : 0;
}
