#include "sim/ListenSocket.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "serial/Rfc2217Address.h"

int ListenOn(const std::string& hostPort, std::string& error) {
  std::string host, port;
  if (!rfc2217::SplitHostPort(hostPort, host, port, /*allowZeroPort=*/true)) host.clear();
  if (host.empty()) {
    error = "expected host:port, got '" + hostPort + "'";
    return -1;
  }

  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  int rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
  if (rc != 0 || found == nullptr) {
    error = "cannot resolve " + host + ": " + gai_strerror(rc);
    return -1;
  }
  int fd = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  int one = 1;
  if (fd >= 0) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (fd < 0 || bind(fd, found->ai_addr, found->ai_addrlen) != 0 || listen(fd, 16) != 0) {
    error = "cannot listen on " + hostPort + ": " + std::strerror(errno);
    if (fd >= 0) close(fd);
    fd = -1;
  }
  freeaddrinfo(found);
  return fd;
}

int BoundPort(int fd) {
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
  if (addr.ss_family == AF_INET) return ntohs(reinterpret_cast<sockaddr_in*>(&addr)->sin_port);
  return ntohs(reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port);
}

int AcceptClient(int listenFd) {
  int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) return -1;
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}
