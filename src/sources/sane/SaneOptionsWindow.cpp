#include "SaneOptionsWindow.h"

#include "SaneStatus.h"
#include "core/ChildProgram.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <map>
#include <sstream>

namespace {

std::string Number(double value) {
  char text[64];
  const auto written = std::to_chars(text, text + sizeof text, value);
  return std::string(text, written.ptr);
}

// The program named by the variable, or the one beside the sources: in this
// module's own folder or the folder above it (the sources folder sits in
// the manager's).
std::string ProgramPath() {
  if (const char* path = std::getenv(kSaneOptionsVariable); path != nullptr && *path != '\0')
    return path;
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ShowSaneOptions), &info) == 0 || info.dli_fname == nullptr)
    return kSaneOptionsProgram;
  const std::filesystem::path folder = std::filesystem::path(info.dli_fname).parent_path();
  const std::filesystem::path beside = folder / kSaneOptionsProgram;
  std::error_code error;
  if (std::filesystem::exists(beside, error)) return beside.string();
  return (folder.parent_path() / kSaneOptionsProgram).string();
}

// The chosen values, by option name.
std::map<std::string, std::string> ParseAnswer(const std::string& output) {
  std::map<std::string, std::string> values;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    values[line.substr(0, tab)] = line.substr(tab + 1);
  }
  return values;
}

// Sets one chosen value when it differs from the device's. A value that
// is no number for a numeric option is refused like one out of range.
void Apply(TSaneDevice& device, const char* name, const std::string& value) {
  const SANE_Option_Descriptor* option = device.Find(name);
  if (option == nullptr || !device.Settable(name)) return;
  if (option->type == SANE_TYPE_STRING) {
    if (device.Text(name) != value) device.SetText(name, value);
    return;
  }
  double number = 0;
  const auto parsed = std::from_chars(value.data(), value.data() + value.size(), number);
  if (parsed.ec != std::errc() || parsed.ptr != value.data() + value.size())
    throw ESaneError(SANE_STATUS_INVAL, name);
  if (device.Number(name) != number) device.SetNumber(name, number);
}

// A tab or a line end would break the line format.
bool FitsALine(const std::string& text) {
  return text.find_first_of("\t\r\n") == std::string::npos;
}

} // namespace

const std::vector<const char*>& SaneWindowOptions() {
  static const std::vector<const char*> names{"mode",       "depth",   "resolution", "source",
                                              "tl-x",       "tl-y",    "br-x",       "br-y",
                                              "brightness", "contrast"};
  return names;
}

std::string SaneOptionLine(const TSaneDevice& device, const char* name) {
  const SANE_Option_Descriptor* option = device.Find(name);
  if (option == nullptr || !device.Settable(name)) return {};
  // One number or one word; vector options stay as they are.
  if (option->type != SANE_TYPE_STRING && option->size != SANE_Int(sizeof(SANE_Word))) return {};
  std::string title = option->title != nullptr && *option->title != '\0' ? option->title : name;
  if (!FitsALine(title)) title = name;
  std::string line = std::string(name) + '\t' + title + '\t';
  if (option->type == SANE_TYPE_STRING) {
    const std::vector<std::string> texts = device.Texts(name);
    const std::optional<std::string> value = device.Text(name);
    if (texts.empty() || !value || !FitsALine(*value) ||
        !std::all_of(texts.begin(), texts.end(), FitsALine))
      return {};
    line += "strings\t" + *value;
    for (const std::string& text : texts) line += '\t' + text;
    return line;
  }
  if (option->type != SANE_TYPE_INT && option->type != SANE_TYPE_FIXED) return {};
  const TSaneNumbers numbers = device.Numbers(name);
  const std::optional<double> value = device.Number(name);
  if (!value || (!numbers.IsRange && numbers.List.empty())) return {};
  if (numbers.IsRange) {
    line += option->type == SANE_TYPE_INT ? "integers\t" : "numbers\t";
    line += Number(*value) + '\t' + Number(numbers.Min) + '\t' + Number(numbers.Max) + '\t' +
            Number(numbers.Step);
  } else {
    line += "list\t" + Number(*value);
    for (double choice : numbers.List) line += '\t' + Number(choice);
  }
  return line;
}

TSaneWindowAnswer ShowSaneOptions(TSaneDevice& device) {
  if (!GraphicalSession()) return TSaneWindowAnswer::Unavailable;
  std::string input;
  for (const char* name : SaneWindowOptions())
    if (std::string line = SaneOptionLine(device, name); !line.empty()) input += line + '\n';
  const TChildResult run = RunChild(ProgramPath(), {}, input);
  if (!run.Started) return TSaneWindowAnswer::Unavailable;
  if (!run.Exited || run.ExitStatus != 0) return TSaneWindowAnswer::Cancel;
  const std::map<std::string, std::string> chosen = ParseAnswer(run.Output);
  for (const char* name : SaneWindowOptions())
    if (auto it = chosen.find(name); it != chosen.end()) Apply(device, name, it->second);
  return TSaneWindowAnswer::Scan;
}
