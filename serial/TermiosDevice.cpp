// A local serial port through POSIX termios.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>

#include "serial/ApdExceptions.h"
#include "serial/SerialDevice.h"
#include "serial/TermiosLine.h"
#include "serial/TermiosModemWatcher.h"
#include "serial/TermiosWakePipe.h"

#ifdef __linux__
#include <linux/serial.h>
#include <sys/sysmacros.h>
#endif

namespace {

// While received bytes sit unread after being reported, the port is checked
// this often for more arriving.
constexpr int kRecheckMs = 10;

bool IsGoneError(int e) { return e == EIO || e == ENODEV || e == ENXIO; }

// Whether `fd` is the slave side of a pseudo-terminal (Linux device numbers:
// Unix98 slaves use majors 136 to 143, the old BSD-style slaves major 3).
bool IsPseudoTerminal(int fd) {
#ifdef __linux__
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
  const unsigned m = major(st.st_rdev);
  return (m >= 136 && m <= 143) || m == 3;
#else
  (void)fd;
  return false;
#endif
}

// A time limit in milliseconds; negative means none.
class Deadline {
 public:
  explicit Deadline(int timeoutMs)
      : forever_(timeoutMs < 0),
        end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0))) {}

  // Milliseconds left, rounded up so a poll never wakes just before the end;
  // -1 when there is no limit.
  int RemainingMs() const {
    if (forever_) return -1;
    auto left = end_ - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return 0;
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::min<long long>(ms, 1 << 30));
  }

 private:
  bool forever_;
  std::chrono::steady_clock::time_point end_;
};

// Whether the terminal behind `fd` is in exclusive mode (TIOCEXCL); false
// where the system cannot tell.
bool TerminalIsExclusive(int fd) {
#ifdef TIOCGEXCL
  int exclusive = 0;
  return ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
#else
  (void)fd;
  return false;
#endif
}

// Owns the port's file descriptor and releases the exclusive-use claims it
// made. The terminal's exclusive mode belongs to the terminal, not to the
// descriptor: giving it back after an open that someone else's hold refused
// would leave that holder's port open to everyone.
class PortFd {
 public:
  explicit PortFd(int fd) : fd_(fd) {}
  PortFd(PortFd&& other) noexcept : fd_(other.fd_), exclusive_(other.exclusive_) { other.fd_ = -1; }
  ~PortFd() {
    if (fd_ < 0) return;
    if (exclusive_) ::ioctl(fd_, TIOCNXCL);
    ::flock(fd_, LOCK_UN);  // only ever releases a lock of this descriptor
    ::close(fd_);
  }
  PortFd(const PortFd&) = delete;
  PortFd& operator=(const PortFd&) = delete;
  PortFd& operator=(PortFd&&) = delete;
  int get() const { return fd_; }
  // Puts the terminal into exclusive mode, to be released on close.
  void ClaimExclusive() {
    if (::ioctl(fd_, TIOCEXCL) == 0) exclusive_ = true;
  }

 private:
  int fd_;
  bool exclusive_ = false;
};

class TermiosDevice : public SerialDevice {
 public:
  TermiosDevice(PortFd fd, const std::string& path);
  ~TermiosDevice() override;

  LineSettings GetLine() override;
  void SetLine(const LineSettings& settings) override;
  void SetDTR(bool on) override { SetModemBit(TIOCM_DTR, on); }
  void SetRTS(bool on) override { SetModemBit(TIOCM_RTS, on); }
  uint8_t ModemLines() override;
  bool HasModemLines() override { return hasModemLines_; }
  uint8_t TakeLineChanges() override;
  unsigned WaitEvent(int timeoutMs) override;
  size_t Read(uint8_t* buffer, size_t max) override;
  size_t Write(const uint8_t* data, size_t count, int timeoutMs) override;
  void PurgeTx() override { ::tcflush(fd_.get(), TCOFLUSH); }
  void Abort() override;
  bool Gone() override { return gone_; }

