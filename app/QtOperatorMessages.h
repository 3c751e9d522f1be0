#pragma once
// Operator messages and the application's exception display as real modal
// QMessageBoxes on the user-interface thread.
#include "eqwindow/OperatorMessages.h"
#include "serial/UiInterfaces.h"

class QWidget;

class QtOperatorMessages : public OperatorMessages, public ExceptionDisplay {
 public:
  // parent: the window the boxes are centred on (may be null).
  explicit QtOperatorMessages(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) override;
  bool AskYesNo(const std::string& caption, const std::string& text, MessageIcon icon) override;
  // The application's default exception display: the message in an error
  // box captioned with the application title.
  void ShowException(const std::string& message) override;

 private:
  QWidget* parent_;
};
