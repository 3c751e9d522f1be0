// The serial port component against a simulated line over loopback.
#include <chrono>
#include <thread>

#include "serial/ApdExceptions.h"
#include "tests/serial/ComPortFixture.h"
#include "testsupport/Hex.h"

using namespace std::chrono;

TEST_F(ComPortFixture, ClosedPortReportsDefaultsAndStoresLines) {
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.OutBuffFree(), 4096);
  EXPECT_FALSE(port.DSR());
  EXPECT_FALSE(port.DeltaDSR());
  port.SetOpen(false);  // no effect when closed
  EXPECT_FALSE(port.Open());
}

TEST_F(ComPortFixture, OpenAppliesLineSettingsAndLeavesDtrRtsLow) {
  port.SetOpen(true);
  ASSERT_TRUE(port.Open());
  EXPECT_EQ(sim.Ok("wait dtr 0 2000"), "ok");
  EXPECT_EQ(sim.Ok("wait rts 0 2000"), "ok");
  std::string state = LineState();
  EXPECT_NE(state.find("baud=19200"), std::string::npos) << state;
  EXPECT_NE(state.find("data=8"), std::string::npos) << state;
  EXPECT_NE(state.find("parity=E"), std::string::npos) << state;
  EXPECT_NE(state.find("stop=1"), std::string::npos) << state;

  port.SetRTS(true);
  EXPECT_EQ(sim.Ok("wait rts 1 2000"), "ok");
  port.SetDTR(true);
  EXPECT_EQ(sim.Ok("wait dtr 1 2000"), "ok");
  EXPECT_TRUE(port.DTR());
  port.SetDTR(false);
  EXPECT_EQ(sim.Ok("wait dtr 0 2000"), "ok");
}

TEST_F(ComPortFixture, HandlesAreMultiplesOfEightAndRepeatAfterReopen) {
  port.SetOpen(true);
  uint16_t dsr = port.AddStatusTrigger(1);
  uint16_t t1 = port.AddTimerTrigger(), t2 = port.AddTimerTrigger(), t3 = port.AddTimerTrigger();
  EXPECT_EQ(dsr, 9);
  EXPECT_EQ(t1, 16);
  EXPECT_EQ(t2, 24);
  EXPECT_EQ(t3, 32);
  EXPECT_THROW(port.AddStatusTrigger(6), EBadArgument);

  port.SetOpen(false);
  port.SetOpen(true);
  EXPECT_EQ(port.AddStatusTrigger(1), 9);
  EXPECT_EQ(port.AddTimerTrigger(), 16);
  EXPECT_EQ(port.AddTimerTrigger(), 24);
  EXPECT_EQ(port.AddTimerTrigger(), 32);
}

TEST_F(ComPortFixture, ClosingAndOpeningAgainAtOnceFindsTheLineFree) {
  // The simulator may not have read the previous connection's goodbye yet
  // when the next one arrives; the line must still be taken, not refused.
  for (int i = 0; i < 30; ++i) {
    port.SetOpen(true);
    port.PutString("abc");
    port.SetOpen(false);
  }
}

TEST_F(ComPortFixture, WrongKindOrUnknownHandleIsBadTriggerHandle) {
  port.SetOpen(true);
  uint16_t dsr = port.AddStatusTrigger(1);
  uint16_t timer = port.AddTimerTrigger();
  EXPECT_THROW(port.SetTimerTrigger(dsr, 36, true), EBadTriggerHandle);
  EXPECT_THROW(port.SetStatusTrigger(timer, 0x20, true), EBadTriggerHandle);
  EXPECT_THROW(port.SetTimerTrigger(800, 36, true), EBadTriggerHandle);
  try {
    port.SetTimerTrigger(dsr, 1, true);
  } catch (const EBadTriggerHandle& e) {
    EXPECT_EQ(e.ErrorCode(), 5003);
    EXPECT_STREQ(e.what(), "Bad trigger handle");
  }
  // Lookups ignore the low three bits.
  EXPECT_NO_THROW(port.SetTimerTrigger(timer + 3, 36, false));
}

