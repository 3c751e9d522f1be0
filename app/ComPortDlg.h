#pragma once
// The Com Port Setup dialog: the program's own choice of serial port among
// COM 1 to COM 4, and the device the chosen port stands for. The caller
// selects the current port before showing it and reads the selected item
// afterwards (item index i stands for port i + 1, -1 for none). Below, the
// serial ports of this system are listed as the user knows them; choosing
// one maps it to the chosen port number, the first entry keeps what the
// settings file says.
#include <QDialog>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "serial/PortList.h"

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class TRadioGroup;

class TComPortDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TComPortDlg(QWidget* parent = nullptr);

  int ItemIndex() const;         // -1 none, 0..3
  void SetItemIndex(int index);  // -1 clears; beyond the last item selects "Com 4"

  // The ports to offer, and what the settings file maps a port number to
  // (shown for the chosen number, "not present" when it is gone).
  void SetPorts(std::vector<SystemPort> ports, std::function<std::string(int port)> mapped);
  // The system port chosen for the port number, or nothing (keep).
  std::optional<SystemPort> ChosenPort() const;

  QFrame* Bevel1;
  TRadioGroup* RadioGroup1;
  QLabel* DeviceLabel;
  QComboBox* CBDevice;
  QLabel* MappingLabel;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ShowMapping();
  std::vector<SystemPort> ports_;
  std::function<std::string(int port)> mapped_;
};
