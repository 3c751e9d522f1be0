// The dialog tests, one Qt Test class per dialog, in one executable.
#include <QApplication>

#include "tests/app/DialogTestSupport.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int failed = 0;
  failed += RunComPortDialogTests(argc, argv) != 0;
  failed += RunSelectPortTests(argc, argv) != 0;
  failed += RunOptionsDialogTests(argc, argv) != 0;
  failed += RunAboutBoxTests(argc, argv) != 0;
  return failed;
}