TEST_F(ComPortFixture, TimerFiresOnceAfterItsTicksAndDisarmedTimerNever) {
  std::vector<std::pair<uint16_t, steady_clock::time_point>> fired;
  port.OnTriggerTimer = [&](TApdComPort&, uint16_t h) { fired.emplace_back(h, steady_clock::now()); };
  port.SetOpen(true);
  uint16_t a = port.AddTimerTrigger();
  uint16_t b = port.AddTimerTrigger();
  auto armed = steady_clock::now();
  port.SetTimerTrigger(a, 36, true);
  port.SetTimerTrigger(b, 36, true);
  port.SetTimerTrigger(b, 0, false);
  ASSERT_TRUE(RunUntil([&] { return !fired.empty(); }, 4000));
  auto ms = duration_cast<milliseconds>(fired[0].second - armed).count();
  EXPECT_EQ(fired[0].first, a);
  EXPECT_GE(ms, 1925);  // 35 whole ticks at least, whatever the phase of the clock
  EXPECT_LE(ms, 3000);  // about 2 s; generous for a loaded machine
  RunFor(400);
  EXPECT_EQ(fired.size(), 1u);

  // Arming again with 0 ticks keeps the length of 36.
  armed = steady_clock::now();
  port.SetTimerTrigger(a, 0, true);
  ASSERT_TRUE(RunUntil([&] { return fired.size() == 2; }, 4000));
  EXPECT_GE(duration_cast<milliseconds>(fired[1].second - armed).count(), 1925);
}

TEST_F(ComPortFixture, DsrTriggerFiresOncePerArmingAndDeltaDsrIsSticky) {
  int fired = 0;
  std::vector<uint16_t> order;
  port.OnTrigger = [&](TApdComPort&, uint16_t msg, uint16_t, uint16_t) { order.push_back(msg); };
  port.OnTriggerStatus = [&](TApdComPort&, uint16_t) { order.push_back(100); };
  port.OnTriggerModemStatus = [&](TApdComPort&) {
    ++fired;
    order.push_back(200);
  };
  port.SetOpen(true);
  uint16_t dsr = port.AddStatusTrigger(1);
  port.SetStatusTrigger(dsr, 0x20, true);

  sim.Ok("dsr 1");
  ASSERT_TRUE(RunUntil([&] { return fired == 1; }));
  EXPECT_EQ(order, (std::vector<uint16_t>{apw_TriggerStatus, 100, 200}));
  EXPECT_TRUE(port.DeltaDSR());
  EXPECT_FALSE(port.DeltaDSR());
  EXPECT_TRUE(port.DSR());

  // Not armed: a fall goes unreported.
  sim.Ok("dsr 0");
  RunFor(300);
  EXPECT_EQ(fired, 1);

  // Armed while low fires on the rise; armed while high fires on the fall.
  port.SetStatusTrigger(dsr, 0x20, true);
  sim.Ok("dsr 1");
  ASSERT_TRUE(RunUntil([&] { return fired == 2; }));
  port.SetStatusTrigger(dsr, 0x20, true);
  RunFor(200);
  EXPECT_EQ(fired, 2);
  sim.Ok("dsr 0");
  ASSERT_TRUE(RunUntil([&] { return fired == 3; }));
  EXPECT_FALSE(port.DSR());

  // Disarmed triggers stay quiet.
  port.SetStatusTrigger(dsr, 0x20, true);
  port.SetStatusTrigger(dsr, 0x20, false);
  sim.Ok("dsr 1");
  RunFor(300);
  EXPECT_EQ(fired, 3);
}

