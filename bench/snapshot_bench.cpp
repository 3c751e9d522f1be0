// Snapshots of a bus of 8 devices at scattered addresses of 1 to 16 (a
// paced orbsim) through the link engine and the line queue, without a
// window, each against the line's limit for the transactions it needs:
//
//  - capture of the working settings only (8 recalls of preset 0, then the
//    group byte that gives the manual controls back) and with the stored
//    presets (8 x 9 recalls); the capture ratio is the worse of the two;
//  - compare of the working settings: 8 recalls;
//  - recall of the working settings, after each device was moved to another
//    preset and a band changed: per device REPROGRAM_DEVICE_CHANNEL_FROM_
//    MEMORY, TRANSMIT_ALL_DATA of preset 0 and a RECALL_ALL_DATA read back;
//  - the snapshot folder written and read back (its time printed, no limit).
//
// A transaction's limit: the address byte, the DT/ID, its frame, its reply
// data and the status byte at 11 bits a byte at 19200 baud, the engine's
// pause before DTR, and its pause after a data reply for the commands that
// have one. Each time is the median over the runs; beside it, from orbsim's
// log, where the time over the limit went: inside the transactions (from
// the address byte in to DTR down, beyond their wire time and the pause
// before DTR) or between them (beyond the pause after a data reply and the
// next address byte).
//
//  - failures: capture errors, devices missing from a capture, compare
//    verdicts other than "match" on the unchanged bus, recall verdicts other
//    than "match", runs that did not finish, engine messages.
//
//   snapshot_bench [--runs N]
//
// Last line: "snapshot capture ratio=X compare ratio=Y recall ratio=Z
// failures=F" (goals: each ratio <= 1.05, no failures).
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/BenchFigures.h"
#include "bench/BenchOptions.h"
#include "bench/HeadlessEngine.h"
#include "eq/EqualizerDocument.h"
#include "eq/SnapshotCapture.h"
#include "eq/SnapshotCompare.h"
#include "eq/SnapshotFolder.h"
#include "eq/SnapshotRecall.h"
#include "link/LineQueue.h"
#include "link/PA422Messages.h"
#include "link/TzkPA422Form.h"
#include "serial/EventLoopPoster.h"
#include "testsupport/OrbSimProcess.h"

using namespace bench_figures;
namespace fs = std::filesystem;

