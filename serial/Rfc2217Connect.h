#pragma once
// Opens the TCP connection of a network serial line.
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>

#include "serial/ApdExceptions.h"
#include "serial/Rfc2217Address.h"

namespace rfc2217 {

namespace detail {
// Connects one address; returns the socket or -1 with errno set.
inline int ConnectOne(const addrinfo& ai, std::chrono::steady_clock::time_point deadline) {
  int fd = socket(ai.ai_family, ai.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai.ai_protocol);
  if (fd < 0) return -1;
  if (connect(fd, ai.ai_addr, ai.ai_addrlen) != 0) {
    if (errno != EINPROGRESS) {
      int e = errno;
      close(fd);
      errno = e;
      return -1;
    }
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                      deadline - std::chrono::steady_clock::now())
                      .count();
      if (left <= 0) {
        close(fd);
        errno = ETIMEDOUT;
        return -1;
      }
      pollfd p{fd, POLLOUT, 0};
      int r = poll(&p, 1, static_cast<int>(left));
      if (r < 0 && errno == EINTR) continue;
      if (r > 0) break;
    }
    int err = 0;
    socklen_t len = sizeof err;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
    if (err != 0) {
      close(fd);
      errno = err;
      return -1;
    }
  }
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}
}  // namespace detail

// Connects to hostPort within timeoutMs and returns a non-blocking socket
// with TCP_NODELAY set. Raises EBadId when the name is malformed or unknown,
// or nobody answers there (refused, unreachable, timed out).
inline int ConnectTcp(const std::string& hostPort, int timeoutMs) {
  std::string host, port;
  if (!SplitHostPort(hostPort, host, port)) throw EBadId();

  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || found == nullptr)
    throw EBadId();
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> guard(found, freeaddrinfo);

  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (addrinfo* ai = found; ai != nullptr; ai = ai->ai_next) {
    int fd = detail::ConnectOne(*ai, deadline);
    if (fd >= 0) return fd;
    if (errno == EMFILE || errno == ENFILE) throw ENoHandles();
    if (errno == ENOMEM || errno == ENOBUFS) throw EOutOfMemory();
  }
  // Refused, unreachable or silent: there is no line to open at that address.
  throw EBadId();
}

}  // namespace rfc2217
