// The link engine's transactions, time-outs and faults end to end.
#include <filesystem>
#include <fstream>
#include <thread>

#include "serial/ApdExceptions.h"
#include "serial/SerialDevice.h"
#include "tests/link/LinkFixture.h"
#include "testsupport/Hex.h"
#include "testsupport/TestClock.h"

using namespace pa422;

namespace {
class EngineTest : public LinkFixture {};

// A plain line without devices: the test plays the device by hand.
class HandDrivenLineTest : public LinkFixture {
 protected:
  HandDrivenLineTest() : LinkFixture({"--devices", "none", "--no-pacing"}) {}
};
}  // namespace

TEST_F(EngineTest, SendsBeforeConnectGoNowhereAndSayNothing) {
  engine.UpdateParameter(1, kDevicePassword, 26, 2);
  RunFor(300);
  EXPECT_EQ(engine.CommState, 0);
  EXPECT_TRUE(messages.shown.empty()) << messages.shown.front();
  EXPECT_EQ(Frames(), "");
  EXPECT_EQ(engine.LastCommand, UPDATE_PARAMETER);
}

TEST_F(EngineTest, UpdateParameterRunsTheWholeHandshake) {
  engine.Connect();
  ASSERT_TRUE(engine.Connected);
  EXPECT_EQ(sim.Ok("wait rts 1 2000"), "ok");
  engine.UpdateParameter(1, kDevicePassword, 20, 6);
  EXPECT_EQ(engine.CommState, 1);
  ASSERT_TRUE(WaitNotifications(1));
  EXPECT_EQ(window.got, std::vector<std::string>{"UpdateDone"});
  EXPECT_EQ(engine.CommState, 0);
  EXPECT_EQ(sim.Ok("wait dtr 0 2000"), "ok");
  EXPECT_EQ(Frames(), "1:" + Hex(UpdateParameterFrame(6, "KOBU", 20)));
  EXPECT_TRUE(messages.shown.empty()) << messages.shown.front();
  EXPECT_TRUE(trace.Has(" SendImmediateCommand = UPDATE_PARAMETER"));
  EXPECT_TRUE(trace.Has(" DSR = True CommState = 2"));
  EXPECT_TRUE(trace.Has(" CommState = 3"));
  EXPECT_TRUE(trace.Has(" CommState = 0-ResponseLen=0"));
}

TEST_F(EngineTest, SecondCommandWhileBusyIsRefusedAndTheFirstCompletes) {
  engine.Connect();
  engine.RecallAllData(1, 0);
  engine.UpdateParameter(1, kDevicePassword, 26, 2);
  EXPECT_EQ(messages.shown, std::vector<std::string>{"ERROR - Data Transfer In Progress"});
  EXPECT_TRUE(trace.Has(" ERROR Entry CS=1SendImmediateCommand = UPDATE_PARAMETER"));
  ASSERT_TRUE(WaitNotifications(1));
  EXPECT_EQ(window.got, std::vector<std::string>{"AllDataReceived"});
  ASSERT_EQ(engine.ResponseBuffer.size(), 71u);
  EXPECT_EQ(engine.ResponseByte(all_data::kStatus), 0);
  EXPECT_EQ(Frames(), "1:010100");
}

// A command refused while a transaction runs (busy, or a value out of
// range) sets LastCommand, but the running transaction still ends with its
// own notification.
TEST_F(EngineTest, RefusedCommandLeavesTheRunningOnesOutcomeAlone) {
  engine.Connect();
  engine.RecallPreset(1, 2);
  engine.RecallAllData(1, 0);
  EXPECT_EQ(engine.LastCommand, RECALL_ALL_DATA);
  ASSERT_TRUE(WaitNotifications(1));
  EXPECT_EQ(window.got, std::vector<std::string>{"PresetRecalled"});
  engine.UpdateParameter(1, kDevicePassword, 26, 2);
  engine.RecallPreset(1, 9);
  ASSERT_TRUE(WaitNotifications(2));
  EXPECT_EQ(window.got.back(), "UpdateDone");
  EXPECT_EQ(messages.shown, (std::vector<std::string>{"ERROR - Data Transfer In Progress",
                                                      "Invalid Preset Number"}));
}

