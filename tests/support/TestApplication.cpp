#include "support/TestApplication.h"

#include <QApplication>

void test::EnsureApplication() {
  static int argc = 1;
  static char name[] = "tessivane_tests", *argv[] = {name, nullptr};
  if (!QApplication::instance()) new QApplication(argc, argv);
}
