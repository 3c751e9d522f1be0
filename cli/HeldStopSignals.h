#pragma once
#include <pthread.h>
#include <signal.h>

#include <string>

// SIGINT and SIGTERM held back for a whole run of writes: blocked before
// the line's threads start (they inherit the mask), so that no thread is
// ever stopped by them, and looked at between steps (the presets of a
// restore, the devices of a snapshot), so that the one in hand is always
// finished before the run stops.
class HeldStopSignals {
 public:
  HeldStopSignals() {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
  }
  ~HeldStopSignals() {
    // A signal that came is answered by the message of the stop, not by
    // the default action once it is unblocked.
    const timespec now{};
    while (sigtimedwait(&signals_, nullptr, &now) > 0) {
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  HeldStopSignals(const HeldStopSignals&) = delete;
  HeldStopSignals& operator=(const HeldStopSignals&) = delete;

  // "SIGINT" or "SIGTERM" once one came, else empty.
  std::string Came() const {
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    if (sigismember(&pending, SIGINT)) return "SIGINT";
    if (sigismember(&pending, SIGTERM)) return "SIGTERM";
    return "";
  }

 private:
  sigset_t signals_{};
  sigset_t previous_{};
};