TEST_F(EngineTest, NoDeviceAtTheAddressIsOrbNotFound) {
  engine.Connect();
  auto start = Clock::now();
  engine.UpdateParameter(7, kDevicePassword, 26, 2);
  ASSERT_TRUE(WaitNotifications(1));
  EXPECT_GE(ElapsedMs(start), 1900);
  EXPECT_EQ(window.got, std::vector<std::string>{"LinkFailed"});
  EXPECT_EQ(messages.shown, std::vector<std::string>{"ORB Not Found."});
  EXPECT_TRUE(trace.Has(" CommState = 0-TriggerTimer1"));
  ExpectRecovered();
}

TEST_F(EngineTest, WrongDtIdEndsTheTransaction) {
  engine.Connect();
  sim.Ok("fault 1 dtid 3 40");
  engine.MuteAllOutputs(1);
  ASSERT_TRUE(WaitNotifications(1));
  EXPECT_EQ(window.got, std::vector<std::string>{"LinkFailed"});
  EXPECT_EQ(messages.shown, std::vector<std::string>{"Error on Device Type or Mfg ID"});
  EXPECT_TRUE(trace.Has(" Invalid DT/ID CommState = 0"));
  sim.Ok("fault clear");
  ExpectRecovered();
}

// A network serial server may deliver the DT/ID pair in two reads.
TEST_F(EngineTest, DtIdInTwoPiecesIsAccepted) {
  engine.Connect();
  sim.Ok("fault 1 split-dtid");
  engine.UpdateParameter(1, kDevicePassword, 24, 3);
  ASSERT_TRUE(WaitNotifications(1));
  EXPECT_EQ(window.got, std::vector<std::string>{"UpdateDone"});
  EXPECT_TRUE(messages.shown.empty()) << messages.shown.front();
  EXPECT_EQ(Frames(), "1:" + Hex(UpdateParameterFrame(3, "KOBU", 24)));
  sim.Ok("fault clear");
  ExpectRecovered();
}

// A status other than 0 is shown, and the window hears that the command
// failed (it gets no UpdateDone).
TEST_F(EngineTest, NonzeroStatusIsShownInDecimalAndReported) {
  engine.Connect();
  sim.Ok("fault 1 status 5");
  engine.UpdateParameter(1, kDevicePassword, 26, 2);
  ASSERT_TRUE(WaitNotifications(1));
  EXPECT_EQ(messages.shown, std::vector<std::string>{"ComStat Error -5"});
  EXPECT_EQ(window.got, std::vector<std::string>{"TransactionFailed"});
  EXPECT_EQ(engine.CommState, 0);
  sim.Ok("fault clear");
  ExpectRecovered();
}

TEST_F(EngineTest, DataReplyLengthsAndStatus) {
  engine.Connect();
  engine.RecallAllData(1, 0);
  ASSERT_TRUE(WaitNotifications(1));
  EXPECT_EQ(engine.ResponseBuffer.size(), 71u);

  // 72 bytes: too many, and the transaction failed.
  sim.Ok("fault 1 long-reply");
  engine.RecallAllData(1, 0);
  ASSERT_TRUE(WaitNotifications(2));
  EXPECT_EQ(messages.shown.back(), "Too many chars Recieved.");
  EXPECT_EQ(window.got.back(), "TransactionFailed");
  EXPECT_TRUE(trace.Has(" Buffer Overflow CommState = 0"));
  RunFor(300);

  // A block ending in a nonzero status is not kept (the send emptied the
  // buffer) and completes nothing but its failure.
  sim.Ok("fault 1 status 5");
  engine.RecallAllData(1, 0);
  ASSERT_TRUE(WaitNotifications(3));
  EXPECT_EQ(messages.shown.back(), "ComStat Error - 5");
  EXPECT_EQ(engine.ResponseBuffer, "");
  RunFor(300);
  EXPECT_EQ(window.got,
            (std::vector<std::string>{"AllDataReceived", "TransactionFailed", "TransactionFailed"}));

  // 70 bytes and silence: the data time-out.
  sim.Ok("fault 1 short-reply");
  engine.RecallAllData(1, 0);
  ASSERT_TRUE(WaitNotifications(4));
  EXPECT_EQ(window.got.back(), "LinkFailed");
  EXPECT_EQ(messages.shown.back(), "Timeout - Waiting for Data from ORB.");
  EXPECT_TRUE(trace.Has(" CommState = 0-TriggerTimer3"));
  sim.Ok("fault clear");
  ExpectRecovered();
}

