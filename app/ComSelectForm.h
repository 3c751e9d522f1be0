#pragma once
// The Select Port dialog of the serial port component: lists the ports that
// can be opened (ports other programs hold included) as COM1, COM2, ... and
// lets the operator pick one when the component is opened without a port.
#include <QDialog>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "UiInterfaces.h"

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

class TComSelectForm : public QDialog {
  Q_OBJECT
 public:
  // The Abort button's result; OK gives QDialog::Accepted, Escape and
  // closing the window QDialog::Rejected.
  static constexpr int AbortResult = 3;

  // Lists validPorts (in the order given) and selects the first.
  explicit TComSelectForm(const std::vector<uint16_t>& validPorts, QWidget* parent = nullptr);

  // The number after "COM" of the selected entry; nothing when the list is
  // empty.
  std::optional<uint16_t> ChosenPort() const;

  QLabel* Label1;
  QLabel* Label2;
  QFrame* Bevel1;
  QComboBox* PortsComboBox;
  QPushButton* OkBtn;
  QPushButton* AbortBtn;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate(const std::vector<uint16_t>& validPorts);
};

// The component's port selector in the desktop program: tests the ports
// 1 to 50 and shows the Select Port dialog modally.
class QtPortSelector : public PortSelector {
 public:
  explicit QtPortSelector(std::function<std::string(uint16_t)> deviceForPort,
                          QWidget* parent = nullptr);
  // The chosen port; nothing for Cancel, Escape or closing the dialog, and
  // for OK on an empty list, so that no port is opened.
  std::optional<uint16_t> SelectPort() override;

 private:
  std::function<std::string(uint16_t)> deviceForPort_;
  QWidget* parent_;
};
