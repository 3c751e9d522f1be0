// The simulated devices in-process: what each command does to a device's
// memory, the status it answers with, the all-data block, reply faults,
// the state file's text and the bounded records kept for the control
// channel.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "link/PA422Messages.h"
#include "sim/ControlCommands.h"
#include "sim/DeviceBus.h"
#include "sim/DeviceFaults.h"
#include "sim/Hex.h"
#include "sim/MonotonicClock.h"
#include "sim/Observed.h"
#include "sim/OrbDevice.h"
#include "sim/OrbSimOptions.h"
#include "sim/SimLine.h"
#include "sim/StateFile.h"
#include "sim/TimerQueue.h"

using namespace pa422;

namespace {
const std::string kPw = kDevicePassword;

std::string HexOf(const std::string& bytes) {
  return ToHex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

uint8_t Pos(const std::string& block, int position) { return static_cast<uint8_t>(block[position - 1]); }

TransmitSettings Curve(uint8_t firstLevel, uint8_t preset) {
  TransmitSettings s;
  for (int i = 0; i < 30; ++i) s.levels[i] = static_cast<uint8_t>(firstLevel + i % 20);
  s.highPass = 3;
  s.lowPass = 17;
  s.presetName = "Vocal";
  s.preset = preset;
  return s;
}
}  // namespace

TEST(OrbDevice, DefaultAllDataBlockHasEveryFieldInPlace) {
  OrbDevice d(7, DeviceMemory::Defaults(7));
  for (int preset : {0, 4}) {
    std::string block = d.Execute(RecallAllDataFrame(static_cast<uint8_t>(preset))).data;
    ASSERT_EQ(block.size(), 70u);
    for (int band = 1; band <= 30; ++band) EXPECT_EQ(Pos(block, band), kFlatLevel);
    EXPECT_EQ(Pos(block, all_data::kHighPass), 0);
    EXPECT_EQ(Pos(block, all_data::kLowPass), 21);
    EXPECT_EQ(block.substr(all_data::kPresetName - 1, 16), Name16(preset == 0 ? "PRESET 1" : "PRESET 4"));
    EXPECT_EQ(Pos(block, all_data::kPreset), preset == 0 ? 1 : 4);
    EXPECT_EQ(block.substr(all_data::kDeviceName - 1, 16), Name16("ORB 7"));
    EXPECT_EQ(Pos(block, all_data::kMute), 0);
    EXPECT_EQ(Pos(block, all_data::kBypass), 0);
  }
}

TEST(OrbDevice, SettingsCommandsChangeWorkingAndStoredPresets) {
  OrbDevice d(1, DeviceMemory::Defaults(1));
  // A transmit to preset 3 stores it and makes it current.
  DeviceReply r = d.Execute(TransmitAllDataFrame(TransmitBlock(kPw, Curve(10, 3))));
  EXPECT_EQ(r.status, kStatusOk);
  EXPECT_TRUE(r.memoryChanged);
  std::string stored = AllDataBlock(d.Memory(), 3);
  EXPECT_EQ(Pos(stored, 1), 10);
  EXPECT_EQ(Pos(stored, all_data::kGain), 10 + 29 % 20);
  EXPECT_EQ(Pos(stored, all_data::kHighPass), 3);
  EXPECT_EQ(Pos(stored, all_data::kLowPass), 17);
  EXPECT_EQ(stored.substr(all_data::kPresetName - 1, 16), Name16("VOCAL"));
  EXPECT_EQ(AllDataBlock(d.Memory(), 0), stored);  // working = preset 3, current 3

  // Parameter updates touch the working settings only.
  EXPECT_EQ(d.Execute(UpdateParameterFrame(2, kPw, 40)).status, kStatusOk);    // band 1
  EXPECT_EQ(d.Execute(UpdateParameterFrame(30, kPw, 2)).status, kStatusOk);    // band 29
  EXPECT_EQ(d.Execute(UpdateParameterFrame(kGainParameter, kPw, 50)).status, kStatusOk);
  std::string working = AllDataBlock(d.Memory(), 0);
  EXPECT_EQ(Pos(working, 1), 40);
  EXPECT_EQ(Pos(working, 29), 2);
  EXPECT_EQ(Pos(working, all_data::kGain), 50);
  EXPECT_EQ(AllDataBlock(d.Memory(), 3), stored);

  // Reprogramming loads a stored preset; 0 reloads the current one.
  EXPECT_EQ(d.Execute(ReprogramFromMemoryFrame(0)).status, kStatusOk);
  EXPECT_EQ(AllDataBlock(d.Memory(), 0), stored);
  EXPECT_EQ(d.Execute(ReprogramFromMemoryFrame(8)).status, kStatusOk);
  EXPECT_EQ(Pos(AllDataBlock(d.Memory(), 0), all_data::kPreset), 8);
  EXPECT_EQ(AllDataBlock(d.Memory(), 0).substr(all_data::kPresetName - 1, 16), Name16("PRESET 8"));

  // A transmit for preset 0 changes the working settings and nothing stored.
  const DeviceMemory before = d.Memory();
  EXPECT_EQ(d.Execute(TransmitAllDataFrame(TransmitBlock(kPw, Curve(20, 0)))).status, kStatusOk);
  EXPECT_EQ(Pos(AllDataBlock(d.Memory(), 0), 1), 20);
  for (int p = 1; p <= 8; ++p) EXPECT_EQ(d.Memory().presets[p], before.presets[p]);
}

TEST(OrbDevice, ADeviceThatStoresMovesKeepsThemInItsCurrentPresetUnlessLocked) {
  OrbDevice d(1, DeviceMemory::Defaults(1), /*storeMoves=*/true);
  EXPECT_EQ(d.Execute(ReprogramFromMemoryFrame(2)).status, kStatusOk);
  EXPECT_EQ(d.Execute(UpdateParameterFrame(2, kPw, 40)).status, kStatusOk);
  EXPECT_EQ(Pos(AllDataBlock(d.Memory(), 2), 1), 40);
  EXPECT_EQ(d.Execute(TransmitAllDataFrame(TransmitBlock(kPw, Curve(20, 0)))).status, kStatusOk);
  EXPECT_EQ(AllDataBlock(d.Memory(), 2).substr(0, 32), AllDataBlock(d.Memory(), 0).substr(0, 32));
  EXPECT_EQ(d.Memory().presets[1], DeviceMemory::Defaults(1).presets[1]);

  // A locked preset keeps what it holds; the working settings still move.
  const PresetMemory locked = d.Memory().presets[2];
  d.Execute(LockPresetFrame(2, kPw));
  EXPECT_EQ(d.Execute(UpdateParameterFrame(3, kPw, 44)).status, kStatusOk);
  EXPECT_EQ(Pos(AllDataBlock(d.Memory(), 0), 2), 44);
  EXPECT_EQ(d.Memory().presets[2].levels, locked.levels);

  std::string error;
  auto options = ParseOrbSimOptions({"--store-moves"}, error);
  ASSERT_TRUE(options);
  EXPECT_TRUE(options->bus.storeMoves);
}

TEST(OrbDevice, FlagsNameAndLocks) {
  OrbDevice d(1, DeviceMemory::Defaults(1));
  EXPECT_TRUE(d.Manual());
  d.Execute(MuteAllOutputsFrame());
  d.Execute(BypassFrame(kPw));
  d.Execute(SetDeviceNameFrame(kPw, "Hall left"));
  EXPECT_FALSE(d.Manual());  // a command takes the front panel away
  std::string block = AllDataBlock(d.Memory(), 0);
  EXPECT_EQ(Pos(block, all_data::kMute), 1);
  EXPECT_EQ(Pos(block, all_data::kBypass), 1);
  EXPECT_EQ(block.substr(all_data::kDeviceName - 1, 16), Name16("HALL LEFT"));
  d.Execute(UnmuteAllOutputsFrame());
  d.Execute(UnbypassFrame(kPw));
  block = AllDataBlock(d.Memory(), 0);
  EXPECT_EQ(Pos(block, all_data::kMute) | Pos(block, all_data::kBypass), 0);

  EXPECT_EQ(d.Execute(LockPresetFrame(1, kPw)).status, kStatusOk);
  EXPECT_EQ(Pos(AllDataBlock(d.Memory(), 1), all_data::kLock), 1);
  EXPECT_EQ(Pos(AllDataBlock(d.Memory(), 0), all_data::kLock), 1);  // current preset 1
  EXPECT_EQ(Pos(AllDataBlock(d.Memory(), 2), all_data::kLock), 0);
  DeviceReply refused = d.Execute(TransmitAllDataFrame(TransmitBlock(kPw, Curve(10, 1))));
  EXPECT_EQ(refused.status, kStatusPresetLocked);
  EXPECT_FALSE(refused.memoryChanged);
  EXPECT_EQ(d.Execute(UnlockPresetFrame(1, kPw)).status, kStatusOk);
  EXPECT_EQ(d.Execute(TransmitAllDataFrame(TransmitBlock(kPw, Curve(10, 1)))).status, kStatusOk);
}

TEST(OrbDevice, RefusalsAnswerTheirStatusAndChangeNothing) {
  OrbDevice d(1, DeviceMemory::Defaults(1));
  const DeviceMemory before = d.Memory();
  TransmitSettings highFilter = Curve(10, 2);
  highFilter.highPass = 22;
  TransmitSettings lowLevel = Curve(10, 2);
  lowLevel.levels[29] = 1;
  std::string wrongChannel = RecallAllDataFrame(1);
  wrongChannel[1] = 2;
  std::string bypassNonZero = BypassFrame(kPw);
  bypassNonZero[2] = 1;
  const std::pair<std::string, uint8_t> cases[] = {
      {BypassFrame("KOBO"), kStatusWrongPassword},
      {SetDeviceNameFrame("kobu", "X"), kStatusWrongPassword},
      {UpdateParameterFrame(5, std::string(4, '\0'), 30), kStatusWrongPassword},
      {TransmitAllDataFrame(TransmitBlock("KOBV", Curve(10, 2))), kStatusWrongPassword},
      {UpdateParameterFrame(5, kPw, 1), kStatusOutOfRange},
      {UpdateParameterFrame(5, kPw, 0), kStatusOutOfRange},
      {UpdateParameterFrame(5, kPw, 51), kStatusOutOfRange},
      {UpdateParameterFrame(1, kPw, 26), kStatusOutOfRange},
      {UpdateParameterFrame(31, kPw, 26), kStatusOutOfRange},
      {UpdateParameterFrame(33, kPw, 26), kStatusOutOfRange},
      {RecallAllDataFrame(9), kStatusOutOfRange},
      {wrongChannel, kStatusOutOfRange},
      {bypassNonZero, kStatusOutOfRange},
      {ReprogramFromMemoryFrame(9), kStatusOutOfRange},
      {LockPresetFrame(0, kPw), kStatusOutOfRange},
      {UnlockPresetFrame(9, kPw), kStatusOutOfRange},
      {TransmitAllDataFrame(TransmitBlock(kPw, highFilter)), kStatusOutOfRange},
      {TransmitAllDataFrame(TransmitBlock(kPw, lowLevel)), kStatusOutOfRange},
      {TransmitAllDataFrame(TransmitBlock(kPw, Curve(10, 9))), kStatusOutOfRange},
      {std::string(1, '\x42'), kStatusUnknownCommand},
      {std::string(1, '\xFD'), kStatusUnknownCommand},
  };
  for (const auto& [frame, status] : cases) {
    DeviceReply r = d.Execute(frame);
    EXPECT_EQ(r.status, status) << HexOf(frame);
    EXPECT_FALSE(r.memoryChanged);
    EXPECT_EQ(r.data.size(), static_cast<size_t>(ReplyDataLength(static_cast<uint8_t>(frame[0]))));
  }
  EXPECT_EQ(d.Memory(), before);
  // A refused recall still fills its 70 bytes, so the host reads a whole reply.
  EXPECT_EQ(d.Execute(RecallAllDataFrame(9)).data, std::string(70, '\0'));
}

TEST(DeviceFaults, ShapeRepliesAndParseWords) {
  DeviceFaults f;
  const std::string data(70, 'd');
  EXPECT_EQ(f.Shape(RECALL_ALL_DATA, data, 0), data + '\0');
  EXPECT_EQ(f.Shape(MUTE_ALL_OUTPUTS, "", 0), std::string(1, '\0'));
  EXPECT_FALSE(ApplyFaultWords(f, {"status", "0x7"}));
  EXPECT_EQ(f.Shape(RECALL_ALL_DATA, data, 0), data + "\x07");
  EXPECT_EQ(f.Shape(MUTE_ALL_OUTPUTS, "", 3), "\x07");
  EXPECT_FALSE(ApplyFaultWords(f, {"long-reply"}));  // replaces the status fault
  EXPECT_EQ(f.Shape(RECALL_ALL_DATA, data, 0), data + std::string(2, '\0'));
  EXPECT_EQ(f.Shape(MUTE_ALL_OUTPUTS, "", 0), std::string(1, '\0'));  // no data: no extra byte
  EXPECT_FALSE(ApplyFaultWords(f, {"short-reply"}));
  EXPECT_EQ(f.Shape(RECALL_ALL_DATA, data, 0), data);
  EXPECT_FALSE(ApplyFaultWords(f, {"dtid", "1", "255"}));
  EXPECT_EQ(f.Describe(), "dtid=01ff");
  for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{
           {}, {"bogus"}, {"dtid", "1"}, {"dtid", "1", "256"}, {"status"}, {"status", "-1"},
           {"status", "x"}, {"absent", "now"}, {"clear", "all"}})
    EXPECT_TRUE(ApplyFaultWords(f, bad)) << (bad.empty() ? "" : bad[0]);
  EXPECT_EQ(f.Describe(), "dtid=01ff");  // a refused fault changes nothing
  EXPECT_FALSE(ApplyFaultWords(f, {"clear"}));
  EXPECT_FALSE(f.Any());
}

