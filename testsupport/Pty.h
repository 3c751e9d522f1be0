#pragma once
// A pseudo-terminal whose slave side stands in for a serial port.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

struct Pty {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  std::string slave;
  Pty() {
    grantpt(master);
    unlockpt(master);
    slave = ptsname(master);
  }
  ~Pty() { close(master); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;
};
