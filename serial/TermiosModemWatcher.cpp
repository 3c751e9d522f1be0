#include "serial/TermiosModemWatcher.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>
#include <chrono>

namespace {

constexpr int kInputLines = TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CAR;
constexpr int kPollIntervalMs = 10;
// A driver whose wait keeps returning at once without a visible change would
// turn the thread into a busy loop; after this many such returns in a row it
// is treated as refusing the wait.
constexpr int kMaxEmptyWakes = 50;

void IgnoreSignal(int) {}

// The signal that interrupts the thread's blocking driver call. A thread in
// TIOCMIWAIT cannot be woken by closing the port, so it is interrupted by a
// realtime signal whose handler does nothing and is installed without
// SA_RESTART, making the call fail with EINTR. Chooses a realtime signal no
// one else handles; -1 when there is none (the watcher then only polls).
int StopSignal() {
  static const int signal = [] {
    for (int s = SIGRTMAX; s >= SIGRTMIN; --s) {
      struct sigaction old {};
      if (sigaction(s, nullptr, &old) != 0) continue;
      if ((old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) continue;
      struct sigaction sa {};
      sa.sa_handler = IgnoreSignal;
      sigemptyset(&sa.sa_mask);
      sa.sa_flags = 0;
      if (sigaction(s, &sa, nullptr) == 0) return s;
    }
    return -1;
  }();
  return signal;
}

bool IsGoneError(int e) { return e == EIO || e == ENODEV || e == ENXIO; }

}  // namespace

TermiosModemWatcher::TermiosModemWatcher(Probe probe, std::function<void()> onChange,
                                         std::function<void()> onGone)
    : probe_(std::move(probe)), onChange_(std::move(onChange)), onGone_(std::move(onGone)) {
  StopSignal();  // the handler must be in place before the first pthread_kill
  thread_ = std::thread([this] { Run(); });
}

TermiosModemWatcher::~TermiosModemWatcher() { Stop(); }

void TermiosModemWatcher::Stop() {
  stop_ = true;
  // The signal may land just before the thread enters its blocking call and
  // then be missed, so keep sending it until the thread has left.
  const int signal = StopSignal();
  while (!exited_) {
    if (signal >= 0) pthread_kill(thread_.native_handle(), signal);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  thread_.join();
}

void TermiosModemWatcher::Run() {
  // The thread inherits its creator's signal mask; the stop signal must get through.
  const int signal = StopSignal();
  if (signal >= 0) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  }

  int lines = 0;
  if (probe_.readLines(&lines) != 0 && IsGoneError(errno)) {
    onGone_();
    exited_ = true;
    return;
  }
  lines &= kInputLines;

  int emptyWakes = 0;
  while (!stop_ && signal >= 0) {
    const auto before = std::chrono::steady_clock::now();
    const int result = probe_.waitForChange();
    const int error = errno;
    if (stop_) break;
    if (result != 0) {
      if (error == EINTR) continue;
      if (IsGoneError(error)) {
        onGone_();
        break;
      }
      RunPolling(lines);  // the driver refuses to wait for line changes
      break;
    }
    // Read the lines again: a change between two waits must not go unnoticed.
    int now = lines;
    if (probe_.readLines(&now) == 0) now &= kInputLines;
    const bool quick = std::chrono::steady_clock::now() - before < std::chrono::milliseconds(5);
    emptyWakes = (now == lines && quick) ? emptyWakes + 1 : 0;
    lines = now;
    onChange_();
    if (emptyWakes > kMaxEmptyWakes) {
      RunPolling(lines);
      break;
    }
  }
  if (signal < 0 && !stop_) RunPolling(lines);
  exited_ = true;
}

void TermiosModemWatcher::RunPolling(int lines) {
  polling_ = true;
  while (!stop_) {
    ::poll(nullptr, 0, kPollIntervalMs);  // the stop signal cuts this short
    if (stop_) break;
    int now = 0;
    if (probe_.readLines(&now) != 0) {
      if (IsGoneError(errno)) {
        onGone_();
        return;
      }
      continue;
    }
    now &= kInputLines;
    if (now != lines) {
      lines = now;
      onChange_();
    }
  }
}

TermiosModemWatcher::Probe ModemProbeForFd(int fd) {
  TermiosModemWatcher::Probe probe;
  probe.waitForChange = [fd] {
#ifdef TIOCMIWAIT
    return ::ioctl(fd, TIOCMIWAIT, kInputLines);
#else
    errno = ENOTTY;
    return -1;
#endif
  };
  probe.readLines = [fd](int* lines) { return ::ioctl(fd, TIOCMGET, lines); };
  return probe;
}
