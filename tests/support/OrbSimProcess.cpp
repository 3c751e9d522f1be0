#include "OrbSimProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace {
// Reads one line from fd, waiting at most timeoutMs in all.
bool ReadLine(int fd, std::string& buffer, std::string& line, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    auto nl = buffer.find('\n');
    if (nl != std::string::npos) {
      line = buffer.substr(0, nl);
      buffer.erase(0, nl + 1);
      return true;
    }
    int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    deadline - std::chrono::steady_clock::now())
                                    .count());
    if (left <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, left) <= 0) continue;
    char chunk[512];
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n <= 0) return false;
    buffer.append(chunk, static_cast<size_t>(n));
  }
}

int ConnectLoopback(int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    throw std::runtime_error("cannot reach orbsim's control channel");
  }
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}
}  // namespace

OrbSimProcess::OrbSimProcess(const std::vector<std::string>& extraArgs) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  std::vector<std::string> args = {ORBSIM_PATH, "--listen", "127.0.0.1:0", "--control",
                                   "127.0.0.1:0"};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  int rc = posix_spawn(&pid_, ORBSIM_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  stdoutFd_ = out[0];
  if (rc != 0) throw std::runtime_error("cannot start orbsim");

  std::string line;
  for (int i = 0; i < 2; ++i) {
    if (!ReadLine(stdoutFd_, pending_, line, 5000))
      throw std::runtime_error("orbsim did not say where it listens");
    if (line.rfind("LISTENING ", 0) == 0) serialPort_ = std::stoi(line.substr(10));
    if (line.rfind("CONTROL ", 0) == 0) controlPort_ = std::stoi(line.substr(8));
  }
  if (serialPort_ == 0 || controlPort_ == 0) throw std::runtime_error("orbsim ports unknown");
  controlFd_ = ConnectLoopback(controlPort_);
}

OrbSimProcess::~OrbSimProcess() {
  if (controlFd_ >= 0) close(controlFd_);
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  if (stdoutFd_ >= 0) close(stdoutFd_);
}

std::string OrbSimProcess::Url() const {
  return "rfc2217://127.0.0.1:" + std::to_string(serialPort_);
}

std::string OrbSimProcess::Command(const std::string& line) {
  std::string msg = line + "\n";
  if (send(controlFd_, msg.data(), msg.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(msg.size()))
    return "error control channel closed";
  std::string reply;
  if (!ReadLine(controlFd_, controlPending_, reply, 10000)) return "error no reply";
  return reply;
}

std::string OrbSimProcess::Ok(const std::string& line) {
  std::string reply = Command(line);
  if (reply.rfind("ok", 0) != 0) throw std::runtime_error("orbsim: " + line + " -> " + reply);
  return reply;
}
