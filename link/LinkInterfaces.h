#pragma once
// What the device link needs from the user interface: modal message boxes
// and the notifications to the active equalizer window.
#include <string>

#include "link/PA422Messages.h"

enum class MessageIcon { Error, Warning, Information, Question };

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // A modal box with one OK button.
  virtual void ShowMessage(const std::string& caption, const std::string& text,
                           MessageIcon icon) = 0;
};

// Outcomes of transactions, sent to the equalizer window that is active when
// the transaction ends.
class EqualizerNotifications {
 public:
  virtual ~EqualizerNotifications() = default;
  virtual void LinkFailed() = 0;
  virtual void PresetRecalled() = 0;
  virtual void UpdateDone() = 0;
  virtual void AllDataReceived() = 0;
  // The device answered, but with a refusal or a reply the engine could not
  // take (a status other than 0, a reply of the wrong length): the command
  // may or may not have been carried out, and no other notification follows.
  // The message has been shown. Listeners that keep no state about the
  // device need not care.
  virtual void TransactionFailed() {}
};

// How a transaction ended: every transaction the engine started ends in
// exactly one of these, after its message box (if any) has been closed and
// the active window has been notified. A read-modify-write is one
// transaction, ending after its write.
struct TransactionEnd {
  bool succeeded = false;
  int address = 0;
  uint8_t command = 0;  // the code of the last frame sent
  std::string message;  // the engine's text on failure
  pa422::Bytes data;    // the data a successful recall brought
  pa422::Bytes frame;   // the last frame sent, as sent
  // The device did not answer at all (a time-out, a wrong DT/ID): the link
  // to it is taken to be lost, not just the one command.
  bool linkFailed = false;
};

// Hears the end of every transaction (the line queue).
class TransactionListener {
 public:
  virtual ~TransactionListener() = default;
  virtual void TransactionEnded(const TransactionEnd& end) = 0;
  // An error box of the engine was closed with no transaction running:
  // work held back while it was open may go on.
  virtual void ErrorBoxClosed() {}
};
