#pragma once
// One-shot timers for the server's poll loop: everything in orbsim that has
// to happen later (byte wire times, device latency, handshake time-outs)
// is a timer here, so the loop never sleeps.
#include <cstdint>
#include <functional>
#include <map>
#include <utility>

class TimerQueue {
 public:
  using Id = uint64_t;  // never 0, so 0 can mean "no timer"

  // Runs `action` once the monotonic clock reaches dueNs.
  Id At(int64_t dueNs, std::function<void()> action);
  // Forgets a timer; unknown or already-run ids are ignored.
  void Cancel(Id id);
  // The earliest due time, or -1 when nothing is pending.
  int64_t NextDueNs() const;
  // Runs every timer due at nowNs, including ones those timers add.
  void RunDue(int64_t nowNs);
  bool Empty() const { return timers_.empty(); }

 private:
  std::map<std::pair<int64_t, Id>, std::function<void()>> timers_;
  std::map<Id, int64_t> dueOf_;
  Id nextId_ = 1;
};
