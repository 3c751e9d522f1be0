// Latency of the serial port component's events over loopback: from a DSR
// change at the simulator to OnTriggerModemStatus, and from bytes sent by
// the simulator to OnTriggerAvail. Times on both sides come from the same
// monotonic clock.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <vector>

#include "bench/BenchOptions.h"
#include "serial/EventLoopPoster.h"
#include "serial/TApdComPort.h"
#include "testsupport/OrbSimProcess.h"

namespace {
constexpr int kSamples = 1000;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The simulator's reply "ok <ns>" carries the moment it wrote to the line.
int64_t SentAt(const std::string& reply) { return std::stoll(reply.substr(3)); }

struct Figures {
  double median, p99;
};

Figures Summarise(std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 99 / 100)]};
}

// Issues one control command from another thread while the loop runs, so
// the user-interface thread is free when the event arrives.
double Sample(EventLoopPoster& loop, OrbSimProcess& sim, const std::string& command,
              int64_t& handledAt) {
  handledAt = 0;
  auto reply = std::async(std::launch::async, [&] { return sim.Ok(command); });
  loop.RunUntil([&] { return handledAt != 0; }, std::chrono::seconds(5));
  int64_t sent = SentAt(reply.get());
  if (handledAt == 0) throw std::runtime_error("no event for: " + command);
  return (handledAt - sent) / 1e6;
}
}  // namespace

int main(int argc, char** argv) try {
  BenchOptions("serial_bench", "usage: serial_bench\n       serial_bench --help | --version\n").Parse(argc, argv);
  OrbSimProcess sim({"--devices", "none", "--no-pacing"});
  EventLoopPoster loop;
  StderrExceptionDisplay exceptions;
  TApdComPort port(loop, exceptions);
  port.DeviceNameForPort = [&](uint16_t) { return sim.Url(); };
  port.SetComNumber(1);
  port.Parity = pEven;
  port.SetDTR(false);
  port.SetRTS(false);

  int64_t handledAt = 0;
  port.OnTriggerModemStatus = [&](TApdComPort&) { handledAt = NowNs(); };
  port.OnTriggerAvail = [&](TApdComPort& cp, uint16_t count) {
    handledAt = NowNs();
    for (uint16_t i = 0; i < count; ++i) cp.GetChar();
  };
  port.SetOpen(true);
  uint16_t dsr = port.AddStatusTrigger(1);

  std::vector<double> dsrMs, availMs;
  for (int i = 0; i < kSamples; ++i) {
    port.SetStatusTrigger(dsr, 0x20, true);
    dsrMs.push_back(Sample(loop, sim, i % 2 ? "dsr 0" : "dsr 1", handledAt));
  }
  for (int i = 0; i < kSamples; ++i) availMs.push_back(Sample(loop, sim, "send 41", handledAt));
  port.SetOpen(false);

  Figures d = Summarise(dsrMs), a = Summarise(availMs);
  std::printf("DSR change to OnTriggerModemStatus: median_ms=%.3f p99_ms=%.3f (%d samples)\n",
              d.median, d.p99, kSamples);
  std::printf("bytes sent to OnTriggerAvail:       median_ms=%.3f p99_ms=%.3f (%d samples)\n",
              a.median, a.p99, kSamples);
  std::printf("worst median_ms=%.3f\n", std::max(d.median, a.median));
  return 0;
} catch (const std::exception& e) {
  std::fprintf(stderr, "serial_bench: %s\n", e.what());
  return 1;
}
