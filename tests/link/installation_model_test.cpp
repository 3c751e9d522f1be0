// The installation model fed with line outcomes as the queue tells them:
// reads (the working settings and a stored preset), the commands that
// change what a unit runs, failures with nobody answering or a device's
// error, a restore's writes, snapshot verdicts that a window's change
// overtakes, and groups whose state is not known yet.
#include <gtest/gtest.h>

#include "link/InstallationModel.h"

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::system_clock;

class InstallationModelTest : public ::testing::Test {
 protected:
  InstallationModelTest() {
    model.Subscribe([this](int address) { heard.push_back(address); });
  }

  // A window's request (or, with `yields`, the bus's own work) ended.
  void Ended(int address, const pa422::Bytes& frame, bool succeeded = true, pa422::Bytes data = {},
             bool yields = false) {
    LineRequest request;
    request.address = address;
    request.yields = yields;
    LineOutcome outcome;
    outcome.succeeded = succeeded;
    outcome.started = true;
    outcome.command = static_cast<uint8_t>(frame[0]);
    outcome.frame = frame;
    outcome.data = std::move(data);
    model.Heard(request, outcome);
  }
  void NobodyThere(int address) {
    LineRequest request;
    request.address = address;
    LineOutcome outcome;
    outcome.started = true;
    outcome.linkFailed = true;
    outcome.message = "ORB Not Found.";
    outcome.command = pa422::RECALL_ALL_DATA;
    model.Heard(request, outcome);
  }
  // A recall's reply: the block and its status byte.
  static pa422::Bytes Block(int preset, const std::string& name, const std::string& presetName,
                            bool mute, bool lock) {
    namespace at = pa422::all_data;
    pa422::Bytes block(pa422::kAllDataLength + 1, '\0');
    block.replace(at::kDeviceName - 1, 16, pa422::Name16(name));
    block.replace(at::kPresetName - 1, 16, pa422::Name16(presetName));
    block[at::kPreset - 1] = static_cast<char>(preset);
    block[at::kMute - 1] = mute;
    block[at::kLock - 1] = lock;
    return block;
  }
  const InstalledUnit& Unit(int address) {
    const InstalledUnit* unit = model.Find(address);
    EXPECT_TRUE(unit);
    static const InstalledUnit none;
    return unit ? *unit : none;
  }

  Clock::time_point now = Clock::time_point(1000s);
  InstallationModel model{nullptr, [this] { return now; }};
  std::vector<int> heard;
};
}  // namespace

TEST_F(InstallationModelTest, ReadsTellWhatRunsAndAStoredPresetLeavesTheRunningOne) {
  model.Known(4, "STAGE LEFT");
  EXPECT_EQ(Unit(4).StateText(), "not scanned");
  Ended(4, pa422::RecallAllDataFrame(0), true, Block(3, "STAGE L", "SPEECH", true, true));
  EXPECT_EQ(Unit(4).StateText(), "online");
  EXPECT_EQ(Unit(4).name, "STAGE L");
  EXPECT_EQ(Unit(4).preset, 3);
  EXPECT_EQ(Unit(4).presetName, "SPEECH");
  EXPECT_EQ(Unit(4).mute, true);
  EXPECT_EQ(Unit(4).lock, true);
  EXPECT_EQ(Unit(4).lastSeen, now);
  // A backup's read of preset 5 is an answer, not a change of preset.
  now += 60s;
  Ended(4, pa422::RecallAllDataFrame(5), true, Block(5, "STAGE L", "MUSIC", false, false), true);
  EXPECT_EQ(Unit(4).preset, 3);
  EXPECT_EQ(Unit(4).presetName, "SPEECH");
  EXPECT_EQ(Unit(4).lock, true);
  EXPECT_EQ(Unit(4).mute, false);
  EXPECT_EQ(Unit(4).lastSeen, now);
  // A block cut short is the device's error.
  Ended(4, pa422::RecallAllDataFrame(0), true, pa422::Bytes(10, '\0'));
  EXPECT_EQ(Unit(4).StateText(), "error: the device sent a block of 10 bytes");
  EXPECT_EQ(heard, (std::vector<int>{4, 4, 4, 4}));
}

