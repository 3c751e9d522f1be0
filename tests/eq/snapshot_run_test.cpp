// Snapshots of the bus through the line queue against orbsim: a capture
// that records absent devices and errors and gives the manual controls
// back, a compare that names what changed, a locked preset and a device
// not captured, a recall that brings it all back while Mute stays as it
// is, a stop that finishes the device in hand, and folders that are
// refused whole.
#include <fstream>

#include "eq/DeviceBlock.h"
#include "eq/EqualizerDocument.h"
#include "eq/ResponseChart.h"
#include "eq/SnapshotCapture.h"
#include "eq/SnapshotCompare.h"
#include "eq/SnapshotFolder.h"
#include "eq/SnapshotRecall.h"
#include "tests/link/LinkFixture.h"
#include "testsupport/TempDir.h"

namespace {
using Lines = std::vector<std::string>;

class SnapshotRunTest : public LinkFixture {
 protected:
  SnapshotRunTest() : LinkFixture({"--devices", "1,2,3"}) {}
  void SetUp() override { engine.Connect(); }

  void RunToEnd(SnapshotRun& run) {
    bool finished = false;
    run.OnFinished = [&](bool) { finished = true; };
    EXPECT_TRUE(RunUntil([&] { return finished; }, 60000));
  }
  // Devices 1 and 2 captured with their stored presets into "snap".
  LoadedSnapshot CaptureTwo() {
    SnapshotCapture capture(queue);
    capture.Start({{1, 2}, true, "test line"});
    RunToEnd(capture);
    Snapshot s = capture.Result();
    WriteSnapshotFolder(folder, s, capture.Presets());
    return LoadSnapshotFolder(folder);
  }
  std::vector<SnapshotVerdict> Compare(LoadedSnapshot loaded, SnapshotCompare::Options options) {
    SnapshotCompare compare(queue);
    compare.Start(std::move(loaded), std::move(options));
    RunToEnd(compare);
    return compare.Verdicts();
  }
  void Send(const std::function<void()>& start) {
    start();
    ASSERT_TRUE(WaitIdle());
  }

  LineQueue queue{engine};
  TempDir dir;
  const std::string folder = dir / "snap";
};
}  // namespace

TEST_F(SnapshotRunTest, CaptureRecordsAbsentAndFailingDevicesAndGivesTheControlsBack) {
  sim.Ok("fault 3 status 5");
  SnapshotCapture capture(queue);
  Lines errors;
  capture.OnDevice = [&](const SnapshotDevice&, const std::string& error) { errors.push_back(error); };
  capture.Start({{1, 3, 4}, false, "test line"});
  RunToEnd(capture);
  const Snapshot& s = capture.Result();
  ASSERT_EQ(s.devices.size(), 3u);
  EXPECT_EQ(s.devices[0].state, SnapshotDevice::State::Present);
  EXPECT_EQ(s.devices[0].deviceName, "ORB 1");
  EXPECT_EQ(s.devices[1].state, SnapshotDevice::State::Error);
  EXPECT_EQ(s.devices[2].state, SnapshotDevice::State::Absent);
  EXPECT_EQ(errors[0], "");
  EXPECT_NE(errors[1], "");
  EXPECT_TRUE(capture.AnyError());
  EXPECT_TRUE(capture.Presets().empty());  // working settings only
  EXPECT_TRUE(RunUntil([&] { return sim.Ok("device 1").find("manual=1") != std::string::npos; }, 2000));
}

TEST_F(SnapshotRunTest, CompareNamesChangesLockedPresetsAndDevicesNotCaptured) {
  LoadedSnapshot loaded = CaptureTwo();
  ASSERT_EQ(loaded.sets.size(), 2u);
  // Band 8 up 3 dB and Mute on in the working settings; preset 3 of
  // device 2 gets a high-pass filter and is locked.
  Send([&] { engine.UpdateParameter(1, pa422::kDevicePassword, DeviceGainCode(6), 9); });
  Send([&] { engine.MuteAllOutputs(1); });
  TEqualizerDocument changed;
  changed.HighPassIndex = 5;
  changed.PresetName = "PRESET 3";
  Send([&] { engine.TransmitAllData(2, 3, CopyVarloDataToORB(changed, 3)); });
  Send([&] { engine.LockPreset(2, 3, pa422::kDevicePassword); });

  const auto verdicts = Compare(loaded, {{1, 2, 3}, true});
  ASSERT_EQ(verdicts.size(), 3u);
  EXPECT_EQ(verdicts[0].verdict, "differs");
  EXPECT_EQ(verdicts[0].differences,
            (Lines{"mute off \u2192 on", "band 8 (" + SlotLabel(8) + ") 0.0 dB \u2192 +3.0 dB"}));
  EXPECT_EQ(verdicts[1].verdict, "locked");
  EXPECT_EQ(verdicts[2].verdict, "extra");
  // Without the stored presets nothing is "locked": device 2 runs preset 3
  // now, which differs.
  EXPECT_EQ(Compare(loaded, {{2}, false})[0].verdict, "differs");
}

