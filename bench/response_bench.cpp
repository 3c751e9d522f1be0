// The response panel's cost per slider step: a connected equalizer window
// (offscreen) against a paced orbsim, one band's slider driven by its keys
// across its whole range and back, step by step as the device acknowledges
// them, with the frame's response panel hidden and shown in turn. For every
// step it takes the time from the key to the address byte leaving (from
// orbsim's transaction log, as ui_bench does), and with the panel shown
// what the panel spent recomputing the curve (every drawn point, the band
// centres among them) and repainting itself for that change.
//
//   response_bench [--sweeps N] [--screen WxH]
//
// The offscreen screen is 1920 by 1080 unless --screen says otherwise; the
// frame is maximized on it, so the panel has the size it has there.
//
// Each sweep runs the slider from the bottom of its range to the top and
// back twice: up hidden, down shown, up shown, down hidden (default 1
// sweep, 4 × 48 steps at the default range). Last line:
// "recompute_us=X repaint_ms=Y key_to_wire_ms=Z key_to_wire_hidden_ms=W":
// the medians per step, the repaint the worst of all steps. Targets: the
// repaint under one 60 Hz frame (16.7 ms), the key to the address byte
// under 2 ms with the panel shown as with it hidden.
#include <stdlib.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/ResponsePanel.h"
#include "app/TApplication.h"
#include "app/VarloProgram.h"
#include "bench/BenchOptions.h"
#include "bench/ProgramBench.h"
#include "controls/ApplicationHint.h"
#include "controls/TzkTrackBar.h"
#include "eqwindow/TMDIChild.h"
#include "link/TzkPA422Form.h"
#include "settings/ProgramOptions.h"
#include "testsupport/OrbSimProcess.h"
#include "testsupport/RecordingOperatorMessages.h"

using namespace program_bench;

namespace {
constexpr double kFrameMs = 1000.0 / 60.0;

struct Step {
  bool shown;
  int64_t keyNs;
  double recomputeUs = 0;
  double repaintMs = 0;
};
}  // namespace

