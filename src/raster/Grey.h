#pragma once

#include <array>
#include <cstdint>

// Grey level of a colour: Trunc(0.3 red + 0.59 green + 0.11 blue), computed
// in integers so that the truncation is exact (white gives 255, not 254).
constexpr int GreyLevel(int red, int green, int blue) {
  return (30 * red + 59 * green + 11 * blue) / 100;
}

// Grey level of a 24-bit pixel value (red in bits 0-7, blue in 16-23).
constexpr int GreyLevelOfValue(int value) {
  return GreyLevel(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

// Set bits of every byte value.
inline constexpr std::array<uint8_t, 256> kBitCount = [] {
  std::array<uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    int n = 0;
    for (int b = i; b != 0; b >>= 1) n += b & 1;
    table[static_cast<size_t>(i)] = static_cast<uint8_t>(n);
  }
  return table;
}();

// Masks of a run inside a byte: from bit position i to the right end, and from
// the left end to bit position i (bit 0 is the leftmost pixel).
inline constexpr uint8_t kLeftEdgeMask[8] = {255, 127, 63, 31, 15, 7, 3, 1};
inline constexpr uint8_t kRightEdgeMask[8] = {128, 192, 224, 240, 248, 252, 254, 255};
