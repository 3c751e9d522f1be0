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
};
