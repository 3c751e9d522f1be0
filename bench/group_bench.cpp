// Linked windows against a paced orbsim: a group of 8 devices, each with
// its own offset on band 10, and a drag of 30 steps on one member's band:
//
//  - ratio: the time from the drag's last step to the last member holding
//    its final value, over 8 x the update's line limit (the line sends one
//    update per member once the drag stops: the latest value wins while a
//    member waits);
//  - absent_ratio: the same drag back with one member made absent: the
//    time until the other seven hold their final values, over 7 x the
//    update's line limit plus one address time-out (the absent member is
//    asked once, then marked "not following");
//  - stale: members whose device does not hold its own final value;
//  - failures: message boxes, windows or devices that did not come.
//
//   group_bench [--step-ms N]
//
// Last line: "group ratio=X absent_ratio=Y stale=S failures=F" (goals:
// ratio <= 1.15, absent_ratio <= 1.15, stale 0).
#include <stdlib.h>

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/LinkController.h"
#include "app/TApplication.h"
#include "app/VarloProgram.h"
#include "bench/BenchOptions.h"
#include "bench/ProgramBench.h"
#include "controls/ApplicationHint.h"
#include "controls/TzkTrackBar.h"
#include "eq/EqualizerDocument.h"
#include "eqwindow/TMDIChild.h"
#include "link/LineQueue.h"
#include "link/PA422Messages.h"
#include "link/TzkPA422Form.h"
#include "testsupport/Hex.h"
#include "testsupport/OrbSimProcess.h"
#include "testsupport/RecordingOperatorMessages.h"

using namespace program_bench;

namespace {
const std::vector<int> kAddresses = {1, 2, 3, 5, 8, 13, 21, 34};
const std::vector<int> kStartLevels = {0, 1, 2, 3, -1, -2, -3, 4};  // band 10, in steps
constexpr int kSlot = 10;

// When each address's last UPDATE_PARAMETER ended, from orbsim's log.
std::map<int, int64_t> LastUpdateEnds(const std::string& logPath, int64_t after) {
  std::map<int, int64_t> ends;
  for (const DeviceSpan& span : UpdateSpans(logPath))
    if (span.startNs >= after) ends[span.address] = span.endNs;
  return ends;
}

int DeviceSteps(OrbSimProcess& sim, int address) {
  const std::string block = Unhex(sim.Ok("preset " + std::to_string(address) + " 0").substr(3));
  return StepsFromDeviceGainCode(
      static_cast<uint8_t>(pa422::BlockByte(block, pa422::all_data::kFirstBand + kSlot - 1)));
}
}  // namespace

int main(int argc, char** argv) {
  int stepMs = 25;
  BenchOptions("group_bench", "usage: group_bench [--step-ms N]\n       group_bench --help | --version\n")
      .Integer("--step-ms", stepMs, 1)
      .Parse(argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const std::string dir = BenchDirectory("group-bench");
  const std::string logPath = dir + "orbsim.log";
  int qtArgc = 1;
  TApplication app(qtArgc, argv);
  ApplicationHint::Install(app);
  int failures = 0, stale = 0;
  double ratio = 0, absentRatio = 0;
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
    const auto idle = [&] { return RunUntil([&] { return engine.CommState == 0 && line.Idle(); }, 30000); };

    // The members, each with its own level on the band.
    std::vector<TMDIChild*> windows;
    for (size_t i = 0; i < kAddresses.size(); ++i) {
      frame.OpenDeviceWindow(kAddresses[i]);
      auto* window = static_cast<TMDIChild*>(frame.ActiveEqualizerWidget());
      if (!window || !idle()) {
        ++failures;
        continue;
      }
      window->SliderOfSlot(kSlot)->SetPosition(kStartLevels[i]);
      windows.push_back(window);
    }
    if (!idle() || windows.size() != kAddresses.size()) ++failures;
    frame.Links().AskJoin = [](const QString&, const QString&, const QStringList&) { return 0; };
    std::vector<EqualizerWindow*> members(windows.begin(), windows.end());
    if (!frame.Links().Link(members, LinkMode::Relative, {})) ++failures;

    // A drag of the first member's band from `from` to `to`, a step at a
    // time; when it has settled, when each member's last update ended.
    const auto drag = [&](int from, int to) {
      windows[0]->SliderOfSlot(kSlot)->SetPosition(from);
      if (!idle()) ++failures;
      RunUntil([] { return false; }, 300);
      const int64_t startNs = NowNs();
      for (int v = from; v != to;) {
        v += to > from ? 1 : -1;
        windows[0]->SliderOfSlot(kSlot)->SetPosition(v);
        RunUntil([] { return false; }, stepMs);
      }
      // The last step's time: the drag's moves are taken as they come.
      const int64_t lastNs = NowNs() - int64_t(stepMs) * 1000000;
      if (!idle()) ++failures;
      RunUntil([] { return false; }, 200);  // orbsim logs the last transaction
      return std::make_pair(lastNs, LastUpdateEnds(logPath, startNs));
    };
    const auto settledMs = [&](const std::pair<int64_t, std::map<int, int64_t>>& run, size_t members) {
      int64_t last = run.first;
      for (size_t i = 0; i < members; ++i) {
        const auto found = run.second.find(kAddresses[i]);
        if (found == run.second.end())
          ++failures;
        else
          last = std::max(last, found->second);
      }
      return (last - run.first) / 1e6;
    };
    const auto countStale = [&](int final, size_t members) {
      for (size_t i = 0; i < members; ++i)
        if (DeviceSteps(sim, kAddresses[i]) != std::clamp(final + kStartLevels[i], -24, 24)) ++stale;
    };

    if (windows.size() == kAddresses.size()) {
      const auto run = drag(-15, 15);
      const double ms = settledMs(run, kAddresses.size());
      ratio = ms / (kAddresses.size() * kUpdateLimitMs);
      countStale(15, kAddresses.size());
      std::printf("drag of 30 steps: the last of 8 members held its value %.0f ms after the last step (limit %.0f ms)\n",
                  ms, kAddresses.size() * kUpdateLimitMs);

      // The last member made absent: the others go on.
      sim.Ok("fault " + std::to_string(kAddresses.back()) + " absent");
      const auto absent = drag(15, -15);
      const double absentMs = settledMs(absent, kAddresses.size() - 1);
      const double absentLimit = (kAddresses.size() - 1) * kUpdateLimitMs + kAbsentLimitMs;
      absentRatio = absentMs / absentLimit;
      countStale(-15, kAddresses.size() - 1);
      const QString state = frame.Links().LinkText(kAddresses.back());
      if (!state.contains("not following")) ++failures;
      std::printf("with address %d absent: the last of 7 held its value %.0f ms after the last step "
                  "(limit %.0f ms); it is \"%s\"\n",
                  kAddresses.back(), absentMs, absentLimit, qPrintable(state));
    }
    for (const auto& box : messages.shown) {
      std::fprintf(stderr, "group_bench: message: %s\n", box.text.c_str());
      ++failures;
    }
  }
  std::printf("group ratio=%.3f absent_ratio=%.3f stale=%d failures=%d\n", ratio, absentRatio, stale, failures);
  if (failures == 0)
    std::filesystem::remove_all(dir);
  else
    std::fprintf(stderr, "group_bench: logs kept in %s\n", dir.c_str());
  return failures == 0 && stale == 0 ? 0 : 1;
}