TEST_F(EngineTest, DeviceThatNeverAnswersTheFrameTimesOut) {
  engine.Connect();
  sim.Ok("fault 1 mute-frame");
  engine.UnmuteAllOutputs(1);
  ASSERT_TRUE(WaitNotifications(1));
  EXPECT_EQ(messages.shown, std::vector<std::string>{"Timeout - Waiting for Data from ORB."});
  sim.Ok("fault clear");
  RunFor(200);
  ExpectRecovered();
}

TEST_F(EngineTest, DisconnectEndsATransactionAndLeavesNoTimerBehind) {
  engine.Connect();
  engine.UpdateParameter(7, kDevicePassword, 26, 2);  // nobody answers
  engine.Disconnect();
  EXPECT_EQ(engine.CommState, 0);
  EXPECT_FALSE(engine.Connected);
  engine.Connect();
  RunFor(2600);  // the old address timer would have fired by now
  EXPECT_TRUE(messages.shown.empty()) << messages.shown.front();
  EXPECT_TRUE(window.got.empty());
  ExpectRecovered();
}

TEST_F(EngineTest, OpenErrorsAreShownWithTheirOwnTexts) {
  engine.ApdComPort.DeviceNameForPort = [](uint16_t) { return std::string("/dev/no-such-port"); };
  engine.Connect();
  EXPECT_FALSE(engine.Connected);
  EXPECT_EQ(messages.shown, std::vector<std::string>{"Connect aborted - Invalid Port"});
  EXPECT_TRUE(window.got.empty());
  engine.UpdateParameter(1, kDevicePassword, 26, 2);  // dropped silently
  EXPECT_EQ(messages.shown.size(), 1u);

  // Another program holds the line.
  auto holder = OpenSerialDevice(sim.Url());
  engine.ApdComPort.DeviceNameForPort = [this](uint16_t) { return sim.Url(); };
  engine.Connect();
  EXPECT_FALSE(engine.Connected);
  EXPECT_EQ(messages.shown.back(), "Connect aborted - Com Port Already Open");
  EXPECT_EQ(window.got, std::vector<std::string>{"LinkFailed"});

  // No port chosen and no port picked: that error is not the engine's to show.
  engine.ApdComPort.SetComNumber(0);
  EXPECT_THROW(engine.Connect(), ENoPortSelected);
  EXPECT_EQ(messages.shown.size(), 2u);
}

TEST_F(EngineTest, NotificationsSkipWhenNoWindowIsActive) {
  engine.Connect();
  active = nullptr;
  engine.UpdateParameter(1, kDevicePassword, 26, 2);
  ASSERT_TRUE(WaitIdle());
  RunFor(100);
  EXPECT_TRUE(window.got.empty());
}

TEST_F(EngineTest, FormCreateTakesThePortNumberFromTheSettingsFile) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("varlo-engine-" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "Varlo95.ini") << "[communications]\ncom port=3\n";
  engine.ProgramDir = dir.string() + "/";
  engine.FormCreate();
  EXPECT_EQ(engine.ApdComPort.ComNumber(), 3);
  EXPECT_TRUE(trace.Has(" Creating TzkPA422Form"));
  std::ofstream(dir / "Varlo95.ini") << "[Communications]\nCom Port=abc\n";
  engine.FormCreate();
  EXPECT_EQ(engine.ApdComPort.ComNumber(), 0);
  fs::remove_all(dir);
}

TEST_F(HandDrivenLineTest, DsrWithoutDtIdTimesOut) {
  engine.Connect();
  engine.MuteAllOutputs(1);
  ExpectReceived("01");
  sim.Ok("dsr 1");
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 2; }));
  EXPECT_EQ(sim.Ok("wait dtr 1 2000"), "ok");
  ASSERT_TRUE(WaitNotifications(1));
  EXPECT_EQ(messages.shown, std::vector<std::string>{"Timeout - Waiting for DT/ID."});
  EXPECT_EQ(engine.CommState, 0);
  EXPECT_EQ(sim.Ok("wait dtr 0 2000"), "ok");
}

TEST_F(HandDrivenLineTest, DtIdInOneEventSendsTheFrameAtOnce) {
  engine.Connect();
  engine.LockPreset(4, 2, kDevicePassword);
  ExpectReceived("04");
  sim.Ok("dsr 1");
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 2; }));
  ASSERT_EQ(sim.Ok("wait dtr 1 2000"), "ok");
  sim.Ok("send 0329");
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 3; }));
  ExpectReceived(Hex(LockPresetFrame(2, "KOBU")));
  sim.Ok("send 00");
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(messages.shown.empty()) << messages.shown.front();
}

