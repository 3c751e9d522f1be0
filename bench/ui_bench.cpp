// From a key on a connected band slider to the device: the time from a
// synthetic key press (posted into the event loop) to the address byte
// leaving the serial component, and to UpdateDone in the window, median over
// a number of moves, beside what the line allows for the UPDATE_PARAMETER
// transaction; then the area a drag over a slider's whole range repaints.
//
//   ui_bench [--moves N]
//
// UI_BENCH_LOG=1 writes the engine's log beside orbsim's; both are kept
// when a move fails.
//
// Runs on the offscreen platform against orbsim with byte pacing on. Last
// line: "worst ratio=X.XXX" (the key-to-UpdateDone median over the line's
// limit; target <= 1.03; key-to-address-byte target: median under 2 ms).
#include <stdlib.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
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
  int moves = 100;
  BenchOptions("ui_bench", "usage: ui_bench [--moves N]\n       ui_bench --help | --version\n")
      .Integer("--moves", moves, 1)
      .Parse(argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const std::string dir = BenchDirectory("ui-bench");
  const std::string logPath = dir + "orbsim.log";

  int qtArgc = 1;
  TApplication app(qtArgc, argv);
  ApplicationHint::Install(app);
  int result = 0;
  {
    OrbSimProcess sim({"--devices", "1", "--log", logPath});
    WriteBenchSettings(dir, sim.Url());
    RecordingOperatorMessages messages;
    VarloProgram program(messages, messages, dir);
    PrepareProgram(program);
    TzkPA422Form& engine = program.PA422Form();
    engine.ApdComPort.SetLogging(getenv("UI_BENCH_LOG") ? tlOn : tlOff);
    engine.ApdComPort.LogName = dir + "engine.log";
    TMainForm& frame = program.MainForm();
    frame.ShowFrame();
    frame.FileNewItemClick();
    auto* window = static_cast<TMDIChild*>(frame.ActiveEqualizerWidget());
    if (!window) {
      std::fprintf(stderr, "ui_bench: no equalizer window\n");
      return 1;
    }

    // A drag over the whole range of a slider before the window has a
    // device (nothing is sent, nothing blocks the slider).
    TzkTrackBar* bar = window->TrackBars[10];
    // Focus first: gaining it repaints the whole control once.
    bar->setFocus();
    RunUntil([&] { return bar->Stats().paintEvents > 0 && bar->hasFocus(); }, 2000);
    RunUntil([&] { return false; }, 20);
    const QRect thumb = bar->ThumbRect();
    bar->ResetStats();
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, thumb.center());
    for (int y = 0; y < bar->height(); y += 2) {
      QMouseEvent move(QEvent::MouseMove, QPointF(thumb.center().x(), y), bar->mapToGlobal(QPointF(thumb.center().x(), y)),
                       Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
      QCoreApplication::sendEvent(bar, &move);
      RunUntil([&] { return false; }, 1);
    }
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(thumb.center().x(), bar->height() - 1));
    RunUntil([&] { return false; }, 20);
    const TzkTrackBar::PaintStats stats = bar->Stats();
    const int64_t whole = int64_t(bar->width()) * bar->height();

    // Connect to device 1 as the operator does: drop the list down, choose.
    window->CBAddressDropDown();
    window->CBAddress->setCurrentIndex(1);
    window->CBAddressChange();
    if (!engine.Connected || !RunUntil([&] { return engine.CommState == 0 && !window->RecallPending; }, 5000)) {
      std::fprintf(stderr, "ui_bench: could not connect to orbsim\n");
      return 1;
    }
    TzkTrackBar* slider = window->TrackBars[4];  // "63 Hz"
    slider->setFocus();
    QCoreApplication::processEvents();

    std::vector<int64_t> keyNs;
    std::vector<double> doneMs;
    for (int i = 0; i < moves; ++i) {
      const int key = i % 2 == 0 ? Qt::Key_Up : Qt::Key_Down;
      // As between an operator's key presses, the device lets go of the
      // line (DSR falls) before the next move; held keys are timed apart.
      RunUntil([&] { return !engine.ApdComPort.DSR(); }, 1000);
      const int64_t pressed = NowNs();
      QCoreApplication::postEvent(slider, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
      if (!RunUntil([&] { return window->UpdatePending; }, 1000) ||
          !RunUntil([&] { return !window->UpdatePending && engine.CommState == 0; }, 5000)) {
        std::fprintf(stderr, "ui_bench: move %d did not complete%s%s\n", i,
                     messages.shown.empty() ? "" : ": ",
                     messages.shown.empty() ? "" : messages.shown.back().text.c_str());
        result = 1;
        break;
      }
      doneMs.push_back((NowNs() - pressed) / 1e6);
      keyNs.push_back(pressed);
    }
    // orbsim logs a transaction when it ends; give the last one a moment.
    RunUntil([&] { return UpdateSpans(logPath).size() >= keyNs.size(); }, 2000);
    const std::vector<DeviceSpan> spans = UpdateSpans(logPath);
    std::vector<double> addressMs, deviceMs;
    for (size_t i = 0; i < keyNs.size() && i < spans.size(); ++i) {
      // The device sees the address byte one byte time after it left.
      addressMs.push_back((spans[i].startNs - keyNs[i]) / 1e6 - kByteMs);
      deviceMs.push_back((spans[i].endNs - spans[i].startNs) / 1e6);
    }

    std::printf("moves: %zu, UPDATE_PARAMETER line limit %.1f ms\n", doneMs.size(), kUpdateLimitMs);
    std::printf("key to address byte leaving: median %.3f ms (target < 2 ms)\n", Median(addressMs));
    std::printf("key to UpdateDone: median %.1f ms\n", Median(doneMs));
    std::printf("device side (address byte in to line released): median %.1f ms\n", Median(deviceMs));
    std::printf("drag over the range: %d paint events, %d full redraws, %lld pixels painted "
                "(%.2f whole controls of %lld pixels)\n",
                stats.paintEvents, stats.fullRenders, static_cast<long long>(stats.pixels),
                double(stats.pixels) / double(whole), static_cast<long long>(whole));
    std::printf("worst ratio=%.3f\n", Median(doneMs) / kUpdateLimitMs);
  }
  // A failed run keeps the logs for a look.
  if (result == 0)
    std::filesystem::remove_all(dir);
  else
    std::fprintf(stderr, "ui_bench: logs kept in %s\n", dir.c_str());
  return result;
}
