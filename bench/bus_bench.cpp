// The Bus window of the desktop program (offscreen) against a paced orbsim
// with 8 devices at scattered addresses of 1 to 16:
//
//  - scan ratio: a scan of 1 to 16 against the engine's limits, present
//    devices at a recall's line limit, absent addresses at the address
//    time-out;
//  - backup ratio: a backup of all 8 from the Bus window against 8 x 8
//    recalls (the time the window's moves took on the line left out);
//  - edit wait ratio: while the backup runs, an equalizer window's slider
//    is moved at random times (350 ms apart on average); the median time
//    from a move to the end of its UPDATE_PARAMETER at the device, over
//    the update's line limit (a
//    running recall is never cut short, so a move may wait for one);
//  - failures: message boxes, devices not found or not backed up.
//
//   bus_bench [--moves N]
//
// Last line: "bus scan ratio=X backup ratio=Y edit_wait_ratio=Z failures=F"
// (goals: <= 1.05, <= 1.05, <= 2.5).
#include <stdlib.h>

#include <QApplication>
#include <QComboBox>
#include <QTableWidget>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/BusWindow.h"
#include "app/TApplication.h"
#include "app/VarloProgram.h"
#include "bench/BenchOptions.h"
#include "bench/ProgramBench.h"
#include "controls/ApplicationHint.h"
#include "controls/TzkTrackBar.h"
#include "eqwindow/TMDIChild.h"
#include "link/LineQueue.h"
#include "link/TzkPA422Form.h"
#include "testsupport/OrbSimProcess.h"
#include "testsupport/RecordingOperatorMessages.h"

using namespace program_bench;

namespace {
const std::vector<int> kAddresses = {1, 3, 4, 7, 9, 12, 14, 16};
// A recall: address, DT/ID, the 3-byte frame, the 71-byte reply, and the
// engine's two pauses.
constexpr double kRecallLimitMs = (1 + 2 + 3 + 71) * kByteMs + 100 + 150;
}  // namespace

int main(int argc, char** argv) {
  int moves = 30;
  BenchOptions("bus_bench", "usage: bus_bench [--moves N]\n       bus_bench --help | --version\n")
      .Integer("--moves", moves, 1)
      .Parse(argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const std::string dir = BenchDirectory("bus-bench");
  const std::string logPath = dir + "orbsim.log";
  int qtArgc = 1;
  TApplication app(qtArgc, argv);
  ApplicationHint::Install(app);
  int failures = 0;
  double scanRatio = 0, backupRatio = 0, editRatio = 0;
  {
    std::string devices;
    for (int a : kAddresses) devices += (devices.empty() ? "" : ",") + std::to_string(a);
    OrbSimProcess sim({"--devices", devices, "--log", logPath});
    WriteBenchSettings(dir, sim.Url());
    RecordingOperatorMessages messages;
    VarloProgram program(messages, messages, dir);
    PrepareProgram(program);
    TMainForm& frame = program.MainForm();
    TzkPA422Form& engine = program.PA422Form();
    LineQueue& line = frame.Line();
    frame.ShowFrame();

    // The scan.
    frame.WindowBusItemClick();
    BusWindow& bus = *frame.Bus();
    bus.RunScanDialog = [] { return std::optional<std::pair<int, int>>({1, 16}); };
    const auto scanStart = Clock::now();
    bus.ScanClick();
    if (!RunUntil([&] { return !bus.Scan().Running(); }, 60000)) ++failures;
    const double scanMs = std::chrono::duration<double, std::milli>(Clock::now() - scanStart).count();
    const double scanLimit = kAddresses.size() * kRecallLimitMs + (16 - kAddresses.size()) * kAbsentLimitMs;
    scanRatio = scanMs / scanLimit;
    if (bus.Scan().Found() != static_cast<int>(kAddresses.size())) ++failures;
    std::printf("scan of 1-16: %.0f ms, limit %.0f ms (%zu present at %.1f ms, %zu absent at %.1f ms), %d found\n",
                scanMs, scanLimit, kAddresses.size(), kRecallLimitMs, 16 - kAddresses.size(), kAbsentLimitMs,
                bus.Scan().Found());

    // An equalizer window on device 1, for the moves during the backup.
    frame.OpenDeviceWindow(1);
    auto* window = static_cast<TMDIChild*>(frame.ActiveEqualizerWidget());
    if (!window || !RunUntil([&] { return engine.CommState == 0 && line.Idle(); }, 5000)) ++failures;

    // The backup of all 8, the window's slider moved meanwhile.
    bus.Table->selectAll();
    bus.RunFolderDialog = [&] { return QString::fromStdString(dir + "backup"); };
    const int64_t backupStartNs = NowNs();
    bus.BackUpClick();
    std::vector<int64_t> moveNs;
    // Moves at random times (a Poisson process, 350 ms apart on average),
    // so that they meet the line as it is on average: moves spaced about as
    // long as their own wait would keep meeting recalls that have just
    // begun.
    std::mt19937 random(42);
    std::exponential_distribution<double> gap(1.0 / 350.0);
    const auto pause = [&](std::mt19937& r) { return static_cast<int>(gap(r)); };
    for (int m = 0; window && m < moves && bus.Backup().Running(); ++m) {
      RunUntil([] { return false; }, pause(random));
      moveNs.push_back(NowNs());
      window->SliderOfSlot(10)->SetPosition(m % 2 ? 4 : -4);
    }
    if (!RunUntil([&] { return !bus.Backup().Running() && line.Idle() && engine.CommState == 0; }, 120000))
      ++failures;
    const int64_t backupEndNs = NowNs();
    RunUntil([] { return false; }, 200);  // orbsim logs the last transaction
    double updatesMs = 0;
    std::vector<double> waits;
    const std::vector<DeviceSpan> spans = UpdateSpans(logPath);
    for (const DeviceSpan& span : spans)
      if (span.startNs >= backupStartNs && span.endNs <= backupEndNs) updatesMs += (span.endNs - span.startNs) / 1e6;
    for (int64_t move : moveNs)
      for (const DeviceSpan& span : spans)
        if (span.startNs >= move) {
          waits.push_back((span.endNs - move) / 1e6);
          break;
        }
    const double backupMs = (backupEndNs - backupStartNs) / 1e6 - updatesMs;
    backupRatio = backupMs / (kAddresses.size() * 8 * kRecallLimitMs);
    editRatio = Median(waits) / kUpdateLimitMs;
    for (int a : kAddresses)
      if (!std::filesystem::exists(dir + "backup/" + AddressFolderName(a) + "/manifest.json")) ++failures;
    std::printf("backup of 8 devices: %.0f ms besides %.0f ms of the window's updates, limit %.0f ms (64 recalls)\n",
                backupMs, updatesMs, kAddresses.size() * 8 * kRecallLimitMs);
    std::printf("%zu moves during the backup: median wait %.1f ms, worst %.1f ms, update limit %.1f ms\n",
                waits.size(), Median(waits), Max(waits), kUpdateLimitMs);
    for (const auto& box : messages.shown) {
      std::fprintf(stderr, "bus_bench: message: %s\n", box.text.c_str());
      ++failures;
    }
  }
  std::printf("bus scan ratio=%.3f backup ratio=%.3f edit_wait_ratio=%.3f failures=%d\n", scanRatio, backupRatio,
              editRatio, failures);
  if (failures == 0)
    std::filesystem::remove_all(dir);
  else
    std::fprintf(stderr, "bus_bench: logs kept in %s\n", dir.c_str());
  return failures == 0 ? 0 : 1;
}
