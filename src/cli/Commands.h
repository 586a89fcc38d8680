#pragma once

#include <string>
#include <vector>

// One subcommand of tessivane-cli. run gets the words after the command's
// name and returns the exit status; errors propagate as exceptions.
struct TCommand {
  const char* name;
  const char* usage;
  int (*run)(int argc, char** argv);
};

// The commands of each library, gathered by main.
const std::vector<TCommand>& RasterCommands();
