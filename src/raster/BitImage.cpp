#include "raster/BitImage.h"

#include <algorithm>
#include <cstring>

TBitImage::TBitImage(int rowBits, int height)
    : FRowBits(rowBits), FHeight(height), FWordsPerRow((rowBits + 63) / 64 + 1),
      FWords(static_cast<size_t>(FWordsPerRow) * static_cast<size_t>(height)) {}

TBitImage::TBitImage(const TDIB& page) : TBitImage(page.Width() * page.BitCount(), page.Height()) {
  const int rowBytes = page.RowBytes();
  const int fullWords = rowBytes / 8;
  for (int y = 0; y < FHeight; ++y) {
    const uint8_t* bytes = page.ScanLine(y);
    uint64_t* words = Row(y);
    for (int i = 0; i < fullWords; ++i) {
      uint64_t word;
      std::memcpy(&word, bytes + 8 * i, 8);
      words[i] = __builtin_bswap64(word);
    }
    if (rowBytes % 8) {
      uint64_t word = 0;
      for (int b = 8 * fullWords, shift = 56; b < rowBytes; ++b, shift -= 8)
        word |= static_cast<uint64_t>(bytes[b]) << shift;
      words[fullWords] = word;
    }
  }
}

void TBitImage::StoreTo(TDIB& page) const {
  const int fullBytes = FRowBits / 8;
  const int fullWords = fullBytes / 8;
  const int tailBits = FRowBits % 8;
  for (int y = 0; y < FHeight; ++y) {
    uint8_t* bytes = page.ScanLine(y);
    const uint64_t* words = Row(y);
    for (int i = 0; i < fullWords; ++i) {
      uint64_t word = __builtin_bswap64(words[i]);
      std::memcpy(bytes + 8 * i, &word, 8);
    }
    for (int b = 8 * fullWords; b < fullBytes; ++b)
      bytes[b] = static_cast<uint8_t>(words[b / 8] >> (56 - 8 * (b % 8)));
    if (tailBits) {
      auto value = static_cast<uint8_t>(words[fullBytes / 8] >> (56 - 8 * (fullBytes % 8)));
      auto keep = static_cast<uint8_t>(0xFF >> tailBits);
      bytes[fullBytes] = static_cast<uint8_t>((bytes[fullBytes] & keep) | (value & ~keep));
    }
  }
}

void ShiftBits(uint64_t* dst, const uint64_t* src, int words, int64_t n) {
  const int64_t totalBits = int64_t{words} * 64;
  if (n >= totalBits || -n >= totalBits) {
    std::memset(dst, 0, static_cast<size_t>(words) * 8);
    return;
  }
  const int wordShift = static_cast<int>((n < 0 ? -n : n) / 64);
  const int bitShift = static_cast<int>((n < 0 ? -n : n) % 64);
  if (n >= 0) {
    for (int i = words - 1; i >= 0; --i) {
      const int from = i - wordShift;
      uint64_t word = 0;
      if (from >= 0) {
        word = src[from] >> bitShift;
        if (bitShift && from > 0) word |= src[from - 1] << (64 - bitShift);
      }
      dst[i] = word;
    }
  } else {
    for (int i = 0; i < words; ++i) {
      const int from = i + wordShift;
      uint64_t word = 0;
      if (from < words) {
        word = src[from] << bitShift;
        if (bitShift && from + 1 < words) word |= src[from + 1] >> (64 - bitShift);
      }
      dst[i] = word;
    }
  }
}

namespace {

// Sets bits begin to end - 1 of row from the words wordAt(i) gives, keeping
// the other bits of the first and last word; the whole words between them
// are set by whole(from, to).
template <typename WordAt, typename Whole>
void MergeBitRange(uint64_t* row, int64_t begin, int64_t end, WordAt wordAt, Whole whole) {
  if (begin >= end) return;
  const auto first = static_cast<size_t>(begin / 64);
  const auto last = static_cast<size_t>((end - 1) / 64);
  const int head = static_cast<int>(begin % 64);
  const int tail = static_cast<int>((end - 1) % 64) + 1;
  const auto merge = [&](size_t i, uint64_t mask) {
    row[i] = (row[i] & ~mask) | (wordAt(i) & mask);
  };
  if (first == last) {
    merge(first, WordMask(head, tail));
    return;
  }
  merge(first, WordMask(head, 64));
  whole(first + 1, last);
  merge(last, WordMask(0, tail));
}

} // namespace

void FillBitRange(uint64_t* row, int64_t begin, int64_t end, uint64_t pattern) {
  MergeBitRange(
      row, begin, end, [pattern](size_t) { return pattern; },
      [row, pattern](size_t from, size_t to) { std::fill(row + from, row + to, pattern); });
}

void CopyBitRange(uint64_t* dst, const uint64_t* src, int64_t begin, int64_t end) {
  MergeBitRange(
      dst, begin, end, [src](size_t i) { return src[i]; },
      [dst, src](size_t from, size_t to) { std::memcpy(dst + from, src + from, (to - from) * 8); });
}

uint64_t FillPattern(int bits, int value) {
  switch (bits) {
  case 1:
    return (value & 1) ? ~uint64_t{0} : 0;
  case 4:
    return static_cast<uint64_t>(value & 0x0F) * 0x1111111111111111ull;
  default:
    return static_cast<uint64_t>(value & 0xFF) * 0x0101010101010101ull;
  }
}