TEST(StateFile, TextRoundTripAndDamageIsRefused) {
  DeviceMemories memories{{1, DeviceMemory::Defaults(1)}, {240, DeviceMemory::Defaults(240)}};
  OrbDevice d(240, memories[240]);
  d.Execute(TransmitAllDataFrame(TransmitBlock(kPw, Curve(2, 6))));
  d.Execute(LockPresetFrame(6, kPw));
  d.Execute(MuteAllOutputsFrame());
  d.Execute(SetDeviceNameFrame(kPw, "~@!#$%&'()-`"));
  memories[240] = d.Memory();
  const std::string text = StateText(memories);
  DeviceMemories back;
  std::string why;
  ASSERT_TRUE(ParseStateText(text, back, why)) << why;
  EXPECT_EQ(back, memories);

  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string t = text;
    t.replace(t.find(from), from.size(), to);
    return t;
  };
  const std::string damaged[] = {
      "",
      text.substr(0, text.size() / 2),               // cut short
      text.substr(0, text.size() - 4),               // lost its end line
      text + "device 9 current=1\n",                 // text after the end
      replaced("orbsim-state 1", "orbsim-state 2"),  // unknown version
      replaced("hp=3", "hp=22"),                     // filter index out of range
      replaced("current=6", "current=9"),
      replaced("levels=02", "levels=01"),            // level below the range
      replaced("lock=1", "lock=2"),
      replaced("preset 240 8 ", "preset 240 7 "),    // a preset twice, one missing
      replaced("preset 1 0 ", "preset 2 0 "),        // a preset without its device
      replaced(" mute=1", " mute=1 extra=1"),
  };
  for (const auto& t : damaged) {
    EXPECT_FALSE(ParseStateText(t, back, why)) << t.substr(0, 60);
    EXPECT_TRUE(back.empty());
  }
}