TEST_F(InstallationModelTest, CommandsAndARestoresWritesChangeWhatIsKnown) {
  const std::string pw = pa422::kDevicePassword;
  Ended(2, pa422::RecallAllDataFrame(0), true, Block(1, "ORB 2", "PRESET 1", false, false));
  Ended(2, pa422::MuteAllOutputsFrame());
  Ended(2, pa422::BypassFrame(pw));
  Ended(2, pa422::SetDeviceNameFrame(pw, "foyer"));
  Ended(2, pa422::LockPresetFrame(1, pw));
  EXPECT_EQ(Unit(2).mute, true);
  EXPECT_EQ(Unit(2).bypass, true);
  EXPECT_EQ(Unit(2).name, "FOYER");
  EXPECT_EQ(Unit(2).lock, true);
  // Locking another preset leaves the running one's lock.
  Ended(2, pa422::UnlockPresetFrame(6, pw));
  EXPECT_EQ(Unit(2).lock, true);
  // A recall runs preset 7; what it holds is not known until read.
  Ended(2, pa422::ReprogramFromMemoryFrame(7));
  EXPECT_EQ(Unit(2).preset, 7);
  EXPECT_FALSE(Unit(2).presetName);
  EXPECT_FALSE(Unit(2).lock);
  // A restore writes preset 4 (stored and run), then the working settings.
  pa422::TransmitSettings settings;
  settings.preset = 4;
  settings.presetName = "Hall";
  Ended(2, pa422::TransmitAllDataFrame(pa422::TransmitBlock(pw, settings)), true, {}, true);
  EXPECT_EQ(Unit(2).preset, 4);
  EXPECT_EQ(Unit(2).presetName, "HALL");
  EXPECT_EQ(Unit(2).lock, false);
  settings.preset = 0;
  settings.presetName = "Trial";
  Ended(2, pa422::TransmitAllDataFrame(pa422::TransmitBlock(pw, settings)));
  EXPECT_EQ(Unit(2).preset, 4);
  EXPECT_EQ(Unit(2).presetName, "TRIAL");
  EXPECT_EQ(Unit(2).StateText(), "online");
}

TEST_F(InstallationModelTest, FailuresMakeUnitsAbsentOrInError) {
  // An address where nobody ever answered is no unit.
  NobodyThere(9);
  EXPECT_FALSE(model.Find(9));
  EXPECT_TRUE(heard.empty());
  model.Known(5, "AMP ROOM");
  now += 5s;
  NobodyThere(5);
  EXPECT_EQ(Unit(5).StateText(), "absent");
  EXPECT_EQ(Unit(5).name, "AMP ROOM");
  EXPECT_EQ(Unit(5).lastSeen, Clock::time_point{});
  // A restore that failed there keeps it absent.
  model.Failed(5, "preset 2: write");
  EXPECT_EQ(Unit(5).StateText(), "absent");
  // A device that refuses answered: an error, and seen.
  LineRequest request;
  request.address = 6;
  LineOutcome refused;
  refused.started = true;
  refused.message = "Preset locked.";
  refused.command = pa422::TRANSMIT_ALL_DATA;
  model.Heard(request, refused);
  EXPECT_EQ(Unit(6).StateText(), "error: Preset locked.");
  EXPECT_EQ(Unit(6).lastSeen, now);
  // Refused before the line (a closed port): nothing known changes.
  Ended(6, pa422::MuteAllOutputsFrame());
  ASSERT_EQ(Unit(6).state, InstalledUnit::State::Online);
  LineOutcome closed;
  closed.command = pa422::UNMUTE_ALL_OUTPUTS;
  model.Heard(request, closed);
  EXPECT_EQ(Unit(6).mute, true);
  // A restore that did not verify although the line went well.
  model.Failed(6, "preset 3: read back differs");
  EXPECT_EQ(Unit(6).StateText(), "error: preset 3: read back differs");
}

TEST_F(InstallationModelTest, SnapshotVerdictsGiveWayToWindowChangesAndGroupsWaitForAState) {
  Ended(1, pa422::RecallAllDataFrame(0), true, Block(1, "A", "P", false, false));
  model.SetSnapshot(1, "recalled", {}, InstalledUnit::SnapshotSince::Recalled);
  model.SetSnapshot(2, "captured", {}, InstalledUnit::SnapshotSince::Captured);
  // The bus's own reads and writes change no verdict, a window's read neither.
  Ended(1, pa422::MuteAllOutputsFrame(), true, {}, true);
  Ended(1, pa422::RecallAllDataFrame(0), true, Block(1, "A", "P", false, false));
  EXPECT_EQ(Unit(1).snapshot, "recalled");
  Ended(1, pa422::UpdateParameterFrame(3, pa422::kDevicePassword, 20));
  Ended(2, pa422::UnmuteAllOutputsFrame());
  EXPECT_EQ(Unit(1).snapshot, "modified since recalled");
  EXPECT_EQ(Unit(2).snapshot, "modified since captured");

  model.SetGroups({{1, {"L+R", ""}}, {2, {"L+R", "following"}}});
  EXPECT_EQ(Unit(1).GroupText(), "L+R");
  EXPECT_EQ(Unit(2).GroupText(), "L+R: following");
  heard.clear();
  model.SetGroups({{2, {"L+R", "following"}}});
  EXPECT_EQ(Unit(1).GroupText(), "");
  EXPECT_EQ(heard, std::vector<int>{1});
}
