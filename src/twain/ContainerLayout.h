#pragma once

// The internal form of a capability container, shared by the container class
// and its conversion to and from the wire form: offsets in the container's
// own buffer and little helpers that read and write its fields unaligned.

#include "twain/Types.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace container_layout {

inline constexpr size_t kOneValueSize = 262;
inline constexpr size_t kRangeSize = 22;
inline constexpr size_t kArrayItems = 6;
inline constexpr size_t kArraySpare = 10;
inline constexpr size_t kEnumCurrent = 6;
inline constexpr size_t kEnumDefault = 10;
inline constexpr size_t kEnumItems = 14;
inline constexpr size_t kEnumSpare = 18;
inline constexpr size_t kRangeMin = 2, kRangeMax = 6, kRangeStep = 10, kRangeDefault = 14,
                        kRangeCurrent = 18;
inline constexpr int kInitialItems = 10;

inline uint16_t Read16(const std::vector<uint8_t>& buffer, size_t offset) {
  uint16_t value;
  std::memcpy(&value, buffer.data() + offset, 2);
  return value;
}
inline uint32_t Read32(const uint8_t* p) {
  uint32_t value;
  std::memcpy(&value, p, 4);
  return value;
}
inline uint32_t Read32(const std::vector<uint8_t>& buffer, size_t offset) {
  return Read32(buffer.data() + offset);
}
inline void Write16(std::vector<uint8_t>& buffer, size_t offset, uint16_t value) {
  std::memcpy(buffer.data() + offset, &value, 2);
}
inline void Write32(uint8_t* p, uint32_t value) {
  std::memcpy(p, &value, 4);
}
inline void Write32(std::vector<uint8_t>& buffer, size_t offset, uint32_t value) {
  Write32(buffer.data() + offset, value);
}

// The small integer types widened to 32 bits, as the internal form keeps them.
inline uint32_t Widen(uint16_t itemType, uint32_t raw) {
  switch (itemType) {
  case TWTY_INT8:
    return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(raw)));
  case TWTY_INT16:
  case TWTY_BOOL:
    return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(raw)));
  case TWTY_UINT8:
    return raw & 0xFF;
  case TWTY_UINT16:
    return raw & 0xFFFF;
  default:
    return raw;
  }
}

} // namespace container_layout
