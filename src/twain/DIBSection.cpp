#include "twain/DIBSection.h"

#include "core/Rounding.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr int32_t kDefaultPelsPerMetre = 11811;

uint32_t Read32(const uint8_t* p) {
  uint32_t value;
  std::memcpy(&value, p, 4);
  return value;
}
uint16_t Read16(const uint8_t* p) {
  uint16_t value;
  std::memcpy(&value, p, 2);
  return value;
}

struct TSourceLayout {
  TTwnBitmapInfoHeader Header{}; // completed header of the section
  size_t TableOffset = 0;        // where the source's table starts
  int SourceEntries = 0;         // entries the source gives
  int EntrySize = 4;             // 3 for a 12-byte header
  size_t BitsOffset = 0;         // where the source's bits start
  size_t BitsSize = 0;
  int SectionEntries = 0; // entries of the section's table
};

bool Analyse(const uint8_t* packed, size_t size, TSourceLayout& layout) {
  if (size < 12) return false;
  const uint32_t headerSize = Read32(packed);
  TTwnBitmapInfoHeader& h = layout.Header;
  int bitCount;
  uint32_t colorsUsed = 0;
  if (headerSize == 12) {
    h.biWidth = Read16(packed + 4);
    h.biHeight = Read16(packed + 6);
    bitCount = Read16(packed + 10);
    layout.EntrySize = 3;
  } else if (headerSize >= 40 && headerSize <= 1024) {
    if (size < headerSize) return false;
    std::memcpy(&h, packed, 40);
    bitCount = h.biBitCount * h.biPlanes;
    colorsUsed = h.biClrUsed;
  } else {
    return false;
  }
  if (h.biWidth == 0 || h.biHeight == 0 || bitCount <= 0 || bitCount > 32) return false;
  const int64_t width = std::abs(static_cast<int64_t>(h.biWidth));
  const int64_t height = std::abs(static_cast<int64_t>(h.biHeight));
  if (DIBRowSize(width, bitCount) * height > kMaxTransferBytes) return false;

  layout.TableOffset = headerSize;
  switch (bitCount) {
  case 1:
    layout.SourceEntries = layout.SectionEntries = 2;
    break;
  case 4:
    layout.SourceEntries = layout.SectionEntries = 16;
    break;
  case 8:
    layout.SourceEntries =
        colorsUsed != 0 ? static_cast<int>(std::min<uint32_t>(colorsUsed, 256)) : 256;
    layout.SectionEntries = 256;
    break;
  default:
    layout.SourceEntries = layout.SectionEntries = 0;
    break;
  }
  size_t skipped = 0;
  if (bitCount == 24 && colorsUsed != 0) {
    if (colorsUsed > 256) return false;
    skipped = size_t{colorsUsed} * 4; // a table a 24-bit image does not need
  }
  layout.BitsOffset =
      headerSize +
      static_cast<size_t>(layout.SourceEntries) * static_cast<size_t>(layout.EntrySize) + skipped;

  h.biSize = 40;
  h.biPlanes = 1;
  h.biBitCount = static_cast<uint16_t>(bitCount);
  h.biClrUsed = 0;
  h.biClrImportant = 0;
  if (h.biXPelsPerMeter < 1)
    h.biXPelsPerMeter = h.biYPelsPerMeter >= 1 ? h.biYPelsPerMeter : kDefaultPelsPerMetre;
  if (h.biYPelsPerMeter < 1) h.biYPelsPerMeter = h.biXPelsPerMeter;
  const auto computed = static_cast<size_t>(DIBRowSize(width, bitCount) * height);
  if (h.biCompression == 0) {
    layout.BitsSize = computed;
  } else {
    if (h.biSizeImage == 0 || h.biSizeImage > kMaxTransferBytes) return false;
    layout.BitsSize = h.biSizeImage;
  }
  if (h.biSizeImage == 0) h.biSizeImage = static_cast<uint32_t>(computed);
  return layout.BitsOffset <= size && layout.BitsSize <= size - layout.BitsOffset;
}

} // namespace

void TurnBottomUp(TTwnBitmapInfoHeader& header, uint8_t* bits) {
  if (header.biHeight >= 0 || header.biCompression != 0) return;
  header.biHeight = -header.biHeight;
  FlipRows(bits, static_cast<size_t>(DIBRowSize(header.biWidth, header.biBitCount)),
           header.biHeight);
}

size_t PackedDIBSize(const uint8_t* packed, size_t size) {
  TSourceLayout layout;
  if (packed == nullptr || !Analyse(packed, size, layout)) return 0;
  return layout.BitsOffset + layout.BitsSize;
}