namespace {
const std::vector<int> kAddresses = {1, 3, 4, 7, 9, 12, 14, 16};

bool HasReplyData(uint8_t code) { return pa422::ReplyDataLength(code) > 0; }

// What the device side of a transaction takes, from the address byte in to
// DTR down: the engine's pause before DTR, then the DT/ID, the frame, the
// reply data and the status byte on the wire.
double InsideMs(uint8_t code) {
  return TzkPA422Form::kDtrDelayMs +
         (2 + pa422::FrameLength(code) + pa422::ReplyDataLength(code) + 1) * kByteMs;
}
// What follows DTR down before the line is free: the engine's pause after
// a data reply.
double AfterMs(uint8_t code) { return HasReplyData(code) ? TzkPA422Form::kAfterDataDelayMs : 0; }
// A transaction's limit on the line: its address byte, the device side and
// the pause after it.
double LimitMs(uint8_t code) { return kByteMs + InsideMs(code) + AfterMs(code); }

const double kRecallLimitMs = LimitMs(pa422::RECALL_ALL_DATA);
// Per device of a recall of the working settings.
const double kDeviceRecallLimitMs = LimitMs(pa422::REPROGRAM_DEVICE_CHANNEL_FROM_MEMORY) +
                                    LimitMs(pa422::TRANSMIT_ALL_DATA) + kRecallLimitMs;

struct NoWindow : EqualizerNotifications {
  void LinkFailed() override {}
  void PresetRecalled() override {}
  void UpdateDone() override {}
  void AllDataReceived() override {}
};

// A transaction orbsim logged, on the same monotonic clock as ours.
struct LoggedTransaction {
  int64_t startNs = 0, endNs = 0;  // the address byte in, DTR down
  uint8_t code = 0;
};

std::vector<LoggedTransaction> LoggedTransactions(const std::string& logPath) {
  std::vector<LoggedTransaction> all;
  std::ifstream in(logPath);
  for (std::string line; std::getline(in, line);) {
    if (line.find("\"outcome\":\"done\"") == std::string::npos) continue;  // not the group byte
    const auto start = line.find("\"start_ns\":");
    const auto end = line.find("\"end_ns\":");
    const auto frame = line.find("\"frame\":\"");
    if (start == std::string::npos || end == std::string::npos || frame == std::string::npos)
      continue;
    all.push_back({std::stoll(line.substr(start + 11)), std::stoll(line.substr(end + 9)),
                   static_cast<uint8_t>(std::stoi(line.substr(frame + 9, 2), nullptr, 16))});
  }
  return all;
}

// One timed run of a snapshot run, from Start to OnFinished.
struct Timed {
  int64_t startNs = 0, endNs = 0;
  bool finished = false;
  double Ms() const { return (endNs - startNs) / 1e6; }
};

// Where the time of a timed run went, against the limits of the
// transactions orbsim saw in it.
struct Breakdown {
  int transactions = 0;
  double limitMs = 0;
  double insideOverMs = 0;   // inside the transactions, beyond wire time and the pause before DTR
  double betweenOverMs = 0;  // before, between and after them, beyond the pauses and address bytes
};

Breakdown Analyse(const Timed& t, const std::vector<LoggedTransaction>& log, double groupByteMs) {
  Breakdown b;
  int64_t lineFreeNs = t.startNs;  // when the previous transaction let go of the line, at the limit
  double pauseMs = 0;              // the pause owed after the previous one
  for (const LoggedTransaction& x : log) {
    if (x.startNs < t.startNs || x.startNs > t.endNs) continue;
    ++b.transactions;
    b.limitMs += LimitMs(x.code);
    b.insideOverMs += (x.endNs - x.startNs) / 1e6 - InsideMs(x.code);
    b.betweenOverMs += (x.startNs - lineFreeNs) / 1e6 - pauseMs - kByteMs;
    lineFreeNs = x.endNs;
    pauseMs = AfterMs(x.code);
  }
  b.betweenOverMs += (t.endNs - lineFreeNs) / 1e6 - pauseMs - groupByteMs;
  return b;
}

// The medians of one measurement over the runs.
struct Measurement {
  const char* name;
  int transactions;    // what the limit counts
  double groupByteMs;  // the group byte after a capture
  double limitMs;
  std::vector<Timed> runs = {};
  std::vector<Breakdown> breakdowns = {};

  double MedianMs() const {
    std::vector<double> ms;
    for (const Timed& t : runs) ms.push_back(t.Ms());
    return Median(ms);
  }
  double Ratio() const { return MedianMs() / limitMs; }
  void Print() const {
    std::vector<double> inside, between;
    int transactions = 0;
    for (const Breakdown& b : breakdowns) {
      inside.push_back(b.insideOverMs);
      between.push_back(b.betweenOverMs);
      transactions = std::max(transactions, b.transactions);
    }
    std::printf(
        "%-26s %9.1f ms, limit %8.1f ms, ratio %.3f; over the limit: %6.1f ms inside the %d "
        "transactions, %6.1f ms between them\n",
        name, MedianMs(), limitMs, Ratio(), Median(inside), transactions, Median(between));
  }
};
}  // namespace

