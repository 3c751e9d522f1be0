#pragma once
// The control channel's commands: one text line in, one reply line out.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/DeviceBus.h"
#include "sim/Observed.h"
#include "sim/SimLine.h"

// What the commands act on.
struct ControlContext {
  SimLine& line;
  // Serial bytes the client sent since the last `recv`.
  ReceivedBytes& received;
  std::function<void()> dropClient;
  std::function<void()> quit;
  DeviceBus& bus;
};

// `wait dtr|rts 0|1 <ms>`: the reply waits until the line has the level.
struct LineWait {
  bool dtr = true;  // else RTS
  bool level = false;
  int64_t deadlineMs = 0;

  bool Met(const SimLine& line) const { return (dtr ? line.Dtr() : line.Rts()) == level; }
};

struct CommandResult {
  std::string reply;             // without newline; empty while waiting
  std::optional<LineWait> wait;  // set when the reply has to wait
};

CommandResult RunControlCommand(const std::string& line, ControlContext& context, int64_t nowMs);
