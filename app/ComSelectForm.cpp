#include "app/ComSelectForm.h"

#include <QComboBox>
#include <QFrame>
#include <QAbstractItemView>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

#include "app/FormSupport.h"
#include "app/QtOperatorMessages.h"

namespace {
constexpr char kPortPrefix[] = "COM";
// The Select Port list's last port number.
constexpr uint16_t kLastListedPort = 50;

std::vector<ListedPort> OpenablePorts(std::initializer_list<uint16_t> numbers) {
  std::vector<ListedPort> ports;
  for (uint16_t n : numbers) ports.push_back({n, std::string(), PortAvailability::Available});
  return ports;
}

// The name to give `adduser`: the user's login, else the shell's $USER.
std::string UserName() {
  if (const passwd* user = ::getpwuid(::geteuid()); user && user->pw_name && *user->pw_name)
    return user->pw_name;
  return "$USER";
}

// Why a port the user may not open cannot be used, and how to get access.
std::string NoPermissionText(const ListedPort& port) {
  std::string name = kPortPrefix + std::to_string(port.number);
  if (!port.device.empty()) name += " (" + port.device + ")";
  return "You do not have permission to use " + name +
         ".\n\nSerial ports are open to the members of the dialout group. Add your user to "
         "it (sudo adduser " +
         UserName() + " dialout), log out and in again, and choose the port once more.";
}
}  // namespace

TComSelectForm::TComSelectForm(std::initializer_list<uint16_t> validPorts, QWidget* parent)
    : TComSelectForm(OpenablePorts(validPorts), nullptr, parent) {}

TComSelectForm::TComSelectForm(std::vector<ListedPort> ports, MessageBoxes* messages,
                               QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      ports_(std::move(ports)),
      messages_(messages) {
  BeginForm(*this, "Select Port", 220, 131);
  QPalette black = palette();
  black.setColor(QPalette::WindowText, Qt::black);
  black.setColor(QPalette::Text, Qt::black);
  black.setColor(QPalette::ButtonText, Qt::black);
  setPalette(black);

  Bevel1 = Place(new QFrame(this), 8, 8, 204, 57, "Port message frame");
  Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
  const QString first = "The configured serial port is not valid.";
  const QString second = "Please choose another port.";
  // The first line may need two lines in a wide font.
  Label1 = Place(new QLabel(first, this), 16, 12, 188, 30, first);
  Label1->setWordWrap(true);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  Label2 = Place(new QLabel(second, this), 16, 44, 188, 16, second);

  PortsComboBox = Place(new QComboBox(this), 8, 72, 204, 22, "Port");
  PortsComboBox->setEditable(false);
  PortsComboBox->setAccessibleDescription("Port");

  OkBtn = Place(new QPushButton("OK", this), 30, 100, 75, 25, "OK");
  OkBtn->setDefault(true);
  connect(OkBtn, &QPushButton::clicked, this, &TComSelectForm::OkBtnClick);
  AbortBtn = Place(new QPushButton("Cancel", this), 115, 100, 75, 25, "Cancel");
  connect(AbortBtn, &QPushButton::clicked, this, [this] { done(AbortResult); });

  FormCreate();
  EndForm(*this);
}

void TComSelectForm::FormCreate() {
  for (const ListedPort& port : ports_) {
    QString text = kPortPrefix + QString::number(port.number);
    if (!port.description.empty())
      text += "  " + QString::fromStdString(port.device + ": " + port.description) + (port.newLink.empty() ? "" : " (new)");
    PortsComboBox->addItem(text, int(port.number));
  }
  if (PortsComboBox->count() > 0) PortsComboBox->setCurrentIndex(0);
  // The list opens as wide as its longest entry: the descriptions whole.
  int widest = 0;
  for (int i = 0; i < PortsComboBox->count(); ++i)
    widest = std::max(widest, PortsComboBox->fontMetrics().horizontalAdvance(PortsComboBox->itemText(i)));
  PortsComboBox->view()->setMinimumWidth(widest + PortsComboBox->fontMetrics().averageCharWidth() * 4);
}

const ListedPort* TComSelectForm::ChosenEntry() const {
  const int entry = PortsComboBox->currentIndex();
  return entry >= 0 && static_cast<size_t>(entry) < ports_.size() ? &ports_[entry] : nullptr;
}

// A port the user may not open would only fail to open: say why instead,
// and let the operator choose another port or cancel.
void TComSelectForm::OkBtnClick() {
  const int entry = PortsComboBox->currentIndex();
  if (entry >= 0 && static_cast<size_t>(entry) < ports_.size() &&
      ports_[entry].availability == PortAvailability::NoPermission) {
    const std::string text = NoPermissionText(ports_[entry]);
    if (messages_) {
      messages_->ShowMessage("Com Setup Error", text, MessageIcon::Error);
    } else {
      QtOperatorMessages boxes(this);
      boxes.ShowMessage("Com Setup Error", text, MessageIcon::Error);
    }
    return;
  }
  accept();
}

std::optional<uint16_t> TComSelectForm::ChosenPort() const {
  if (PortsComboBox->currentIndex() < 0) return std::nullopt;
  const int n = PortsComboBox->currentData().toInt();
  if (n <= 0) return std::nullopt;
  return static_cast<uint16_t>(n);
}

void TComSelectForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) CentreOnScreen(*this);
}

QtPortSelector::QtPortSelector(std::function<std::string(uint16_t)> deviceForPort,
                               MessageBoxes* messages, QWidget* parent)
    : deviceForPort_(std::move(deviceForPort)), messages_(messages), parent_(parent) {}

std::optional<uint16_t> QtPortSelector::SelectPort() {
  std::vector<ListedPort> ports = ListPorts(deviceForPort_);
  const std::vector<SystemPort> system = Roots ? ListSystemPorts(Roots()) : std::vector<SystemPort>();
  std::vector<bool> shown(system.size(), false);
  for (ListedPort& port : ports)
    for (size_t i = 0; i < system.size(); ++i)
      if (!shown[i] && SameDevice(port.device, system[i].device)) {
        port.description = system[i].Description();
        shown[i] = true;
        break;
      }
  // The others, each with the lowest number that stands for nothing yet.
  const auto taken = [&](uint16_t n) {
    for (const ListedPort& p : ports)
      if (p.number == n) return true;
    return IsMapped && IsMapped(n);
  };
  uint16_t next = 1;
  for (size_t i = 0; i < system.size(); ++i) {
    if (shown[i]) continue;
    while (next <= kLastListedPort && taken(next)) ++next;
    if (next > kLastListedPort) break;
    const SystemPort& p = system[i];
    ports.push_back({next, p.device, p.access ? PortAvailability::Available : PortAvailability::NoPermission,
                     p.Description(), p.StableLink()});
  }
  TComSelectForm form(std::move(ports), messages_, parent_);
  if (form.exec() != QDialog::Accepted) return std::nullopt;
  const ListedPort* chosen = form.ChosenEntry();
  if (chosen && !chosen->newLink.empty() && MapPort && !MapPort(chosen->number, chosen->newLink)) return std::nullopt;
  return form.ChosenPort();
}
