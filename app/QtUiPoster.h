#pragma once
// Hands the serial component's events to the Qt user-interface thread and
// waits for them, at most the time given. Works inside nested modal loops,
// since queued calls run in every event loop of the thread.
#include <QObject>

#include "UiInterfaces.h"

class QtUiPoster : public UiPoster {
 public:
  // target: an object living on the user-interface thread (the application).
  explicit QtUiPoster(QObject* target) : target_(target) {}
  bool PostAndWait(std::function<void()> task, int timeoutMs) override;

 private:
  QObject* target_;
};