TEST(StateFile, SaveReplacesTheFileWholeAndLeavesNothingBehind) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("orbsim-state-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string path = (dir / "devices.state").string();
  DeviceMemories memories{{3, DeviceMemory::Defaults(3)}}, back;
  std::string error, why;
  EXPECT_EQ(LoadStateFile(path, back, why), StateLoad::Missing);
  ASSERT_TRUE(SaveStateFile(path, memories, error)) << error;
  struct stat first {};
  stat(path.c_str(), &first);
  memories[3].mute = true;
  ASSERT_TRUE(SaveStateFile(path, memories, error)) << error;
  struct stat second {};
  stat(path.c_str(), &second);
  EXPECT_NE(first.st_ino, second.st_ino);  // a new file renamed over, not rewritten in place
  EXPECT_EQ(LoadStateFile(path, back, why), StateLoad::Loaded);
  EXPECT_EQ(back, memories);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

  std::ofstream(path, std::ios::trunc) << "orbsim-state 1\ndevice 3 cur";
  EXPECT_EQ(LoadStateFile(path, back, why), StateLoad::Corrupt);
  EXPECT_FALSE(SaveStateFile((dir / "missing" / "x.state").string(), memories, error));
  EXPECT_NE(error.find("missing"), std::string::npos);
  fs::remove_all(dir);
}

