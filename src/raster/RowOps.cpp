#include "raster/RowOps.h"

#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

template <size_t Step> void SwapPlain(const uint8_t* source, uint8_t* target, size_t pixels) {
  for (size_t i = 0; i < pixels; ++i, source += Step, target += 3) {
    const uint8_t first = source[0];
    target[1] = source[1];
    target[0] = source[2];
    target[2] = first;
  }
}

#if defined(__x86_64__)
// Five pixels per byte shuffle. Each step reads and writes 16 bytes, of which
// 15 are the five pixels and the sixteenth is written back unchanged, so it
// stops while a sixth pixel remains and works in place as well.
__attribute__((target("ssse3"))) void SwapShuffled(const uint8_t* source, uint8_t* target,
                                                   size_t pixels) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
  size_t i = 0;
  for (; i + 6 <= pixels; i += 5, source += 15, target += 15) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target), _mm_shuffle_epi8(block, order));
  }
  SwapPlain<3>(source, target, pixels - i);
}
#endif

} // namespace

void ComplementBytes(const uint8_t* source, uint8_t* target, size_t count) {
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t word;
    std::memcpy(&word, source + i, 8);
    word = ~word;
    std::memcpy(target + i, &word, 8);
  }
  for (; i < count; ++i) target[i] = static_cast<uint8_t>(~source[i]);
}

void SwapRedBlue(const uint8_t* source, uint8_t* target, size_t pixels) {
#if defined(__x86_64__)
  static const bool shuffle = __builtin_cpu_supports("ssse3");
  if (shuffle) return SwapShuffled(source, target, pixels);
#endif
  SwapPlain<3>(source, target, pixels);
}

void SwapRedBlueFromFour(const uint8_t* source, uint8_t* target, size_t pixels) {
  SwapPlain<4>(source, target, pixels);
}
