#include "pdf/PDFFormat.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>

std::string FormatPDFReal(double value) {
  char text[400];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 4);
  if (result.ec != std::errc()) return "0";
  char* end = result.ptr;
  if (std::find(text, end, '.') != end) {
    while (end[-1] == '0') --end;
    if (end[-1] == '.') --end;
  }
  const size_t length = static_cast<size_t>(end - text);
  if (length == 2 && text[0] == '-' && text[1] == '0') return "0";
  return std::string(text, length);
}

std::string FormatPDFString(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '(';
  for (char c : text) {
    switch (c) {
    case '(':
    case ')':
    case '\\':
      out += '\\';
      out += c;
      break;
    case '\r': out += "\\r"; break;
    default: out += c; break;
    }
  }
  out += ')';
  return out;
}

TPDFDateTime TPDFDateTime::Now() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  TPDFDateTime time;
  time.Year = local.tm_year + 1900;
  time.Month = local.tm_mon + 1;
  time.Day = local.tm_mday;
  time.Hour = local.tm_hour;
  time.Minute = local.tm_min;
  time.Second = local.tm_sec;
  time.Millisecond =
      static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  return time;
}

std::string FormatPDFDate(const TPDFDateTime& time) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", time.Year, time.Month, time.Day,
                time.Hour, time.Minute, time.Second);
  return text;
}