// The DT/ID pair is taken across reads while its time-out runs; a pair that
// never completes ends in the time-out's message, and more than two bytes
// are refused with a message.
TEST_F(HandDrivenLineTest, DtIdAcrossReadsWithinTheTimeOut) {
  engine.Connect();
  engine.MuteAllOutputs(3);
  ExpectReceived("03");
  sim.Ok("dsr 1");
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 2; }));
  ASSERT_EQ(sim.Ok("wait dtr 1 2000"), "ok");
  sim.Ok("send 03");
  RunFor(200);
  EXPECT_EQ(engine.CommState, 2);
  sim.Ok("send 29");
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 3; }));
  ExpectReceived(Hex(MuteAllOutputsFrame()));
  sim.Ok("send 00");
  ASSERT_TRUE(WaitIdle());
  sim.Ok("dsr 0");
  EXPECT_TRUE(messages.shown.empty()) << messages.shown.front();
  EXPECT_TRUE(window.got.empty());

  engine.MuteAllOutputs(3);
  ExpectReceived("03");
  sim.Ok("dsr 1");
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 2; }));
  sim.Ok("send 03");
  ASSERT_TRUE(WaitNotifications(1));
  EXPECT_EQ(messages.shown, std::vector<std::string>{"Timeout - Waiting for DT/ID."});
  EXPECT_EQ(window.got, std::vector<std::string>{"LinkFailed"});
  EXPECT_EQ(sim.Ok("wait dtr 0 2000"), "ok");
  sim.Ok("dsr 0");
  RunFor(100);

  engine.MuteAllOutputs(3);
  ExpectReceived("03");
  sim.Ok("dsr 1");
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 2; }));
  sim.Ok("send 032900");
  ASSERT_TRUE(WaitNotifications(2));
  EXPECT_EQ(window.got.back(), "LinkFailed");
  EXPECT_EQ(messages.shown.back(), "Error on Device Type or Mfg ID");
  EXPECT_TRUE(trace.Has(" Improper DT/ID Response CommState = 0"));
  EXPECT_EQ(engine.CommState, 0);
  EXPECT_EQ(sim.Ok("wait dtr 0 2000"), "ok");
}

// A status reply of more than one byte is refused, and the window hears
// that the command failed.
TEST_F(HandDrivenLineTest, StatusReplyOfTwoBytesFails) {
  engine.Connect();
  engine.UnmuteAllOutputs(2);
  ExpectReceived("02");
  sim.Ok("dsr 1");
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 2; }));
  ASSERT_EQ(sim.Ok("wait dtr 1 2000"), "ok");
  sim.Ok("send 0329");
  ASSERT_TRUE(RunUntil([&] { return engine.CommState == 3; }));
  ExpectReceived(Hex(UnmuteAllOutputsFrame()));
  sim.Ok("send 0000");
  ASSERT_TRUE(WaitNotifications(1));
  EXPECT_EQ(messages.shown, std::vector<std::string>{"Too many Comstats buffered"});
  EXPECT_EQ(window.got, std::vector<std::string>{"TransactionFailed"});
  EXPECT_EQ(engine.CommState, 0);
}

TEST_F(HandDrivenLineTest, ModemEventThatIsNotADsrChangeIsBogus) {
  engine.Connect();
  engine.MuteAllOutputs(1);
  ExpectReceived("01");
  sim.Ok("dsr 1");
  // Someone reads DSR before the handler runs (the loop is not running, so
  // the event waits): the change bit is gone when the handler asks.
  for (int i = 0; i < 100 && !(engine.ApdComPort.ModemStatus() & 0x20); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  engine.ApdComPort.DSR();
  RunFor(300);
  EXPECT_TRUE(trace.Has(" Bogus Handshake Rcvd"));
  EXPECT_EQ(engine.CommState, 1);
}

TEST_F(HandDrivenLineTest, GroupByteGoesOutAloneWithoutHandshake) {
  engine.EnableManualControls();  // closed: nothing
  engine.Connect();
  engine.EnableManualControls();
  ExpectReceived("fd");
  EXPECT_EQ(engine.CommState, 0);
}
