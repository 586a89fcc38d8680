#pragma once

// Pixel values inside a row of a given depth, for the framework's own loops:
// palette indices for 1, 4 and 8 bits, colour values (blue in the low byte,
// as the bytes lie) for 24 bits.

#include <cstdint>
#include <type_traits>

template <int Bits> inline uint32_t GetRowValue(const uint8_t* row, int x) {
  if constexpr (Bits == 1) {
    return (row[x >> 3] >> (7 - (x & 7))) & 1u;
  } else if constexpr (Bits == 4) {
    return (x & 1) ? (row[x >> 1] & 0x0Fu) : (row[x >> 1] >> 4);
  } else if constexpr (Bits == 8) {
    return row[x];
  } else {
    const uint8_t* p = row + 3 * static_cast<intptr_t>(x);
    return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16;
  }
}

template <int Bits> inline void SetRowValue(uint8_t* row, int x, uint32_t value) {
  if constexpr (Bits == 1) {
    const auto mask = static_cast<uint8_t>(0x80 >> (x & 7));
    if (value & 1)
      row[x >> 3] |= mask;
    else
      row[x >> 3] &= static_cast<uint8_t>(~mask);
  } else if constexpr (Bits == 4) {
    uint8_t& byte = row[x >> 1];
    byte = (x & 1) ? static_cast<uint8_t>((byte & 0xF0) | (value & 0x0F))
                   : static_cast<uint8_t>((byte & 0x0F) | (value & 0x0F) << 4);
  } else if constexpr (Bits == 8) {
    row[x] = static_cast<uint8_t>(value);
  } else {
    uint8_t* p = row + 3 * static_cast<intptr_t>(x);
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
  }
}

// Calls body(std::integral_constant<int, bits>) for a depth of 1, 4, 8 or 24 bits.
template <typename Body> decltype(auto) WithBits(int bits, Body&& body) {
  switch (bits) {
  case 1:
    return body(std::integral_constant<int, 1>{});
  case 4:
    return body(std::integral_constant<int, 4>{});
  case 8:
    return body(std::integral_constant<int, 8>{});
  default:
    return body(std::integral_constant<int, 24>{});
  }
}
