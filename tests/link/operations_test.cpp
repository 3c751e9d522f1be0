// Device operations: validation, frames on the line, read-modify-write.
#include "tests/link/LinkFixture.h"
#include "testsupport/Hex.h"

using namespace pa422;

namespace {
class OperationsTest : public LinkFixture {
 protected:
  void SetUp() override { engine.Connect(); }
  // The block orbsim holds for a preset (70 bytes).
  Bytes DeviceBlock(int address, int preset) {
    return Unhex(sim.Ok("preset " + std::to_string(address) + " " + std::to_string(preset)).substr(3));
  }
};
}  // namespace

TEST_F(OperationsTest, ValidationComesFirstAndSendsNothing) {
  engine.LockPreset(1, 0, kDevicePassword);
  engine.UnlockPreset(1, 9, kDevicePassword);
  engine.UpdateParameter(1, kDevicePassword, 99, 31);  // both wrong: the band is reported
  engine.UpdateParameter(1, kDevicePassword, 51, 32);
  engine.UpdateParameter(1, kDevicePassword, 1, 2);
  engine.SetHighPass(1, 1, 22, kDevicePassword);
  engine.SetLowPass(1, 1, -1, kDevicePassword);
  engine.SetPresetName(1, 9, "x", kDevicePassword);
  EXPECT_EQ(messages.shown,
            (std::vector<std::string>{"Invalid Preset Number", "Invalid Preset Number",
                                      "Invalid Band in UpdateParameter",
                                      "Invalid Gain in UpdateParameter",
                                      "Invalid Gain in UpdateParameter", "Invalid Highpass Filter",
                                      "Invalid Lowpass Filter", "Invalid Preset Number"}));
  EXPECT_EQ(engine.CommState, 0);
  EXPECT_EQ(engine.PendingEdit, TPendingEdit::None);
  RunFor(100);
  EXPECT_EQ(Frames(), "");
}

TEST_F(OperationsTest, LastCommandIsSetBeforeOrAfterValidation) {
  engine.LastCommand = 0;
  engine.RecallPreset(1, 9);
  EXPECT_EQ(engine.LastCommand, REPROGRAM_DEVICE_CHANNEL_FROM_MEMORY);  // before
  engine.LastCommand = 0;
  engine.TransmitAllData(1, 9, Bytes(55, 0));
  EXPECT_EQ(engine.LastCommand, 0);  // after
  engine.RecallAllData(1, -1);
  EXPECT_EQ(engine.LastCommand, 0);
}

TEST_F(OperationsTest, EachOperationReachesTheDevice) {
  auto run = [&](const std::function<void()>& op) {
    op();
    ASSERT_TRUE(WaitIdle());
    RunFor(50);
  };
  run([&] { engine.RecallPreset(1, 0); });
  EXPECT_EQ(window.got, std::vector<std::string>{"PresetRecalled"});
  run([&] { engine.MuteAllOutputs(1); });
  run([&] { engine.BypassChannel(1, kDevicePassword); });
  run([&] { engine.SetDeviceName(1, kDevicePassword, ""); });
  run([&] { engine.LockPreset(1, 8, kDevicePassword); });
  run([&] { engine.UpdateParameter(1, kDevicePassword, 26, 32); });
  EXPECT_EQ(Frames(), "1:" + Hex(ReprogramFromMemoryFrame(0)) + " 1:" + Hex(MuteAllOutputsFrame()) +
                          " 1:" + Hex(BypassFrame("KOBU")) + " 1:" +
                          Hex(SetDeviceNameFrame("KOBU", "")) + " 1:" +
                          Hex(LockPresetFrame(8, "KOBU")) + " 1:" +
                          Hex(UpdateParameterFrame(32, "KOBU", 26)));
  EXPECT_TRUE(messages.shown.empty()) << messages.shown.front();
  Bytes block = DeviceBlock(1, 0);
  EXPECT_EQ(block[all_data::kMute - 1], 1);
  EXPECT_EQ(block[all_data::kBypass - 1], 1);
  EXPECT_EQ(block.substr(all_data::kDeviceName - 1, 16), std::string(16, ' '));
  EXPECT_NE(DeviceBlock(1, 8)[all_data::kLock - 1], 0);
}

TEST_F(OperationsTest, TransmitTracesFilterBytesOutsideOneToTwentyOne) {
  TransmitSettings s;
  s.levels.fill(26);
  s.highPass = 0;
  s.lowPass = 22;
  s.preset = 2;
  engine.TransmitAllData(1, 2, TransmitBlock(kDevicePassword, s));
  EXPECT_TRUE(trace.Has(" xERROR HP=0Command = XMITALL"));
  EXPECT_TRUE(trace.Has(" xERROR LP=22Command = XMITALL"));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Frames().substr(0, 4), "1:81");  // sent regardless
}

