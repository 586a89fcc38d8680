#pragma once

#include "SaneDevice.h"

#include <string>
#include <vector>

// Environment variable naming the program that shows the device's options;
// when it is not set, the program installed beside the sources is used.
constexpr const char* kSaneOptionsVariable = "TESSIVANE_SANE_OPTIONS";
constexpr const char* kSaneOptionsProgram = "tessivane-sane-options";

// The options the operator may change, in the order they are set back: a
// mode decides the depths, a resolution the length of a pixel.
const std::vector<const char*>& SaneWindowOptions();

// One line a settable option of the device gives the options program:
//   NAME TAB TITLE TAB KIND TAB VALUE [TAB CHOICE]...
// KIND "integers" or "numbers" for a range (choices MIN, MAX, STEP; step 0
// for any value), "list" for a list of numbers, "strings" for a list of
// words. Numbers are written with a point. Empty for an option the device
// has not, cannot change or offers no choices for.
std::string SaneOptionLine(const TSaneDevice& device, const char* name);

enum class TSaneWindowAnswer { Scan, Cancel, Unavailable };

// Shows the options in a graphical session when the options program is
// there. Scan: the chosen values (NAME TAB VALUE lines, the program's exit
// status 0) are set on the device. Cancel: any other exit status. Without
// a session or a program the answer is Unavailable and nothing changes.
// Raises ESaneError when the device refuses a chosen value.
TSaneWindowAnswer ShowSaneOptions(TSaneDevice& device);