 private:
  int Fd() const { return fd_.get(); }
  void MarkGone();
  unsigned WaitAfterGone(const Deadline& deadline);
  // Decides whether unread input is news for the caller (see WaitEvent).
  unsigned CheckInput(int unread, bool pollSawInput, bool* watchInput);
  void SetModemBit(int bit, bool on);
  LineSettings Observed(const termios& t, const LineSettings& framing) const;

  PortFd fd_;
  const std::string path_;
  bool hasModemLines_ = false;
  // A pseudo-terminal carries bytes, not bits: it keeps the speed and stop
  // bits it is given but always reads back eight data bits and no parity.
  bool pseudoTerminal_ = false;
  TermiosWakePipe abortWake_;   // readable for good once Abort() ran
  TermiosWakePipe notifyWake_;  // modem change, line gone, input read
  std::atomic<bool> aborted_{false};
  std::atomic<bool> gone_{false};
  std::atomic<bool> goneReported_{false};
  std::atomic<bool> modemChanged_{false};
#ifdef TIOCGICOUNT
  // The driver's counts of input-line transitions at the last look: a line
  // that fell and rose between two readings still moved its count.
  std::mutex countsMutex_;
  serial_icounter_struct lastCounts_{};
  bool haveCounts_ = false;
#endif

  // Received-data reporting, shared by WaitEvent and Read.
  std::mutex rxMutex_;
  bool rxReported_ = false;     // unread input has been reported
  int rxUnreadAtReport_ = 0;    // unread byte count then (lowest since)
  bool waiterParked_ = false;   // WaitEvent sleeps on reported, unread input

  std::mutex lineMutex_;
  LineSettings lastLine_;  // returned when the port no longer answers

  std::unique_ptr<TermiosModemWatcher> watcher_;
};

TermiosDevice::TermiosDevice(PortFd fd, const std::string& path)
    : fd_(std::move(fd)), path_(path) {
  termios t{};
  if (::tcgetattr(Fd(), &t) != 0) RaiseOpenError(errno, path_);
  termios raw = t;
  MakeRaw(raw);
  if (!SameTermios(raw, t) && ::tcsetattr(Fd(), TCSANOW, &raw) != 0) {
    const int error = errno;
    throw EInOutError(error, SystemErrorText(error) + " (setting up " + path_ + ")");
  }
  pseudoTerminal_ = IsPseudoTerminal(Fd());
  lastLine_ = ReadLine(raw);

  // A pseudo-terminal or a port without modem control has no TIOCMGET; then
  // there is nothing to watch and no thread is started.
  int lines = 0;
  hasModemLines_ = ::ioctl(Fd(), TIOCMGET, &lines) == 0;
  if (hasModemLines_) {
    TakeLineChanges();  // the counts so far are history
    watcher_ = std::make_unique<TermiosModemWatcher>(
        ModemProbeForFd(Fd()),
        [this] {
          modemChanged_ = true;
          notifyWake_.Signal();
        },
        [this] { MarkGone(); });
  }
}

TermiosDevice::~TermiosDevice() {
  watcher_.reset();  // the thread uses the descriptor, so it goes first
}

void TermiosDevice::MarkGone() {
  gone_ = true;
  notifyWake_.Signal();
}

void TermiosDevice::Abort() {
  aborted_ = true;
  abortWake_.Signal();
}

// The line as the port reports it. A pseudo-terminal cannot hold parity or
// data bits, so for one those are the ones last asked for.
LineSettings TermiosDevice::Observed(const termios& t, const LineSettings& framing) const {
  LineSettings s = ReadLine(t);
  if (pseudoTerminal_) {
    s.parity = framing.parity;
    s.dataBits = framing.dataBits;
  }
  return s;
}

LineSettings TermiosDevice::GetLine() {
  std::lock_guard<std::mutex> lock(lineMutex_);
  termios t{};
  if (::tcgetattr(Fd(), &t) == 0) lastLine_ = Observed(t, lastLine_);
  return lastLine_;
}

