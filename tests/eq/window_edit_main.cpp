// The equalizer window's files, Edit menu and printing, one Qt Test class
// per concern, in one executable.
#include <QApplication>

#include "WindowEditTests.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int failed = 0;
  failed += RunCurveEditingTests(argc, argv) != 0;
  failed += RunPrintingTests(argc, argv) != 0;
  return failed;
}
