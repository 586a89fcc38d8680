#pragma once

#include <cstddef>
#include <cstdint>

// Whole-row byte operations shared by the readers, writers and tone
// operations. Source and target may be the same row.

// Every byte complemented.
void ComplementBytes(const uint8_t* source, uint8_t* target, size_t count);

// Three-byte pixels with their first and third byte exchanged: red, green,
// blue to blue, green, red and back.
void SwapRedBlue(const uint8_t* source, uint8_t* target, size_t pixels);

// The same from pixels of four bytes (an extra sample after red, green,
// blue) to three-byte pixels.
void SwapRedBlueFromFour(const uint8_t* source, uint8_t* target, size_t pixels);
