#pragma once

#include "tessivane/twain.h"

#include <cstddef>
#include <cstdint>

// The page a memory transfer fills: DIB rows of RowSize bytes, top row first
// as the source sends them (turned bottom-up at the end).
struct TMemPage {
  uint8_t* Pixels = nullptr;
  size_t RowSize = 0;
  int Width = 0;
  int Height = 0;
  int Bits = 0;
};

// Copies one strip the source delivered (its TW_IMAGEMEMXFER and the
// buffer it wrote) into the page at the strip's YOffset and XOffset, each row
// at the source's BytesPerRow spacing. Every copy is bounded by what the
// source says it wrote (BytesWritten, at most the buffer's length), by
// BytesPerRow and by the page. False, with nothing copied, for a strip that
// does not fit the page or claims more than was written, or one that is
// compressed (this engine reads uncompressed strips only).
bool PlaceStrip(const TW_IMAGEMEMXFER& strip, const uint8_t* buffer, size_t bufferSize,
                const TMemPage& page);
