#include "RunVarlo95.h"

#include <QTimer>

#include "ApplicationHint.h"
#include "QtOperatorMessages.h"
#include "SettingsLocation.h"
#include "TApplication.h"
#include "TzkTrackBarAccessible.h"
#include "VarloProgram.h"

int RunVarlo95(int argc, char** argv, const EqualizerWindowMaker& makeWindow,
               const std::function<void(VarloProgram&)>& onShown) {
  // Before any slider exists: Qt keeps the first interface it makes.
  InstallTrackBarAccessibility();
  TApplication app(argc, argv);
  QApplication::setApplicationName("Varlo95");
  QtOperatorMessages messages;
  app.SetExceptionDisplay(&messages);
  ApplicationHint::Install(app);

  VarloProgram program(messages, messages, ExecutableDirectory());
  messages.SetParent(&program.MainForm());
  program.MainForm().EqualizerWindowFactory = makeWindow;
  program.MainForm().ShowFrame();
  if (onShown) QTimer::singleShot(0, &app, [&] { onShown(program); });
  const int result = app.exec();
  app.SetExceptionDisplay(nullptr);
  return result;
}
