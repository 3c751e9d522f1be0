// Undo and A/B compare of a connected equalizer window (offscreen) against
// a paced orbsim, with key presses delivered as the platform delivers them
// (to the frame's window, through the shortcut map to the Edit menu):
//
//  - undo of one band step: the median time from Ctrl+Z to the address
//    byte leaving (target under 2 ms) and to UpdateDone, beside the line's
//    limit for UPDATE_PARAMETER;
//  - an A/B swap: the median time from Ctrl+B to the end of its
//    TRANSMIT_ALL_DATA, beside the line's limit for it;
//  - N band steps made one by one, then N undos pressed in a row, faster
//    than the line carries them: every step must be undone, no message
//    shown, and the device's band levels must equal the window's.
//
//   undo_bench [--runs N] [--steps N] [--pace-ms N]
//
// Last line: "undo ratio=X.XXX ab ratio=Y.YYY steps=N failures=F" (the
// ratios are medians over the line's limits; target <= 1.03).
#include <stdlib.h>

#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/TApplication.h"
#include "app/VarloProgram.h"
#include "bench/BenchOptions.h"
#include "bench/ProgramBench.h"
#include "controls/ApplicationHint.h"
#include "controls/TzkTrackBar.h"
#include "eqwindow/TMDIChild.h"
#include "link/TzkPA422Form.h"
#include "testsupport/OrbSimProcess.h"
#include "testsupport/RecordingOperatorMessages.h"

using namespace program_bench;

