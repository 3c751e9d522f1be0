// How long `varlo-cli backup` of one device takes against a simulated bus
// with real byte timing, beside what the line allows for its eight recalls:
// the wire time of every byte (19200 baud, 11 bits a byte), the engine's
// pauses (100 ms before DTR, 150 ms after a data reply) and the simulator's
// latency. The whole command is timed: start, connection, recalls, files.
//
//   cli_bench [--runs N] [--latency-ms N]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchOptions.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/OrbSimProcess.h"

using Clock = std::chrono::steady_clock;

namespace {
constexpr double kByteMs = 11.0 * 1000.0 / 19200.0;
const char* const kUsage =
    "usage: cli_bench [--runs N] [--latency-ms N]\n"
    "       cli_bench --help | --version\n";

// One recall: address, DT/ID, the 3-byte frame, the 71-byte reply, the two
// pauses and three waits of the simulator.
double RecallLimitMs(double latencyMs) { return (1 + 2 + 3 + 71) * kByteMs + 100 + 150 + 3 * latencyMs; }
}  // namespace

int main(int argc, char** argv) try {
  int runs = 5;
  double latencyMs = 0;
  BenchOptions("cli_bench", kUsage).Integer("--runs", runs, 1).Number("--latency-ms", latencyMs).Parse(argc, argv);
  std::vector<std::string> simArgs = {"--devices", "1"};
  if (latencyMs > 0) simArgs.insert(simArgs.end(), {"--latency-ms", std::to_string(latencyMs)});
  OrbSimProcess sim(simArgs);
  const std::filesystem::path out =
      std::filesystem::temp_directory_path() / ("cli_bench-" + std::to_string(getpid()));

  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    auto t0 = Clock::now();
    ChildProcess cli({VARLO_CLI_PATH, "backup", "--address", "1", "--out", out.string(), "--device",
                      sim.Url()});
    int status = cli.WaitExit(60000);
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    if (status != 0) throw std::runtime_error("varlo-cli backup ended with status " + std::to_string(status));
  }
  std::filesystem::remove_all(out);
  std::sort(ms.begin(), ms.end());
  const double median = ms[ms.size() / 2];
  const double limit = 8 * RecallLimitMs(latencyMs);
  std::printf("backup of one device (8 presets), %d runs: median %.1f ms, fastest %.1f ms, slowest %.1f ms\n",
              runs, median, ms.front(), ms.back());
  std::printf("line limit of eight recalls: %.1f ms\n", limit);
  std::printf("ratio=%.3f\n", median / limit);
  return 0;
} catch (const std::exception& e) {
  std::fprintf(stderr, "cli_bench: %s\n", e.what());
  return 1;
}
