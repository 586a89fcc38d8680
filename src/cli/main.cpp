#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "core/Exception.h"
#include "core/FileStream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

namespace {

std::vector<TCommand>& Registry() {
  static std::vector<TCommand> commands;
  return commands;
}

void PrintUsage(std::FILE* out, const std::vector<TCommand>& commands) {
  std::fprintf(out, "Usage: tessivane-cli COMMAND ARGUMENTS\n\nCommands:\n");
  for (const TCommand& command : commands) std::fprintf(out, "  %s\n", command.usage);
}

} // namespace

TCommandRegistration::TCommandRegistration(const TCommand& command) {
  auto& commands = Registry();
  auto at = std::lower_bound(
      commands.begin(), commands.end(), command,
      [](const TCommand& a, const TCommand& b) { return std::strcmp(a.name, b.name) < 0; });
  commands.insert(at, command);
}

const std::vector<TCommand>& Commands() {
  return Registry();
}

int main(int argc, char** argv) {
  const std::vector<TCommand>& commands = Commands();
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    PrintUsage(argc < 2 ? stderr : stdout, commands);
    return argc < 2 ? 2 : 0;
  }
  for (const TCommand& command : commands) {
    if (std::strcmp(argv[1], command.name) != 0) continue;
    try {
      return command.run(argc - 2, argv + 2);
    } catch (const TUsageError& error) {
      std::fprintf(stderr, "%s\nUsage: tessivane-cli %s\n", error.message.c_str(), command.usage);
      return 2;
    } catch (const Exception& error) {
      // A library's bare failure ("TIFFWriteScanLine", "Stream write error")
      // is told with the file and the cause behind it.
      const TFileFailure failure = LastFileFailure();
      if (failure.Error != 0 && error.Message().find(failure.FileName) == std::string::npos)
        std::fprintf(stderr, "%s: %s (%s)\n", failure.FileName.c_str(),
                     std::strerror(failure.Error), error.Message().c_str());
      else
        std::fprintf(stderr, "%s\n", error.Message().c_str());
      return 1;
    } catch (const std::exception& error) {
      std::fprintf(stderr, "%s\n", error.what());
      return 1;
    }
  }
  std::fprintf(stderr, "Unknown command: %s\n", argv[1]);
  PrintUsage(stderr, commands);
  return 2;
}
