#include "workflow/LogSink.h"

void TLogLines::AddLine(const std::string& line) {
  std::lock_guard lock(FMutex);
  FLines.push_back(line);
}

std::vector<std::string> TLogLines::Lines() const {
  std::lock_guard lock(FMutex);
  return FLines;
}

void TLogLines::Clear() {
  std::lock_guard lock(FMutex);
  FLines.clear();
}
