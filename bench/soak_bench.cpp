// A long run of the link engine against an unpaced orbsim: the four kinds
// of transaction the windows use most (UpdateParameter, RecallAllData,
// TransmitAllData, SetHighPass) in turn, counting failures (a message shown,
// a missing notification, a transaction that never ends), and the resident
// memory of both processes (this one, which holds the engine and its port,
// and orbsim) after a warm-up and at the end.
//
//   soak_bench [--transactions N]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchOptions.h"
#include "bench/HeadlessEngine.h"
#include "link/TzkPA422Form.h"
#include "serial/EventLoopPoster.h"
#include "testsupport/OrbSimProcess.h"

using namespace pa422;
using Clock = std::chrono::steady_clock;

namespace {
constexpr const char* kUsage =
    "usage: soak_bench [--transactions N]\n"
    "       soak_bench --help | --version\n"
    "  Runs N transactions (default 10000) of UpdateParameter, RecallAllData,\n"
    "  TransmitAllData and SetHighPass in turn through the link engine against\n"
    "  `orbsim --no-pacing`, and reports failures and the resident memory of\n"
    "  both processes after a warm-up and at the end.\n";
constexpr int kAddress = 1;
constexpr int kWarmUp = 100;
constexpr int kProgressEvery = 1000;
// Far beyond a transaction's own time-outs: the engine gives up after two
// seconds at any step and says so.
constexpr auto kTransactionTimeout = std::chrono::seconds(10);
constexpr size_t kFailuresShown = 10;

long RssKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

// Messages the engine would have shown, counted.
struct Silent : MessageBoxes, ExceptionDisplay {
  int shown = 0;
  std::string last;
  void ShowMessage(const std::string&, const std::string& text, MessageIcon) override {
    ++shown;
    last = text;
  }
  void ShowException(const std::string& message) override {
    ++shown;
    last = message;
  }
};

struct Window : EqualizerNotifications {
  int linkFailed = 0, presetRecalled = 0, updateDone = 0, allData = 0;
  void LinkFailed() override { ++linkFailed; }
  void PresetRecalled() override { ++presetRecalled; }
  void UpdateDone() override { ++updateDone; }
  void AllDataReceived() override { ++allData; }
};

enum class Kind { UpdateParameter, RecallAllData, TransmitAllData, SetHighPass };
const char* Name(Kind k) {
  switch (k) {
    case Kind::UpdateParameter: return "UpdateParameter";
    case Kind::RecallAllData: return "RecallAllData";
    case Kind::TransmitAllData: return "TransmitAllData";
    case Kind::SetHighPass: return "SetHighPass";
  }
  return "";
}

struct Sizes {
  long bench = 0, sim = 0;
};
}  // namespace

