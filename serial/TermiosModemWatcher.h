#pragma once
// Watches a port's modem input lines (CTS, DSR, RI, DCD) from a helper thread
// and reports each change. The thread sleeps in the driver's "wait for a line
// change" call; where the driver refuses that call it reads the lines every
// 10 ms instead.
#include <atomic>
#include <functional>
#include <thread>

class TermiosModemWatcher {
 public:
  // How the thread reaches the port; each returns 0, or -1 with errno set.
  struct Probe {
    // Blocks until an input line changes. Must return EINTR when the thread
    // receives a signal, which is how the watcher is stopped.
    std::function<int()> waitForChange;
    // Stores the current TIOCM_* bits in *lines.
    std::function<int(int* lines)> readLines;
  };

  // Starts the thread. onChange runs on it after every change; onGone once
  // when the port stops answering because it went away.
  TermiosModemWatcher(Probe probe, std::function<void()> onChange, std::function<void()> onGone);
  ~TermiosModemWatcher();
  TermiosModemWatcher(const TermiosModemWatcher&) = delete;
  TermiosModemWatcher& operator=(const TermiosModemWatcher&) = delete;

  // True once the thread reads the lines periodically instead of waiting.
  bool Polling() const { return polling_; }

 private:
  void Run();
  void RunPolling(int lines);
  void Stop();

  Probe probe_;
  std::function<void()> onChange_;
  std::function<void()> onGone_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> exited_{false};
  std::atomic<bool> polling_{false};
  std::thread thread_;
};

// The probe for a real port: TIOCMIWAIT and TIOCMGET on `fd`.
TermiosModemWatcher::Probe ModemProbeForFd(int fd);
