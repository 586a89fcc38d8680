#pragma once

#include <QApplication>

#include <string>

// The application of a window benchmark on the offscreen platform, made on
// the first call. HOME, XDG_CONFIG_HOME, XDG_DATA_HOME and the application
// folder are a private folder named after the benchmark in the temporary
// folder, so a run never reads or changes the machine's own settings.
QApplication& OffscreenApplication(const std::string& name);
