#include "serial/EventLoopPoster.h"

#include <cstdio>

bool EventLoopPoster::PostAndWait(std::function<void()> task, int timeoutMs) {
  auto job = std::make_shared<Job>();
  job->task = std::move(task);
  std::unique_lock lock(mutex_);
  jobs_.push_back(job);
  queued_.notify_all();
  return finished_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return job->finished; });
}

void EventLoopPoster::Post(std::function<void()> task) {
  auto job = std::make_shared<Job>();
  job->task = std::move(task);
  std::lock_guard lock(mutex_);
  jobs_.push_back(job);
  queued_.notify_all();
}

void EventLoopPoster::PostAfter(int ms, std::function<void()> task) {
  std::lock_guard lock(mutex_);
  timed_.emplace(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms), std::move(task));
  queued_.notify_all();
}

bool EventLoopPoster::RunOne(std::unique_lock<std::mutex>& lock) {
  if (!timed_.empty() && timed_.begin()->first <= std::chrono::steady_clock::now()) {
    auto task = std::move(timed_.begin()->second);
    timed_.erase(timed_.begin());
    lock.unlock();
    task();
    lock.lock();
    return true;
  }
  if (jobs_.empty()) return false;
  auto job = jobs_.front();
  jobs_.pop_front();
  lock.unlock();
  job->task();
  lock.lock();
  job->finished = true;
  finished_.notify_all();
  return true;
}

bool EventLoopPoster::RunUntil(const std::function<bool()>& done,
                               std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  std::unique_lock lock(mutex_);
  for (;;) {
    while (RunOne(lock)) {
      lock.unlock();
      bool finished = done();
      lock.lock();
      if (finished) return true;
    }
    lock.unlock();
    bool finished = done();
    lock.lock();
    if (finished) return true;
    // Short waits so that conditions changed by other threads are seen.
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    auto wake = std::min(deadline, now + std::chrono::milliseconds(5));
    if (!timed_.empty()) wake = std::min(wake, timed_.begin()->first);
    queued_.wait_until(lock, wake);
  }
}

void EventLoopPoster::RunFor(std::chrono::milliseconds duration) {
  RunUntil([] { return false; }, duration);
}

void StderrExceptionDisplay::ShowException(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
}
