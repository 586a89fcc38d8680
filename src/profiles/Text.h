#pragma once

#include "core/Exception.h"

#include <cstdint>
#include <string>

// A text that should be a number and is not. The message names the text.
class EConvertError : public Exception {
public:
  using Exception::Exception;
};

// Removes blanks and control characters from both ends.
std::string Trim(const std::string& text);

// Upper-cases the ASCII letters; other bytes stay as they are.
std::string UpperCase(const std::string& text);

// Compares two texts ignoring the case of ASCII letters: negative, zero or
// positive like strcmp.
int CompareText(const std::string& a, const std::string& b);

// Strict decimal conversion: an optional sign and digits only, nothing around
// them, within the 32-bit signed range. Raises EConvertError naming the text.
int32_t StrToInt(const std::string& text);

// Reads bytes as UTF-8; a byte that does not start a valid UTF-8 sequence is
// taken as a Latin-1 character. The result is valid UTF-8.
std::string DecodeUtf8OrLatin1(const std::string& bytes);
