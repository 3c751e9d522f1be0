#pragma once
// A serial port component wired to a simulated line: the test thread plays
// the user-interface thread through an EventLoopPoster.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "serial/EventLoopPoster.h"
#include "serial/TApdComPort.h"
#include "testsupport/OrbSimProcess.h"

struct RecordingExceptions : ExceptionDisplay {
  std::vector<std::string> shown;
  void ShowException(const std::string& message) override { shown.push_back(message); }
};

class ComPortFixture : public ::testing::Test {
 protected:
  ComPortFixture() {
    port.DeviceNameForPort = [this](uint16_t) { return sim.Url(); };
    port.SetComNumber(1);
    port.Parity = pEven;
    port.SetDTR(false);
    port.SetRTS(false);
  }

  // Runs the event loop until `done` holds, at most `ms` milliseconds.
  bool RunUntil(const std::function<bool()>& done, int ms = 3000) {
    return loop.RunUntil(done, std::chrono::milliseconds(ms));
  }
  void RunFor(int ms) { loop.RunFor(std::chrono::milliseconds(ms)); }

  // The one line of `state` from the simulator.
  std::string LineState() { return sim.Ok("state"); }

  // A plain line without devices, at full speed.
  OrbSimProcess sim{{"--devices", "none", "--no-pacing"}};
  EventLoopPoster loop;
  RecordingExceptions exceptions;
  TApdComPort port{loop, exceptions};
};
