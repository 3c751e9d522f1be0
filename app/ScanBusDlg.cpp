#include "app/ScanBusDlg.h"

#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <algorithm>
#include <cmath>

#include "app/FormSupport.h"
#include "link/BusScan.h"

TScanBusDlg::TScanBusDlg(QWidget* parent) : QDialog(parent) {
  BeginForm(*this, "Scan Bus", 289, 111);
  CostLabel = Place(new QLabel(this), 8, 40, 193, 63, "Scan time");
  CostLabel->setWordWrap(true);
  CostLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  FromLabel = Place(new QLabel("&From", this), 8, 12, 40, 15, "From");
  SEFrom = Place(new QSpinBox(this), 52, 9, 57, 21, "From");
  ToLabel = Place(new QLabel("&To", this), 118, 12, 24, 15, "To");
  SETo = Place(new QSpinBox(this), 144, 9, 57, 21, "To");
  for (QSpinBox* box : {SEFrom, SETo}) {
    box->setRange(1, 240);
    connect(box, &QSpinBox::valueChanged, this, [this] { UpdateCost(); });
  }
  SEFrom->setValue(1);
  SETo->setValue(240);
  FromLabel->setBuddy(SEFrom);
  ToLabel->setBuddy(SETo);
  OKBtn = Place(new QPushButton("OK", this), 206, 8, 75, 25, "OK");
  OKBtn->setDefault(true);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  CancelBtn = Place(new QPushButton("Cancel", this), 206, 38, 75, 25, "Cancel");
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  UpdateCost();
  EndForm(*this);
}

std::pair<int, int> TScanBusDlg::Range() const {
  return {std::min(SEFrom->value(), SETo->value()), std::max(SEFrom->value(), SETo->value())};
}

void TScanBusDlg::UpdateCost() {
  const auto [from, to] = Range();
  const int seconds = int(std::lround((to - from + 1) * BusScan::kAbsentAddressSeconds));
  const QString most = seconds >= 120 ? QString("%1 min").arg((seconds + 59) / 60) : QString("%1 s").arg(seconds);
  CostLabel->setText(QString("Each absent address takes about 2\u00a0s: these %1 addresses up to %2. "
                             "Narrow the range to the addresses in use.")
                         .arg(to - from + 1)
                         .arg(most));
}

void TScanBusDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) CentreOnScreen(*this);
}
