#pragma once

#include <cstdint>

// No item type: capabilities the default table does not know.
constexpr uint16_t TWTY_NONE = 99;

// Bytes of one item on the wire (0 for types that have no fixed size).
int ItemWireSize(uint16_t itemType);
// Bytes of one item in a container's internal form: the wire size, at
// least 4, so the small integer types are kept widened to 32 bits.
int ItemSlotSize(uint16_t itemType);
bool IsStringType(uint16_t itemType);
// Longest text an item of a string type holds (33, 65, 129 or 255).
int StringCapacity(uint16_t itemType);

// The item type a capability carries when the engine builds its container
// itself: the standard's type for the capabilities of protocol 1.9,
// TWTY_UINT16 for the custom block 0x880A to 0x8853, TWTY_NONE otherwise.
uint16_t DefaultItemType(uint16_t capability);