int main(int argc, char** argv) try {
  int count = 10000;
  BenchOptions("soak_bench", kUsage).Integer("--transactions", count, 1).Parse(argc, argv);
  const long transactions = count;

  OrbSimProcess sim({"--devices", std::to_string(kAddress), "--no-pacing"});
  const std::string port = sim.Url();
  EventLoopPoster loop;
  Silent silent;
  Window window;
  TzkPA422Form engine(loop, silent, silent, [&] { return &window; });
  ConnectHeadless(engine, port);

  TransmitSettings settings;
  settings.levels.fill(kFlatLevel);
  settings.lowPass = kMaxFilterIndex;
  settings.presetName = "SOAK";

  auto sizes = [&] { return Sizes{RssKb(getpid()), RssKb(sim.Pid())}; };
  const long warmUp = std::min<long>(kWarmUp, transactions / 2);
  Sizes start, end;
  long failures = 0;
  size_t failuresShown = 0;
  const auto began = Clock::now();
  // Measured once before the run too: the first reading and the first line
  // printed bring in code and buffers that would otherwise count as growth.
  const Sizes connected = sizes();
  std::printf("connected: bench_rss_kb=%ld orbsim_rss_kb=%ld\n", connected.bench, connected.sim);
  std::fflush(stdout);

  for (long i = 0; i < transactions; ++i) {
    if (i == warmUp) {
      start = sizes();
      std::printf("start (after %ld warm-up transactions): bench_rss_kb=%ld orbsim_rss_kb=%ld\n",
                  warmUp, start.bench, start.sim);
      std::fflush(stdout);
    }
    loop.RunFor(std::chrono::milliseconds(5));  // let the device drop DSR
    const Kind kind = static_cast<Kind>(i % 4);
    const long round = i / 4;
    const int preset = static_cast<int>(1 + round % 8);
    const Window before = window;
    const int shownBefore = silent.shown;
    std::function<bool()> expected;  // the notification (and data) this kind ends with
    switch (kind) {
      case Kind::UpdateParameter:
        engine.UpdateParameter(kAddress, kDevicePassword, static_cast<int>(kMinLevel + round % 49),
                               static_cast<int>(2 + round % kBands));
        expected = [&] { return window.updateDone > before.updateDone; };
        break;
      case Kind::RecallAllData:
        engine.PendingEdit = TPendingEdit::None;
        engine.RecallAllData(kAddress, preset);
        expected = [&] {
          return window.allData > before.allData && engine.ResponseBuffer.size() == kAllDataLength + 1;
        };
        break;
      case Kind::TransmitAllData:
        settings.levels[round % 30] = static_cast<uint8_t>(kMinLevel + round % 49);
        settings.preset = static_cast<uint8_t>(preset);
        engine.TransmitAllData(kAddress, preset, TransmitBlock(kDevicePassword, settings));
        expected = [] { return true; };  // a status reply of 0 ends it without a notification
        break;
      case Kind::SetHighPass:
        engine.SetHighPass(kAddress, preset, static_cast<int>(round % (kMaxFilterIndex + 1)),
                           kDevicePassword);
        expected = [&] { return window.updateDone > before.updateDone; };
        break;
    }
    // Handlers run on this thread and send their notification in the same
    // step that ends the transaction, so it is there once CommState is 0.
    const bool ended = loop.RunUntil([&] { return engine.CommState == 0; }, kTransactionTimeout);
    std::string why;
    if (!ended)
      why = "no end within " + std::to_string(kTransactionTimeout.count()) + " s";
    else if (silent.shown > shownBefore)
      why = "message: " + silent.last;
    else if (window.linkFailed > before.linkFailed)
      why = "LinkFailed";
    else if (!expected())
      why = "notification missing";
    if (!why.empty()) {
      if (RssKb(sim.Pid()) < 0) why += " (orbsim has gone)";
      ++failures;
      if (failuresShown++ < kFailuresShown) {
        std::printf("failure at transaction %ld (%s, %.0f s): %s\n", i + 1, Name(kind),
                    std::chrono::duration<double>(Clock::now() - began).count(), why.c_str());
        std::fflush(stdout);
      }
      if (!ended) {  // a stuck engine would refuse everything after: start afresh
        engine.Disconnect();
        engine.Connect();
      }
    }
    if ((i + 1) % kProgressEvery == 0) {
      const Sizes now = sizes();
      std::printf("%ld/%ld transactions, %ld failures, %.0f s: bench_rss_kb=%ld orbsim_rss_kb=%ld\n",
                  i + 1, transactions, failures,
                  std::chrono::duration<double>(Clock::now() - began).count(), now.bench, now.sim);
      std::fflush(stdout);
    }
  }
  loop.RunUntil([&] { return engine.CommState == 0; }, kTransactionTimeout);
  end = sizes();
  engine.Disconnect();

  std::printf("end: bench_rss_kb=%ld orbsim_rss_kb=%ld (growth %+ld and %+ld KiB)\n", end.bench,
              end.sim, end.bench - start.bench, end.sim - start.sim);
  const long growth = std::max(end.bench - start.bench, end.sim - start.sim);
  std::printf("transactions=%ld failures=%ld rss_growth_kb=%ld\n", transactions, failures, growth);
  return 0;
} catch (const std::exception& e) {
  std::fprintf(stderr, "soak_bench: %s\n", e.what());
  return 1;
}
