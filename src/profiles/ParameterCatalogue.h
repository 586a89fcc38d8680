#pragma once

#include "core/Exception.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// A catalogue line (or a line shaped like one) that cannot be parsed.
class EParameterError : public Exception {
public:
  using Exception::Exception;
};

// One named value of an integer parameter: the label shown, the integer stored.
struct TParameterValue {
  std::string Label;
  int32_t Value = 0;
  bool operator==(const TParameterValue&) const = default;
};
using TParameterValues = std::vector<TParameterValue>;

// What a catalogue line says about one scanner setting.
struct TParameterInfo {
  std::string DisplayName;
  int32_t Capability = 0; // TWAIN capability identifier
  char TypeLetter = 0;    // 'I', 'F', 'B' or 'S', upper case
};

// The 78 catalogue lines, in the order of the editor's parameter list and
// untrimmed. The position of a line is how the editor finds it again.
std::span<const char* const> AvailableParameters();

// Removes from text everything up to and including its first comma and
// returns the part before the comma, untrimmed. Without a comma it returns
// the whole text and leaves text empty.
std::string CutField(std::string& text);

// Parses a trimmed catalogue line. When values is given it is cleared and
// filled: "Yes"=1 and "No"=0 for B lines, the named values of I lines in line
// order, nothing for the other types. Raises EParameterError for an empty
// name or a type field that is not one character, and EConvertError for a
// capability or value that is not an integer.
TParameterInfo ParseParameterLine(const std::string& line, TParameterValues* values = nullptr);

// The display name of the first catalogue line for the capability, or the
// capability's decimal text when no line has it.
std::string ParameterDisplayName(int32_t capability);

// Index of the first value whose integer equals value, or -1.
int IndexOfValue(const TParameterValues& values, int32_t value);
