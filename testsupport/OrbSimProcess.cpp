#include "testsupport/OrbSimProcess.h"

#include <sys/socket.h>
#include <unistd.h>

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
  auto reply = ReadLineFromFd(controlFd_, controlPending_, 10000);
  return reply ? *reply : "error no reply";
}

std::string OrbSimProcess::Ok(const std::string& line) {
  std::string reply = Command(line);
  if (reply.rfind("ok", 0) != 0) throw std::runtime_error("orbsim: " + line + " -> " + reply);
  return reply;
}
