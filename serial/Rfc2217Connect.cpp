#include "Rfc2217Connect.h"

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

#include "ApdExceptions.h"

namespace rfc2217 {

bool SplitHostPort(const std::string& hostPort, std::string& host, std::string& port) {
  size_t colon;
  if (!hostPort.empty() && hostPort.front() == '[') {
    size_t close = hostPort.find(']');
    if (close == std::string::npos || close + 1 >= hostPort.size() || hostPort[close + 1] != ':')
      return false;
    host = hostPort.substr(1, close - 1);
    colon = close + 1;
  } else {
    colon = hostPort.rfind(':');
    if (colon == std::string::npos) return false;
    host = hostPort.substr(0, colon);
    if (host.find(':') != std::string::npos) return false;  // bare IPv6 needs brackets
  }
  port = hostPort.substr(colon + 1);
  if (host.empty() || port.empty() || port.size() > 5) return false;
  for (char c : port)
    if (c < '0' || c > '9') return false;
  int number = std::stoi(port);
  return number > 0 && number <= 65535;
}

namespace {
// Connects one address; returns the socket or -1 with errno set.
int ConnectOne(const addrinfo& ai, std::chrono::steady_clock::time_point deadline) {
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
}  // namespace

int ConnectTcp(const std::string& hostPort, int timeoutMs) {
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
  int lastError = ECONNREFUSED;
  for (addrinfo* ai = found; ai != nullptr; ai = ai->ai_next) {
    int fd = ConnectOne(*ai, deadline);
    if (fd >= 0) return fd;
    lastError = errno;
    if (lastError == EMFILE || lastError == ENFILE) throw ENoHandles();
    if (lastError == ENOMEM || lastError == ENOBUFS) throw EOutOfMemory();
  }
  // Refused, unreachable or silent: there is no line to open at that address.
  throw EBadId();
}

}  // namespace rfc2217