int main(int argc, char** argv) {
  int sweeps = 1;
  std::string screen = "1920x1080";
  const char* usage =
      "usage: response_bench [--sweeps N] [--screen WxH]\n       response_bench --help | --version\n";
  BenchOptions("response_bench", usage)
      .Integer("--sweeps", sweeps, 1)
      .Text("--screen", screen)
      .Parse(argc, argv);
  int screenWidth = 0, screenHeight = 0;
  if (std::sscanf(screen.c_str(), "%dx%d", &screenWidth, &screenHeight) != 2 || screenWidth < 640 ||
      screenHeight < 480 || screenWidth > 7680 || screenHeight > 4320)
    return BadUsage("response_bench", "option --screen needs WxH, from 640x480 to 7680x4320", usage);
  const std::string dir = BenchDirectory("response-bench");
  std::ofstream(dir + "screen.json")
      << "{\"synchronousWindowSystemEvents\": false, \"windowFrameMargins\": false, \"screens\": [{\"name\": "
         "\"bench\", \"x\": 0, \"y\": 0, \"width\": "
      << screenWidth << ", \"height\": " << screenHeight
      << ", \"logicalDpi\": 96, \"logicalBaseDpi\": 96, \"dpr\": 1}]}\n";
  setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + dir + "screen.json").c_str(), 1);
  const std::string logPath = dir + "orbsim.log";

  int qtArgc = 1;
  TApplication app(qtArgc, argv);
  ApplicationHint::Install(app);
  int result = 0;
  {
    OrbSimProcess sim({"--devices", "1", "--log", logPath});
    WriteBenchSettings(dir, sim.Url(), "[Workspace Size]\nWindowState=2\n");
    RecordingOperatorMessages messages;
    VarloProgram program(messages, messages, dir);
    PrepareProgram(program);
    TzkPA422Form& engine = program.PA422Form();
    TMainForm& frame = program.MainForm();
    frame.ShowFrame();
    frame.FileNewItemClick();
    auto* window = static_cast<TMDIChild*>(frame.ActiveEqualizerWidget());
    window->CBAddressDropDown();
    window->CBAddress->setCurrentIndex(1);
    window->CBAddressChange();
    if (!engine.Connected || !RunUntil([&] { return engine.CommState == 0 && !window->RecallPending; }, 5000)) {
      std::fprintf(stderr, "response_bench: could not connect to orbsim\n");
      return 1;
    }
    ResponsePanel& panel = *frame.Response;
    TzkTrackBar* slider = window->TrackBars[16];  // "1 kHz"
    slider->setFocus();
    const int range = frame.Options().SliderRange;
    // From the bottom of the range: the device takes the moves down there
    // before the timed sweeps start.
    while (slider->Position() > -range) {
      QCoreApplication::postEvent(slider, new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
      RunUntil([&] { return window->UpdatePending; }, 1000);
      RunUntil([&] { return !window->UpdatePending && engine.CommState == 0; }, 5000);
    }
    RunUntil([] { return false; }, 200);
    const size_t before = UpdateStarts(logPath).size();

    std::vector<Step> steps;
    for (int pass = 0; pass < 4 * sweeps && result == 0; ++pass) {
      const bool shown = (pass + 1) / 2 % 2 == 1;
      const int key = pass % 2 == 0 ? Qt::Key_Up : Qt::Key_Down;
      if (frame.WindowResponseItem->isChecked() != shown) frame.WindowResponseItem->trigger();
      RunUntil([] { return false; }, 200);  // the frame lays itself out again
      for (int i = 0; i < 2 * range; ++i) {
        // As between an operator's key presses, the device lets go of the
        // line before the next move.
        RunUntil([&] { return !engine.ApdComPort.DSR(); }, 1000);
        panel.ResetStatistics();
        const int64_t pressed = NowNs();
        QCoreApplication::postEvent(slider, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
        if (!RunUntil([&] { return window->UpdatePending; }, 1000) ||
            !RunUntil([&] { return !window->UpdatePending && engine.CommState == 0; }, 5000) ||
            (shown && !RunUntil([&] { return panel.Statistics().paints > 0; }, 1000))) {
          std::fprintf(stderr, "response_bench: step %zu did not complete%s%s\n", steps.size(),
                       messages.shown.empty() ? "" : ": ",
                       messages.shown.empty() ? "" : messages.shown.back().text.c_str());
          result = 1;
          break;
        }
        const ResponsePanel::Stats& stats = panel.Statistics();
        steps.push_back({shown, pressed, stats.maxRecomputeNs / 1e3, stats.maxPaintNs / 1e6});
        if (shown && stats.recomputes != 1)
          std::fprintf(stderr, "response_bench: step %zu recomputed %d times\n", steps.size(), stats.recomputes);
      }
    }
    RunUntil([&] { return UpdateStarts(logPath).size() >= before + steps.size(); }, 2000);
    const std::vector<int64_t> starts = UpdateStarts(logPath);

    std::vector<double> wireShown, wireHidden, recompute, repaint;
    for (size_t i = 0; i < steps.size() && before + i < starts.size(); ++i) {
      // The device sees the address byte one byte time after it left.
      const double wire = (starts[before + i] - steps[i].keyNs) / 1e6 - kByteMs;
      (steps[i].shown ? wireShown : wireHidden).push_back(wire);
      if (steps[i].shown) {
        recompute.push_back(steps[i].recomputeUs);
        repaint.push_back(steps[i].repaintMs);
      }
    }
    const QSize chart = panel.Chart->size();
    std::printf("screen %dx%d; steps: %zu hidden, %zu shown; curve of %zu points; picture %dx%d\n",
                screenWidth, screenHeight, wireHidden.size(), wireShown.size(),
                panel.Curve().hz.size(), chart.width(), chart.height());
    std::printf("key to address byte leaving, panel hidden: median %.3f ms, worst %.3f ms (target < 2 ms)\n",
                Median(wireHidden), Max(wireHidden));
    std::printf("key to address byte leaving, panel shown:  median %.3f ms, worst %.3f ms (target < 2 ms)\n",
                Median(wireShown), Max(wireShown));
    std::printf("recompute per step: median %.1f us, worst %.1f us\n", Median(recompute), Max(recompute));
    std::printf("repaint per step: median %.3f ms, worst %.3f ms (target < %.1f ms)\n", Median(repaint),
                Max(repaint), kFrameMs);
    std::printf("recompute_us=%.1f repaint_ms=%.3f key_to_wire_ms=%.3f key_to_wire_hidden_ms=%.3f\n",
                Median(recompute), Max(repaint), Median(wireShown), Median(wireHidden));
  }
  if (result == 0)
    std::filesystem::remove_all(dir);
  else
    std::fprintf(stderr, "response_bench: logs kept in %s\n", dir.c_str());
  return result;
}
