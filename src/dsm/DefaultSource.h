#pragma once

#include <string>

// The product name of the source the operator last chose in the selection
// dialog, kept in <config>/Vellumtrace/TessivaneTwain.conf as a line
// "DefaultSource=NAME" (<config> is XDG_CONFIG_HOME or ~/.config). Empty when
// none was chosen.
std::string StoredDefaultSource();
// Keeps the choice; a failure to write leaves the previous one.
void StoreDefaultSource(const std::string& productName);
