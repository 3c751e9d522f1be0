#include "app/ComPortDlg.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <filesystem>

#include "app/FormSupport.h"

TComPortDlg::TComPortDlg(QWidget* parent) : QDialog(parent) {
  BeginForm(*this, "Com Port Setup", 401, 205);

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

  DeviceLabel = Place(new QLabel("&Device of the chosen port:", this), 8, 139, 385, 15, "Device of the chosen port");
  CBDevice = Place(new QComboBox(this), 8, 156, 385, 22, "Device of the chosen port");
  DeviceLabel->setBuddy(CBDevice);
  MappingLabel = Place(new QLabel(this), 8, 183, 385, 15, "Device now");
  for (int i = 0; i < RadioGroup1->Count(); ++i)
    connect(RadioGroup1->Item(i), &QRadioButton::toggled, this, [this] { ShowMapping(); });
  SetPorts({}, {});

  EndForm(*this);
}

void TComPortDlg::SetPorts(std::vector<SystemPort> ports, std::function<std::string(int port)> mapped) {
  ports_ = std::move(ports);
  mapped_ = std::move(mapped);
  CBDevice->clear();
  CBDevice->addItem("As the settings file says");
  for (const SystemPort& p : ports_)
    CBDevice->addItem(QString::fromStdString(p.device + " \u2013 " + p.Description() +
                                             (p.access ? "" : " (no permission)")));
  CBDevice->setCurrentIndex(0);
  ShowMapping();
}

std::optional<SystemPort> TComPortDlg::ChosenPort() const {
  const int entry = CBDevice->currentIndex() - 1;
  if (entry < 0 || entry >= static_cast<int>(ports_.size())) return std::nullopt;
  return ports_[entry];
}

void TComPortDlg::ShowMapping() {
  const int port = ItemIndex() + 1;
  if (port <= 0 || !mapped_) {
    MappingLabel->clear();
    return;
  }
  const std::string device = mapped_(port);
  const bool local = device.rfind("rfc2217://", 0) != 0;
  const bool gone = local && !std::filesystem::exists(device);
  MappingLabel->setText(QString("Com %1 now: %2%3")
                            .arg(port)
                            .arg(QString::fromStdString(device))
                            .arg(gone ? " (not present)" : ""));
}

int TComPortDlg::ItemIndex() const { return RadioGroup1->ItemIndex(); }

void TComPortDlg::SetItemIndex(int index) { RadioGroup1->SetItemIndex(index); }

void TComPortDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) CentreOnScreen(*this);
}
