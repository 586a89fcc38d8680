#include "twain/Container.h"

#include "twain/ContainerLayout.h"
#include "twain/ItemTypes.h"

#include <algorithm>
#include <cstring>
#include <string>

using namespace container_layout;

namespace {

int CheckedWireSize(uint16_t itemType) {
  const int size = ItemWireSize(itemType);
  if (size == 0) throw ETwnContainerError("Unknown item type " + std::to_string(itemType));
  return size;
}

void NarrowItem(uint16_t itemType, const uint8_t* slot, uint8_t* wire) {
  std::memcpy(wire, slot, static_cast<size_t>(ItemWireSize(itemType)));
}

void WidenItem(uint16_t itemType, const uint8_t* wire, uint8_t* slot) {
  const int size = ItemWireSize(itemType);
  if (size >= 4) {
    std::memcpy(slot, wire, static_cast<size_t>(size));
    return;
  }
  uint32_t raw = 0;
  std::memcpy(&raw, wire, static_cast<size_t>(size));
  Write32(slot, Widen(itemType, raw));
}

// Items a block of `size` bytes can hold after `header` bytes.
size_t MaxItems(size_t size, size_t header, int itemSize) {
  return size < header ? 0 : (size - header) / static_cast<size_t>(itemSize);
}

} // namespace

std::vector<uint8_t> PackContainer(uint16_t containerType, const std::vector<uint8_t>& buffer) {
  const uint16_t itemType = Read16(buffer, 0);
  const int wireSize = CheckedWireSize(itemType);
  const int slotSize = ItemSlotSize(itemType);
  std::vector<uint8_t> wire;
  switch (containerType) {
  case TWON_ONEVALUE: {
    wire.assign(offsetof(TW_ONEVALUE, Item) + static_cast<size_t>(wireSize) + 4, 0);
    std::memcpy(wire.data(), &itemType, 2);
    NarrowItem(itemType, buffer.data() + 2, wire.data() + offsetof(TW_ONEVALUE, Item));
    break;
  }
  case TWON_ARRAY:
  case TWON_ENUMERATION: {
    const bool isArray = containerType == TWON_ARRAY;
    const uint32_t count = Read32(buffer, 2);
    const size_t first = isArray ? kArrayItems : kEnumItems;
    if (count > MaxItems(buffer.size(), first, slotSize))
      throw ETwnContainerError("Container holds fewer items than it counts");
    const size_t header =
        isArray ? offsetof(TW_ARRAY, ItemList) : offsetof(TW_ENUMERATION, ItemList);
    wire.assign(header + count * static_cast<size_t>(wireSize) + 4, 0);
    std::memcpy(wire.data(), &itemType, 2);
    if (isArray) {
      std::memcpy(wire.data() + offsetof(TW_ARRAY, NumItems), &count, 4);
    } else {
      std::memcpy(wire.data() + offsetof(TW_ENUMERATION, NumItems), &count, 4);
      std::memcpy(wire.data() + offsetof(TW_ENUMERATION, CurrentIndex),
                  buffer.data() + kEnumCurrent, 4);
      std::memcpy(wire.data() + offsetof(TW_ENUMERATION, DefaultIndex),
                  buffer.data() + kEnumDefault, 4);
    }
    for (uint32_t i = 0; i < count; ++i)
      NarrowItem(itemType, buffer.data() + first + i * static_cast<size_t>(slotSize),
                 wire.data() + header + i * static_cast<size_t>(wireSize));
    break;
  }
  case TWON_RANGE: {
    TW_RANGE range{};
    range.ItemType = itemType;
    range.MinValue = Read32(buffer, kRangeMin);
    range.MaxValue = Read32(buffer, kRangeMax);
    range.StepSize = Read32(buffer, kRangeStep);
    range.DefaultValue = Read32(buffer, kRangeDefault);
    range.CurrentValue = Read32(buffer, kRangeCurrent);
    wire.assign(sizeof range, 0);
    std::memcpy(wire.data(), &range, sizeof range);
    break;
  }
  default:
    throw ETwnContainerError("Unknown container type " + std::to_string(containerType));
  }
  return wire;
}

std::vector<uint8_t> UnpackContainer(uint16_t containerType, const uint8_t* wire, size_t size) {
  if (size < 2) throw ETwnContainerError("Container too short");
  uint16_t itemType;
  std::memcpy(&itemType, wire, 2);
  const int wireSize = CheckedWireSize(itemType);
  const int slotSize = ItemSlotSize(itemType);
  std::vector<uint8_t> buffer;
  switch (containerType) {
  case TWON_ONEVALUE: {
    if (size < offsetof(TW_ONEVALUE, Item) + static_cast<size_t>(wireSize))
      throw ETwnContainerError("Container too short");
    buffer.assign(kOneValueSize, 0);
    Write16(buffer, 0, itemType);
    WidenItem(itemType, wire + offsetof(TW_ONEVALUE, Item), buffer.data() + 2);
    break;
  }
  case TWON_ARRAY:
  case TWON_ENUMERATION: {
    const bool isArray = containerType == TWON_ARRAY;
    const size_t header =
        isArray ? offsetof(TW_ARRAY, ItemList) : offsetof(TW_ENUMERATION, ItemList);
    if (size < header) throw ETwnContainerError("Container too short");
    uint32_t count;
    std::memcpy(
        &count,
        wire + (isArray ? offsetof(TW_ARRAY, NumItems) : offsetof(TW_ENUMERATION, NumItems)), 4);
    if (count > MaxItems(size, header, wireSize))
      throw ETwnContainerError("Container counts more items than its block holds");
    const size_t first = isArray ? kArrayItems : kEnumItems;
    buffer.assign(first + count * static_cast<size_t>(slotSize) + 4, 0);
    Write16(buffer, 0, itemType);
    Write32(buffer, 2, count);
    if (!isArray) {
      std::memcpy(buffer.data() + kEnumCurrent, wire + offsetof(TW_ENUMERATION, CurrentIndex), 4);
      std::memcpy(buffer.data() + kEnumDefault, wire + offsetof(TW_ENUMERATION, DefaultIndex), 4);
    }
    for (uint32_t i = 0; i < count; ++i)
      WidenItem(itemType, wire + header + i * static_cast<size_t>(wireSize),
                buffer.data() + first + i * static_cast<size_t>(slotSize));
    break;
  }
  case TWON_RANGE: {
    if (size < sizeof(TW_RANGE)) throw ETwnContainerError("Container too short");
    TW_RANGE range;
    std::memcpy(&range, wire, sizeof range);
    buffer.assign(kRangeSize, 0);
    Write16(buffer, 0, itemType);
    Write32(buffer, kRangeMin, Widen(itemType, range.MinValue));
    Write32(buffer, kRangeMax, Widen(itemType, range.MaxValue));
    Write32(buffer, kRangeStep, Widen(itemType, range.StepSize));
    Write32(buffer, kRangeDefault, Widen(itemType, range.DefaultValue));
    Write32(buffer, kRangeCurrent, Widen(itemType, range.CurrentValue));
    break;
  }
  default:
    throw ETwnContainerError("Unknown container type " + std::to_string(containerType));
  }
  return buffer;
}
