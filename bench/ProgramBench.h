#pragma once
// What the benchmarks that drive the desktop program against a paced
// orbsim share: the figures of BenchFigures.h, the line's limits, an event loop that
// runs until a condition holds, the UPDATE_PARAMETER transactions orbsim
// logged, and the program's folder, settings file and set-up.
#include <stdlib.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/TMainForm.h"
#include "bench/BenchFigures.h"
#include "app/VarloProgram.h"
#include "eqwindow/TMDIChild.h"
#include "link/TzkPA422Form.h"

namespace program_bench {

using namespace bench_figures;

// A transaction's limit on the line: address, DT/ID, the frame and the
// status byte on the wire, and the engine's 100 ms pause before raising DTR.
constexpr double LineLimitMs(int frameBytes) { return (1 + 2 + frameBytes + 1) * kByteMs + 100.0; }
constexpr double kUpdateLimitMs = LineLimitMs(8);     // UPDATE_PARAMETER
constexpr double kTransmitLimitMs = LineLimitMs(56);  // TRANSMIT_ALL_DATA
// An address nobody answers: the address byte after the pause, then the
// engine's time-out of 36 ticks of 55 ms.
constexpr double kAbsentLimitMs = kByteMs + 100 + 36 * 55.0;

// Runs the event loop as the program does, sleeping between events (a
// spinning loop would take a core from the serial threads and orbsim),
// until done() or the time-out.
inline bool RunUntil(const std::function<bool()>& done, int ms) {
  QTimer wake;  // rechecks the time-out while no event comes
  wake.start(5);
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (Clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  return true;
}

// When each UPDATE_PARAMETER transaction orbsim logged began (the address
// byte in) and ended, in order.
struct DeviceSpan {
  int64_t startNs, endNs;
  int address;
};
inline std::vector<DeviceSpan> UpdateSpans(const std::string& logPath) {
  std::vector<DeviceSpan> spans;
  std::ifstream in(logPath);
  for (std::string line; std::getline(in, line);) {
    if (line.find("\"UPDATE_PARAMETER\"") == std::string::npos) continue;
    const auto start = line.find("\"start_ns\":");
    const auto end = line.find("\"end_ns\":");
    const auto address = line.find("\"address\":");
    if (start != std::string::npos && end != std::string::npos && address != std::string::npos)
      spans.push_back({std::stoll(line.substr(start + 11)), std::stoll(line.substr(end + 9)),
                       std::stoi(line.substr(address + 10))});
  }
  return spans;
}

inline std::vector<int64_t> UpdateStarts(const std::string& logPath) {
  std::vector<int64_t> starts;
  for (const DeviceSpan& span : UpdateSpans(logPath)) starts.push_back(span.startNs);
  return starts;
}

// A fresh folder for one run (its settings file, orbsim's log), with the
// program's user settings kept inside it; ends with "/".
inline std::string BenchDirectory(const std::string& name) {
  std::string pattern = "/tmp/varlo-" + name + "-XXXXXX";
  const std::string dir = std::string(mkdtemp(pattern.data())) + "/";
  setenv("XDG_CONFIG_HOME", (dir + "config").c_str(), 1);
  return dir;
}

// The settings file beside the program: port 1 is orbsim, after any
// sections given in `before`.
inline void WriteBenchSettings(const std::string& dir, const std::string& url, const std::string& before = "") {
  std::ofstream(dir + "Varlo95.ini") << before << "[Communications]\nCom Port=1\nCom 1 Device=" << url << "\n";
}

// The program quiet on its port (no trace, no log) and making real
// equalizer windows.
inline void PrepareProgram(VarloProgram& program) {
  program.PA422Form().ApdComPort.SetTracing(tlOff);
  program.PA422Form().ApdComPort.SetLogging(tlOff);
  program.MainForm().EqualizerWindowFactory = [](TMainForm& f) { return new TMDIChild(f); };
}

}  // namespace program_bench