TEST_F(SnapshotRunTest, RecallBringsEverythingBackButLeavesMuteAlone) {
  LoadedSnapshot loaded = CaptureTwo();
  Send([&] { engine.UpdateParameter(2, pa422::kDevicePassword, DeviceGainCode(-8), 32); });
  Send([&] { engine.MuteAllOutputs(2); });
  TEqualizerDocument changed;
  changed.LowPassIndex = 3;
  changed.PresetName = "VISITOR";
  Send([&] { engine.TransmitAllData(2, 5, CopyVarloDataToORB(changed, 5)); });
  Send([&] { engine.LockPreset(2, 5, pa422::kDevicePassword); });

  SnapshotRecall recall(queue);
  Lines steps;
  recall.OnStep = [&](int address, const std::string& step) { steps.push_back(std::to_string(address) + " " + step); };
  recall.Start(loaded, {{2}, true, false, false});
  RunToEnd(recall);
  ASSERT_EQ(recall.Verdicts().size(), 1u);
  EXPECT_EQ(recall.Verdicts()[0].verdict, "match") << recall.Verdicts()[0].differences.at(0);
  EXPECT_EQ(steps, (Lines{"2 writing the stored presets", "2 recalling preset 1", "2 sending the working settings",
                          "2 reading back"}));
  // Mute stays on: the only difference left.
  const auto after = Compare(loaded, {{2}, true});
  EXPECT_EQ(after[0].differences, Lines{"mute off \u2192 on"});
  EXPECT_NE(sim.Ok("device 2").find("mute=1"), std::string::npos);

  // Asked to, the recall sets Mute as captured too.
  recall.Start(loaded, {{2}, false, true, false});
  RunToEnd(recall);
  EXPECT_EQ(Compare(loaded, {{2}, true})[0].verdict, "match");
}

TEST_F(SnapshotRunTest, AStopFinishesTheDeviceInHand) {
  LoadedSnapshot loaded = CaptureTwo();
  SnapshotRecall recall(queue);
  recall.OnStep = [&](int, const std::string&) { recall.Stop(); };
  bool stopped = false;
  recall.Start(loaded, {{}, false, false, false});
  recall.OnFinished = [&](bool s) { stopped = s; };
  ASSERT_TRUE(RunUntil([&] { return !recall.Running(); }, 30000));
  EXPECT_TRUE(stopped);
  ASSERT_EQ(recall.Verdicts().size(), 1u);
  EXPECT_EQ(recall.Verdicts()[0].address, 1);
  EXPECT_EQ(recall.Verdicts()[0].verdict, "match");
}

TEST_F(SnapshotRunTest, FoldersAreReadWholeAndReplacedOnlyWhenTheyHoldASnapshot) {
  LoadedSnapshot loaded = CaptureTwo();
  EXPECT_EQ(loaded.snapshot.Find(1)->presets, "addr-001");
  // An edited preset file fails its CRC; a half-written folder has no
  // snapshot file. Either is refused before anything is sent.
  {
    std::fstream file(folder + "/addr-002/preset-4.V95", std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(10);
    file.put('\x01');
  }
  EXPECT_THROW(LoadSnapshotFolder(folder), std::runtime_error);
  std::filesystem::remove(folder + "/snapshot.json");
  EXPECT_THROW(LoadSnapshotFolder(folder), std::runtime_error);
  // A folder that is no snapshot is not replaced; an earlier snapshot is.
  EXPECT_THROW(CheckSnapshotFolder(folder), std::runtime_error);
  std::ofstream(dir / "other.txt") << "mine";
  EXPECT_THROW(CheckSnapshotFolder(dir.Path()), std::runtime_error);
  std::filesystem::remove_all(folder);
  CaptureTwo();
  EXPECT_NO_THROW(CaptureTwo());
}

TEST_F(SnapshotRunTest, NamesAreSafeUnlessAskedAndAbsentDevicesAreTold) {
  SnapshotCapture capture(queue);
  capture.Start({{1, 2, 4}, false, "test line"});
  RunToEnd(capture);
  Snapshot s = capture.Result();
  WriteSnapshotFolder(folder, s, capture.Presets());
  const LoadedSnapshot loaded = LoadSnapshotFolder(folder);
  EXPECT_EQ(SnapshotScope(loaded.snapshot, {}), (std::vector<int>{1, 2}));

  Send([&] { engine.SetDeviceName(1, pa422::kDevicePassword, "VISITOR"); });
  sim.Ok("fault 2 absent");
  auto verdicts = Compare(loaded, {{1, 2, 4}, false});
  ASSERT_EQ(verdicts.size(), 3u);
  EXPECT_EQ(verdicts[0].differences, Lines{"device name \"ORB 1\" \u2192 \"VISITOR\""});
  EXPECT_EQ(verdicts[1].verdict, "absent");
  EXPECT_EQ(verdicts[2].verdict, "match");  // absent then, absent now

  // The question names the captured name only where it is sent.
  EXPECT_EQ(SnapshotRecall::Plan(loaded, {{1}, false, false, false})[0].find("ORB 1"),
            std::string::npos);
  EXPECT_NE(
      SnapshotRecall::Plan(loaded, {{1}, false, false, true})[0].find("device name \"ORB 1\""),
      std::string::npos);

  // Without the names the device keeps its new one; asked, it gets its own
  // back. An address that did not answer at the capture gets nothing.
  SnapshotRecall recall(queue);
  recall.Start(loaded, {{1}, false, false, false});
  RunToEnd(recall);
  EXPECT_EQ(recall.Verdicts()[0].verdict, "match");
  EXPECT_EQ(Compare(loaded, {{1}, false})[0].verdict, "differs");
  recall.Start(loaded, {{1, 4}, false, false, true});
  RunToEnd(recall);
  ASSERT_EQ(recall.Verdicts().size(), 2u);
  EXPECT_EQ(recall.Verdicts()[0].verdict, "match");
  EXPECT_EQ(recall.Verdicts()[1].verdict, "failed");
  EXPECT_EQ(recall.Verdicts()[1].differences,
            Lines{"it did not answer when the snapshot was taken; nothing was sent"});
  EXPECT_EQ(Compare(loaded, {{1}, false})[0].verdict, "match");
}
