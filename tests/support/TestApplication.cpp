#include "support/TestApplication.h"

#include <QApplication>

namespace test {

void EnsureApplication() {
  static int argc = 1;
  static char name[] = "tessivane_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* application =
      QApplication::instance() == nullptr ? new QApplication(argc, argv) : nullptr;
  (void)application;
}

} // namespace test
