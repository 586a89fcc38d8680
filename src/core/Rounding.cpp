#include "core/Rounding.h"

#include "core/Exception.h"

#include <cmath>

namespace {

constexpr double kLimit = 9223372036854775808.0; // 2^63

void CheckRange(double value) {
  if (!std::isfinite(value) || value >= kLimit || value < -kLimit)
    throw EMathError("Invalid floating point operation");
}

} // namespace

int64_t Round(double value) {
  CheckRange(value);
  double lower = std::floor(value);
  double fraction = value - lower;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(lower, 2.0) != 0.0)) lower += 1.0;
  CheckRange(lower);
  return static_cast<int64_t>(lower);
}

int64_t Trunc(double value) {
  CheckRange(value);
  return static_cast<int64_t>(value);
}

int64_t Div(int64_t a, int64_t b) {
  if (b == 0) throw EMathError("Division by zero");
  if (b == -1 && a == INT64_MIN) throw EMathError("Integer overflow");
  return a / b;
}
