#pragma once

#include <cstdint>
#include <string>

// A setting line of a profile: capability number in decimal, type letter and
// value joined by commas, no blanks ("257,I,0", "4376,F,300"). A value "?"
// asks the operator for the value at each scan. Text after a third comma is
// ignored.

std::string MakeSettingLine(int32_t capability, char typeLetter, const std::string& value);

// The setting as the profile editor lists it, "label=value". The label comes
// from the first catalogue line whose capability, in decimal, is the line's
// first field; an unknown capability shows that field itself. A parameter
// with named values shows the label of the first named value equal to the
// stored number; any other shows the stored text. "?" always shows as "?".
// Raises EConvertError when a named-value parameter holds no number, and
// EParameterError when the number is none of its values.
std::string SettingDisplayText(const std::string& settingLine);
