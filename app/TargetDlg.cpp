#include "app/TargetDlg.h"

#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <string>

#include "app/FormSupport.h"
#include "controls/ToolkitDialogs.h"
#include "eqwindow/OperatorMessages.h"

TTargetDlg::TTargetDlg(OperatorMessages& messages, QWidget* parent) : QDialog(parent), messages_(messages) {
  BeginForm(*this, "Target", 349, 166);

  RadioGroup1 = new TRadioGroup("Target Curve",
                                {"Flat", "Tilt about 1 kHz", "X-Curve (cinema)", "House Curve File"},
                                QRect(8, 8, 249, 97), this);
  SlopeLabel = Place(new QLabel("&Slope (dB per octave):", this), 8, 117, 132, 15, "Slope (dB per octave)");
  SESlope = Place(new QDoubleSpinBox(this), 142, 113, 65, 21, "Slope (dB per octave)");
  SESlope->setRange(-6.0, 6.0);
  SESlope->setSingleStep(0.1);
  SESlope->setDecimals(1);
  SESlope->setValue(-1.0);
  SlopeLabel->setBuddy(SESlope);
  FileLabel = Place(new QLabel("House curve &file:", this), 8, 141, 102, 15, "House curve file");
  EBHouseFile = Place(new QLineEdit(this), 112, 137, 145, 21, "House curve file");
  FileLabel->setBuddy(EBHouseFile);
  BrowseBtn = Place(new QPushButton("&Browse...", this), 266, 135, 75, 25, "Browse");
  connect(BrowseBtn, &QPushButton::clicked, this, [this] { BrowseBtnClick(); });

  OKBtn = Place(new QPushButton("OK", this), 266, 8, 75, 25, "OK");
  OKBtn->setDefault(true);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  CancelBtn = Place(new QPushButton("Cancel", this), 266, 38, 75, 25, "Cancel");
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  for (int i = 0; i < RadioGroup1->Count(); ++i)
    connect(RadioGroup1->Item(i), &QRadioButton::toggled, this, [this] { EnableItemControls(); });
  RadioGroup1->SetItemIndex(FlatItem);
  EnableItemControls();

  EndForm(*this);
}

void TTargetDlg::SetTarget(const TargetCurve& target, const QString& houseFile) {
  const std::string& description = target.Description();
  EBHouseFile->setText(houseFile);
  if (description == "flat") {
    RadioGroup1->SetItemIndex(FlatItem);
  } else if (description == "x-curve") {
    RadioGroup1->SetItemIndex(XCurveItem);
  } else if (description.rfind("tilt:", 0) == 0) {
    RadioGroup1->SetItemIndex(TiltItem);
    SESlope->setValue(QString::fromStdString(description.substr(5)).toDouble());
  } else {
    RadioGroup1->SetItemIndex(HouseItem);
  }
  EnableItemControls();
}

QString TTargetDlg::HouseFile() const { return EBHouseFile->text().trimmed(); }

void TTargetDlg::EnableItemControls() {
  const int item = RadioGroup1->ItemIndex();
  SlopeLabel->setEnabled(item == TiltItem);
  SESlope->setEnabled(item == TiltItem);
  FileLabel->setEnabled(item == HouseItem);
  EBHouseFile->setEnabled(item == HouseItem);
  BrowseBtn->setEnabled(item == HouseItem);
}

void TTargetDlg::BrowseBtnClick() {
  QString path;
  if (RunBrowseDialog) {
    path = RunBrowseDialog();
  } else {
    QFileDialog dialog(this, "House Curve File");
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({"House curves (*.txt *.csv *.frd)", "All files (*)"});
    if (!HouseFile().isEmpty()) dialog.selectFile(HouseFile());
    FitToolkitDialog(dialog, kFileDialogDesignSize);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) path = dialog.selectedFiles().front();
  }
  if (!path.isEmpty()) EBHouseFile->setText(path);
}

void TTargetDlg::accept() {
  switch (RadioGroup1->ItemIndex()) {
    case TiltItem:
      target_ = TargetCurve::Tilt(SESlope->value());
      break;
    case XCurveItem:
      target_ = TargetCurve::XCurve();
      break;
    case HouseItem:
      try {
        if (HouseFile().isEmpty()) throw MeasurementError("Choose the house curve's file.");
        target_ = TargetCurve::FromSpec(QFile::encodeName(HouseFile()).toStdString());
      } catch (const std::exception& e) {
        messages_.ShowMessage("Target", e.what(), MessageIcon::Error);
        EBHouseFile->setFocus();
        return;
      }
      break;
    default:
      target_ = TargetCurve::Flat();
  }
  QDialog::accept();
}

void TTargetDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) CentreOnScreen(*this);
}
