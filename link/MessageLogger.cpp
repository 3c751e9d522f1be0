#include "link/MessageLogger.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <mutex>

#include "serial/ComTriggers.h"

namespace {
constexpr const char* kDefaultName = "MESSAGE_LOGGER";

struct Logger {
  std::mutex mutex;
  int fd = -1;
  std::string name = kDefaultName;
  std::function<void(const std::string&)> tap;

  Logger() { fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0); }
  ~Logger() {
    if (fd >= 0) close(fd);
  }
};

Logger& TheLogger() {
  static Logger logger;
  return logger;
}
}  // namespace

void LogMessage(const std::string& text) {
  const std::string& sent = text.size() > kMaxLogMessageLength ? std::string() : text;
  Logger& logger = TheLogger();
  std::lock_guard lock(logger.mutex);
  if (logger.tap) logger.tap(sent);
  if (logger.fd < 0) return;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  // Abstract namespace: a leading NUL, then the name without a terminator.
  size_t nameLength = std::min(logger.name.size(), sizeof addr.sun_path - 1);
  std::memcpy(addr.sun_path + 1, logger.name.data(), nameLength);
  socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + nameLength);
  // Nobody listening, or a full queue: the line is dropped.
  sendto(logger.fd, sent.data(), sent.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
         reinterpret_cast<sockaddr*>(&addr), length);
}

void TraceLine(const std::string& text) { LogMessage(std::to_string(MillisecondClock()) + text); }

void SetMessageLoggerName(const std::string& name) {
  Logger& logger = TheLogger();
  std::lock_guard lock(logger.mutex);
  logger.name = name.empty() ? kDefaultName : name;
}

void SetMessageLoggerTap(std::function<void(const std::string&)> tap) {
  Logger& logger = TheLogger();
  std::lock_guard lock(logger.mutex);
  logger.tap = std::move(tap);
}
