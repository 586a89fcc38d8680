#include "twain/Fix32.h"

#include "core/Rounding.h"

TW_FIX32 FloatToFix32(double value) {
  const auto scaled = static_cast<int32_t>(Round(value * 65536.0));
  TW_FIX32 result;
  result.Whole = static_cast<TW_INT16>(scaled >> 16);
  result.Frac = static_cast<TW_UINT16>(scaled & 0xFFFF);
  return result;
}

double Fix32ToFloat(TW_FIX32 value) {
  const double fraction = static_cast<double>(value.Frac) / 65536.0;
  return value.Whole + static_cast<double>(Round((fraction + 0.000005) * 10000.0)) / 10000.0;
}

uint32_t FloatToFix32Bits(double value) {
  const TW_FIX32 fix = FloatToFix32(value);
  return static_cast<uint16_t>(fix.Whole) | (static_cast<uint32_t>(fix.Frac) << 16);
}

double Fix32BitsToFloat(uint32_t bits) {
  TW_FIX32 fix;
  fix.Whole = static_cast<TW_INT16>(bits & 0xFFFF);
  fix.Frac = static_cast<TW_UINT16>(bits >> 16);
  return Fix32ToFloat(fix);
}
