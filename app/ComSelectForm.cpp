#include "ComSelectForm.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <charconv>
#include <utility>

#include "FormSupport.h"
#include "PortNames.h"

namespace {
constexpr char kPortPrefix[] = "COM";
}

TComSelectForm::TComSelectForm(const std::vector<uint16_t>& validPorts, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
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
  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  AbortBtn = Place(new QPushButton("Cancel", this), 115, 100, 75, 25, "Cancel");
  connect(AbortBtn, &QPushButton::clicked, this, [this] { done(AbortResult); });

  FormCreate(validPorts);
  EndForm(*this);
}

void TComSelectForm::FormCreate(const std::vector<uint16_t>& validPorts) {
  for (uint16_t n : validPorts) PortsComboBox->addItem(kPortPrefix + QString::number(n));
  if (PortsComboBox->count() > 0) PortsComboBox->setCurrentIndex(0);
}

std::optional<uint16_t> TComSelectForm::ChosenPort() const {
  if (PortsComboBox->currentIndex() < 0) return std::nullopt;
  const std::string entry = PortsComboBox->currentText().toStdString();
  const std::string_view prefix = kPortPrefix;
  if (entry.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  const char* begin = entry.data() + prefix.size();
  const char* end = entry.data() + entry.size();
  uint16_t n = 0;
  auto [stop, error] = std::from_chars(begin, end, n);
  if (error != std::errc() || stop != end || begin == end || n == 0) return std::nullopt;
  return n;
}

void TComSelectForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) CentreOnScreen(*this);
}

QtPortSelector::QtPortSelector(std::function<std::string(uint16_t)> deviceForPort,
                               QWidget* parent)
    : deviceForPort_(std::move(deviceForPort)), parent_(parent) {}

std::optional<uint16_t> QtPortSelector::SelectPort() {
  TComSelectForm form(ListValidPorts(deviceForPort_), parent_);
  if (form.exec() != QDialog::Accepted) return std::nullopt;
  return form.ChosenPort();
}
