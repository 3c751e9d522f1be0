#pragma once
// A child process for tests (orbsim itself, or a python peer): started with
// its stdout on a pipe, killed and reaped when the object goes away.
#include <optional>
#include <string>
#include <vector>

class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Next line of its stdout, or "" after timeoutMs / at its end.
  std::string ReadLine(int timeoutMs);
  // Waits for the exit; returns the exit status, -1 on a signal or time-out.
  int WaitExit(int timeoutMs);
  int Pid() const { return pid_; }

 private:
  int pid_ = -1;
  int stdoutFd_ = -1;
  bool reaped_ = false;
  std::string pending_;
};

// "<key> <port>" on a line of stdout, e.g. LISTENING 4711; 0 when absent.
int PortFromLine(const std::string& line, const std::string& key);

// Connects to 127.0.0.1:port (blocking socket); -1 when refused.
int ConnectLoopbackTcp(int port);

// Next line from fd, keeping what follows it in `pending`; nothing after
// timeoutMs or at the end of the stream.
std::optional<std::string> ReadLineFromFd(int fd, std::string& pending, int timeoutMs);
