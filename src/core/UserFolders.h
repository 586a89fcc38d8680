#pragma once

#include <string>

// A per-user base folder of the desktop's conventions: the value of variable
// (XDG_CONFIG_HOME, XDG_STATE_HOME, ...) when it is an absolute path, else
// fallback (such as "/.config") under the user's home folder: HOME when it is
// an absolute path, else the home folder of the user's account. Raises when
// neither names one. No trailing "/".
std::string XdgUserFolder(const char* variable, const char* fallback);

// The user's state folder for this program: $XDG_STATE_HOME/tessivane, or
// ~/.local/state/tessivane when that is unset.
std::string UserStateFolder();
