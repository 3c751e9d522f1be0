#include "app/LinkWindowsDlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

#include "app/FormSupport.h"

TLinkWindowsDlg::TLinkWindowsDlg(QWidget* parent) : QDialog(parent) {
  BeginForm(*this, "Link Windows", 329, 275);
  WindowsLabel = Place(new QLabel("&Windows to link:", this), 8, 8, 150, 15, "Windows to link");
  WindowList = Place(new QListWidget(this), 8, 26, 229, 113, "Windows to link");
  WindowsLabel->setBuddy(WindowList);
  connect(WindowList, &QListWidget::itemChanged, this, [this] { EnableOK(); });
  ModeGroup = new TRadioGroup("Mode", {"Relative", "Absolute"}, QRect(8, 145, 229, 57), this);
  ModeGroup->SetItemIndex(RelativeItem);
  CBBands = Place(new QCheckBox("&Bands and Gain", this), 8, 210, 150, 17, "Bands and Gain");
  CBBands->setChecked(true);
  CBFilters = Place(new QCheckBox("&Filters", this), 8, 230, 150, 17, "Filters");
  CBMuteBypass = Place(new QCheckBox("&Mute and Bypass", this), 8, 250, 150, 17, "Mute and Bypass");
  OKBtn = Place(new QPushButton("OK", this), 246, 8, 75, 25, "OK");
  OKBtn->setDefault(true);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  CancelBtn = Place(new QPushButton("Cancel", this), 246, 38, 75, 25, "Cancel");
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  EnableOK();
  EndForm(*this);
}

void TLinkWindowsDlg::AddWindow(const QString& caption, int address, bool checked) {
  auto* item = new QListWidgetItem(QString("%1 (address %2)").arg(caption).arg(address), WindowList);
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
  item->setToolTip(item->text());
  EnableOK();
}

std::vector<int> TLinkWindowsDlg::CheckedRows() const {
  std::vector<int> rows;
  for (int row = 0; row < WindowList->count(); ++row)
    if (WindowList->item(row)->checkState() == Qt::Checked) rows.push_back(row);
  return rows;
}

LinkMode TLinkWindowsDlg::Mode() const {
  return ModeGroup->ItemIndex() == AbsoluteItem ? LinkMode::Absolute : LinkMode::Relative;
}

LinkFollows TLinkWindowsDlg::Follows() const {
  return {CBBands->isChecked(), CBFilters->isChecked(), CBMuteBypass->isChecked()};
}

void TLinkWindowsDlg::EnableOK() { OKBtn->setEnabled(CheckedRows().size() >= 2); }

void TLinkWindowsDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) CentreOnScreen(*this);
}
