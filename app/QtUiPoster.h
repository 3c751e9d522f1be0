#pragma once
// Hands the serial component's events to the Qt user-interface thread and
// waits for them, at most the time given. Works inside nested modal loops,
// since queued calls run in every event loop of the thread.
#include <QObject>
#include <deque>
#include <memory>
#include <mutex>

#include "serial/UiInterfaces.h"

class QtUiPoster : public QObject, public UiPoster {
  Q_OBJECT
 public:
  // target: an object living on the user-interface thread (the application).
  explicit QtUiPoster(QObject* target);
  bool PostAndWait(std::function<void()> task, int timeoutMs) override;
  void PostAfter(int ms, std::function<void()> task) override;

 private:
  struct Handover;
  // Runs the tasks queued so far, oldest first.
  Q_INVOKABLE void RunQueued();

  QObject* target_;
  // The tasks travel through this queue, not inside the queued call, so
  // that the hand-over between the threads is a mutex of our own, which
  // ThreadSanitizer can see.
  std::mutex queueMutex_;
  std::deque<std::shared_ptr<Handover>> queue_;
};
