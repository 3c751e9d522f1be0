// The installation model fed with line outcomes as the queue tells them:
// reads, the commands and a restore's writes that change what a unit runs,
// failures with nobody answering or a device's error, snapshot verdicts
// that a window's change overtakes, and groups whose state is not known.
#include <gtest/gtest.h>

#include "link/InstallationModel.h"

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::system_clock;
const std::string kPw = pa422::kDevicePassword;

class InstallationModelTest : public ::testing::Test {
 protected:
  // A window's request (or, with `yields`, the bus's own work) ended.
  void Ended(int address, const pa422::Bytes& frame, pa422::Bytes data = {}, bool yields = false,
             const std::string& failure = {}) {
    LineRequest request;
    request.address = address;
    request.yields = yields;
    LineOutcome outcome{failure.empty(),
                        true,
                        failure,
                        std::move(data),
                        failure == "ORB Not Found.",
                        static_cast<uint8_t>(frame[0]),
                        0,
                        frame};
    model.Heard(request, outcome);
  }
  // A recall's reply: the block and its status byte.
  static pa422::Bytes Block(int preset, const std::string& presetName, bool mute, bool lock) {
    namespace at = pa422::all_data;
    pa422::Bytes block(pa422::kAllDataLength + 1, '\0');
    block.replace(at::kDeviceName - 1, 16, pa422::Name16("STAGE L"));
    block.replace(at::kPresetName - 1, 16, pa422::Name16(presetName));
    block[at::kPreset - 1] = static_cast<char>(preset);
    block[at::kMute - 1] = mute;
    block[at::kLock - 1] = lock;
    return block;
  }
  const InstalledUnit& Unit(int address) { return *model.Find(address); }

  Clock::time_point now = Clock::time_point(1000s);
  InstallationModel model{nullptr, [this] { return now; }};
};
}  // namespace

TEST_F(InstallationModelTest, ReadsCommandsAndARestoresWritesChangeWhatIsKnown) {
  model.Known(4, "STAGE LEFT");
  EXPECT_EQ(Unit(4).StateText(), "not scanned");
  Ended(4, pa422::RecallAllDataFrame(0), Block(3, "SPEECH", true, true));
  EXPECT_EQ(Unit(4).StateText(), "online");
  EXPECT_EQ(Unit(4).name, "STAGE L");
  EXPECT_EQ(Unit(4).lastSeen, now);
  // A backup's read of preset 5 is an answer, not a change of preset.
  now += 60s;
  Ended(4, pa422::RecallAllDataFrame(5), Block(5, "MUSIC", false, false), true);
  EXPECT_EQ(Unit(4).preset, 3);
  EXPECT_EQ(Unit(4).presetName, "SPEECH");
  EXPECT_EQ(Unit(4).lock, true);
  EXPECT_EQ(Unit(4).mute, false);
  EXPECT_EQ(Unit(4).lastSeen, now);

  Ended(4, pa422::BypassFrame(kPw));
  Ended(4, pa422::SetDeviceNameFrame(kPw, "foyer"));
  Ended(4, pa422::UnlockPresetFrame(6, kPw));  // not the one running
  EXPECT_EQ(Unit(4).bypass, true);
  EXPECT_EQ(Unit(4).name, "FOYER");
  EXPECT_EQ(Unit(4).lock, true);
  // A recall runs preset 7; what it holds is not known until read.
  Ended(4, pa422::ReprogramFromMemoryFrame(7));
  EXPECT_EQ(Unit(4).preset, 7);
  EXPECT_FALSE(Unit(4).presetName);
  // A restore writes preset 2 (stored and run), then the working settings.
  pa422::TransmitSettings settings;
  settings.preset = 2;
  settings.presetName = "Hall";
  Ended(4, pa422::TransmitAllDataFrame(pa422::TransmitBlock(kPw, settings)), {}, true);
  EXPECT_EQ(Unit(4).preset, 2);
  EXPECT_EQ(Unit(4).presetName, "HALL");
  EXPECT_EQ(Unit(4).lock, false);
  settings.preset = 0;
  settings.presetName = "Trial";
  Ended(4, pa422::TransmitAllDataFrame(pa422::TransmitBlock(kPw, settings)));
  EXPECT_EQ(Unit(4).preset, 2);
  EXPECT_EQ(Unit(4).presetName, "TRIAL");
}

TEST_F(InstallationModelTest, FailuresMakeUnitsAbsentOrInError) {
  std::vector<int> heard;
  model.Subscribe([&heard](int address) { heard.push_back(address); });
  // An address where nobody ever answered is no unit.
  Ended(9, pa422::MuteAllOutputsFrame(), {}, false, "ORB Not Found.");
  EXPECT_FALSE(model.Find(9));
  model.Known(5, "AMP ROOM");
  Ended(5, pa422::MuteAllOutputsFrame(), {}, false, "ORB Not Found.");
  EXPECT_EQ(Unit(5).StateText(), "absent");
  EXPECT_EQ(Unit(5).name, "AMP ROOM");
  model.Failed(5, "restore failed");  // still nobody there
  EXPECT_EQ(Unit(5).StateText(), "absent");
  EXPECT_EQ(heard, (std::vector<int>{5, 5}));
  // A device that refuses answered; a block cut short is its error too.
  Ended(6, pa422::TransmitAllDataFrame(""), {}, false, "Preset locked.");
  EXPECT_EQ(Unit(6).StateText(), "error: Preset locked.");
  EXPECT_EQ(Unit(6).lastSeen, now);
  Ended(6, pa422::RecallAllDataFrame(0), pa422::Bytes(10, '\0'));
  EXPECT_EQ(Unit(6).StateText(), "error: the device sent a block of 10 bytes");
  // A restore that did not verify although the line went well.
  Ended(6, pa422::MuteAllOutputsFrame());
  model.Failed(6, "preset 3: read back differs");
  EXPECT_EQ(Unit(6).StateText(), "error: preset 3: read back differs");
}

TEST_F(InstallationModelTest, SnapshotVerdictsGiveWayToWindowChangesAndGroupsWaitForAState) {
  model.SetSnapshot(1, "recalled", {}, InstalledUnit::SnapshotSince::Recalled);
  model.SetSnapshot(2, "captured", {}, InstalledUnit::SnapshotSince::Captured);
  // The line alone never says the unit runs something else: whoever asked
  // reads it to know.
  Ended(1, pa422::MuteAllOutputsFrame(), {}, true);
  Ended(1, pa422::UpdateParameterFrame(3, kPw, 20));
  EXPECT_EQ(Unit(1).snapshot, "recalled");
  model.ModifiedSinceSnapshot(1);
  model.ModifiedSinceSnapshot(2);
  model.ModifiedSinceSnapshot(3);  // unknown: nothing to say
  EXPECT_EQ(Unit(1).snapshot, "modified since recalled");
  EXPECT_EQ(Unit(2).snapshot, "modified since captured");
  EXPECT_EQ(model.Find(3), nullptr);

  model.SetGroups({{1, {"L+R", ""}}, {2, {"L+R", "following"}}});
  EXPECT_EQ(Unit(1).GroupText(), "L+R");
  EXPECT_EQ(Unit(2).GroupText(), "L+R: following");
  model.SetGroups({{2, {"L+R", "following"}}});
  EXPECT_EQ(Unit(1).GroupText(), "");
}
