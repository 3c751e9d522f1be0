#include "app/RunVarlo95.h"

#include <QTimer>

#include "app/QtOperatorMessages.h"
#include "app/TApplication.h"
#include "app/VarloProgram.h"
#include "controls/ApplicationHint.h"
#include "controls/StatusPanelAccessible.h"
#include "controls/TzkTrackBarAccessible.h"
#include "settings/SettingsLocation.h"

int RunVarlo95(int argc, char** argv, const EqualizerWindowMaker& makeWindow,
               const std::function<void(VarloProgram&)>& onShown) {
  // Before any slider or panel exists: Qt keeps the first interface it
  // makes.
  InstallTrackBarAccessibility();
  InstallStatusPanelAccessibility();
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
