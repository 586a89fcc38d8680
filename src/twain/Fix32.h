#pragma once

#include "tessivane/twain.h"

// TW_FIX32 holds Whole (signed) + Frac / 65536.
// A float to TW_FIX32: round(x * 65536), halves to even, split into the
// signed high and unsigned low 16 bits (-0.25 gives Whole -1, Frac 49152).
TW_FIX32 FloatToFix32(double value);
// TW_FIX32 to a float, the fraction kept to four decimal places.
double Fix32ToFloat(TW_FIX32 value);

// The same conversions on the raw 32 bits as they travel in a container
// item (Whole in the low half, Frac in the high half).
uint32_t FloatToFix32Bits(double value);
double Fix32BitsToFloat(uint32_t bits);
