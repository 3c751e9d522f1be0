// Transaction times of the link engine against a simulated bus with real
// byte timing, compared with what the line allows: the wire time of every
// byte (19200 baud, 11 bits a byte), the pauses the engine must make
// (100 ms before DTR, 150 ms after a data reply) and the simulator's
// configured latency (three waits a transaction: before DSR, before the
// DT/ID and before the reply).
//
//   link_bench [--port rfc2217://HOST:PORT --address N] [--latency-ms N] [--runs N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchFigures.h"
#include "bench/BenchOptions.h"
#include "bench/HeadlessEngine.h"
#include "link/TzkPA422Form.h"
#include "serial/EventLoopPoster.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/OrbSimProcess.h"

using namespace pa422;
using namespace bench_figures;

namespace {
struct Window : EqualizerNotifications {
  int notifications = 0;
  void LinkFailed() override { ++notifications; }
  void PresetRecalled() override { ++notifications; }
  void UpdateDone() override { ++notifications; }
  void AllDataReceived() override { ++notifications; }
};

// Wire bytes of one handshake transaction: address, DT/ID, frame, reply.
double WireMs(int frameBytes, int replyBytes) { return (1 + 2 + frameBytes + replyBytes) * kByteMs; }

struct Row {
  const char* name;
  double medianMs;
  double limitMs;
};
}  // namespace

int main(int argc, char** argv) try {
  std::string port;
  int address = 1, runs = 50;
  double latencyMs = 0;
  BenchOptions("link_bench",
               "usage: link_bench [--port rfc2217://HOST:PORT --address N] [--latency-ms N] [--runs N]\n"
               "       link_bench --help | --version\n")
      .Text("--port", port)
      .Integer("--address", address, 1)
      .Number("--latency-ms", latencyMs)
      .Integer("--runs", runs, 1)
      .Parse(argc, argv);
  std::unique_ptr<OrbSimProcess> sim;
  if (port.empty()) {
    std::vector<std::string> args = {"--devices", std::to_string(address)};
    if (latencyMs > 0) args.insert(args.end(), {"--latency-ms", std::to_string(latencyMs)});
    sim = std::make_unique<OrbSimProcess>(args);
    port = sim->Url();
  }

  EventLoopPoster loop;
  RecordedEngineMessages silent;
  Window window;
  TzkPA422Form engine(loop, silent, silent, [&] { return &window; });
  ConnectHeadless(engine, port);

  auto waitIdle = [&] {
    loop.RunUntil([&] { return engine.CommState == 0; }, std::chrono::seconds(10));
  };
  auto measure = [&](const std::function<void()>& start, const std::function<bool()>& done) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
      loop.RunFor(std::chrono::milliseconds(5));  // let the device drop DSR
      auto t0 = Clock::now();
      start();
      loop.RunUntil(done, std::chrono::seconds(10));
      ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    return Median(ms);
  };
  double latencies = 3 * latencyMs;
  TransmitSettings flat;
  flat.levels.fill(kFlatLevel);
  flat.lowPass = kMaxFilterIndex;
  flat.presetName = "BENCH";
  flat.preset = 1;
  Bytes block = TransmitBlock(kDevicePassword, flat);

  std::vector<Row> rows;
  int seen = 0;
  rows.push_back({"UpdateParameter",
                  measure([&] { seen = window.notifications;
                                engine.UpdateParameter(address, kDevicePassword, 26, 2); },
                          [&] { return window.notifications > seen; }),
                  WireMs(8, 1) + 100 + latencies});
  rows.push_back({"RecallAllData",
                  measure([&] { seen = window.notifications;
                                engine.PendingEdit = TPendingEdit::None;
                                engine.RecallAllData(address, 0); },
                          [&] { return window.notifications > seen; }),
                  WireMs(3, 71) + 100 + 150 + latencies});
  rows.push_back({"TransmitAllData",
                  measure([&] { engine.TransmitAllData(address, 1, block); },
                          [&] { return engine.CommState == 0; }),
                  WireMs(56, 1) + 100 + latencies});
  rows.push_back({"SetHighPass",
                  measure([&] { seen = window.notifications;
                                engine.SetHighPass(address, 1, 3, kDevicePassword); },
                          [&] { return window.notifications > seen && engine.CommState == 0; }),
                  WireMs(3, 71) + 100 + 150 + WireMs(56, 1) + 100 + 2 * latencies});
  waitIdle();
  engine.Disconnect();
  if (!silent.shown.empty())
    std::printf("messages during the run: %zu (first: %s)\n", silent.shown.size(),
                silent.shown.front().c_str());

  // The reference: pyserial's RFC 2217 client doing the UpdateParameter
  // transaction against the same bus.
  std::string reference = "n/a";
  {
    std::string script = std::string(VARLO_SOURCE_DIR) + "/bench/pyserial_update_parameter.py";
    ChildProcess python({"/usr/bin/python3", script, port, std::to_string(address),
                         std::to_string(runs)});
    std::string line = python.ReadLine(120000);
    if (line.rfind("median_ms=", 0) == 0) reference = line.substr(10);
  }

  double worst = 0;
  std::printf("%-16s %10s %10s %7s\n", "transaction", "median_ms", "limit_ms", "ratio");
  for (const Row& r : rows) {
    double ratio = r.medianMs / r.limitMs;
    worst = std::max(worst, ratio);
    std::printf("%-16s %10.3f %10.3f %7.3f\n", r.name, r.medianMs, r.limitMs, ratio);
  }
  std::printf("UpdateParameter: this engine %.3f ms, pyserial reference client %s ms\n",
              rows[0].medianMs, reference.c_str());
  std::printf("worst ratio=%.3f\n", worst);
  return 0;
} catch (const std::exception& e) {
  std::fprintf(stderr, "link_bench: %s\n", e.what());
  return 1;
}
