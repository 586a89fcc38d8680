#pragma once

#include <string>

// A per-user base folder of the desktop's conventions: the value of variable
// (XDG_CONFIG_HOME, XDG_STATE_HOME, ...) when it is an absolute path, else
// fallback (such as "/.config") under an absolute HOME, else the temporary
// folder. No trailing "/".
std::string XdgUserFolder(const char* variable, const char* fallback);
