#pragma once
// One control-channel connection: reads command lines, runs them in order
// and writes one reply line each. A `wait` holds back the commands after it
// until it is settled, so replies stay in order.
#include <cstdint>
#include <optional>
#include <string>

#include "sim/ControlCommands.h"

class ControlConnection {
 public:
  ControlConnection(int fd, ControlContext& context);
  ~ControlConnection();
  ControlConnection(const ControlConnection&) = delete;
  ControlConnection& operator=(const ControlConnection&) = delete;

  int Fd() const { return fd_; }
  short PollEvents() const;
  void OnReadable();
  void OnWritable();
  // The connection broke while we were not reading from it.
  void OnHangup() { failed_ = true; }
  // Settles a pending wait and runs the commands queued behind it; called
  // on every turn of the server loop.
  void Advance(int64_t nowMs);
  // When a pending wait times out (monotonic ms), or -1.
  int64_t WaitDeadline() const { return wait_ ? wait_->deadlineMs : -1; }
  // Done: the peer closed and got all its replies, or the socket failed.
  bool Finished() const;
  // Sends what is left, waiting until deadlineMs at most (before exiting).
  void FlushBefore(int64_t deadlineMs);

 private:
  void RunLines(int64_t nowMs);
  void Reply(const std::string& text);
  void Flush();

  const int fd_;
  ControlContext& context_;
  std::string in_;
  size_t scanned_ = 0;  // bytes of in_ known to hold no newline
  std::string out_;
  std::optional<LineWait> wait_;
  bool peerClosed_ = false;
  bool failed_ = false;
  bool skippingLongLine_ = false;
};
