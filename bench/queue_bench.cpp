// Four equalizer windows of the desktop program (offscreen), each connected
// to its own device of a paced orbsim, their band sliders dragged at once:
// every window's slider is moved step by step through its setter (as a drag
// moves it), the four drags interleaved, the event loop running briefly
// between steps. The line carries one update at a time, so most moves wait
// in the line queue, where the latest value of a slider replaces the one
// waiting.
//
//  - ratio: the time from the last move to the last device holding its
//    final value, over the line's limit for the updates that started after
//    the last move (the one running then counted whole); median over runs;
//  - sent: the UPDATE_PARAMETER transactions orbsim saw during the drags,
//    against keys, the moves made (fewer: the waiting updates coalesced);
//  - stale: devices whose band level (orbsim's `preset <addr> 0`) differs
//    from their window's slider at the end of a run;
//  - failures: message boxes, failed outcomes and runs that did not settle.
//
//   queue_bench [--runs N] [--steps N] [--pace-ms N]
//
// Last line: "queue ratio=X.XXX sent=S keys=K stale=N failures=F" (target:
// ratio <= 1.10, stale and failures 0).
#include <stdlib.h>

#include <QApplication>
#include <QComboBox>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/TApplication.h"
#include "app/VarloProgram.h"
#include "bench/BenchOptions.h"
#include "bench/ProgramBench.h"
#include "controls/ApplicationHint.h"
#include "controls/TzkTrackBar.h"
#include "eq/EqualizerDocument.h"
#include "eqwindow/TMDIChild.h"
#include "link/LineQueue.h"
#include "link/TzkPA422Form.h"
#include "testsupport/OrbSimProcess.h"
#include "testsupport/RecordingOperatorMessages.h"

using namespace program_bench;

namespace {
constexpr int kDevices = 4;

struct Dragged {
  TMDIChild* window;
  int address;
  int slot;  // the band dragged
  int dropped = 0;  // where the drag left the slider
  TzkTrackBar* Slider() const { return window->SliderOfSlot(slot); }
};

// The device's level of `slot` in its working settings.
int DeviceLevel(OrbSimProcess& sim, int address, int slot) {
  const std::string hex = sim.Ok("preset " + std::to_string(address) + " 0").substr(3);
  return std::stoi(hex.substr(2 * (slot - 1), 2), nullptr, 16);
}
}  // namespace

