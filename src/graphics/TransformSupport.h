#pragma once

// Pieces shared by the transforms (internal to the graphics library).

#include "graphics/DibGraphic.h"

#include <cstdint>

// Makes dest a blank image of the given size with the source's format,
// palette and resolution (pixels per metre as they are).
void NewImageLike(const TDibGraphic& source, TDibGraphic& dest, int width, int height);

// Copies the pixels of a row; bits past the width in the last byte stay clear.
void CopyRowPixels(uint8_t* dest, const uint8_t* source, int width, int bits);

// Writes a 1-bit row with its pixels in the opposite order (pixel x goes to
// width - 1 - x); bits past the width stay clear.
void ReverseBitRow(uint8_t* dest, const uint8_t* source, int width);

// Rotates a 1-bit page a quarter turn, 8 x 8 pixels at a time: clockwise,
// source pixel (x, y) goes to (height - 1 - y, x); counter-clockwise, to
// (y, width - 1 - x). dest is blank and already of the turned size.
// progress(done, total) is called once per group of eight destination columns.
template <typename Progress>
void RotateBitsQuarter(const TDibGraphic& source, TDibGraphic& dest, bool clockwise,
                       Progress&& progress);

// Transposes an 8 x 8 bit block held one row per byte, the first row in the
// most significant byte and the first column in each byte's top bit.
constexpr uint64_t TransposeBits8x8(uint64_t x) {
  uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
  x = x ^ t ^ (t << 7);
  t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
  x = x ^ t ^ (t << 14);
  t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
  return x ^ t ^ (t << 28);
}

template <typename Progress>
void RotateBitsQuarter(const TDibGraphic& source, TDibGraphic& dest, bool clockwise,
                       Progress&& progress) {
  const int width = source.Width();
  const int height = source.Height();
  const int sourceBytes = (width + 7) / 8;
  const int groups = (height + 7) / 8; // byte columns of the destination
  const uint8_t zero[1] = {0};
  for (int k = 0; k < groups; ++k) {
    // Destination column 8k + j shows source row y(j); rows past the page read as blank.
    const uint8_t* rows[8];
    size_t step[8];
    for (int j = 0; j < 8; ++j) {
      const int column = 8 * k + j;
      const int y = clockwise ? height - 1 - column : column;
      const bool inside = column < height;
      rows[j] = inside ? source.ScanLine(y) : zero;
      step[j] = inside ? 1 : 0;
    }
    for (int b = 0; b < sourceBytes; ++b) {
      uint64_t block = 0;
      for (int j = 0; j < 8; ++j) block = block << 8 | rows[j][static_cast<size_t>(b) * step[j]];
      const uint64_t turned = TransposeBits8x8(block);
      const int pixels = width - 8 * b < 8 ? width - 8 * b : 8;
      for (int i = 0; i < pixels; ++i) {
        const int x = 8 * b + i;
        uint8_t* row = dest.ScanLine(clockwise ? x : width - 1 - x);
        row[k] = static_cast<uint8_t>(turned >> (56 - 8 * i));
      }
    }
    progress(k + 1, groups);
  }
}