TSV_HANDLE BuildDIBSection(const uint8_t* packed, size_t size) {
  TSourceLayout layout;
  if (packed == nullptr || !Analyse(packed, size, layout)) return nullptr;
  const size_t tableBytes = static_cast<size_t>(layout.SectionEntries) * 4;
  TSV_HANDLE section = tsv_mem_alloc(40 + tableBytes + layout.BitsSize);
  if (section == nullptr) return nullptr;
  auto* out = static_cast<uint8_t*>(tsv_mem_lock(section));
  for (int i = 0; i < layout.SourceEntries && i < layout.SectionEntries; ++i) {
    const uint8_t* entry = packed + layout.TableOffset + static_cast<size_t>(i * layout.EntrySize);
    std::memcpy(out + 40 + 4 * i, entry, 3);
  }
  std::memcpy(out + 40 + tableBytes, packed + layout.BitsOffset, layout.BitsSize);
  TurnBottomUp(layout.Header, out + 40 + tableBytes);
  std::memcpy(out, &layout.Header, 40);
  tsv_mem_unlock(section);
  return section;
}

TSV_HANDLE ReadBmpFile(const std::string& path, bool raw) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return nullptr;
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                             std::istreambuf_iterator<char>());
  if (bytes.size() < 14 + 40 || bytes[0] != 'B' || bytes[1] != 'M') return nullptr;
  const uint32_t bitsOffset = Read32(bytes.data() + 10);
  const uint8_t* info = bytes.data() + 14;
  const size_t infoSize = bytes.size() - 14;
  if (raw) {
    TSV_HANDLE block = tsv_mem_alloc(infoSize);
    if (block == nullptr) return nullptr;
    std::memcpy(tsv_mem_lock(block), info, infoSize);
    tsv_mem_unlock(block);
    return block;
  }
  const uint32_t headerSize = Read32(info);
  if (headerSize < 40 || headerSize > 1024 || headerSize > infoSize || bitsOffset > bytes.size() ||
      bitsOffset < 14 + headerSize)
    return nullptr;
  const uint16_t bitCount = Read16(info + 14);
  const uint32_t colorsUsed = Read32(info + 32);
  // The table: the full one for 8 bits and less (entries the file lacks are
  // zero), the announced one above, never more than lies before the bits.
  const size_t fullEntries = bitCount <= 8 ? (size_t{1} << bitCount) : 0;
  size_t fileEntries = bitCount <= 8 && colorsUsed == 0 ? fullEntries : colorsUsed;
  fileEntries =
      std::min({fileEntries, size_t{256}, static_cast<size_t>((bitsOffset - 14 - headerSize) / 4)});
  const size_t tableEntries = bitCount <= 8 ? fullEntries : fileEntries;
  std::vector<uint8_t> packed(info, info + headerSize);
  const uint32_t packedColorsUsed = bitCount <= 8 ? 0 : static_cast<uint32_t>(fileEntries);
  std::memcpy(packed.data() + 32, &packedColorsUsed, 4);
  packed.resize(headerSize + tableEntries * 4, 0);
  std::memcpy(packed.data() + headerSize, info + headerSize,
              std::min(fileEntries, tableEntries) * 4);
  packed.insert(packed.end(), bytes.begin() + bitsOffset, bytes.end());
  return BuildDIBSection(packed.data(), packed.size());
}

int32_t PelsPerMetre(double resolution, int units) {
  double perMetre;
  switch (units) {
  case TWUN_INCHES:
    perMetre = resolution * 100 / 2.54;
    break;
  case TWUN_CENTIMETERS:
    perMetre = resolution * 100;
    break;
  case TWUN_PICAS:
    perMetre = resolution * 6 * 100 / 2.54;
    break;
  case TWUN_POINTS:
    perMetre = resolution * 72 * 100 / 2.54;
    break;
  case TWUN_TWIPS:
    perMetre = resolution * 1440 * 100 / 2.54;
    break;
  default:
    return kDefaultPelsPerMetre;
  }
  if (!(perMetre >= 0 && perMetre < 2e9)) return kDefaultPelsPerMetre;
  return static_cast<int32_t>(Round(perMetre));
}

std::vector<uint32_t> GreyRamp(int entries, bool vanilla) {
  std::vector<uint32_t> table(static_cast<size_t>(std::max(entries, 0)));
  for (int i = 0; i < entries; ++i) {
    int level;
    if (entries == 16)
      level = i == 0 ? 0 : 17 * i - 1;
    else if (entries == 256)
      level = i;
    else
      level = entries > 1 ? static_cast<int>(Round(255.0 * i / (entries - 1))) : 0;
    if (vanilla) level = 255 - level;
    table[static_cast<size_t>(i)] = GreyEntry(static_cast<uint8_t>(level));
  }
  return table;
}

void FlipRows(uint8_t* bits, size_t rowSize, int height) {
  std::vector<uint8_t> row(rowSize);
  for (int i = 0, j = height - 1; i < j; ++i, --j) {
    uint8_t* a = bits + static_cast<size_t>(i) * rowSize;
    uint8_t* b = bits + static_cast<size_t>(j) * rowSize;
    std::memcpy(row.data(), a, rowSize);
    std::memcpy(a, b, rowSize);
    std::memcpy(b, row.data(), rowSize);
  }
}