TEST(OrbSimOptions, DeviceListsAndValues) {
  EXPECT_EQ(ParseDeviceList("1,2,5"), (std::vector<uint8_t>{1, 2, 5}));
  EXPECT_EQ(ParseDeviceList("240"), (std::vector<uint8_t>{240}));
  EXPECT_EQ(ParseDeviceList("none"), std::vector<uint8_t>{});
  for (const char* bad : {"", "0", "241", "1,1", "1,", ",1", "1;2", "x", "-1", "1,,2"})
    EXPECT_FALSE(ParseDeviceList(bad)) << bad;
  std::string error;
  auto o = ParseOrbSimOptions({"--devices", "4", "--latency-ms", "15.5", "--no-pacing", "--state", "s",
                               "--log", "l"},
                              error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->bus.addresses, std::vector<uint8_t>{4});
  EXPECT_EQ(o->bus.latencyNs, 15'500'000);
  EXPECT_FALSE(o->bus.pacing);
  EXPECT_EQ(o->bus.statePath, "s");
  EXPECT_EQ(ParseOrbSimOptions({}, error)->bus.addresses, std::vector<uint8_t>{1});
  for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{
           {"--latency-ms", "-1"}, {"--latency-ms"}, {"--latency-ms", "1e3"}, {"--latency-ms", "nan"}, {"--devices", "1,1"}, {"--pacing"}})
    EXPECT_FALSE(ParseOrbSimOptions(bad, error)) << bad[0];
}

