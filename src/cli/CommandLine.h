#pragma once

#include <map>
#include <string>
#include <vector>

// Arguments of one command: positional words and "--name value" options.
class TCommandLine {
public:
  // flags: option names that take no value.
  TCommandLine(int argc, char** argv, const std::vector<std::string>& flags = {});

  const std::vector<std::string>& Positional() const { return FPositional; }
  bool Has(const std::string& option) const { return FOptions.count(option) != 0; }
  std::string Text(const std::string& option, const std::string& fallback = "") const;
  // Raises TUsageError when the value is not an integer (or a number).
  int Integer(const std::string& option, int fallback) const;
  double Number(const std::string& option, double fallback) const;

private:
  std::vector<std::string> FPositional;
  std::map<std::string, std::string> FOptions;
};

// A command used the wrong way; main prints the usage.
struct TUsageError {
  std::string message;
};

int ParseInteger(const std::string& text);
