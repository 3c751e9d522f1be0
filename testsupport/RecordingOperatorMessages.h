#pragma once
// Operator messages for GUI tests: records every box that would have been
// shown and answers questions from a queue (Yes when the queue is empty).
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "eqwindow/OperatorMessages.h"
#include "serial/UiInterfaces.h"

struct RecordingOperatorMessages : OperatorMessages, ExceptionDisplay {
  struct Shown {
    std::string caption, text;
    MessageIcon icon;
    bool question;
  };
  std::vector<Shown> shown;
  std::vector<std::string> exceptions;
  std::deque<bool> answers;
  // Runs while a box would be open, before the code that showed it goes on
  // (a test can change the world at that moment, as an operator could).
  std::function<void(const Shown&)> whileShown;

  void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) override {
    shown.push_back({caption, text, icon, false});
    if (whileShown) whileShown(Shown(shown.back()));
  }
  bool AskYesNo(const std::string& caption, const std::string& text, MessageIcon icon) override {
    shown.push_back({caption, text, icon, true});
    if (answers.empty()) return true;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void ShowException(const std::string& message) override { exceptions.push_back(message); }
};
