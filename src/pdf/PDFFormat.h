#pragma once

#include <string>

// A number of a content operator: at most four decimals, no trailing zeros or
// trailing point, "0" before the point, "." as separator whatever the locale.
std::string FormatPDFReal(double value);

// A text string of the information dictionary: between parentheses, with a
// backslash before "(", ")" and "\", and CR written as "\r"; every other byte
// is kept as it is.
std::string FormatPDFString(const std::string& text);

// A local calendar date and time, as the creation date and the file
// identifier use it.
struct TPDFDateTime {
  int Year = 1899;
  int Month = 12;
  int Day = 30;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int Millisecond = 0;

  static TPDFDateTime Now();
  bool operator==(const TPDFDateTime&) const = default;
};

// "yyyymmddhhnnss", as the information dictionary writes the creation date.
std::string FormatPDFDate(const TPDFDateTime& time);
