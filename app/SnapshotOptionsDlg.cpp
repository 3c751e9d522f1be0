#include "app/SnapshotOptionsDlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

#include "app/FormSupport.h"

namespace {
const char* Title(TSnapshotOptionsDlg::Kind kind) {
  switch (kind) {
    case TSnapshotOptionsDlg::Capture: return "Capture Snapshot";
    case TSnapshotOptionsDlg::Compare: return "Compare with Snapshot";
    case TSnapshotOptionsDlg::Recall: break;
  }
  return "Recall Snapshot";
}
}  // namespace

TSnapshotOptionsDlg::TSnapshotOptionsDlg(Kind kind, bool anySelected, QWidget* parent) : QDialog(parent) {
  const bool recall = kind == Recall;
  BeginForm(*this, Title(kind), 329, recall ? 170 : 105);
  const QString every = kind == Capture ? "&All devices in the table" : "&All devices in the snapshot";
  AllRB = Place(new QRadioButton(every, this), 8, 8, 225, 19, every);
  SelectedRB = Place(new QRadioButton("&Selected devices only", this), 8, 30, 225, 19, "Selected devices only");
  SelectedRB->setEnabled(anySelected);
  (anySelected ? SelectedRB : AllRB)->setChecked(true);
  const QString presets = kind == Recall ? "Write the stored &presets too" : "The stored &presets too";
  PresetsCB = Place(new QCheckBox(presets, this), 8, 58, 225, 19, presets);
  // A capture takes the presets by default; a recall writes them only when asked.
  PresetsCB->setChecked(kind == Capture);
  SafesLabel = Place(new QLabel("Safes: left as the devices have them unless ticked", this), 8, 84, 225, 30,
                     "Safes: left as the devices have them unless ticked");
  SafesLabel->setWordWrap(true);
  MuteBypassCB = Place(new QCheckBox("&Mute and Bypass as captured", this), 8, 118, 225, 19,
                       "Mute and Bypass as captured");
  NamesCB = Place(new QCheckBox("Device &names as captured", this), 8, 140, 225, 19, "Device names as captured");
  for (QWidget* w : std::initializer_list<QWidget*>{SafesLabel, MuteBypassCB, NamesCB}) w->setVisible(recall);
  OKBtn = Place(new QPushButton("OK", this), 246, 8, 75, 25, "OK");
  OKBtn->setDefault(true);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  CancelBtn = Place(new QPushButton("Cancel", this), 246, 38, 75, 25, "Cancel");
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  EndForm(*this);
}

SnapshotChoice TSnapshotOptionsDlg::Choice() const {
  SnapshotChoice c;
  c.selectedOnly = SelectedRB->isChecked();
  c.presets = PresetsCB->isChecked();
  c.muteBypass = !MuteBypassCB->isHidden() && MuteBypassCB->isChecked();
  c.names = !NamesCB->isHidden() && NamesCB->isChecked();
  return c;
}

void TSnapshotOptionsDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) CentreOnScreen(*this);
}
