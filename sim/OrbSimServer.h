#pragma once
// orbsim's server: one simulated serial line with its bus of devices,
// served to one RFC 2217 client at a time, plus the control channel, all in
// one single-threaded poll loop driven by sockets and timers.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/ClientSession.h"
#include "sim/ControlCommands.h"
#include "sim/ControlConnection.h"
#include "sim/DeviceBus.h"
#include "sim/SimLine.h"
#include "sim/TimerQueue.h"

class OrbSimServer {
 public:
  // Binds both listening sockets; raises std::runtime_error when it cannot
  // (or cannot open the bus's log).
  OrbSimServer(const std::string& serialAddress, const std::string& controlAddress,
               const BusConfig& bus = BusConfig{});
  ~OrbSimServer();
  OrbSimServer(const OrbSimServer&) = delete;
  OrbSimServer& operator=(const OrbSimServer&) = delete;

  int SerialPort() const;
  int ControlPort() const;
  SimLine& Line() { return line_; }

  // Serves until `quit` on the control channel or until stopFd is readable.
  void Run(int stopFd);

 private:
  void AcceptSerialClients();
  void AcceptControlClients();
  void DropClient();
  int64_t PollTimeoutNs(int64_t nowNs) const;

  SimLine line_;
  TimerQueue timers_;
  DeviceBus bus_;
  int serialListen_ = -1;
  int controlListen_ = -1;
  std::unique_ptr<ClientSession> session_;
  std::vector<std::unique_ptr<ControlConnection>> controls_;
  ReceivedBytes received_;  // from the client, for `recv`
  ControlContext context_;
  bool quit_ = false;
  int64_t acceptPausedUntilMs_ = 0;
  // A client that connected while the line was taken. It waits a moment
  // for the line to come free (the previous client may just be closing,
  // its goodbye still unread), then is turned away as busy.
  int waitingClient_ = -1;
  int64_t waitingUntilMs_ = 0;
  void SettleWaitingClient(int64_t nowMs);
};