void TermiosDevice::SetLine(const LineSettings& settings) {
  std::lock_guard<std::mutex> lock(lineMutex_);
  termios current{};
  const bool answered = ::tcgetattr(Fd(), &current) == 0;
  const int error = errno;
  termios wanted = current;
  ApplyLine(wanted, settings);  // refuses what termios cannot express, gone or not
  if (!answered) {
    if (!IsGoneError(error)) throw EInOutError(error, SystemErrorText(error) + " (" + path_ + ")");
    MarkGone();  // a vanished port accepts settings as it accepts data
    lastLine_ = settings;
    return;
  }
  if (pseudoTerminal_) {
    // Only speed and stop bits can be set; asking for more makes tcsetattr fail.
    tcflag_t framing = CSIZE | PARENB | PARODD;
#ifdef CMSPAR
    framing |= CMSPAR;
#endif
    wanted.c_cflag = (wanted.c_cflag & ~framing) | CS8;
  }
  if (!SameTermios(wanted, current) && ::tcsetattr(Fd(), TCSANOW, &wanted) != 0) {
    const int e = errno;
    if (IsGoneError(e)) {
      MarkGone();
      lastLine_ = settings;
      return;
    }
    if (e == EINVAL) throw EInOutError(e, "The serial port " + path_ + " refused the line settings");
    throw EInOutError(e, SystemErrorText(e) + " (" + path_ + ")");
  }
  // tcsetattr succeeds when any part was applied; check that all of it was.
  termios applied{};
  if (::tcgetattr(Fd(), &applied) == 0 && !(Observed(applied, settings) == settings))
    throw EInOutError(EINVAL, "The serial port " + path_ + " refused the line settings");
  lastLine_ = settings;
}

void TermiosDevice::SetModemBit(int bit, bool on) {
  if (!hasModemLines_) return;
  if (::ioctl(Fd(), on ? TIOCMBIS : TIOCMBIC, &bit) != 0 && IsGoneError(errno)) MarkGone();
}

uint8_t TermiosDevice::TakeLineChanges() {
#ifdef TIOCGICOUNT
  if (!hasModemLines_) return 0;
  serial_icounter_struct now{};
  if (::ioctl(Fd(), TIOCGICOUNT, &now) != 0) return 0;  // the driver keeps no counts
  std::lock_guard lock(countsMutex_);
  uint8_t changes = 0;
  if (haveCounts_) {
    if (now.cts != lastCounts_.cts) changes |= kLineCTS;
    if (now.dsr != lastCounts_.dsr) changes |= kLineDSR;
    if (now.rng != lastCounts_.rng) changes |= kLineRI;
    if (now.dcd != lastCounts_.dcd) changes |= kLineDCD;
  }
  lastCounts_ = now;
  haveCounts_ = true;
  return changes;
#else
  return 0;
#endif
}

uint8_t TermiosDevice::ModemLines() {
  if (!hasModemLines_) return 0;
  int lines = 0;
  if (::ioctl(Fd(), TIOCMGET, &lines) != 0) {
    if (IsGoneError(errno)) MarkGone();
    return 0;
  }
  uint8_t out = 0;
  if (lines & TIOCM_CTS) out |= kLineCTS;
  if (lines & TIOCM_DSR) out |= kLineDSR;
  if (lines & TIOCM_RI) out |= kLineRI;
  if (lines & TIOCM_CD) out |= kLineDCD;
  return out;
}

