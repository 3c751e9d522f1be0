#include "app/MeasurementCommands.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>

#include "app/FormSupport.h"
#include "app/TargetDlg.h"
#include "controls/ApplicationHint.h"
#include "controls/ToolkitDialogs.h"
#include "eqwindow/EqualizerWindow.h"

MeasurementCommands::MeasurementCommands(OperatorMessages& messages, QWidget& parent)
    : QObject(&parent), messages_(messages), parent_(parent) {
  const auto item = [this](const QString& text, const QString& hint, void (MeasurementCommands::*command)()) {
    auto* a = new QAction(text, this);
    SetHint(*a, "|" + hint);
    connect(a, &QAction::triggered, this, [this, command] { (this->*command)(); });
    return a;
  };
  LoadMeasurementItem = item("&Load Measurement\u2026",
                             "Load a measured response (analyser text export, FRD, CSV) for the active window",
                             &MeasurementCommands::LoadMeasurement);
  TargetItem = item("Tar&get\u2026", "Choose the curve the fit aims for: flat, a tilt, the X-curve or a house curve",
                    &MeasurementCommands::ChooseTarget);
  FitItem = item("&Fit to Target", "Set the bands so that measurement and equalizer follow the target",
                 &MeasurementCommands::FitToTarget);
  ClearMeasurementItem = item("Cl&ear Measurement", "Remove the measurement from the active window",
                              &MeasurementCommands::ClearMeasurement);
  UpdateItems();
}

QList<QAction*> MeasurementCommands::Items() const {
  return {LoadMeasurementItem, TargetItem, FitItem, ClearMeasurementItem};
}

void MeasurementCommands::UpdateItems() {
  EqualizerWindow* window = ActiveWindow ? ActiveWindow() : nullptr;
  const WindowMeasurement* state = window ? window->MeasurementState() : nullptr;
  LoadMeasurementItem->setEnabled(state != nullptr);
  TargetItem->setEnabled(state != nullptr);
  FitItem->setEnabled(state && window->FitEnabled());
  ClearMeasurementItem->setEnabled(state && state->Loaded());
}

void MeasurementCommands::LoadMeasurement() {
  EqualizerWindow* window = ActiveWindow ? ActiveWindow() : nullptr;
  if (!window || !window->MeasurementState()) return;
  QString path;
  if (RunLoadDialog) {
    path = RunLoadDialog();
  } else {
    QFileDialog dialog(&parent_, "Load Measurement", lastFolder_);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({"Measurements (*.txt *.frd *.csv)", "All files (*)"});
    FitToolkitDialog(dialog, kFileDialogDesignSize);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) path = dialog.selectedFiles().front();
  }
  if (path.isEmpty()) return;
  lastFolder_ = QFileInfo(path).absolutePath();
  window->LoadMeasurement(path);
  UpdateItems();
}

void MeasurementCommands::ChooseTarget() {
  EqualizerWindow* window = ActiveWindow ? ActiveWindow() : nullptr;
  if (!window || !window->MeasurementState()) return;
  TTargetDlg dialog(messages_, &parent_);
  dialog.SetTarget(window->MeasurementState()->target, houseFile_);
  const bool accepted = RunTargetDialog ? RunTargetDialog(dialog) : dialog.exec() == QDialog::Accepted;
  if (!accepted || !dialog.Target()) return;
  if (dialog.RadioGroup1->ItemIndex() == TTargetDlg::HouseItem) houseFile_ = dialog.HouseFile();
  window->SetTarget(*dialog.Target());
  UpdateItems();
}

void MeasurementCommands::FitToTarget() {
  EqualizerWindow* window = ActiveWindow ? ActiveWindow() : nullptr;
  if (window && window->FitEnabled()) window->FitToTarget();
}

void MeasurementCommands::ClearMeasurement() {
  EqualizerWindow* window = ActiveWindow ? ActiveWindow() : nullptr;
  if (window) window->ClearMeasurement();
  UpdateItems();
}
