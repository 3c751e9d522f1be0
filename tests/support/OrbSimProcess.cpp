#include "OrbSimProcess.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace {
std::vector<std::string> Arguments(const std::vector<std::string>& extra) {
  std::vector<std::string> args = {ORBSIM_PATH, "--listen", "127.0.0.1:0", "--control",
                                   "127.0.0.1:0"};
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}
}  // namespace

OrbSimProcess::OrbSimProcess(const std::vector<std::string>& extraArgs)
    : process_(Arguments(extraArgs)) {
  serialPort_ = PortFromLine(process_.ReadLine(5000), "LISTENING");
  controlPort_ = PortFromLine(process_.ReadLine(5000), "CONTROL");
  if (serialPort_ == 0 || controlPort_ == 0)
    throw std::runtime_error("orbsim did not say where it listens");
  controlFd_ = ConnectLoopbackTcp(controlPort_);
  if (controlFd_ < 0) throw std::runtime_error("cannot reach orbsim's control channel");
}

OrbSimProcess::~OrbSimProcess() {
  if (controlFd_ >= 0) close(controlFd_);
}

std::string OrbSimProcess::Url() const {
  return "rfc2217://127.0.0.1:" + std::to_string(serialPort_);
}

std::string OrbSimProcess::Command(const std::string& line) {
  std::string msg = line + "\n";
  if (send(controlFd_, msg.data(), msg.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(msg.size()))
    return "error control channel closed";
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (;;) {
    auto nl = controlPending_.find('\n');
    if (nl != std::string::npos) {
      std::string reply = controlPending_.substr(0, nl);
      controlPending_.erase(0, nl + 1);
      return reply;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) return "error no reply";
    pollfd p{controlFd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    char chunk[4096];
    ssize_t n = read(controlFd_, chunk, sizeof chunk);
    if (n <= 0) return "error control channel closed";
    controlPending_.append(chunk, static_cast<size_t>(n));
  }
}

std::string OrbSimProcess::Ok(const std::string& line) {
  std::string reply = Command(line);
  if (reply.rfind("ok", 0) != 0) throw std::runtime_error("orbsim: " + line + " -> " + reply);
  return reply;
}
