#pragma once
// One QApplication for a test program (widgets need it); created on first use, kept to the end.
#include <QApplication>

namespace sw::test {

inline QApplication& QtApp() {
  static int argc = 1;
  static char name[] = "sw-test";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

}  // namespace sw::test
