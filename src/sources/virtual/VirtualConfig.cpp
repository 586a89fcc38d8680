#include "VirtualConfig.h"

#include "tessivane/virtualscanner.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

bool ParseNumber(const std::string& text, long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 0);
  return end != nullptr && *end == '\0';
}

std::vector<long> Numbers(const std::string& text) {
  std::istringstream words(text);
  std::vector<long> numbers;
  std::string word;
  long value;
  while (words >> word && ParseNumber(word, value)) numbers.push_back(value);
  return numbers;
}

// DAT MSG, then the capability when withCapability.
bool ParseMatch(const std::vector<long>& numbers, bool withCapability, TTripletMatch& match) {
  if (numbers.size() < (withCapability ? 3u : 2u)) return false;
  match.DAT = static_cast<uint16_t>(numbers[0]);
  match.MSG = static_cast<uint16_t>(numbers[1]);
  match.CAP = withCapability ? static_cast<int32_t>(numbers[2]) : -1;
  return true;
}

} // namespace

bool TTripletMatch::Matches(uint16_t dat, uint16_t msg, const void* data) const {
  if (dat != DAT || msg != MSG) return false;
  if (CAP < 0) return true;
  return dat == DAT_CAPABILITY && data != nullptr &&
         static_cast<const TW_CAPABILITY*>(data)->Cap == CAP;
}

TVirtualConfig TVirtualConfig::Read() {
  TVirtualConfig config;
  long value;
  if (const char* sheets = std::getenv(VIRTUAL_SHEETS_VARIABLE);
      sheets != nullptr && ParseNumber(sheets, value) && value >= 0 && value <= 10000)
    config.Sheets = static_cast<int>(value);
  const char* path = std::getenv(VIRTUAL_CONFIG_VARIABLE);
  if (path == nullptr || *path == '\0') return config;
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const std::string text = line.substr(equals + 1);
    const std::vector<long> numbers = Numbers(text);
    const long first = numbers.empty() ? 0 : numbers[0];
    if (key == "sheets" && !numbers.empty() && first >= 0 && first <= 10000) {
      config.Sheets = static_cast<int>(first);
    } else if (key == "cancel") {
      config.CancelPage = static_cast<int>(first);
    } else if (key == "failxfer") {
      config.FailPage = static_cast<int>(first);
    } else if (key == "offline") {
      config.OfflineReads = static_cast<int>(first);
    } else if (key == "insistui") {
      config.InsistUI = first != 0;
    } else if (key == "closewindow") {
      config.CloseWindow = first != 0;
    } else if (key == "nosizes") {
      config.NoSupportedSizes = first != 0;
    } else if (key == "fail") {
      // DAT MSG CC, or DAT MSG CAP CC
      TFailureFault fault;
      if (numbers.size() == 3 && ParseMatch(numbers, false, fault.Triplet)) {
        fault.Condition = static_cast<uint16_t>(numbers[2]);
        config.Failures.push_back(fault);
      } else if (numbers.size() >= 4 && ParseMatch(numbers, true, fault.Triplet)) {
        fault.Condition = static_cast<uint16_t>(numbers[3]);
        config.Failures.push_back(fault);
      }
    } else if (key == "hang" || key == "throw") {
      TTripletMatch match;
      if (ParseMatch(numbers, numbers.size() > 2, match))
        (key == "hang" ? config.Hangs : config.Throws).push_back(match);
    } else if (key == "release") {
      config.ReleaseFile = text;
    } else if (key == "trace") {
      config.TraceFile = text;
    }
  }
  return config;
}
