#pragma once
// The frame's measurement commands, on its Window menu and in the response
// picture's menu: load a measured response into the active equalizer
// window, choose the target its fit aims for, fit the bands, clear the
// measurement. The window holds the measurement and does the work; this
// asks the operator for files and the target.
#include <QObject>
#include <QString>
#include <functional>

class QAction;
class QWidget;
class EqualizerWindow;
class OperatorMessages;
class TTargetDlg;

class MeasurementCommands : public QObject {
  Q_OBJECT
 public:
  // parent: the frame, over which the dialogs are shown.
  MeasurementCommands(OperatorMessages& messages, QWidget& parent);

  // The active equalizer window, or nothing.
  std::function<EqualizerWindow*()> ActiveWindow;

  QAction* LoadMeasurementItem = nullptr;
  QAction* TargetItem = nullptr;
  QAction* FitItem = nullptr;
  QAction* ClearMeasurementItem = nullptr;
  QList<QAction*> Items() const;
  // Enables the items for the active window's state.
  void UpdateItems();

  void LoadMeasurement();
  void ChooseTarget();
  void FitToTarget();
  void ClearMeasurement();

  // The dialogs; when empty, the platform's file dialog and the Target
  // dialog run as they are. Tests answer here. The file dialog returns the
  // chosen path or an empty one; the target dialog's runner gets the
  // dialog set up and returns whether it was accepted.
  std::function<QString()> RunLoadDialog;
  std::function<bool(TTargetDlg& dialog)> RunTargetDialog;

 private:
  OperatorMessages& messages_;
  QWidget& parent_;
  // Where the last measurement came from, and the last house curve.
  QString lastFolder_;
  QString houseFile_;
};
