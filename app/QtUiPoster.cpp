#include "app/QtUiPoster.h"

#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <condition_variable>

// Shared between the waiting thread and the queued call: the call may run
// after the waiter gave up.
struct QtUiPoster::Handover {
  std::function<void()> task;
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
};

QtUiPoster::QtUiPoster(QObject* target) : target_(target) { moveToThread(target->thread()); }

bool QtUiPoster::PostAndWait(std::function<void()> task, int timeoutMs) {
  if (QThread::currentThread() == target_->thread()) {
    task();
    return true;
  }
  auto handover = std::make_shared<Handover>();
  handover->task = std::move(task);
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    queue_.push_back(handover);
  }
  QMetaObject::invokeMethod(this, "RunQueued", Qt::QueuedConnection);
  std::unique_lock<std::mutex> lock(handover->mutex);
  return handover->done.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [&] { return handover->finished; });
}

void QtUiPoster::PostAfter(int ms, std::function<void()> task) {
  // A precise timer: the engine's pauses are part of every transaction's
  // time on the line. The poster is the timer's context: a pause still
  // running when the program (and its engine) goes is dropped with it,
  // never run on what is gone.
  QTimer::singleShot(ms, Qt::PreciseTimer, this, std::move(task));
}

void QtUiPoster::RunQueued() {
  for (;;) {
    std::shared_ptr<Handover> next;
    {
      std::lock_guard<std::mutex> lock(queueMutex_);
      if (queue_.empty()) return;
      next = std::move(queue_.front());
      queue_.pop_front();
    }
    // Marks the hand-over finished even when the task throws.
    struct Finish {
      Handover& h;
      ~Finish() {
        std::lock_guard<std::mutex> lock(h.mutex);
        h.finished = true;
        h.done.notify_all();
      }
    } finish{*next};
    next->task();
  }
}
