#include "app/ComPortDlg.h"

#include <QFrame>
#include <QPushButton>
#include <QShowEvent>

#include "app/FormSupport.h"

TComPortDlg::TComPortDlg(QWidget* parent) : QDialog(parent) {
  BeginForm(*this, "Com Port Setup", 251, 137);

  Bevel1 = Place(new QFrame(this), 8, 8, 145, 121, "Com Port Number frame");
  Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
  RadioGroup1 = new TRadioGroup("Com Port Number", {"Com 1", "Com 2", "Com 3", "Com 4"},
                                QRect(16, 16, 129, 105), this);

  OKBtn = Place(new QPushButton("OK", this), 166, 8, 75, 25, "OK");
  OKBtn->setDefault(true);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  // Escape rejects the dialog as the Cancel button does.
  CancelBtn = Place(new QPushButton("Cancel", this), 166, 38, 75, 25, "Cancel");
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

  EndForm(*this);
}

int TComPortDlg::ItemIndex() const { return RadioGroup1->ItemIndex(); }

void TComPortDlg::SetItemIndex(int index) { RadioGroup1->SetItemIndex(index); }

void TComPortDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) CentreOnScreen(*this);
}