TEST(TimerQueue, RunsInDueOrderAndHonoursCancel) {
  TimerQueue q;
  std::string ran;
  q.At(30, [&] { ran += "c"; });
  auto cancelled = q.At(10, [&] { ran += "x"; });
  q.At(20, [&] {
    ran += "b";
    q.At(25, [&] { ran += "n"; });  // added while running, due already
  });
  q.At(20, [&] { ran += "B"; });  // same time: in the order added
  q.Cancel(cancelled);
  EXPECT_EQ(q.NextDueNs(), 20);
  q.RunDue(29);
  EXPECT_EQ(ran, "bBn");
  q.RunDue(30);
  EXPECT_EQ(ran, "bBnc");
  EXPECT_TRUE(q.Empty());
  EXPECT_EQ(q.NextDueNs(), -1);
}

TEST(OrbSimObserved, FrameRecordDropsTheOldestBeyondEitherBound) {
  FrameRecord record;
  const size_t extra = 5;
  for (size_t i = 0; i < FrameRecord::kMaxEntries + extra; ++i) record.Add("1:" + std::to_string(i));
  FrameRecord::Taken taken = record.Take();
  ASSERT_EQ(taken.entries.size(), FrameRecord::kMaxEntries);
  EXPECT_EQ(taken.dropped, extra);
  EXPECT_EQ(taken.entries.front(), "1:" + std::to_string(extra));
  EXPECT_EQ(taken.entries.back(), "1:" + std::to_string(FrameRecord::kMaxEntries + extra - 1));
  // Taking starts afresh: nothing kept, nothing counted as dropped.
  record.Add("<253>");
  taken = record.Take();
  EXPECT_EQ(taken.entries, std::vector<std::string>{"<253>"});
  EXPECT_EQ(taken.dropped, 0u);

  // Long frames reach the text bound well before the count.
  const std::string transmit = "1:" + std::string(112, 'a');
  const size_t fit = FrameRecord::kMaxTextBytes / transmit.size();
  for (size_t i = 0; i < fit + 40; ++i) record.Add(transmit);
  record.Add("2:8a");
  EXPECT_LE(record.TextBytes(), FrameRecord::kMaxTextBytes);
  taken = record.Take();
  EXPECT_EQ(taken.entries.size() + taken.dropped, fit + 41);
  EXPECT_GE(taken.dropped, 40u);
  EXPECT_EQ(taken.entries.back(), "2:8a");
}

