// Runs every test class of the controls in one process (one QApplication).
#include <QApplication>

#include "controls/StatusPanelAccessible.h"
#include "controls/TzkTrackBarAccessible.h"

int RunTrackBarTests(int argc, char** argv);
int RunTrackBarAccessibleTests(int argc, char** argv);
int RunScaleFrameTests(int argc, char** argv);
int RunStatusPanelAccessibleTests(int argc, char** argv);

int main(int argc, char** argv) {
  // As the program does: before any slider or panel exists.
  InstallTrackBarAccessibility();
  InstallStatusPanelAccessibility();
  QApplication app(argc, argv);
  int failed = 0;
  failed += RunTrackBarTests(argc, argv);
  failed += RunTrackBarAccessibleTests(argc, argv);
  failed += RunScaleFrameTests(argc, argv);
  failed += RunStatusPanelAccessibleTests(argc, argv);
  return failed;
}
