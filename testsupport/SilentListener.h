#pragma once
// A loopback TCP port that listens but never accepts: a connection there
// completes, and then nothing ever answers.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

struct SilentListener {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  uint16_t port = 0;

  SilentListener() {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0)
      return;
    socklen_t len = sizeof addr;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
      port = ntohs(addr.sin_port);
  }
  ~SilentListener() { ::close(fd); }
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;

  std::string Url() const { return "rfc2217://127.0.0.1:" + std::to_string(port); }
  // Whether a connection is waiting to be accepted.
  bool SomeoneConnected() const {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1;
  }
};
