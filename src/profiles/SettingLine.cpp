#include "profiles/SettingLine.h"

#include "profiles/ParameterCatalogue.h"
#include "profiles/Text.h"

std::string MakeSettingLine(int32_t capability, char typeLetter, const std::string& value) {
  return std::to_string(capability) + ',' + typeLetter + ',' + value;
}

std::string SettingDisplayText(const std::string& settingLine) {
  std::string rest = settingLine;
  const std::string capability = CutField(rest);
  CutField(rest); // the type letter: the catalogue's own type decides how the value shows
  const std::string value = CutField(rest);

  for (const char* line : AvailableParameters()) {
    TParameterValues values;
    const TParameterInfo info = ParseParameterLine(Trim(line), &values);
    if (std::to_string(info.Capability) != capability) continue;
    if (values.empty() || value == "?") return info.DisplayName + '=' + value;
    const int index = IndexOfValue(values, StrToInt(value));
    if (index < 0)
      throw EParameterError("Value " + value + " is not a value of " + info.DisplayName + ".");
    return info.DisplayName + '=' + values[static_cast<size_t>(index)].Label;
  }
  return capability + '=' + value;
}