TEST_F(OperationsTest, SetHighPassRecallsPatchesAndTransmitsTheBlock) {
  Bytes before = DeviceBlock(1, 3);
  engine.SetHighPass(1, 3, 0, "ignored");
  ASSERT_TRUE(WaitNotifications(1));
  EXPECT_EQ(window.got, std::vector<std::string>{"UpdateDone"});
  ASSERT_TRUE(WaitIdle());
  RunFor(100);
  std::string frames = Frames();
  ASSERT_EQ(frames.substr(0, 9), "1:010103 ");
  Bytes sent = Unhex(frames.substr(11));
  ASSERT_EQ(sent.size(), 56u);
  EXPECT_EQ(sent.substr(0, 6), Bytes("\x81\x01KOBU"));
  EXPECT_EQ(sent.substr(6, 30), before.substr(0, 30));            // recalled levels
  EXPECT_EQ(sent[36], 0);                                          // the new high-pass
  EXPECT_EQ(sent[37], before[all_data::kLowPass - 1]);            // recalled low-pass
  EXPECT_EQ(sent.substr(38, 16), before.substr(all_data::kPresetName - 1, 16));
  EXPECT_EQ(sent[54], before[all_data::kReservedEcho - 1]);
  EXPECT_EQ(sent[55], 3);
  EXPECT_EQ(engine.LastCommand, RECALL_ALL_DATA);
  EXPECT_EQ(DeviceBlock(1, 3)[all_data::kHighPass - 1], 0);
  EXPECT_EQ(engine.PendingEdit, TPendingEdit::HighPass);  // kept until a plain recall
}

TEST_F(OperationsTest, SetLowPassAndPresetNameChangeOnlyTheirField) {
  engine.SetLowPass(2, 5, 7, kDevicePassword);
  ASSERT_TRUE(WaitNotifications(1));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(DeviceBlock(2, 5)[all_data::kLowPass - 1], 7);

  Bytes before = DeviceBlock(1, 3);
  engine.SetPresetName(1, 3, "abcdefghijklmnopqrst", kDevicePassword);
  ASSERT_TRUE(WaitNotifications(2));
  ASSERT_TRUE(WaitIdle());
  Bytes after = DeviceBlock(1, 3);
  EXPECT_EQ(after.substr(all_data::kPresetName - 1, 16), "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(after.substr(0, 33), before.substr(0, 33));
  EXPECT_TRUE(messages.shown.empty()) << messages.shown.front();
}

TEST_F(OperationsTest, ReadModifyWriteWritesBackWhatTheWindowShowsWithTheEdit) {
  TransmitSettings shown;
  for (int i = 0; i < 30; ++i) shown.levels[i] = uint8_t(10 + i);
  shown.highPass = 4;
  shown.lowPass = 17;
  shown.presetName = "Stage";
  engine.SetLowPass(1, 3, 9, kDevicePassword, shown);
  ASSERT_TRUE(WaitNotifications(1));
  ASSERT_TRUE(WaitIdle());
  const Bytes stored = DeviceBlock(1, 3);
  EXPECT_EQ(stored.substr(0, 30), Bytes(reinterpret_cast<const char*>(shown.levels.data()), 30));
  EXPECT_EQ(stored[all_data::kHighPass - 1], 4);
  EXPECT_EQ(stored[all_data::kLowPass - 1], 9);  // the edit wins over what was shown
  EXPECT_EQ(stored.substr(all_data::kPresetName - 1, 16), Name16("Stage"));
}

TEST_F(OperationsTest, TheRunningPresetFollowsWhatSucceededAndIsForgottenOnFailure) {
  EXPECT_FALSE(engine.RunningPreset(1));
  engine.RecallAllData(1, 0);  // the current settings name preset 1
  ASSERT_TRUE(WaitNotifications(1));
  EXPECT_EQ(engine.RunningPreset(1), 1);
  engine.RecallPreset(1, 4);
  ASSERT_TRUE(WaitNotifications(2));
  EXPECT_EQ(engine.RunningPreset(1), 4);
  engine.SetHighPass(1, 6, 2, kDevicePassword);  // stores preset 6, which then runs
  ASSERT_TRUE(WaitNotifications(3));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(engine.RunningPreset(1), 6);
  EXPECT_FALSE(engine.RunningPreset(2));
  sim.Ok("fault 1 status 3");
  engine.RecallPreset(1, 2);
  ASSERT_TRUE(WaitNotifications(4));
  EXPECT_FALSE(engine.RunningPreset(1));
}

TEST_F(OperationsTest, ReadModifyWriteRefusedWhileBusyLeavesTheRunningRecallAlone) {
  engine.PendingEdit = TPendingEdit::None;
  engine.RecallAllData(1, 0);
  engine.SetHighPass(1, 3, 5, kDevicePassword);
  EXPECT_EQ(messages.shown, std::vector<std::string>{"ERROR - Data Transfer In Progress"});
  ASSERT_TRUE(WaitNotifications(1));
  EXPECT_EQ(window.got, std::vector<std::string>{"AllDataReceived"});
  ASSERT_TRUE(WaitIdle());
  RunFor(200);
  EXPECT_EQ(Frames(), "1:010100");  // no transmit built from the plain recall's block
}

TEST_F(OperationsTest, ReadModifyWriteWhoseRecallTimesOutKeepsItsEdit) {
  engine.SetHighPass(9, 1, 5, kDevicePassword);  // no device 9
  ASSERT_TRUE(WaitNotifications(1));
  EXPECT_EQ(window.got, std::vector<std::string>{"LinkFailed"});
  EXPECT_EQ(engine.PendingEdit, TPendingEdit::HighPass);
  // The window's plain recall resets it first, and gets its block.
  engine.PendingEdit = TPendingEdit::None;
  engine.RecallAllData(1, 0);
  ASSERT_TRUE(WaitNotifications(2));
  EXPECT_EQ(window.got.back(), "AllDataReceived");
}

TEST_F(OperationsTest, GroupByteGivesEveryDeviceItsControlsBack) {
  engine.EnableManualControls();
  RunFor(200);
  EXPECT_NE(sim.Ok("device 1").find("manual=1"), std::string::npos);
  EXPECT_NE(sim.Ok("device 2").find("manual=1"), std::string::npos);
  EXPECT_EQ(engine.CommState, 0);
}
