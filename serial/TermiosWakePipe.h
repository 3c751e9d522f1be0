#pragma once
// A self-pipe that lets one thread wake another out of poll(): Signal() makes
// the read end readable until Drain() empties it.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "serial/ApdExceptions.h"

class TermiosWakePipe {
 public:
  TermiosWakePipe() {
    if (::pipe2(fds_, O_NONBLOCK | O_CLOEXEC) != 0) throw EInOutError(errno);
  }
  ~TermiosWakePipe() {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  TermiosWakePipe(const TermiosWakePipe&) = delete;
  TermiosWakePipe& operator=(const TermiosWakePipe&) = delete;

  int PollFd() const { return fds_[0]; }

  // A full pipe is already readable, so a failed write loses nothing.
  void Signal() {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(fds_[1], &byte, 1);
  }

  void Drain() {
    char buf[64];
    while (::read(fds_[0], buf, sizeof buf) > 0) {
    }
  }

 private:
  int fds_[2] = {-1, -1};
};
