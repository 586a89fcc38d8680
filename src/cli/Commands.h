#pragma once

#include <vector>

// One subcommand of tessivane-cli. run gets the words after the command's
// name and returns the exit status; errors propagate as exceptions.
struct TCommand {
  const char* name;
  const char* usage;
  int (*run)(int argc, char** argv);
};

// Every command, in order of name. Each command file registers its own
// commands with a static TCommandRegistration.
const std::vector<TCommand>& Commands();

struct TCommandRegistration {
  explicit TCommandRegistration(const TCommand& command);
};
