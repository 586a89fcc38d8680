#pragma once

#include "raster/DIB.h"

#include <cstdint>
#include <vector>

// A page's rows as 64-bit words, the leftmost pixel in the most significant
// bit, so that many pixels are shifted, masked and counted at a time. Every
// row has one spare word at its end, so a run may be read a word past its
// last pixel.
class TBitImage {
public:
  TBitImage(int rowBits, int height);
  // A copy of the page's pixel bits (any depth).
  explicit TBitImage(const TDIB& page);

  int RowBits() const { return FRowBits; }
  int Height() const { return FHeight; }
  int WordsPerRow() const { return FWordsPerRow; }
  uint64_t* Row(int y) { return FWords.data() + static_cast<size_t>(y) * FWordsPerRow; }
  const uint64_t* Row(int y) const { return FWords.data() + static_cast<size_t>(y) * FWordsPerRow; }

  // Writes the bits back into the page's rows; bits beyond the width keep
  // what they held.
  void StoreTo(TDIB& page) const;

private:
  int FRowBits;
  int FHeight;
  int FWordsPerRow;
  std::vector<uint64_t> FWords;
};

// Bits begin .. end - 1 of one word, bit 0 being the most significant.
inline uint64_t WordMask(int begin, int end) {
  uint64_t high = begin == 0 ? ~uint64_t{0} : ~uint64_t{0} >> begin;
  uint64_t low = end == 64 ? ~uint64_t{0} : ~(~uint64_t{0} >> end);
  return high & low;
}

// dst = src moved by n bits towards the end of the row (n < 0: towards the
// start); bits moved in are 0. dst and src hold words words each and must
// not overlap.
void ShiftBits(uint64_t* dst, const uint64_t* src, int words, int64_t n);

// Sets bits begin .. end - 1 of a row to the same bits of pattern repeated
// over every word.
void FillBitRange(uint64_t* row, int64_t begin, int64_t end, uint64_t pattern);

// Copies bits begin .. end - 1 from src to dst.
void CopyBitRange(uint64_t* dst, const uint64_t* src, int64_t begin, int64_t end);

// The fill pattern of a pixel value repeated over a word: a 1-bit value in
// all 64 bits, a 4-bit value in every nibble, a byte in every byte. 24-bit
// fill values have three equal bytes, so their low byte serves.
uint64_t FillPattern(int bits, int value);
