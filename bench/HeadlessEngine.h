#pragma once
// The link engine without a window, as the benchmarks drive it.
#include <stdexcept>
#include <string>
#include <vector>

#include "link/TzkPA422Form.h"

// The engine's message boxes and exception displays, kept instead of shown.
struct RecordedEngineMessages : MessageBoxes, ExceptionDisplay {
  std::vector<std::string> shown;
  void ShowMessage(const std::string&, const std::string& text, MessageIcon) override { shown.push_back(text); }
  void ShowException(const std::string& message) override { shown.push_back(message); }
};

// Points the engine's port 1 at `port` (a device path or rfc2217:// address)
// without trace or log files, and connects; throws when the port does not
// open.
inline void ConnectHeadless(TzkPA422Form& engine, const std::string& port) {
  engine.ApdComPort.DeviceNameForPort = [port](uint16_t) { return port; };
  engine.ApdComPort.SetComNumber(1);
  engine.ApdComPort.SetTracing(tlOff);
  engine.ApdComPort.SetLogging(tlOff);
  engine.Connect();
  if (!engine.Connected) throw std::runtime_error("cannot open " + port);
}
