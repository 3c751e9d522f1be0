// Trace lines reach a listener on the abstract datagram socket.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

#include "link/MessageLogger.h"

namespace {
// Binds an abstract datagram socket under a name of this test process.
struct Listener {
  std::string name = "varlo-test-logger-" + std::to_string(getpid());
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  Listener() {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path + 1, name.data(), name.size());
    socklen_t len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), len), 0);
    timeval tv{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    SetMessageLoggerName(name);
  }
  ~Listener() {
    SetMessageLoggerName("");
    close(fd);
  }
  std::string Receive() {
    char buf[1024];
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    return n < 0 ? "<nothing>" : std::string(buf, static_cast<size_t>(n));
  }
};
}  // namespace

TEST(MessageLogger, EachLineIsOneDatagramAndOverlongTextsGoEmpty) {
  Listener listener;
  LogMessage("hello");
  EXPECT_EQ(listener.Receive(), "hello");
  LogMessage(std::string(255, 'x'));
  EXPECT_EQ(listener.Receive(), std::string(255, 'x'));
  LogMessage(std::string(256, 'x'));
  EXPECT_EQ(listener.Receive(), "");
  TraceLine(" Creating TzkPA422Form");
  std::string line = listener.Receive();
  EXPECT_NE(line.find_first_of("0123456789"), std::string::npos);
  EXPECT_EQ(line.substr(line.find(' ')), " Creating TzkPA422Form");
}

TEST(MessageLogger, NobodyListeningIsHarmless) {
  SetMessageLoggerName("varlo-test-nobody-" + std::to_string(getpid()));
  for (int i = 0; i < 1000; ++i) LogMessage("lost");
  SetMessageLoggerName("");
}