TEST_F(ComPortFixture, TriggerArmedWhileTheDispatchThreadWaitsSeesTheLinesAsTheyAre) {
  // While a handler runs, the dispatch thread cannot take in line changes;
  // a trigger armed then compares against the lines as they really are.
  int modemEvents = 0;
  uint16_t dsr = 0;
  port.OnTriggerModemStatus = [&](TApdComPort&) { ++modemEvents; };
  port.OnTriggerAvail = [&](TApdComPort& cp, uint16_t count) {
    for (uint16_t i = 0; i < count; ++i) cp.GetChar();
    sim.Ok("dsr 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    cp.SetStatusTrigger(dsr, 0x20, true);  // DSR is already up
  };
  port.SetOpen(true);
  dsr = port.AddStatusTrigger(1);
  sim.Ok("send 01");
  RunFor(400);
  EXPECT_EQ(modemEvents, 0);
  sim.Ok("dsr 0");
  ASSERT_TRUE(RunUntil([&] { return modemEvents == 1; }));
}

TEST_F(ComPortFixture, DsrThatFellAndRoseWhileTheDispatchThreadWaitedStillFires) {
  // A device that lets DSR fall after one transaction and raises it for the
  // next at once: both reports arrive while a handler holds the dispatch
  // thread, and the lines read the same afterwards as when the trigger was
  // armed. The handshake must still be seen.
  int modemEvents = 0;
  bool pulse = false;
  uint16_t dsr = 0;
  port.OnTriggerModemStatus = [&](TApdComPort&) { ++modemEvents; };
  port.OnTriggerAvail = [&](TApdComPort& cp, uint16_t count) {
    for (uint16_t i = 0; i < count; ++i) cp.GetChar();
    if (!pulse) return;
    cp.SetStatusTrigger(dsr, 0x20, true);  // DSR is up
    sim.Ok("dsr 0");
    sim.Ok("dsr 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  };
  port.SetOpen(true);
  dsr = port.AddStatusTrigger(1);
  sim.Ok("dsr 1");
  RunFor(200);
  EXPECT_TRUE(port.DSR());
  pulse = true;
  sim.Ok("send 01");
  ASSERT_TRUE(RunUntil([&] { return modemEvents == 1; }));
  EXPECT_TRUE(port.DeltaDSR());
  EXPECT_TRUE(port.DSR());
}

TEST_F(ComPortFixture, UnreadBytesAreCountedAgainAtTheNextArrival) {
  std::vector<uint16_t> counts;
  std::vector<uint8_t> taken;
  bool emptyRaised = false;
  port.OnTriggerAvail = [&](TApdComPort& cp, uint16_t count) {
    counts.push_back(count);
    taken.push_back(cp.GetChar());  // take only one byte each time
    if (counts.size() == 2) {
      taken.push_back(cp.GetChar());
      try {
        cp.GetChar();
      } catch (const EBufferIsEmpty& e) {
        emptyRaised = true;
        EXPECT_STREQ(e.what(), "Buffer is empty");
      }
    }
  };
  port.SetOpen(true);
  sim.Ok("send 4142");
  ASSERT_TRUE(RunUntil([&] { return counts.size() == 1; }));
  RunFor(200);
  EXPECT_EQ(counts, std::vector<uint16_t>{2});  // no new event for the byte left behind
  sim.Ok("send 43");
  ASSERT_TRUE(RunUntil([&] { return counts.size() == 2; }));
  EXPECT_EQ(counts[1], 2);
  EXPECT_EQ(taken, (std::vector<uint8_t>{'A', 'B', 'C'}));
  EXPECT_TRUE(emptyRaised);
}

TEST_F(ComPortFixture, OutputReachesTheLineAndOversizeBlocksAreRefused) {
  port.SetOpen(true);
  EXPECT_EQ(port.OutBuffFree(), 4096);
  try {
    port.PutString(std::string(4097, 'x'));
    ADD_FAILURE() << "4097 bytes were accepted";
  } catch (const EOutputBufferTooSmall& e) {
    EXPECT_EQ(e.ErrorCode(), 3006);
    EXPECT_STREQ(e.what(), "Output buffer too small for block");
  }
  port.PutString("");
  port.PutChar(0x05);
  port.PutString(std::string("\xff\x00\x10", 3));
  std::string got;
  auto deadline = steady_clock::now() + 3s;
  while (got.size() < 8 && steady_clock::now() < deadline) {
    got += sim.Ok("recv").substr(3);
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_EQ(got, "05ff0010");

  // A whole queue's worth goes through too.
  std::string big(4096, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  port.PutString(big);
  got.clear();
  deadline = steady_clock::now() + 5s;
  while (got.size() < big.size() * 2 && steady_clock::now() < deadline) {
    got += sim.Ok("recv").substr(3);
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_EQ(got, Hex(big));
}

TEST_F(ComPortFixture, HandlerExceptionsAreShownAndDeliveryGoesOn) {
  int calls = 0;
  port.OnTriggerAvail = [&](TApdComPort& cp, uint16_t count) {
    ++calls;
    for (uint16_t i = 0; i < count; ++i) cp.GetChar();
    throw EBadArgument();
  };
  port.SetOpen(true);
  sim.Ok("send 01");
  ASSERT_TRUE(RunUntil([&] { return calls == 1; }));
  sim.Ok("send 02");
  ASSERT_TRUE(RunUntil([&] { return calls == 2; }));
  ASSERT_EQ(exceptions.shown.size(), 2u);
  EXPECT_EQ(exceptions.shown[0], "Bad argument passed to function");
}

TEST_F(ComPortFixture, SlowHandlerDoesNotHoldUpTheNextEvent) {
  // A handler that takes longer than a second (a modal box): the dispatch
  // thread goes on, and the byte the handler took counts as consumed.
  std::vector<uint16_t> counts;
  port.OnTriggerAvail = [&](TApdComPort& cp, uint16_t count) {
    counts.push_back(count);
    cp.GetChar();
    if (counts.size() == 1) {
      sim.Ok("send 02");
      RunFor(1500);  // nested loop, as a modal message box runs one
    }
  };
  port.SetOpen(true);
  sim.Ok("send 01");
  ASSERT_TRUE(RunUntil([&] { return counts.size() >= 2; }, 4000));
  EXPECT_EQ(counts[1], 1);
}

TEST_F(ComPortFixture, ClosingFromInsideAHandlerNeitherHangsNorCrashes) {
  bool closedInHandler = false;
  port.OnTriggerAvail = [&](TApdComPort& cp, uint16_t) {
    cp.SetOpen(false);
    closedInHandler = true;
  };
  port.SetOpen(true);
  sim.Ok("send 01");
  auto start = steady_clock::now();
  ASSERT_TRUE(RunUntil([&] { return closedInHandler; }));
  EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 1500);
  EXPECT_FALSE(port.Open());
  port.SetOpen(true);  // the line can be taken again at once
  EXPECT_TRUE(port.Open());
}

TEST_F(ComPortFixture, ComNumberZeroAsksForAPort) {
  struct Selector : PortSelector {
    std::optional<uint16_t> answer;
    int asked = 0;
    std::optional<uint16_t> SelectPort() override {
      ++asked;
      return answer;
    }
  } selector;
  port.SetComNumber(0);
  try {
    port.SetOpen(true);
    ADD_FAILURE() << "opened without a port";
  } catch (const ENoPortSelected& e) {
    EXPECT_STREQ(e.what(), "The ComNumber property of the TApdComPort has not been set");
  }
  port.SelectPortDialog = &selector;
  EXPECT_THROW(port.SetOpen(true), ENoPortSelected);
  EXPECT_EQ(selector.asked, 1);
  port.PromptForPort = false;
  selector.answer = 3;
  EXPECT_THROW(port.SetOpen(true), ENoPortSelected);
  EXPECT_EQ(selector.asked, 1);
  port.PromptForPort = true;
  port.SetOpen(true);
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(port.ComNumber(), 3);
}

TEST_F(ComPortFixture, MissingDevicesAndOtherLayersAreRefused) {
  port.DeviceLayer = dlWinsock;
  EXPECT_THROW(port.SetOpen(true), ENullApi);
  port.DeviceLayer = dlWin32;

  port.DeviceNameForPort = [this](uint16_t n) {
    return n == 1 ? sim.Url() : std::string("/dev/no-such-serial-port");
  };
  port.SetOpen(true);
  // Moving an open port to a number with no device: the error reaches the
  // caller, the port is closed and keeps the new number.
  EXPECT_THROW(port.SetComNumber(2), EBadId);
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.ComNumber(), 2);
  EXPECT_FALSE(port.Open());
}

TEST_F(ComPortFixture, ChangingComNumberWhileOpenKeepsArmedTriggers) {
  OrbSimProcess other({"--devices", "none", "--no-pacing"});
  int dsrEvents = 0;
  port.OnTriggerModemStatus = [&](TApdComPort&) { ++dsrEvents; };
  port.DeviceNameForPort = [&](uint16_t n) { return n == 1 ? sim.Url() : other.Url(); };
  port.SetOpen(true);
  uint16_t dsr = port.AddStatusTrigger(1);
  port.SetStatusTrigger(dsr, 0x20, true);
  port.SetComNumber(2);
  ASSERT_TRUE(port.Open());
  EXPECT_EQ(other.Ok("state").find("client=1") != std::string::npos, true);
  other.Ok("dsr 1");
  ASSERT_TRUE(RunUntil([&] { return dsrEvents == 1; }));
}

TEST_F(ComPortFixture, LineThatGoesAwayLeavesThePortQuietAndClosable) {
  int avail = 0;
  port.OnTriggerAvail = [&](TApdComPort& cp, uint16_t count) {
    avail++;
    for (uint16_t i = 0; i < count; ++i) cp.GetChar();
  };
  port.SetOpen(true);
  sim.Ok("drop");
  RunFor(300);
  port.PutString("lost");  // dropped, as on a port that went away
  EXPECT_FALSE(port.DSR());
  RunFor(200);
  port.SetOpen(false);
  EXPECT_EQ(avail, 0);
  port.SetOpen(true);  // the simulator serves a new connection
  EXPECT_TRUE(port.Open());
}
