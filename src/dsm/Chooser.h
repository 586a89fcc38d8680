#pragma once

#include <optional>
#include <string>
#include <vector>

// Environment variable naming the program that lets the operator pick a source.
constexpr const char* kChooserVariable = "TESSIVANE_TWAIN_CHOOSER";
// The chooser installed beside the manager, used when the variable is not set.
constexpr const char* kChooserProgram = "tessivane-source-chooser";

enum class TChoice { Chosen, Cancelled, Unavailable };

// The source selection dialog. In a graphical session (DISPLAY or
// WAYLAND_DISPLAY set) with a chooser program available, runs it as
//   chooser DEFAULT NAME...
// and reads the chosen product name from its output (exit status 0; any other
// status means the operator cancelled). Without a graphical session or a
// chooser the answer is Unavailable, and the caller takes the default.
TChoice ChooseSource(const std::string& defaultName, const std::vector<std::string>& names,
                     std::string& chosen);