TEST(OrbSimObserved, ReceivedBytesStopGrowingAndCountWhatWasLost) {
  ReceivedBytes received;
  std::vector<uint8_t> chunk(40 * 1024);
  for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<uint8_t>(i);
  received.Append(chunk.data(), chunk.size());
  received.Append(chunk.data(), chunk.size());
  received.Append(chunk.data(), 10);
  EXPECT_EQ(received.Size(), ReceivedBytes::kMaxBytes);
  ReceivedBytes::Taken taken = received.Take();
  ASSERT_EQ(taken.bytes.size(), ReceivedBytes::kMaxBytes);
  EXPECT_EQ(taken.lost, 2 * chunk.size() + 10 - ReceivedBytes::kMaxBytes);
  // What was kept is what came first, in order.
  EXPECT_TRUE(std::equal(chunk.begin(), chunk.end(), taken.bytes.begin()));
  EXPECT_TRUE(std::equal(taken.bytes.begin() + static_cast<long>(chunk.size()), taken.bytes.end(), chunk.begin()));
  // Emptied by the take, it captures again.
  received.Append(chunk.data() + 1, 2);
  taken = received.Take();
  EXPECT_EQ(taken.bytes, (std::vector<uint8_t>{1, 2}));
  EXPECT_EQ(taken.lost, 0u);
}

namespace {
// A client's end of the line that keeps the serial data it is sent.
struct RecordingPeer : SimLinePeer {
  std::string received;
  int64_t SendSerialData(const uint8_t* data, size_t count) override {
    received.append(reinterpret_cast<const char*>(data), count);
    return MonotonicNs();
  }
  int64_t NotifyModemState(uint8_t, uint8_t, uint8_t) override { return -1; }
};
}  // namespace

TEST(DeviceBus, StrayBytesOnTheWireWhenTheClientLeavesNeverReachTheNextClient) {
  // On a bus and on a plain line without devices alike.
  for (const std::vector<uint8_t>& addresses : {std::vector<uint8_t>{1}, std::vector<uint8_t>{}}) {
    SimLine line;
    TimerQueue timers;
    BusConfig config;
    config.addresses = addresses;
    DeviceBus bus(line, timers, config);  // paced: 16 bytes take 9 ms at 19200 baud
    RecordingPeer first, second;
    line.Attach(&first);
    bus.Stray(std::string(16, 'x'));
    line.Detach(&first);
    EXPECT_TRUE(timers.Empty()) << addresses.size();
    line.Attach(&second);
    timers.RunDue(MonotonicNs() + 1'000'000'000);
    EXPECT_EQ(first.received, "") << addresses.size();
    EXPECT_EQ(second.received, "") << addresses.size();
    line.Detach(&second);
  }
}

TEST(ControlCommands, WaitsLastAtMostADay) {
  SimLine line;
  TimerQueue timers;
  DeviceBus bus(line, timers, BusConfig{});
  ReceivedBytes received;
  ControlContext context{line, received, [] {}, [] {}, bus};
  const int64_t now = 5'000'000;
  CommandResult longest = RunControlCommand("wait dtr 1 86400000", context, now);
  ASSERT_TRUE(longest.wait);
  EXPECT_EQ(longest.wait->deadlineMs, now + 86'400'000);
  // Longer ones, up to those whose deadline would not fit in 64 bits.
  for (const char* tooLong : {"wait dtr 1 86400001", "wait rts 1 9223372036854", "wait dtr 1 9223372036854775807"}) {
    CommandResult result = RunControlCommand(tooLong, context, now);
    EXPECT_FALSE(result.wait) << tooLong;
    EXPECT_EQ(result.reply, "error bad timeout") << tooLong;
  }
}
