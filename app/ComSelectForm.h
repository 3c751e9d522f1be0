#pragma once
// The Select Port dialog of the serial port component: lists the ports that
// exist (ports other programs hold and ports the user may not open included)
// as COM1, COM2, ... and lets the operator pick one when the component is
// opened without a port.
#include <QDialog>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "link/LinkInterfaces.h"
#include "serial/PortList.h"
#include "serial/PortNames.h"
#include "serial/UiInterfaces.h"

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

  // Lists ports (in the order given) and selects the first. OK on a port
  // the user may not open shows why in `messages` (a real message box when
  // null) and keeps the dialog open.
  explicit TComSelectForm(std::vector<ListedPort> ports, MessageBoxes* messages = nullptr,
                          QWidget* parent = nullptr);
  // Lists port numbers that can all be opened.
  explicit TComSelectForm(std::initializer_list<uint16_t> validPorts, QWidget* parent = nullptr);

  // The number after "COM" of the selected entry; nothing when the list is
  // empty.
  std::optional<uint16_t> ChosenPort() const;
  // The selected entry.
  const ListedPort* ChosenEntry() const;

  QLabel* Label1;
  QLabel* Label2;
  QFrame* Bevel1;
  QComboBox* PortsComboBox;
  QPushButton* OkBtn;
  QPushButton* AbortBtn;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate();
  void OkBtnClick();

  std::vector<ListedPort> ports_;  // one per entry of PortsComboBox
  MessageBoxes* messages_;
};

// The component's port selector in the desktop program: tests the ports
// 1 to 50 without changing them, adds the system's serial ports that no
// number stands for yet (each with the lowest number not yet mapped), and
// shows the Select Port dialog modally.
class QtPortSelector : public PortSelector {
 public:
  explicit QtPortSelector(std::function<std::string(uint16_t)> deviceForPort,
                          MessageBoxes* messages = nullptr, QWidget* parent = nullptr);

  // Where the system's ports are found (tests give fake trees); without it
  // only the numbered ports are listed.
  std::function<PortRoots()> Roots;
  // Whether the settings file maps a number to a device; and mapping one
  // (false when that could not be stored: the operator was told).
  std::function<bool(uint16_t number)> IsMapped;
  std::function<bool(uint16_t number, const std::string& device)> MapPort;
  // The chosen port; nothing for Cancel, Escape or closing the dialog, and
  // for OK on an empty list, so that no port is opened.
  std::optional<uint16_t> SelectPort() override;

 private:
  std::function<std::string(uint16_t)> deviceForPort_;
  MessageBoxes* messages_;
  QWidget* parent_;
};