int main(int argc, char** argv) {
  int runs = 10, steps = 30, paceMs = 4;
  BenchOptions("queue_bench",
               "usage: queue_bench [--runs N] [--steps N] [--pace-ms N]\n"
               "       queue_bench --help | --version\n")
      .Integer("--runs", runs, 1)
      .Integer("--steps", steps, 1)
      .Integer("--pace-ms", paceMs, 0)
      .Parse(argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const std::string dir = BenchDirectory("queue-bench");
  const std::string logPath = dir + "orbsim.log";

  int qtArgc = 1;
  TApplication app(qtArgc, argv);
  ApplicationHint::Install(app);
  int failures = 0, stale = 0, sent = 0, keys = 0;
  std::vector<double> ratios;
  {
    OrbSimProcess sim({"--devices", "1,2,3,4", "--log", logPath});
    WriteBenchSettings(dir, sim.Url());
    RecordingOperatorMessages messages;
    VarloProgram program(messages, messages, dir);
    PrepareProgram(program);
    TzkPA422Form& engine = program.PA422Form();
    TMainForm& frame = program.MainForm();
    LineQueue& line = frame.Line();
    int failedOutcomes = 0;
    LineEvents events;
    events.ended = [&](const LineRequest&, const LineOutcome& outcome) {
      if (!outcome.succeeded) ++failedOutcomes;
    };
    line.Subscribe(events);
    frame.ShowFrame();
    QApplication::setActiveWindow(&frame);

    // One window for each device, connected as the operator does it.
    std::vector<Dragged> drags;
    for (int address = 1; address <= kDevices; ++address) {
      frame.FileNewItemClick();
      auto* window = static_cast<TMDIChild*>(frame.ActiveEqualizerWidget());
      if (!window) {
        std::fprintf(stderr, "queue_bench: no equalizer window\n");
        return 1;
      }
      window->CBAddressDropDown();
      window->CBAddress->setCurrentIndex(address);
      window->CBAddressChange();
      if (!engine.Connected ||
          !RunUntil([&] { return engine.CommState == 0 && line.Idle() && !window->RecallPending; }, 5000)) {
        std::fprintf(stderr, "queue_bench: could not connect to device %d\n", address);
        return 1;
      }
      drags.push_back({window, address, 5 + 6 * (address - 1)});
    }
    auto settled = [&] {
      if (engine.CommState != 0 || !line.Idle()) return false;
      for (const Dragged& d : drags)
        if (d.window->UpdatePending) return false;
      return true;
    };
    // Settled, and the device has let go of the line (orbsim has logged the
    // transaction by then).
    auto settle = [&] { return RunUntil([&] { return settled() && !engine.ApdComPort.DSR(); }, 10000); };

    // The drags go from `low` to `low + steps` and back, run by run.
    const int low = -(steps / 2);
    for (Dragged& d : drags) d.Slider()->SetPosition(low);
    if (!settle()) ++failures;

    for (int run = 0; run < runs; ++run) {
      const int from = run % 2 == 0 ? low : low + steps;
      const int direction = run % 2 == 0 ? 1 : -1;
      const int64_t firstMove = NowNs();
      int64_t lastMove = firstMove;
      for (int step = 1; step <= steps; ++step) {
        for (Dragged& d : drags) {
          TzkTrackBar* slider = d.Slider();
          const int before = slider->Position();
          lastMove = NowNs();
          slider->SetPosition(from + direction * step);
          d.dropped = slider->Position();
          if (d.dropped != before) ++keys;
          RunUntil([] { return false; }, paceMs);
        }
      }
      if (!settle()) {
        std::fprintf(stderr, "queue_bench: run %d did not settle\n", run);
        ++failures;
      }

      int runSent = 0, after = 0;
      int64_t lastEnd = lastMove;
      for (const DeviceSpan& span : UpdateSpans(logPath)) {
        if (span.startNs < firstMove) continue;
        ++runSent;
        // The update running at the last move counts whole.
        if (span.endNs > lastMove) {
          ++after;
          lastEnd = std::max(lastEnd, span.endNs);
        }
      }
      int runStale = 0;
      for (const Dragged& d : drags) {
        if (DeviceLevel(sim, d.address, d.slot) != DeviceGainCode(d.Slider()->Position())) ++runStale;
        // Nothing but the drag may move the slider (a read of the device's
        // data after a failure would).
        if (d.Slider()->Position() != d.dropped) {
          std::fprintf(stderr, "queue_bench: run %d: window %d's slider moved after the drag\n", run, d.address);
          ++failures;
        }
      }
      const double ratio = after > 0 ? (lastEnd - lastMove) / 1e6 / (after * kUpdateLimitMs) : 0;
      std::printf("run %d: %d moves, %d updates sent, %d after the last move, last move to last device "
                  "%.1f ms, ratio %.3f, stale %d\n",
                  run + 1, kDevices * steps, runSent, after, (lastEnd - lastMove) / 1e6, ratio, runStale);
      ratios.push_back(ratio);
      sent += runSent;
      stale += runStale;
    }
    for (const auto& box : messages.shown) {
      std::fprintf(stderr, "queue_bench: message: %s\n", box.text.c_str());
      ++failures;
    }
    failures += failedOutcomes;
    std::printf("%d devices, %d runs of %d interleaved steps a window every %d ms, UPDATE_PARAMETER line "
                "limit %.1f ms; failed outcomes: %d, messages: %zu\n",
                kDevices, runs, steps, paceMs, kUpdateLimitMs, failedOutcomes, messages.shown.size());
  }
  std::printf("queue ratio=%.3f sent=%d keys=%d stale=%d failures=%d\n", Median(ratios), sent, keys, stale,
              failures);
  const bool good = failures == 0 && stale == 0;
  if (good)
    std::filesystem::remove_all(dir);
  else
    std::fprintf(stderr, "queue_bench: logs kept in %s\n", dir.c_str());
  return good ? 0 : 1;
}
