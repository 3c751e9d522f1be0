#include "QtUiPoster.h"

#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {
// Shared between the waiting thread and the queued call: the call may run
// after the waiter gave up.
struct Handover {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
};
}  // namespace

bool QtUiPoster::PostAndWait(std::function<void()> task, int timeoutMs) {
  if (QThread::currentThread() == target_->thread()) {
    task();
    return true;
  }
  auto handover = std::make_shared<Handover>();
  QMetaObject::invokeMethod(
      target_,
      [handover, task = std::move(task)] {
        // Marks the hand-over finished even when the task throws.
        struct Finish {
          Handover& h;
          ~Finish() {
            std::lock_guard<std::mutex> lock(h.mutex);
            h.finished = true;
            h.done.notify_all();
          }
        } finish{*handover};
        task();
      },
      Qt::QueuedConnection);
  std::unique_lock<std::mutex> lock(handover->mutex);
  return handover->done.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [&] { return handover->finished; });
}