// Input is reported once per arrival: the caller may leave bytes unread
// (its own buffer full), and reporting those again on every call would spin
// its event loop. After a report, input is news again only when more bytes
// arrived than were unread (counted from the lowest unread count seen since,
// so reads by another thread are accounted for) or the caller read some.
unsigned TermiosDevice::CheckInput(int unread, bool pollSawInput, bool* watchInput) {
  std::lock_guard<std::mutex> lock(rxMutex_);
  unsigned events = 0;
  if (unread <= 0) {
    rxReported_ = false;  // nothing pending: the next arrival is news
  } else if (!rxReported_ || unread > rxUnreadAtReport_) {
    events = kEventRxChar;
    rxReported_ = true;
    rxUnreadAtReport_ = unread;
  } else {
    rxUnreadAtReport_ = unread;
  }
  // Poll for input only while it would be news; a poll that claimed input
  // which the count does not show is not trusted twice in a row.
  *watchInput = !rxReported_ && !(pollSawInput && unread <= 0);
  waiterParked_ = !*watchInput && events == 0;
  return events;
}

unsigned TermiosDevice::WaitEvent(int timeoutMs) {
  const Deadline deadline(timeoutMs);
  bool pollSawInput = false;
  for (;;) {
    if (aborted_) return 0;
    if (gone_) return WaitAfterGone(deadline);

    int unread = 0;
    if (::ioctl(Fd(), FIONREAD, &unread) != 0) {
      if (IsGoneError(errno)) {
        MarkGone();
        continue;
      }
      unread = 0;
    }
    bool watchInput = true;
    unsigned events = CheckInput(unread, pollSawInput, &watchInput);
    if (modemChanged_.exchange(false)) events |= kEventModem;
    if (events != 0) return events;

    int wait = deadline.RemainingMs();
    if (wait == 0) return 0;
    if (!watchInput) wait = wait < 0 ? kRecheckMs : std::min(wait, kRecheckMs);

    // The port is polled even when input is not watched: hang-up and errors
    // are reported whatever events are asked for.
    pollfd fds[3] = {{Fd(), static_cast<short>(watchInput ? POLLIN : 0), 0},
                     {abortWake_.PollFd(), POLLIN, 0},
                     {notifyWake_.PollFd(), POLLIN, 0}};
    const int ready = ::poll(fds, 3, wait);
    {
      std::lock_guard<std::mutex> lock(rxMutex_);
      waiterParked_ = false;
    }
    if (ready < 0) {
      if (errno == EINTR) continue;
      // Should not happen; wait out the slice rather than return at once.
      std::this_thread::sleep_for(std::chrono::milliseconds(kRecheckMs));
      if (deadline.RemainingMs() == 0) return 0;
      continue;
    }
    if (fds[2].revents & POLLIN) notifyWake_.Drain();
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) MarkGone();
    pollSawInput = (fds[0].revents & POLLIN) != 0;
  }
}

// The first call after the line went away reports it (with any input still
// unread); later calls sleep until their time-out or Abort(), never spinning.
unsigned TermiosDevice::WaitAfterGone(const Deadline& deadline) {
  if (!goneReported_.exchange(true)) {
    unsigned events = kEventGone;
    int unread = 0;
    bool watchInput = false;
    if (::ioctl(Fd(), FIONREAD, &unread) == 0) events |= CheckInput(unread, false, &watchInput);
    if (modemChanged_.exchange(false)) events |= kEventModem;
    return events;
  }
  for (;;) {
    if (aborted_) return 0;
    const int wait = deadline.RemainingMs();
    if (wait == 0) return 0;
    pollfd fd = {abortWake_.PollFd(), POLLIN, 0};
    if (::poll(&fd, 1, wait) < 0 && errno != EINTR) return 0;
  }
}

size_t TermiosDevice::Read(uint8_t* buffer, size_t max) {
  if (max == 0) return 0;
  ssize_t n;
  do {
    n = ::read(Fd(), buffer, max);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    if (IsGoneError(errno)) MarkGone();
    return 0;  // EAGAIN: nothing has arrived
  }
  if (n > 0) {
    // The caller took input, so what is left is news again.
    std::lock_guard<std::mutex> lock(rxMutex_);
    rxReported_ = false;
    if (waiterParked_) notifyWake_.Signal();
  }
  return static_cast<size_t>(n);
}

