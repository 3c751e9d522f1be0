// The bus of simulated devices over the wire: whole PA-422 transactions by
// hand, group bytes, several devices, every fault, wire timing, latency,
// the state file across runs and the transaction log.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "link/PA422Messages.h"
#include "tests/sim/pa422_test_host.h"
#include "testsupport/OrbSimProcess.h"
#include "testsupport/TestClock.h"

using namespace pa422;
namespace fs = std::filesystem;

namespace {
const std::string kPw = kDevicePassword;
const std::string kOk(1, '\0');
const std::string kDtId = "\x03\x29";

std::string Hex(const std::string& bytes) {
  static const char* d = "0123456789abcdef";
  std::string s;
  for (unsigned char b : bytes) s += {d[b >> 4], d[b & 15]};
  return s;
}

// The all-data block the control channel shows for a preset, as bytes.
std::string Block(OrbSimProcess& sim, int address, int preset) {
  std::string hex = sim.Ok("preset " + std::to_string(address) + " " + std::to_string(preset)).substr(3);
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

uint8_t Pos(const std::string& block, int position) { return static_cast<uint8_t>(block.at(position - 1)); }

std::string Field(const std::string& reply, const std::string& key) {
  auto at = reply.find(" " + key + "=");
  if (at == std::string::npos) return "";
  auto start = at + key.size() + 2;
  return reply.substr(start, reply.find(' ', start) - start);
}

TransmitSettings Rising(uint8_t preset) {
  TransmitSettings s;
  for (int i = 0; i < 30; ++i) s.levels[i] = static_cast<uint8_t>(2 + i);
  s.highPass = 4;
  s.lowPass = 19;
  s.presetName = "RISING";
  s.preset = preset;
  return s;
}

fs::path FreshFolder(const std::string& name) {
  fs::path dir = fs::temp_directory_path() / ("orbsim-" + name + "-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}
}  // namespace

TEST(OrbSimBus, EveryCommandKindInAWholeTransaction) {
  OrbSimProcess sim;  // one device at address 1, paced wire
  Pa422TestHost host(sim.SerialPort());
  auto recall = host.Transact(1, RecallAllDataFrame(0), 71);
  EXPECT_EQ(recall.dtId, kDtId);
  EXPECT_EQ(recall.reply, Block(sim, 1, 0) + kOk);
  EXPECT_TRUE(recall.dsrDropped);

  const std::string frames[] = {
      TransmitAllDataFrame(TransmitBlock(kPw, Rising(2))),
      UpdateParameterFrame(kGainParameter, kPw, 50),
      MuteAllOutputsFrame(),
      BypassFrame(kPw),
      SetDeviceNameFrame(kPw, "Stage"),
      LockPresetFrame(2, kPw),
  };
  std::string expectFrames = "ok 1:010100";
  for (const auto& frame : frames) {
    auto x = host.Transact(1, frame, 1);
    EXPECT_EQ(x.dtId, kDtId) << CommandName(frame[0]);
    EXPECT_EQ(x.reply, kOk) << CommandName(frame[0]);
    EXPECT_TRUE(x.dsrDropped) << CommandName(frame[0]);
    expectFrames += " 1:" + Hex(frame);
  }
  EXPECT_EQ(sim.Ok("frames"), expectFrames);
  EXPECT_EQ(sim.Ok("frames"), "ok");  // taken

  std::string stored = Block(sim, 1, 2);
  EXPECT_EQ(Pos(stored, 1), 2);
  EXPECT_EQ(Pos(stored, all_data::kHighPass), 4);
  EXPECT_EQ(Pos(stored, all_data::kLock), 1);
  EXPECT_EQ(Pos(Block(sim, 1, 0), all_data::kGain), 50);
  std::string device = sim.Ok("device 1");
  EXPECT_EQ(Field(device, "name"), Hex(Name16("STAGE")));
  EXPECT_EQ(device.substr(device.find(" mute=")), " mute=1 bypass=1 manual=0 preset=2");

  for (const auto& frame : {UnmuteAllOutputsFrame(), UnbypassFrame(kPw), UnlockPresetFrame(2, kPw),
                            ReprogramFromMemoryFrame(2)})
    EXPECT_EQ(host.Transact(1, frame, 1).reply, kOk);
  EXPECT_EQ(Block(sim, 1, 0), Block(sim, 1, 2));  // the gain change is gone
  // The block over the wire is the one the control channel shows.
  EXPECT_EQ(host.Transact(1, RecallAllDataFrame(2), 71).reply, Block(sim, 1, 2) + kOk);
  EXPECT_EQ(Pos(Block(sim, 1, 0), all_data::kMute) | Pos(Block(sim, 1, 0), all_data::kBypass), 0);
}

TEST(OrbSimBus, RefusedCommandsAnswerANonzeroStatus) {
  OrbSimProcess sim({"--no-pacing"});
  Pa422TestHost host(sim.SerialPort());
  EXPECT_EQ(host.Transact(1, BypassFrame("KOBO"), 1).reply, "\x02");
  EXPECT_EQ(host.Transact(1, UpdateParameterFrame(3, kPw, 51), 1).reply, "\x03");
  EXPECT_EQ(host.Transact(1, RecallAllDataFrame(9), 71).reply, std::string(70, '\0') + "\x03");
  EXPECT_EQ(host.Transact(1, LockPresetFrame(1, kPw), 1).reply, kOk);
  EXPECT_EQ(host.Transact(1, TransmitAllDataFrame(TransmitBlock(kPw, Rising(1))), 1).reply, "\x04");
  // An unknown code is answered at once, after its one byte.
  EXPECT_EQ(host.Transact(1, "\x42", 1).reply, "\x01");
  EXPECT_EQ(sim.Ok("device 1").substr(sim.Ok("device 1").find(" bypass=")), " bypass=0 manual=0 preset=1");
}

TEST(OrbSimBus, GroupBytesReachEveryDeviceWithoutAHandshake) {
  OrbSimProcess sim({"--devices", "1,2,5", "--no-pacing"});
  Pa422TestHost host(sim.SerialPort());
  EXPECT_EQ(sim.Ok("devices"), "ok 1 2 5");
  EXPECT_EQ(host.Transact(1, UnmuteAllOutputsFrame(), 1).reply, kOk);
  EXPECT_EQ(host.Transact(5, UnmuteAllOutputsFrame(), 1).reply, kOk);
  EXPECT_EQ(Field(sim.Ok("device 1"), "manual") + Field(sim.Ok("device 2"), "manual") +
                Field(sim.Ok("device 5"), "manual"),
            "010");

  host.Write(GROUP_ENABLE_MANUAL_CONTROLS);
  EXPECT_FALSE(host.WaitDsr(true, 300));  // no handshake
  EXPECT_EQ(host.ReadFor(50), "");         // and no reply
  for (int a : {1, 2, 5}) EXPECT_EQ(Field(sim.Ok("device " + std::to_string(a)), "manual"), "1") << a;
  host.Write(GROUP_DISABLE_MANUAL_CONTROLS);
  for (auto t = Clock::now(); Field(sim.Ok("device 2"), "manual") != "0" && ElapsedMs(t) < 1000;) {}
  for (int a : {1, 2, 5}) EXPECT_EQ(Field(sim.Ok("device " + std::to_string(a)), "manual"), "0") << a;
  EXPECT_EQ(sim.Ok("frames"), "ok 1:8a 5:8a <253> <254>");
  // The line is idle again: the next byte is an address.
  EXPECT_EQ(host.Transact(2, MuteAllOutputsFrame(), 1).reply, kOk);
}

TEST(OrbSimBus, EachDeviceAnswersOnlyItsOwnAddress) {
  OrbSimProcess sim({"--devices", "1,2", "--no-pacing"});
  Pa422TestHost host(sim.SerialPort());
  EXPECT_EQ(host.Transact(2, SetDeviceNameFrame(kPw, "Second"), 1).reply, kOk);
  std::string one = host.Transact(1, RecallAllDataFrame(0), 71).reply;
  std::string two = host.Transact(2, RecallAllDataFrame(0), 71).reply;
  EXPECT_EQ(one.substr(all_data::kDeviceName - 1, 16), Name16("ORB 1"));
  EXPECT_EQ(two.substr(all_data::kDeviceName - 1, 16), Name16("SECOND"));
  // Nobody at 3 or 241: the bytes are ignored and the line stays idle.
  host.Write(3);
  host.Write(241);
  EXPECT_FALSE(host.WaitDsr(true, 300));
  EXPECT_EQ(host.Transact(1, MuteAllOutputsFrame(), 1).reply, kOk);
  EXPECT_EQ(Field(sim.Ok("device 2"), "mute"), "0");
  EXPECT_EQ(sim.Command("device 3").rfind("error", 0), 0u);
  EXPECT_EQ(sim.Command("preset 1 9").rfind("error", 0), 0u);
}

TEST(OrbSimBus, HandshakeFaultsAndStrayBytes) {
  OrbSimProcess sim({"--no-pacing"});
  Pa422TestHost host(sim.SerialPort());
  sim.Ok("fault 1 absent");
  host.Write(1);
  EXPECT_FALSE(host.WaitDsr(true, 300));
  sim.Ok("fault 1 clear");
  EXPECT_EQ(host.Transact(1, MuteAllOutputsFrame(), 1).reply, kOk);

  sim.Ok("fault 1 dtid 4 0x29");
  EXPECT_EQ(host.Transact(1, MuteAllOutputsFrame(), 1).dtId, "\x04\x29");
  sim.Ok("fault 1 clear");

  sim.Ok("fault 1 split-dtid");
  host.Write(1);
  ASSERT_TRUE(host.WaitDsr(true));
  host.Dtr(true);
  EXPECT_EQ(host.Read(1), "\x03");
  auto firstHalf = Clock::now();
  EXPECT_EQ(host.Read(1), "\x29");
  EXPECT_GE(ElapsedMs(firstHalf), 20);
  host.Write(MuteAllOutputsFrame());
  EXPECT_EQ(host.Read(1), kOk);
  host.Dtr(false);
  EXPECT_TRUE(host.WaitDsr(false));

  sim.Ok("stray 01ff29");
  EXPECT_EQ(host.Read(3), "\x01\xff\x29");
  for (std::string bad : std::vector<std::string>{"fault 9 absent", "fault 1 bogus", "fault 1", "fault", "stray", "stray 0g",
                          "frames now", "device", "preset 1", "stray " + std::string(2050, '0')})
    EXPECT_EQ(sim.Command(bad).rfind("error", 0), 0u) << bad.substr(0, 20);
}

TEST(OrbSimBus, ReplyFaults) {
  OrbSimProcess sim({"--no-pacing"});
  Pa422TestHost host(sim.SerialPort());
  const std::string block = Block(sim, 1, 0);
  sim.Ok("fault 1 status 9");
  EXPECT_EQ(host.Transact(1, UnmuteAllOutputsFrame(), 1).reply, "\x09");
  EXPECT_EQ(host.Transact(1, RecallAllDataFrame(0), 71).reply, block + "\x09");

  sim.Ok("fault 1 long-reply");  // replaces the status fault
  EXPECT_EQ(host.Transact(1, RecallAllDataFrame(0), 72).reply, block + kOk + kOk);
  EXPECT_EQ(host.ReadFor(100), "");

  // A short reply, and a frame never answered: the host gives up by
  // dropping DTR, and the device lets go of DSR.
  sim.Ok("fault 1 short-reply");
  host.Write(1);
  ASSERT_TRUE(host.WaitDsr(true));
  host.Dtr(true);
  EXPECT_EQ(host.Read(2), kDtId);
  host.Write(RecallAllDataFrame(0));
  EXPECT_EQ(host.Read(71, 400), block);
  host.Dtr(false);
  EXPECT_TRUE(host.WaitDsr(false));

  sim.Ok("fault clear");
  sim.Ok("fault 1 mute-frame");
  const std::string untouched = Block(sim, 1, 0);
  host.Write(1);
  ASSERT_TRUE(host.WaitDsr(true));
  host.Dtr(true);
  EXPECT_EQ(host.Read(2), kDtId);
  host.Write(UpdateParameterFrame(2, kPw, 40));
  EXPECT_EQ(host.ReadFor(300), "");
  host.Dtr(false);
  EXPECT_TRUE(host.WaitDsr(false));
  EXPECT_EQ(Block(sim, 1, 0), untouched);  // not carried out either
  sim.Ok("fault clear");
  EXPECT_EQ(host.Transact(1, UpdateParameterFrame(2, kPw, 40), 1).reply, kOk);
  EXPECT_EQ(Pos(Block(sim, 1, 0), 1), 40);
}

TEST(OrbSimBus, DeviceGivesUpWhenDtrNeverRises) {
  OrbSimProcess sim({"--no-pacing"});
  Pa422TestHost host(sim.SerialPort());
  host.Write(1);
  ASSERT_TRUE(host.WaitDsr(true));
  auto start = Clock::now();
  EXPECT_TRUE(host.WaitDsr(false, 4000));
  EXPECT_GE(ElapsedMs(start), 2800);
  EXPECT_EQ(host.Transact(1, MuteAllOutputsFrame(), 1).reply, kOk);
}

TEST(OrbSimBus, DeviceGivesUpOnAFrameThatNeverCompletes) {
  OrbSimProcess sim({"--no-pacing"});
  Pa422TestHost host(sim.SerialPort());
  host.Write(1);
  ASSERT_TRUE(host.WaitDsr(true));
  host.Dtr(true);
  EXPECT_EQ(host.Read(2), kDtId);
  host.Write(RecallAllDataFrame(0).substr(0, 2));
  auto start = Clock::now();
  EXPECT_TRUE(host.WaitDsr(false, 4000));
  EXPECT_GE(ElapsedMs(start), 2800);
  host.Dtr(false);
  EXPECT_EQ(sim.Ok("frames"), "ok");  // nothing complete arrived
  EXPECT_EQ(host.Transact(1, MuteAllOutputsFrame(), 1).reply, kOk);
}

TEST(OrbSimBus, HostLeavingMidTransactionFreesTheBus) {
  OrbSimProcess sim;
  {
    Pa422TestHost host(sim.SerialPort());
    host.Write(1);
    ASSERT_TRUE(host.WaitDsr(true));
    host.Dtr(true);
    EXPECT_EQ(host.Read(2), kDtId);
    host.Dtr(false);  // gives up before sending its frame
    auto start = Clock::now();
    EXPECT_TRUE(host.WaitDsr(false));
    EXPECT_LT(ElapsedMs(start), 1000);
    host.Write(1);
    ASSERT_TRUE(host.WaitDsr(true));
    host.Dtr(true);
  }  // and then goes away with DSR up
  for (auto t = Clock::now(); sim.Ok("state").back() != '0' && ElapsedMs(t) < 2000;) {}
  Pa422TestHost next(sim.SerialPort());
  auto x = next.Transact(1, MuteAllOutputsFrame(), 1);
  EXPECT_EQ(x.dtId, kDtId);
  EXPECT_EQ(x.reply, kOk);
}

TEST(OrbSimBus, WireTimeOfFramesAndReplies) {
  // 11 bits a byte at 19200 baud: 0.573 ms.
  auto timeOf = [](OrbSimProcess& sim, const std::string& frame, size_t replyLength) {
    Pa422TestHost host(sim.SerialPort());
    host.Write(1);
    EXPECT_TRUE(host.WaitDsr(true));
    host.Dtr(true);
    EXPECT_EQ(host.Read(2), kDtId);
    auto start = Clock::now();
    host.Write(frame);
    EXPECT_EQ(host.Read(replyLength).size(), replyLength);
    long ms = ElapsedMs(start);
    host.Dtr(false);
    EXPECT_TRUE(host.WaitDsr(false));
    return ms;
  };
  OrbSimProcess paced;
  EXPECT_GE(timeOf(paced, RecallAllDataFrame(0), 71), 42);  // 3 bytes in, 71 out
  EXPECT_GE(timeOf(paced, TransmitAllDataFrame(TransmitBlock(kPw, Rising(0))), 1), 32);  // 56 in, 1 out
  OrbSimProcess unpaced({"--no-pacing"});
  EXPECT_LT(timeOf(unpaced, RecallAllDataFrame(0), 71), 25);
}

TEST(OrbSimBus, LatencyComesBeforeDsrDtIdAndReply) {
  OrbSimProcess sim({"--latency-ms", "60", "--no-pacing"});
  Pa422TestHost host(sim.SerialPort());
  auto start = Clock::now();
  host.Write(1);
  ASSERT_TRUE(host.WaitDsr(true));
  EXPECT_GE(ElapsedMs(start), 60);
  start = Clock::now();
  host.Dtr(true);
  EXPECT_EQ(host.Read(2), kDtId);
  EXPECT_GE(ElapsedMs(start), 60);
  start = Clock::now();
  host.Write(MuteAllOutputsFrame());
  EXPECT_EQ(host.Read(1), kOk);
  EXPECT_GE(ElapsedMs(start), 60);
  start = Clock::now();
  host.Dtr(false);
  EXPECT_TRUE(host.WaitDsr(false));
  EXPECT_LT(ElapsedMs(start), 50);  // letting go of DSR does not wait
}

TEST(OrbSimBus, DevicesHearOnly19200EvenParity) {
  OrbSimProcess sim({"--no-pacing"});
  for (auto [baud, parity] : {std::pair<uint32_t, uint8_t>{9600, 3}, {19200, 1}}) {
    Pa422TestHost host(sim.SerialPort(), baud, parity);
    host.Write(1);
    EXPECT_FALSE(host.WaitDsr(true, 300)) << baud << " " << int(parity);
  }
}

TEST(OrbSimBus, StateFileKeepsMemoriesAcrossRuns) {
  fs::path dir = FreshFolder("state");
  const std::string path = (dir / "devices.state").string();
  std::string preset4;
  {
    OrbSimProcess sim({"--devices", "1,2", "--state", path, "--no-pacing"});
    Pa422TestHost host(sim.SerialPort());
    EXPECT_FALSE(fs::exists(path));  // nothing changed yet
    EXPECT_EQ(host.Transact(1, TransmitAllDataFrame(TransmitBlock(kPw, Rising(4))), 1).reply, kOk);
    EXPECT_EQ(host.Transact(1, LockPresetFrame(4, kPw), 1).reply, kOk);
    EXPECT_EQ(host.Transact(2, SetDeviceNameFrame(kPw, "Kept"), 1).reply, kOk);
    preset4 = Block(sim, 1, 4);
    sim.Ok("quit");
  }
  std::ifstream in(path);
  std::string header;
  std::getline(in, header);
  EXPECT_EQ(header, "orbsim-state 1");
  {
    // Device 2 is not on this bus; its memory is carried through all the same.
    OrbSimProcess sim({"--devices", "1", "--state", path, "--no-pacing"});
    EXPECT_EQ(Block(sim, 1, 4), preset4);
    EXPECT_EQ(Pos(Block(sim, 1, 0), all_data::kPreset), 4);
    Pa422TestHost host(sim.SerialPort());
    EXPECT_EQ(host.Transact(1, MuteAllOutputsFrame(), 1).reply, kOk);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);  // no temporaries
  {
    OrbSimProcess sim({"--devices", "1,2", "--state", path});
    EXPECT_EQ(Field(sim.Ok("device 2"), "name"), Hex(Name16("KEPT")));
    EXPECT_EQ(Field(sim.Ok("device 1"), "mute"), "1");
  }
  // A damaged file: defaults, and the file is kept aside, not overwritten.
  std::ofstream(path, std::ios::trunc) << "orbsim-state 1\ndevice 1 curr";
  {
    OrbSimProcess sim({"--devices", "1", "--state", path});
    EXPECT_EQ(Field(sim.Ok("device 1"), "mute"), "0");
    EXPECT_EQ(Block(sim, 1, 4).substr(all_data::kPresetName - 1, 16), Name16("PRESET 4"));
  }
  EXPECT_TRUE(fs::exists(path + ".corrupt"));
  fs::remove_all(dir);
}

TEST(OrbSimBus, LogHasOneJsonLinePerTransaction) {
  fs::path dir = FreshFolder("log");
  const std::string path = (dir / "bus.log").string();
  OrbSimProcess sim({"--log", path, "--no-pacing"});
  Pa422TestHost host(sim.SerialPort());
  sim.Ok("fault 1 status 5");
  auto x = host.Transact(1, RecallAllDataFrame(0), 71);
  host.Write(GROUP_ENABLE_MANUAL_CONTROLS);
  std::vector<std::string> lines;
  for (auto t = Clock::now(); lines.size() < 2 && ElapsedMs(t) < 2000;) {
    lines.clear();
    std::ifstream in(path);  // read while orbsim runs: each line is flushed
    for (std::string line; std::getline(in, line);) lines.push_back(line);
  }
  ASSERT_EQ(lines.size(), 2u);
  for (const char* part : {"{\"start_ns\":", "\"address\":1,", "\"frame\":\"010100\"",
                           "\"command\":\"RECALL_ALL_DATA\"", "\"status\":5,", "\"fault\":\"status=5\"",
                           "\"outcome\":\"done\"}"})
    EXPECT_NE(lines[0].find(part), std::string::npos) << part << " in " << lines[0];
  EXPECT_NE(lines[0].find("\"reply\":\"" + Hex(x.reply) + "\""), std::string::npos);
  for (const char* part : {"\"address\":253,", "\"command\":\"GROUP_ENABLE_MANUAL_CONTROLS\"",
                           "\"status\":null", "\"outcome\":\"group\""})
    EXPECT_NE(lines[1].find(part), std::string::npos) << part << " in " << lines[1];
  fs::remove_all(dir);
}

TEST(OrbSimBus, ControlChannelRecordsStayBounded) {
  OrbSimProcess sim;  // paced: stray bytes hold the wire
  Pa422TestHost host(sim.SerialPort());
  // Group bytes are one entry each; a transaction behind them settles them all.
  host.Write(std::string(200, static_cast<char>(GROUP_ENABLE_MANUAL_CONTROLS)));
  host.Write(std::string(1000, static_cast<char>(GROUP_DISABLE_MANUAL_CONTROLS)));
  EXPECT_EQ(host.Transact(1, MuteAllOutputsFrame(), 1).reply, kOk);
  std::string expected = "ok dropped=201";
  for (int i = 0; i < 999; ++i) expected += " <254>";
  EXPECT_EQ(sim.Ok("frames"), expected + " 1:89");
  EXPECT_EQ(sim.Ok("frames"), "ok");

  // Stray bytes wait for the wire; beyond the backlog they are refused.
  const std::string kilobyte = "stray " + std::string(2048, 'a');
  for (int i = 0; i < 16; ++i) ASSERT_EQ(sim.Command(kilobyte), "ok") << i;
  EXPECT_EQ(sim.Command("stray 01").rfind("error", 0), 0u);
}

TEST(OrbSimBus, FuzzingHostNeverStopsTheBus) {
  OrbSimProcess sim;
  std::mt19937 random(422);
  {
    Pa422TestHost fuzz(sim.SerialPort());
    for (auto t = Clock::now(); ElapsedMs(t) < 1500;) {
      std::string junk(random() % 80, '\0');
      for (auto& c : junk) c = static_cast<char>(random() % 4 == 0 ? 1 : random());
      fuzz.Write(junk);
      if (random() % 3 == 0) fuzz.Dtr(random() % 2);
      fuzz.ReadFor(static_cast<int>(random() % 5));
    }
  }
  for (auto t = Clock::now(); sim.Ok("state").back() != '0' && ElapsedMs(t) < 2000;) {}
  Pa422TestHost host(sim.SerialPort());
  EXPECT_EQ(host.Transact(1, MuteAllOutputsFrame(), 1).reply, kOk);
}

TEST(OrbSimBus, FaultSwitchedOnAfterSomeFrames) {
  OrbSimProcess sim({"--no-pacing", "--devices", "1,2"});
  Pa422TestHost host(sim.SerialPort());
  sim.Ok("fault 1 after 2 status 9");
  EXPECT_NE(sim.Command("fault 1 after 0 absent").rfind("error", 0), std::string::npos);
  EXPECT_NE(sim.Command("fault 1 after 2").rfind("error", 0), std::string::npos);
  EXPECT_EQ(host.Transact(1, UnmuteAllOutputsFrame(), 1).reply, kOk);
  EXPECT_EQ(host.Transact(2, UnmuteAllOutputsFrame(), 1).reply, kOk);  // counts per address
  EXPECT_EQ(host.Transact(1, UnmuteAllOutputsFrame(), 1).reply, kOk);
  EXPECT_EQ(host.Transact(1, UnmuteAllOutputsFrame(), 1).reply, "\x09");
  EXPECT_EQ(host.Transact(1, UnmuteAllOutputsFrame(), 1).reply, "\x09");

  // A fault set now, or a clear, cancels one still waiting.
  sim.Ok("fault clear");
  sim.Ok("fault 1 after 1 status 7");
  sim.Ok("fault 1 clear");
  EXPECT_EQ(host.Transact(1, UnmuteAllOutputsFrame(), 1).reply, kOk);
  EXPECT_EQ(host.Transact(1, UnmuteAllOutputsFrame(), 1).reply, kOk);
}
