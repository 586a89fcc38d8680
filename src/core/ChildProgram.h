#pragma once

#include <string>
#include <vector>

// A graphical session is there: DISPLAY or WAYLAND_DISPLAY is set.
bool GraphicalSession();

// What a helper program gave: whether it could be started, how it ended and
// what it wrote on its standard output.
struct TChildResult {
  bool Started = false;
  bool Exited = false; // ended by exit (not by a signal), its output read whole
  int ExitStatus = -1;
  std::string Output;
};

// Runs program with arguments (its command line is the program's path as
// argv[0], then arguments), writes input on its standard input (then closes
// it), reads its standard output until it closes and waits for it. Started is
// false when program is not an executable file or cannot be started.
TChildResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& input = {});
