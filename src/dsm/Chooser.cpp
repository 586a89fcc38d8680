#include "dsm/Chooser.h"

#include "core/ChildProgram.h"
#include "dsm/SourceModule.h"

#include <cstdlib>
#include <filesystem>

namespace {

std::string ChooserPath() {
  if (const char* path = std::getenv(kChooserVariable); path != nullptr && *path != '\0')
    return path;
  return (std::filesystem::path(ManagerFolder()) / kChooserProgram).string();
}

} // namespace

TChoice ChooseSource(const std::string& defaultName, const std::vector<std::string>& names,
                     std::string& chosen) {
  if (!GraphicalSession()) return TChoice::Unavailable;
  std::vector<std::string> arguments{defaultName};
  arguments.insert(arguments.end(), names.begin(), names.end());
  TChildResult run = RunChild(ChooserPath(), arguments);
  if (!run.Started) return TChoice::Unavailable;
  if (!run.Exited || run.ExitStatus != 0) return TChoice::Cancelled;
  std::string& text = run.Output;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  chosen = text;
  return TChoice::Chosen;
}
