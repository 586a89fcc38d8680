#include "cli/CommandLine.h"

#include <algorithm>
#include <cstdlib>

TCommandLine::TCommandLine(int argc, char** argv, const std::vector<std::string>& flags) {
  for (int i = 0; i < argc; ++i) {
    std::string word = argv[i];
    if (word.size() > 2 && word.compare(0, 2, "--") == 0) {
      std::string name = word.substr(2);
      if (std::find(flags.begin(), flags.end(), name) != flags.end()) {
        FOptions[name] = "";
      } else {
        if (i + 1 >= argc) throw TUsageError{"missing value for " + word};
        FOptions[name] = argv[++i];
      }
    } else {
      FPositional.push_back(word);
    }
  }
}

std::string TCommandLine::Text(const std::string& option, const std::string& fallback) const {
  auto found = FOptions.find(option);
  return found == FOptions.end() ? fallback : found->second;
}

int ParseInteger(const std::string& text) {
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < -2147483647L || value > 2147483647L)
    throw TUsageError{"not an integer: " + text};
  return static_cast<int>(value);
}

int TCommandLine::Integer(const std::string& option, int fallback) const {
  return Has(option) ? ParseInteger(Text(option)) : fallback;
}

double TCommandLine::Number(const std::string& option, double fallback) const {
  if (!Has(option)) return fallback;
  std::string text = Text(option);
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0') throw TUsageError{"not a number: " + text};
  return value;
}