size_t TermiosDevice::Write(const uint8_t* data, size_t count, int timeoutMs) {
  const Deadline deadline(timeoutMs);
  size_t done = 0;
  while (done < count) {
    if (gone_) return count;  // a vanished line swallows everything
    if (aborted_) return done;
    const ssize_t n = ::write(Fd(), data + done, count - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      if (IsGoneError(errno)) {
        MarkGone();
        return count;
      }
      return done;
    }
    // The output buffer is full: wait for room, Abort() or the time-out.
    const int wait = deadline.RemainingMs();
    if (wait == 0) return done;
    pollfd fds[2] = {{Fd(), POLLOUT, 0}, {abortWake_.PollFd(), POLLIN, 0}};
    if (::poll(fds, 2, wait) < 0 && errno != EINTR) return done;
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) MarkGone();
  }
  return done;
}

}  // namespace

std::unique_ptr<SerialDevice> OpenTermiosDevice(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == EISDIR) throw EBadId();  // a directory is no device
    RaiseOpenError(errno, path);
  }
  PortFd port(fd);  // closes the port again on every error below

  termios t{};
  if (::tcgetattr(fd, &t) != 0) {
    if (errno == ENOTTY || errno == EINVAL) throw EBadId();  // not a terminal device
    RaiseOpenError(errno, path);
  }
  // Exclusive use: an advisory lock that other serial programs honour, and
  // the terminal's exclusive mode, which refuses further opens with EBUSY.
  // The exclusive mode does not stop a privileged user's open, so a
  // terminal already in that mode is another program's.
  if (TerminalIsExclusive(fd)) throw EAlreadyOpen();
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    // Where locks are unsupported, the exclusive mode alone has to do.
    if (errno != ENOLCK && errno != EINVAL && errno != EOPNOTSUPP) RaiseOpenError(errno, path);
  }
  port.ClaimExclusive();

  try {
    return std::make_unique<TermiosDevice>(std::move(port), path);
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory();
  } catch (const std::system_error& e) {  // the helper thread could not start
    throw EInOutError(e.code().value(), std::string(e.what()) + " (" + path + ")");
  }
}

namespace {
// Whether a character device is a terminal: its major and minor number
// belong to a tty driver the kernel lists.
bool IsTerminalDevice(dev_t device) {
  std::ifstream drivers("/proc/tty/drivers");
  std::string name, path, type;
  unsigned majorNumber = 0;
  std::string minors;
  for (std::string line; std::getline(drivers, line);) {
    std::istringstream fields(line);
    if (!(fields >> name >> path >> majorNumber >> minors >> type)) continue;
    if (majorNumber != major(device)) continue;
    unsigned low = 0, high = 0;
    const size_t dash = minors.find('-');
    try {
      low = static_cast<unsigned>(std::stoul(minors.substr(0, dash)));
      high = dash == std::string::npos ? low : static_cast<unsigned>(std::stoul(minors.substr(dash + 1)));
    } catch (const std::exception&) {
      continue;
    }
    if (minor(device) >= low && minor(device) <= high) return true;
  }
  return false;
}

// An on-board port the kernel keeps without hardware behind it (UART type
// 0): opening it fails.
bool IsPlaceholderPort(dev_t device) {
  std::ifstream type("/sys/dev/char/" + std::to_string(major(device)) + ":" + std::to_string(minor(device)) +
                     "/type");
  std::string value;
  return std::getline(type, value) && value == "0";
}
}  // namespace

PortAvailability ProbeTermiosPort(const std::string& path) {
  // Judged without opening: opening a tty raises DTR and RTS, also when
  // non-blocking, and on this bus DTR is the host's handshake line. A port
  // held by another program is found when it is opened for use.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode) || !IsTerminalDevice(st.st_rdev) ||
      IsPlaceholderPort(st.st_rdev))
    return PortAvailability::Missing;
  // With the rights the program opens it with.
  if (::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) != 0)
    return errno == EACCES || errno == EPERM || errno == EROFS ? PortAvailability::NoPermission
                                                               : PortAvailability::Missing;
  return PortAvailability::Available;
}
