#pragma once

#include <cstdint>

// The three integer conversions every computation of the project uses.
// Round: nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4,
// -2.5 -> -2). Trunc: the fraction dropped. Both raise EMathError for a value
// that is not finite or does not fit in 64 bits.
int64_t Round(double value);
int64_t Trunc(double value);

// Integer division truncating toward zero; raises EMathError for b = 0.
int64_t Div(int64_t a, int64_t b);
