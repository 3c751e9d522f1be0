#pragma once
// Starts orbsim as a child process on loopback and talks to its control
// channel. The process is killed when the object goes away.
#include <string>
#include <vector>

#include "testsupport/ChildProcess.h"

class OrbSimProcess {
 public:
  explicit OrbSimProcess(const std::vector<std::string>& extraArgs = {});
  ~OrbSimProcess();
  OrbSimProcess(const OrbSimProcess&) = delete;
  OrbSimProcess& operator=(const OrbSimProcess&) = delete;

  int SerialPort() const { return serialPort_; }
  int ControlPort() const { return controlPort_; }
  // "rfc2217://127.0.0.1:<port>"
  std::string Url() const;

  // Sends one control line and returns the reply line (without newline).
  std::string Command(const std::string& line);
  // Like Command, but throws std::runtime_error unless the reply starts "ok".
  std::string Ok(const std::string& line);

  int Pid() const { return process_.Pid(); }

 private:
  ChildProcess process_;
  int controlFd_ = -1;
  int serialPort_ = 0;
  int controlPort_ = 0;
  std::string controlPending_;
};
