#pragma once
// What the device link needs from the user interface: modal message boxes
// and the notifications to the active equalizer window.
#include <string>

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