int main(int argc, char** argv) {
  int runs = 30, steps = 1000, paceMs = 20;
  BenchOptions("undo_bench",
               "usage: undo_bench [--runs N] [--steps N] [--pace-ms N]\n"
               "       undo_bench --help | --version\n")
      .Integer("--runs", runs, 1)
      .Integer("--steps", steps, 1)
      .Integer("--pace-ms", paceMs, 0)
      .Parse(argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const std::string dir = BenchDirectory("undo-bench");
  const std::string logPath = dir + "orbsim.log";

  int qtArgc = 1;
  TApplication app(qtArgc, argv);
  ApplicationHint::Install(app);
  int failures = 0;
  {
    OrbSimProcess sim({"--devices", "1", "--log", logPath});
    WriteBenchSettings(dir, sim.Url());
    RecordingOperatorMessages messages;
    VarloProgram program(messages, messages, dir);
    PrepareProgram(program);
    TzkPA422Form& engine = program.PA422Form();
    TMainForm& frame = program.MainForm();
    frame.ShowFrame();
    QApplication::setActiveWindow(&frame);
    frame.FileNewItemClick();
    auto* window = static_cast<TMDIChild*>(frame.ActiveEqualizerWidget());
    QWindow* platformWindow = frame.windowHandle();
    if (!window || !platformWindow) {
      std::fprintf(stderr, "undo_bench: no equalizer window\n");
      return 1;
    }
    window->CBAddressDropDown();
    window->CBAddress->setCurrentIndex(1);
    window->CBAddressChange();
    if (!engine.Connected || !RunUntil([&] { return engine.CommState == 0 && !window->RecallPending; }, 5000)) {
      std::fprintf(stderr, "undo_bench: could not connect to orbsim\n");
      return 1;
    }
    auto idle = [&] { return engine.CommState == 0 && !window->UpdatePending; };
    // A key as the platform delivers it to the frame's window: shortcuts
    // first, then the control with the focus.
    auto key = [&](Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
      QTest::keyClick(platformWindow, k, mods);
    };
    // As between an operator's presses, the device lets go of the line
    // (DSR falls) before the next one.
    auto lineReleased = [&] { return RunUntil([&] { return idle() && !engine.ApdComPort.DSR(); }, 5000); };

    // Undo of one band step.
    TzkTrackBar* slider = window->SliderOfSlot(5);  // 63 Hz
    slider->setFocus();
    QCoreApplication::processEvents();
    std::vector<int64_t> undoKeys;
    std::vector<double> undoDoneMs;
    for (int i = 0; i < runs && failures == 0; ++i) {
      key(i % 2 == 0 ? Qt::Key_Up : Qt::Key_Down);
      if (!lineReleased()) ++failures;
      const int64_t pressed = NowNs();
      key(Qt::Key_Z, Qt::ControlModifier);
      if (!window->UpdatePending || !RunUntil(idle, 5000)) {
        std::fprintf(stderr, "undo_bench: undo %d did not complete\n", i);
        ++failures;
        break;
      }
      undoDoneMs.push_back((NowNs() - pressed) / 1e6);
      undoKeys.push_back(pressed);
      if (!lineReleased()) ++failures;
    }
    RunUntil([&] { return false; }, 100);  // orbsim logs a transaction as it ends
    const std::vector<int64_t> starts = UpdateStarts(logPath);
    std::vector<double> addressMs;
    for (int64_t pressed : undoKeys) {
      const auto after = std::upper_bound(starts.begin(), starts.end(), pressed);
      // The device sees the address byte one byte time after it left.
      if (after != starts.end()) addressMs.push_back((*after - pressed) / 1e6 - kByteMs);
    }

    // A/B swaps: B is the curve with a few bands raised, A the flat one.
    for (int slot : {3, 9, 15}) {
      window->SliderOfSlot(slot)->SetPosition(4);
      if (!lineReleased()) ++failures;
    }
    key(Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
    window->Clear1->trigger();  // the recorder answers Yes
    if (!lineReleased()) ++failures;
    std::vector<double> swapMs;
    for (int i = 0; i < runs && failures == 0; ++i) {
      if (!lineReleased()) ++failures;
      const int64_t pressed = NowNs();
      key(Qt::Key_B, Qt::ControlModifier);
      if (engine.CommState == 0 || !RunUntil([&] { return engine.CommState == 0; }, 5000)) {
        std::fprintf(stderr, "undo_bench: swap %d did not complete\n", i);
        ++failures;
        break;
      }
      swapMs.push_back((NowNs() - pressed) / 1e6);
    }
    if (!lineReleased()) ++failures;

    // Steps made one by one, each on another band than the last, then
    // undone in a row.
    window->NewHistory(false);
    for (int i = 0; i < steps && failures == 0; ++i) {
      TzkTrackBar* band = window->SliderOfSlot(1 + i % 29);
      band->setFocus();
      key((i / 29) % 2 == 0 ? Qt::Key_Up : Qt::Key_Down);
      if (!RunUntil(idle, 5000)) {
        std::fprintf(stderr, "undo_bench: step %d did not complete\n", i);
        ++failures;
      }
    }
    const size_t made = window->History().Position();
    const auto undoStart = Clock::now();
    int undone = 0;
    while (window->History().CanUndo() && undone < steps) {
      key(Qt::Key_Z, Qt::ControlModifier);
      ++undone;
      if (paceMs > 0) RunUntil([] { return false; }, paceMs);
    }
    // The device catches up with the last of them.
    RunUntil([&] { return false; }, 300);
    if (!RunUntil([&] { return idle() && !engine.ApdComPort.DSR(); }, 10000)) ++failures;
    RunUntil([&] { return false; }, 300);
    if (!RunUntil([&] { return idle() && !engine.ApdComPort.DSR(); }, 10000)) ++failures;
    const double undoRunS = std::chrono::duration<double>(Clock::now() - undoStart).count();
    int mismatches = 0;
    {
      const std::string hex = sim.Ok("preset 1 0").substr(3);
      for (int slot = 1; slot <= kBandCount; ++slot) {
        const int device = std::stoi(hex.substr(2 * (slot - 1), 2), nullptr, 16);
        if (device != DeviceGainCode(window->SliderOfSlot(slot)->Position())) ++mismatches;
      }
    }
    // Clear's question is the only box expected.
    int shown = 0;
    for (const auto& box : messages.shown)
      if (!box.question) {
        ++shown;
        std::fprintf(stderr, "undo_bench: message: %s\n", box.text.c_str());
      }
    const int lost = static_cast<int>(made) - undone + (window->History().CanUndo() ? 1 : 0);
    failures += shown + (mismatches > 0) + (lost != 0) + (made != static_cast<size_t>(steps));

    const double undoRatio = Median(undoDoneMs) / kUpdateLimitMs;
    const double abRatio = Median(swapMs) / kTransmitLimitMs;
    std::printf("undo of a band step: %zu runs, UPDATE_PARAMETER line limit %.1f ms\n", undoDoneMs.size(),
                kUpdateLimitMs);
    std::printf("  key to address byte leaving: median %.3f ms (target < 2 ms)\n", Median(addressMs));
    std::printf("  key to UpdateDone: median %.1f ms\n", Median(undoDoneMs));
    std::printf("A/B swap: %zu runs, TRANSMIT_ALL_DATA line limit %.1f ms\n", swapMs.size(), kTransmitLimitMs);
    std::printf("  key to the end of the transmit: median %.1f ms\n", Median(swapMs));
    std::printf("%zu steps made, %d undone in a row every %d ms in %.1f s; bands differing from the "
                "device: %d; messages: %d\n",
                made, undone, paceMs, undoRunS, mismatches, shown);
    std::printf("undo ratio=%.3f ab ratio=%.3f steps=%d failures=%d\n", undoRatio, abRatio, undone, failures);
  }
  if (failures == 0)
    std::filesystem::remove_all(dir);
  else
    std::fprintf(stderr, "undo_bench: logs kept in %s\n", dir.c_str());
  return failures == 0 ? 0 : 1;
}
