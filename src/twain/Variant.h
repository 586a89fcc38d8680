#pragma once

#include "core/Exception.h"

#include <cstdint>
#include <string>
#include <variant>

// A value that cannot be converted to the type asked for.
class EVariantError : public Exception {
public:
  using Exception::Exception;
};

// One capability value as the application reads and writes it: an integer,
// a float, a boolean or a text. Conversions between them follow the usual
// rules (floats round half to even into integers; texts are parsed).
class TTwnVariant {
public:
  TTwnVariant() : FValue(int32_t{0}) {}
  TTwnVariant(int32_t value) : FValue(value) {}
  TTwnVariant(double value) : FValue(value) {}
  TTwnVariant(bool value) : FValue(value) {}
  TTwnVariant(std::string value) : FValue(std::move(value)) {}
  TTwnVariant(const char* value) : FValue(std::string(value)) {}

  bool IsInteger() const { return std::holds_alternative<int32_t>(FValue); }
  bool IsFloat() const { return std::holds_alternative<double>(FValue); }
  bool IsBoolean() const { return std::holds_alternative<bool>(FValue); }
  bool IsString() const { return std::holds_alternative<std::string>(FValue); }

  int32_t AsInteger() const;
  double AsFloat() const;
  bool AsBoolean() const;
  std::string AsString() const;

  // Numbers compare numerically (a boolean counts as 0 or 1), texts as text;
  // a text against a number compares as a number when it reads as one.
  // Negative, zero or positive.
  friend int Compare(const TTwnVariant& a, const TTwnVariant& b);
  friend bool operator==(const TTwnVariant& a, const TTwnVariant& b) { return Compare(a, b) == 0; }
  friend bool operator<(const TTwnVariant& a, const TTwnVariant& b) { return Compare(a, b) < 0; }

private:
  std::variant<int32_t, double, bool, std::string> FValue;
};
