// Varlo95: controls ORB digital graphic equalizers over one serial line.
// Reads no command-line arguments of its own.
#include "ApplicationHint.h"
#include "QtOperatorMessages.h"
#include "SettingsLocation.h"
#include "TApplication.h"
#include "TzkTrackBarAccessible.h"
#include "VarloProgram.h"

int main(int argc, char** argv) {
  // Before any slider exists: Qt keeps the first interface it makes.
  InstallTrackBarAccessibility();
  TApplication app(argc, argv);
  QApplication::setApplicationName("Varlo95");
  QApplication::setApplicationDisplayName("Varlo95");
  QtOperatorMessages messages;
  app.SetExceptionDisplay(&messages);
  ApplicationHint::Install(app);

  VarloProgram program(messages, messages, ExecutableDirectory());
  messages.SetParent(&program.MainForm());
  program.MainForm().ShowFrame();
  return app.exec();
}
