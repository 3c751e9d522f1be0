// orbsim's RFC 2217 server, byte by byte, and its control channel.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "tests/sim/telnet_test_client.h"
#include "testsupport/OrbSimProcess.h"
#include "testsupport/TestClock.h"

using namespace telnet;
using Bytes = std::vector<uint8_t>;

namespace {
// These tests drive the line itself; no devices answer on it.
const std::vector<std::string> kPlainLine = {"--devices", "none", "--no-pacing"};

int64_t SteadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// A client that has offered COM-PORT-OPTION and got its DO.
struct Session : TelnetTestClient {
  explicit Session(int port) : TelnetTestClient(port) {
    Send(OptionFrame(kWILL, kOptComPort));
    ReadUntil([&] {
      for (auto& o : options)
        if (o == std::make_pair(kDO, kOptComPort)) return true;
      return false;
    });
  }
  Bytes Ask(uint8_t command, std::initializer_list<uint8_t> value) {
    SendComPort(command, value);
    Bytes answer;
    EXPECT_TRUE(NextComPort(static_cast<uint8_t>(command + kServerOffset), answer)) << int(command);
    return answer;
  }
};
}  // namespace

TEST(OrbSimControl, EveryCommandGetsOneReplyLine) {
  OrbSimProcess sim(kPlainLine);
  EXPECT_EQ(sim.Command("state"), "ok dtr=0 rts=0 baud=9600 data=8 parity=N stop=1 client=0");
  EXPECT_EQ(sim.Command("recv"), "ok ");
  for (const char* bad : {"", "bogus", "dsr", "dsr 2", "send 0g", "send abc", "wait dtr 1",
                          "wait dsr 1 10", "wait dtr 1 -5", "recv now"})
    EXPECT_EQ(sim.Command(bad).rfind("error", 0), 0u) << "'" << bad << "'";

  // Without a client, the time stamp is simply now.
  int64_t before = SteadyNs();
  std::string reply = sim.Command("dsr 1");
  int64_t at = std::stoll(reply.substr(3));
  EXPECT_GE(at, before);
  EXPECT_LE(at, SteadyNs());

  auto start = Clock::now();
  EXPECT_EQ(sim.Command("wait dtr 1 100"), "timeout");
  EXPECT_GE(ElapsedMs(start), 95);
  EXPECT_EQ(sim.Command("wait rts 0 100"), "ok");

  // Several commands in one write, and a second connection served while the
  // first waits.
  int raw = ConnectLoopbackTcp(sim.ControlPort());
  std::string batch = "wait dtr 1 800\nstate\nrecv\r\n";
  send(raw, batch.data(), batch.size(), 0);
  EXPECT_EQ(sim.Command("state").rfind("ok dtr=0", 0), 0u);  // not held up
  std::string got;
  for (auto t = Clock::now(); std::count(got.begin(), got.end(), '\n') < 3 && ElapsedMs(t) < 3000;) {
    char buf[256];
    ssize_t n = recv(raw, buf, sizeof buf, MSG_DONTWAIT);
    if (n > 0) got.append(buf, static_cast<size_t>(n));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(got, "timeout\nok dtr=0 rts=0 baud=9600 data=8 parity=N stop=1 client=0\nok \n");
  close(raw);
}

TEST(OrbSimSession, NegotiatesAndAnswersEveryCommand) {
  OrbSimProcess sim(kPlainLine);
  sim.Ok("dsr 1");
  Session c(sim.SerialPort());
  // BINARY both ways and SGA were offered; DO COM-PORT-OPTION answered our WILL.
  for (auto wanted : {std::make_pair(kWILL, kOptBinary), std::make_pair(kDO, kOptBinary),
                      std::make_pair(kWILL, kOptSuppressGoAhead)})
    EXPECT_NE(std::find(c.options.begin(), c.options.end(), wanted), c.options.end());
  Bytes v;
  ASSERT_TRUE(c.NextComPort(107, v));  // the lines as they are, at once
  EXPECT_EQ(v, Bytes{0x20});
  EXPECT_EQ(sim.Command("state").substr(sim.Command("state").size() - 8), "client=1");

  EXPECT_EQ(c.Ask(kSetBaudRate, {10}), Bytes{10});  // Cisco's index for 19200
  EXPECT_EQ(c.Ask(kSetBaudRate, {0, 0, 0, 0}), BaudBytes(19200));
  EXPECT_EQ(c.Ask(kSetBaudRate, {0, 1, 0xC2, 0xFF}), BaudBytes(0x1C2FF));  // 0xFF inside
  EXPECT_EQ(c.Ask(kSetBaudRate, {0, 0, 0, 1}), BaudBytes(0x1C2FF));        // refused
  EXPECT_EQ(c.Ask(kSetDataSize, {7}), Bytes{7});
  EXPECT_EQ(c.Ask(kSetDataSize, {9}), Bytes{7});
  EXPECT_EQ(c.Ask(kSetParity, {5}), Bytes{5});
  EXPECT_EQ(c.Ask(kSetStopSize, {3}), Bytes{3});
  EXPECT_EQ(c.Ask(kSetControl, {kControlDtrOn}), Bytes{kControlDtrOn});
  EXPECT_EQ(c.Ask(kSetControl, {kControlRtsQuery}), Bytes{kControlRtsOff});
  EXPECT_EQ(c.Ask(kSetControl, {kControlDtrQuery}), Bytes{kControlDtrOn});
  EXPECT_EQ(c.Ask(kSetControl, {kControlFlowQuery}), Bytes{kControlNoFlow});
  EXPECT_EQ(c.Ask(kPurgeData, {kPurgeBoth}), Bytes{kPurgeBoth});
  EXPECT_EQ(c.Ask(kNotifyModemState, {}), Bytes{0x20});
  EXPECT_EQ(sim.Command("state"), "ok dtr=1 rts=0 baud=115455 data=7 parity=S stop=1.5 client=1");

  // A mask without change bits must not hide a falling DSR.
  EXPECT_EQ(c.Ask(kSetModemStateMask, {0x20}), Bytes{0x20});
  sim.Ok("dsr 0");
  ASSERT_TRUE(c.NextComPort(107, v));
  EXPECT_EQ(v, Bytes{0x00});
  sim.Ok("cts 1");  // masked out: no notification
  sim.Ok("dsr 1");
  ASSERT_TRUE(c.NextComPort(107, v));
  EXPECT_EQ(v, Bytes{0x20});
  EXPECT_EQ(c.Ask(kSetModemStateMask, {0xFF}), Bytes{0xFF});
  sim.Ok("ri 1");
  sim.Ok("ri 0");  // trailing edge
  ASSERT_TRUE(c.NextComPort(107, v));
  EXPECT_EQ(v, Bytes{0x70});
  ASSERT_TRUE(c.NextComPort(107, v));
  EXPECT_EQ(v, Bytes{0x34});

  // Data both ways, 0xFF escaped.
  c.Send({'a', kIAC, kIAC, 'b'});
  std::string got;
  for (auto t = Clock::now(); got.size() < 6 && ElapsedMs(t) < 2000;) got += sim.Ok("recv").substr(3);
  EXPECT_EQ(got, "61ff62");
  sim.Ok("send ff0aff");
  EXPECT_TRUE(c.ReadUntil([&] { return c.data.size() >= 3; }));
  EXPECT_EQ(c.data, (Bytes{0xFF, 0x0A, 0xFF}));

  // The line is busy for a second client; the first keeps working.
  TelnetTestClient second(sim.SerialPort());
  EXPECT_FALSE(second.ReadUntil([] { return false; }, 1000));
  EXPECT_TRUE(second.closed);
  EXPECT_EQ(c.Ask(kSetDataSize, {0}), Bytes{7});
}

TEST(OrbSimSession, NotificationIsWrittenBeforeTheReplyAndClosingDropsDtr) {
  OrbSimProcess sim(kPlainLine);
  {
    Session c(sim.SerialPort());
    Bytes v;
    ASSERT_TRUE(c.NextComPort(107, v));
    c.Ask(kSetControl, {kControlDtrOn});
    c.Ask(kSetControl, {kControlRtsOn});
    for (int i = 0; i < 20; ++i) {
      int64_t at = std::stoll(sim.Ok(i % 2 ? "dsr 0" : "dsr 1").substr(3));
      ASSERT_TRUE(c.NextComPort(107, v));
      int64_t receivedAt = SteadyNs();
      EXPECT_EQ(v, Bytes{static_cast<uint8_t>(i % 2 ? 0x02 : 0x22)});
      EXPECT_GT(receivedAt, at);
    }
  }
  // Closing the port drops DTR and RTS, as closing a serial port does.
  EXPECT_EQ(sim.Command("wait dtr 0 2000"), "ok");
  EXPECT_EQ(sim.Command("state").substr(0, 14), "ok dtr=0 rts=0");
}
