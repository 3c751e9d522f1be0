#include "app/QtOperatorMessages.h"

#include <QApplication>
#include <QMessageBox>

namespace {
QMessageBox::Icon ToQt(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Question: return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

int Show(QWidget* parent, const std::string& caption, const std::string& text, MessageIcon icon,
         QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) {
  QMessageBox box(ToQt(icon), QString::fromStdString(caption), QString::fromStdString(text),
                  buttons, parent);
  box.setDefaultButton(defaultButton);
  return box.exec();
}
}  // namespace

void QtOperatorMessages::ShowMessage(const std::string& caption, const std::string& text,
                                     MessageIcon icon) {
  Show(parent_, caption, text, icon, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtOperatorMessages::AskYesNo(const std::string& caption, const std::string& text,
                                  MessageIcon icon) {
  return Show(parent_, caption, text, icon, QMessageBox::Yes | QMessageBox::No,
              QMessageBox::Yes) == QMessageBox::Yes;
}

void QtOperatorMessages::ShowException(const std::string& message) {
  std::string text = message;
  // The default display ends a message with a full stop.
  if (!text.empty() && text.back() != '.') text += '.';
  Show(parent_, QApplication::applicationName().toStdString(), text, MessageIcon::Error,
       QMessageBox::Ok, QMessageBox::Ok);
}
