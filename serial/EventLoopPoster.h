#pragma once
// A minimal user-interface loop for headless programs and tests: the thread
// that calls Run* plays the user-interface thread and runs posted tasks in
// order.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "serial/UiInterfaces.h"

class EventLoopPoster : public UiPoster {
 public:
  bool PostAndWait(std::function<void()> task, int timeoutMs) override;
  // Queues a task without waiting for it.
  void Post(std::function<void()> task);
  void PostAfter(int ms, std::function<void()> task) override;

  // Runs tasks until `done` is true (checked after each task and on every
  // wake-up) or the time-out passes; returns done().
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  // Runs tasks for the whole duration.
  void RunFor(std::chrono::milliseconds duration);

 private:
  struct Job {
    std::function<void()> task;
    bool finished = false;
  };
  bool RunOne(std::unique_lock<std::mutex>& lock);

  std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable finished_;
  std::deque<std::shared_ptr<Job>> jobs_;
  // Tasks due at a time, in the order they were posted for equal times.
  std::multimap<std::chrono::steady_clock::time_point, std::function<void()>> timed_;
};

// Writes handler exceptions to stderr.
class StderrExceptionDisplay : public ExceptionDisplay {
 public:
  void ShowException(const std::string& message) override;
};
