// The equalizer window's files and printing, one Qt Test class per
// concern, in one executable.
#include <QLocale>

#include "app/TApplication.h"
#include "controls/ApplicationHint.h"
#include "controls/TzkTrackBarAccessible.h"
#include "tests/eqwindow/WindowEditTests.h"

int main(int argc, char** argv) {
  InstallTrackBarAccessibility();
  TApplication app(argc, argv);
  ApplicationHint::Install(app);
  QLocale::setDefault(QLocale::c());
  int failed = 0;
  failed += RunPrintingTests(argc, argv) != 0;
  failed += RunWindowFilesTests(argc, argv) != 0;
  failed += RunWindowPrintTests(argc, argv) != 0;
  return failed;
}
