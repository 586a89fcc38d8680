#pragma once

#include <string>

// Opens a finished file in the desktop's program for its type, without
// waiting for it; the launcher the window and the command line give a PDF
// document whose AutoLaunch is set. Failures are left to the desktop.
void OpenWithDesktop(const std::string& fileName);
