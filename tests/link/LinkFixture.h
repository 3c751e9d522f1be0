#pragma once
// The link engine on the real serial component against orbsim, with the
// test thread as the user-interface thread and recorders for message boxes,
// notifications and trace lines.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "link/MessageLogger.h"
#include "link/TzkPA422Form.h"
#include "serial/EventLoopPoster.h"
#include "testsupport/OrbSimProcess.h"

struct RecordingMessages : MessageBoxes {
  std::vector<std::string> shown;
  void ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon) override {
    EXPECT_EQ(caption, "PA422 Error");
    EXPECT_EQ(icon, MessageIcon::Error);
    shown.push_back(text);
  }
};

struct RecordingWindow : EqualizerNotifications {
  std::vector<std::string> got;
  void LinkFailed() override { got.push_back("LinkFailed"); }
  void PresetRecalled() override { got.push_back("PresetRecalled"); }
  void UpdateDone() override { got.push_back("UpdateDone"); }
  void AllDataReceived() override { got.push_back("AllDataReceived"); }
  void TransactionFailed() override { got.push_back("TransactionFailed"); }
};

struct RecordingExceptionDisplay : ExceptionDisplay {
  std::vector<std::string> shown;
  void ShowException(const std::string& message) override { shown.push_back(message); }
};

// Trace lines without their tick count.
class TraceLineRecorder {
 public:
  TraceLineRecorder() {
    SetMessageLoggerTap([this](const std::string& line) {
      std::lock_guard l(mutex_);
      auto text = line.find_first_not_of("0123456789");
      lines_.push_back(text == std::string::npos ? "" : line.substr(text));
    });
  }
  ~TraceLineRecorder() { SetMessageLoggerTap(nullptr); }
  std::vector<std::string> Lines() {
    std::lock_guard l(mutex_);
    return lines_;
  }
  bool Has(const std::string& text) {
    for (auto& l : Lines())
      if (l == text) return true;
    return false;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

class LinkFixture : public ::testing::Test {
 protected:
  explicit LinkFixture(std::vector<std::string> simArgs = {"--devices", "1,2"})
      : sim(simArgs) {
    engine.ApdComPort.DeviceNameForPort = [this](uint16_t) { return sim.Url(); };
    engine.ApdComPort.SetComNumber(1);
    // Tests leave no trace files behind in the build folder.
    engine.ApdComPort.SetTracing(tlOff);
    engine.ApdComPort.SetLogging(tlOff);
  }

  // A failed test shows the engine's trace lines, which tell what happened.
  void TearDown() override {
    if (HasFailure())
      for (auto& line : trace.Lines()) std::fprintf(stderr, "trace:%s\n", line.c_str());
  }

  bool RunUntil(const std::function<bool()>& done, int ms = 5000) {
    return loop.RunUntil(done, std::chrono::milliseconds(ms));
  }
  void RunFor(int ms) { loop.RunFor(std::chrono::milliseconds(ms)); }

  // Runs until the window got `count` notifications in all.
  bool WaitNotifications(size_t count, int ms = 5000) {
    return RunUntil([&] { return window.got.size() >= count; }, ms);
  }
  // Runs until the engine is idle again.
  bool WaitIdle(int ms = 5000) { return RunUntil([&] { return engine.CommState == 0; }, ms); }

  // The frames devices received since the last call, as "addr:hex" words.
  std::string Frames() {
    std::string reply = sim.Ok("frames");
    return reply.size() > 3 ? reply.substr(3) : "";
  }

  // Waits until orbsim's line has received `hex` from the engine.
  void ExpectReceived(const std::string& hex) {
    std::string got;
    for (int i = 0; i < 200 && got.size() < hex.size(); ++i) {
      got += sim.Ok("recv").substr(3);
      if (got.size() < hex.size()) RunFor(5);
    }
    EXPECT_EQ(got, hex);
  }

  // After any fault: the engine is idle, DTR is low, and the next command
  // to device 1 goes through.
  void ExpectRecovered() {
    EXPECT_EQ(engine.CommState, 0);
    EXPECT_EQ(sim.Ok("wait dtr 0 2000"), "ok");
    size_t before = window.got.size();
    engine.UpdateParameter(1, pa422::kDevicePassword, 26, 2);
    ASSERT_TRUE(WaitNotifications(before + 1));
    EXPECT_EQ(window.got.back(), "UpdateDone");
  }

  OrbSimProcess sim;
  EventLoopPoster loop;
  RecordingExceptionDisplay exceptions;
  RecordingMessages messages;
  RecordingWindow window;
  TraceLineRecorder trace;
  EqualizerNotifications* active = &window;
  TzkPA422Form engine{loop, exceptions, messages, [this] { return active; }};
};
