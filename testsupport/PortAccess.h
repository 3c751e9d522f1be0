#pragma once
// Port access as another user would meet it: file permissions that hold
// even when the tests run as root, and whether a terminal is still held in
// exclusive mode.
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <string>

// While alive, the calling thread is subject to file permission checks:
// the capabilities that override them (root has them) leave the thread's
// effective set and come back afterwards. Capabilities belong to threads,
// so the rest of the process keeps them. Without those capabilities this
// changes nothing.
class FilePermissionsEnforced {
 public:
  FilePermissionsEnforced() {
    header_.version = _LINUX_CAPABILITY_VERSION_3;
    header_.pid = 0;
    if (::syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
    lowered[0].effective &= ~(CAP_TO_MASK(CAP_DAC_OVERRIDE) | CAP_TO_MASK(CAP_DAC_READ_SEARCH) |
                              CAP_TO_MASK(CAP_FOWNER));
    lowered_ = ::syscall(SYS_capset, &header_, lowered) == 0;
  }
  ~FilePermissionsEnforced() {
    if (lowered_) ::syscall(SYS_capset, &header_, saved_);
  }
  FilePermissionsEnforced(const FilePermissionsEnforced&) = delete;
  FilePermissionsEnforced& operator=(const FilePermissionsEnforced&) = delete;

 private:
  __user_cap_header_struct header_{};
  __user_cap_data_struct saved_[2]{};
  bool lowered_ = false;
};

// The errno value of opening `path` for reading and writing as a serial
// port is opened; 0 when it opens.
inline int OpenError(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno;
  ::close(fd);
  return 0;
}

// Whether the terminal at `path` is in exclusive mode: an open refused with
// EBUSY, or (for a privileged user, whom the mode does not stop) the mode
// as the terminal reports it.
inline bool TerminalIsExclusive(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == EBUSY;
  int exclusive = 0;
  const bool known = ::ioctl(fd, TIOCGEXCL, &exclusive) == 0;
  ::close(fd);
  return known && exclusive != 0;
}
