#include "OffscreenApplication.h"

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

QApplication& OffscreenApplication(const std::string& name) {
  static QApplication* application = [&name] {
    static const std::string home = fs::temp_directory_path() / ("tessivane-" + name + "-home");
    fs::create_directories(home);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("TESSIVANE_APP_FOLDER", home.c_str(), 1);
    static std::string program = name;
    static int argc = 1;
    static char* argv[] = {program.data(), nullptr};
    return new QApplication(argc, argv);
  }();
  return *application;
}
