#pragma once

#include "workflow/LogSink.h"
#include "workflow/OperatorPrompt.h"

#include <string>
#include <vector>

class TAcqTWAIN;

// Applies the setting lines of a profile to the open source, the work of the
// component's OnNegotiation event. profile is the active profile: line 0 (the
// scanner line) is skipped, lines 1 to n-1 are setting lines
// "capability,type letter,value" applied one by one in order. Each line is
// independent: a failure becomes one line in log and the next line is still
// applied; nothing is raised. A value "?" is asked through prompt's input box
// (caption "Input parametro", the capability number as prompt, the source's
// current value as default; Cancel keeps the default). A line for
// ICAP_SUPPORTEDSIZES on a source without that capability sets the image
// layout frame to the paper the code names, or to the physical area.
// Runs on the user-interface thread while the source is open (state 4).
void ApplyProfileSettings(TAcqTWAIN& twain, const std::vector<std::string>& profile, TLogSink& log,
                          TOperatorPrompt& prompt);
