#include "twain/Variant.h"

#include "core/Rounding.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <strings.h>

namespace {

std::optional<double> ParseNumber(const std::string& text) {
  size_t start = text.find_first_not_of(" \t");
  size_t end = text.find_last_not_of(" \t");
  if (start == std::string::npos) return std::nullopt;
  const char* first = text.data() + start;
  const char* last = text.data() + end + 1;
  if (*first == '+') ++first;
  double value = 0;
  auto [ptr, error] = std::from_chars(first, last, value);
  if (error != std::errc() || ptr != last) return std::nullopt;
  return value;
}

[[noreturn]] void CannotConvert(const std::string& text, const char* type) {
  throw EVariantError("Cannot convert \"" + text + "\" to " + type);
}

} // namespace

int32_t TTwnVariant::AsInteger() const {
  if (const auto* i = std::get_if<int32_t>(&FValue)) return *i;
  if (const auto* b = std::get_if<bool>(&FValue)) return *b ? 1 : 0;
  double value;
  if (const auto* f = std::get_if<double>(&FValue)) {
    value = *f;
  } else {
    auto parsed = ParseNumber(std::get<std::string>(FValue));
    if (!parsed) CannotConvert(std::get<std::string>(FValue), "an integer");
    value = *parsed;
  }
  if (!std::isfinite(value) || value < std::numeric_limits<int32_t>::min() - 0.5 ||
      value > std::numeric_limits<int32_t>::max() + 0.5)
    CannotConvert(AsString(), "an integer");
  return static_cast<int32_t>(Round(value));
}

double TTwnVariant::AsFloat() const {
  if (const auto* i = std::get_if<int32_t>(&FValue)) return *i;
  if (const auto* f = std::get_if<double>(&FValue)) return *f;
  if (const auto* b = std::get_if<bool>(&FValue)) return *b ? 1.0 : 0.0;
  auto parsed = ParseNumber(std::get<std::string>(FValue));
  if (!parsed) CannotConvert(std::get<std::string>(FValue), "a number");
  return *parsed;
}

bool TTwnVariant::AsBoolean() const {
  if (const auto* s = std::get_if<std::string>(&FValue)) {
    if (strcasecmp(s->c_str(), "true") == 0) return true;
    if (strcasecmp(s->c_str(), "false") == 0) return false;
    auto parsed = ParseNumber(*s);
    if (!parsed) CannotConvert(*s, "a boolean");
    return *parsed != 0;
  }
  return AsFloat() != 0;
}

std::string TTwnVariant::AsString() const {
  if (const auto* s = std::get_if<std::string>(&FValue)) return *s;
  if (const auto* i = std::get_if<int32_t>(&FValue)) return std::to_string(*i);
  if (const auto* b = std::get_if<bool>(&FValue)) return *b ? "True" : "False";
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", std::get<double>(FValue));
  return text;
}

int Compare(const TTwnVariant& a, const TTwnVariant& b) {
  if (a.IsString() && b.IsString()) {
    int order = a.AsString().compare(b.AsString());
    return order < 0 ? -1 : order > 0 ? 1 : 0;
  }
  std::optional<double> x = a.IsString() ? ParseNumber(a.AsString()) : std::optional(a.AsFloat());
  std::optional<double> y = b.IsString() ? ParseNumber(b.AsString()) : std::optional(b.AsFloat());
  if (!x || !y) {
    int order = a.AsString().compare(b.AsString());
    return order < 0 ? -1 : order > 0 ? 1 : 0;
  }
  return *x < *y ? -1 : *x > *y ? 1 : 0;
}