int main(int argc, char** argv) try {
  int runs = 3;
  BenchOptions("snapshot_bench",
               "usage: snapshot_bench [--runs N]\n       snapshot_bench --help | --version\n")
      .Integer("--runs", runs, 1)
      .Parse(argc, argv);
  std::string pattern = "/tmp/varlo-snapshot-bench-XXXXXX";
  const fs::path dir = mkdtemp(pattern.data());
  const std::string logPath = dir / "orbsim.log";
  const fs::path folder = dir / "snapshot";

  std::string addressList;
  for (int a : kAddresses) addressList += (addressList.empty() ? "" : ",") + std::to_string(a);
  OrbSimProcess sim({"--devices", addressList, "--log", logPath});

  EventLoopPoster loop;
  RecordedEngineMessages silent;
  NoWindow window;
  TzkPA422Form engine(loop, silent, silent, [&] { return &window; });
  ConnectHeadless(engine, sim.Url());
  LineQueue line(engine);
  const int changes = line.NewOwner();

  int failures = 0;
  const auto fail = [&](const std::string& what) {
    std::fprintf(stderr, "snapshot_bench: %s\n", what.c_str());
    ++failures;
  };
  // The line quiet: nothing queued or running and the last device has let
  // go of DSR.
  const auto quiet = [&] {
    if (!loop.RunUntil(
            [&] { return line.Idle() && engine.CommState == 0 && !engine.ApdComPort.DSR(); },
            std::chrono::seconds(10)))
      fail("the line did not go quiet");
    loop.RunFor(std::chrono::milliseconds(20));
  };
  const auto timed = [&](SnapshotRun& run, const std::function<void()>& start) {
    quiet();
    Timed t;
    run.OnFinished = [&](bool) {
      t.endNs = NowNs();
      t.finished = true;
    };
    t.startNs = NowNs();
    start();
    if (!loop.RunUntil([&] { return t.finished; }, std::chrono::seconds(120))) {
      fail("a run did not finish");
      run.Stop();
      t.endNs = NowNs();
    }
    run.OnFinished = nullptr;
    return t;
  };
  const auto checkCapture = [&](const SnapshotCapture& capture, bool presets) {
    const Snapshot& s = capture.Result();
    if (capture.AnyError()) fail("a device answered a capture with an error");
    if (s.devices.size() != kAddresses.size())
      fail("the capture holds " + std::to_string(s.devices.size()) + " devices");
    for (const SnapshotDevice& d : s.devices)
      if (d.state != SnapshotDevice::State::Present || !d.working)
        fail("device " + std::to_string(d.address) + " missing from the capture");
    if (presets) {
      if (capture.Presets().size() != kAddresses.size())
        fail("stored presets missing from the capture");
      for (const auto& [address, blocks] : capture.Presets())
        if (blocks.size() != static_cast<size_t>(kPresetCount))
          fail("device " + std::to_string(address) + ": " + std::to_string(blocks.size()) +
               " stored presets read");
    }
  };
  // Moves every device to another preset and changes a band of its
  // working settings, so that the recall has everything to bring back.
  const auto change = [&](int run) {
    for (size_t i = 0; i < kAddresses.size(); ++i) {
      const int address = kAddresses[i];
      const int preset = 1 + (run + static_cast<int>(i)) % kPresetCount;
      const int level = DeviceGainCode(4 + 2 * (run % 3));
      // Bands are parameters 2 to 30.
      const int parameter = 2 + static_cast<int>(i * 3) % kBandCount;
      LineRequest reprogram = BackgroundRequest(
          changes, address, [=](TzkPA422Form& e) { e.RecallPreset(address, preset); });
      LineRequest update = BackgroundRequest(changes, address, [=](TzkPA422Form& e) {
        e.UpdateParameter(address, pa422::kDevicePassword, level, parameter);
      });
      reprogram.done = update.done = [&fail, address](const LineOutcome& outcome) {
        if (!outcome.succeeded)
          fail("changing device " + std::to_string(address) + ": " +
               OutcomeFailure(outcome, false));
      };
      line.Submit(std::move(reprogram));
      line.Submit(std::move(update));
    }
  };

  const int devices = static_cast<int>(kAddresses.size());
  const int withPresets = devices * (1 + kPresetCount);
  Measurement captureWorking{"capture (working only)", devices, kByteMs,
                             devices * kRecallLimitMs + kByteMs};
  Measurement capturePresets{"capture (with presets)", withPresets, kByteMs,
                             withPresets * kRecallLimitMs + kByteMs};
  Measurement compare{"compare (working only)", devices, 0, devices * kRecallLimitMs};
  Measurement recall{"recall (working only)", 3 * devices, 0, devices * kDeviceRecallLimitMs};
  std::vector<double> writeMs, loadMs;

  for (int run = 0; run < runs; ++run) {
    {
      SnapshotCapture capture(line);
      captureWorking.runs.push_back(timed(capture, [&] {
        capture.Start({kAddresses, false, sim.Url()});
      }));
      checkCapture(capture, false);
    }
    LoadedSnapshot loaded;
    {
      SnapshotCapture capture(line);
      capturePresets.runs.push_back(timed(capture, [&] {
        capture.Start({kAddresses, true, sim.Url()});
      }));
      checkCapture(capture, true);
      Snapshot snapshot = capture.Result();
      auto t0 = Clock::now();
      WriteSnapshotFolder(folder, snapshot, capture.Presets());
      auto t1 = Clock::now();
      loaded = LoadSnapshotFolder(folder);
      auto t2 = Clock::now();
      writeMs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
      loadMs.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
      if (loaded.sets.size() != kAddresses.size())
        fail("the snapshot folder holds " + std::to_string(loaded.sets.size()) + " sets");
    }
    {
      SnapshotCompare comparing(line);
      compare.runs.push_back(timed(comparing, [&] {
        comparing.Start(loaded, {kAddresses, false});
      }));
      if (comparing.Verdicts().size() != kAddresses.size())
        fail("the compare gave " + std::to_string(comparing.Verdicts().size()) + " verdicts");
      for (const SnapshotVerdict& v : comparing.Verdicts())
        if (!v.Matches())
          fail("compare of the unchanged device " + std::to_string(v.address) + ": " + v.verdict +
               (v.differences.empty() ? "" : " (" + v.differences.front() + ")"));
    }
    change(run);
    {
      SnapshotRecall recalling(line);
      recall.runs.push_back(timed(recalling, [&] {
        recalling.Start(loaded, {kAddresses, false, false, false});
      }));
      if (recalling.Verdicts().size() != kAddresses.size())
        fail("the recall gave " + std::to_string(recalling.Verdicts().size()) + " verdicts");
      for (const SnapshotVerdict& v : recalling.Verdicts())
        if (!v.Matches())
          fail("recall of device " + std::to_string(v.address) + ": " + v.verdict +
               (v.differences.empty() ? "" : " (" + v.differences.front() + ")"));
    }
  }
  quiet();
  engine.Disconnect();
  for (const std::string& text : silent.shown) fail("engine message: " + text);

  const std::vector<LoggedTransaction> log = LoggedTransactions(logPath);
  for (Measurement* m : {&captureWorking, &capturePresets, &compare, &recall}) {
    for (const Timed& t : m->runs) {
      const Breakdown b = Analyse(t, log, m->groupByteMs);
      m->breakdowns.push_back(b);
      // orbsim saw the transactions the limit counts, no more.
      if (b.transactions != m->transactions ||
          std::abs(b.limitMs + m->groupByteMs - m->limitMs) > 0.01)
        fail(std::string(m->name) + ": orbsim saw " + std::to_string(b.transactions) +
             " transactions (" + std::to_string(b.limitMs) +
             " ms at the limit), the limit counts " + std::to_string(m->transactions));
    }
  }

  std::printf(
      "%zu devices (paced orbsim), %d runs, medians; line limits: RECALL_ALL_DATA %.1f ms, "
      "REPROGRAM_DEVICE_CHANNEL_FROM_MEMORY %.1f ms, TRANSMIT_ALL_DATA %.1f ms\n",
      kAddresses.size(), runs, kRecallLimitMs, LimitMs(pa422::REPROGRAM_DEVICE_CHANNEL_FROM_MEMORY),
      LimitMs(pa422::TRANSMIT_ALL_DATA));
  captureWorking.Print();
  capturePresets.Print();
  compare.Print();
  recall.Print();
  std::printf(
      "snapshot folder (8 devices, 64 stored presets): written in %.1f ms, read back in %.1f ms\n",
      Median(writeMs), Median(loadMs));
  std::printf("snapshot capture ratio=%.3f compare ratio=%.3f recall ratio=%.3f failures=%d\n",
              std::max(captureWorking.Ratio(), capturePresets.Ratio()), compare.Ratio(),
              recall.Ratio(), failures);
  if (failures == 0)
    fs::remove_all(dir);
  else
    std::fprintf(stderr, "snapshot_bench: logs kept in %s\n", dir.c_str());
  return failures == 0 ? 0 : 1;
} catch (const std::exception& e) {
  std::fprintf(stderr, "snapshot_bench: %s\n", e.what());
  return 1;
}
