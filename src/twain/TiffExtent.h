#pragma once

#include <cstddef>
#include <cstdint>

// True when the bytes start with a TIFF signature ("II*\0" or "MM\0*").
bool IsTiff(const uint8_t* bytes, size_t size);

// The bytes a TIFF in memory takes, found from its first directory: the
// directory itself, every value stored outside it and every strip or tile
// its offsets and byte counts name. For a block whose size nobody can tell
// (one of another manager's allocator); 0 for a malformed TIFF or one larger
// than `limit`.
size_t TiffExtent(const uint8_t* bytes, size_t limit);
