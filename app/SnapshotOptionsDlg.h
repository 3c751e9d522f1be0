#pragma once
// The choices before a snapshot is captured, compared or recalled: which
// devices (the selected rows, or all), whether the stored presets are in
// it, and for a recall the safes: Mute and Bypass, and the device names,
// are left as the devices have them unless ticked.
#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;

struct SnapshotChoice {
  bool selectedOnly = false;
  bool presets = false;
  bool muteBypass = false;
  bool names = false;
};

class TSnapshotOptionsDlg : public QDialog {
  Q_OBJECT
 public:
  enum Kind { Capture, Compare, Recall };
  // `anySelected`: rows are selected, so that "Selected devices" may be
  // chosen (and is, by default).
  TSnapshotOptionsDlg(Kind kind, bool anySelected, QWidget* parent = nullptr);

  SnapshotChoice Choice() const;

  QRadioButton* AllRB;
  QRadioButton* SelectedRB;
  QCheckBox* PresetsCB;
  QCheckBox* MuteBypassCB;  // recall only
  QCheckBox* NamesCB;       // recall only
  QLabel* SafesLabel;       // recall only
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 protected:
  void showEvent(QShowEvent* event) override;
};
