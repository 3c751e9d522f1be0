// The line going away in the middle of a transaction: the network
// connection to the RFC 2217 server drops at each step of the handshake,
// or a local serial device vanishes while open. The engine ends the
// transaction with its message, returns to idle with DTR low, and the next
// Connect reaches the line again once it is back.
#include <memory>

#include "tests/link/LinkFixture.h"
#include "testsupport/Pty.h"

using namespace pa422;

namespace {
class LineLossTest : public LinkFixture {
 protected:
  LineLossTest() : LinkFixture({"--devices", "1", "--no-pacing"}) {}

  // A recall that reaches the device once the line is there again.
  void ExpectRecallWorks() {
    const size_t before = window.got.size();
    engine.RecallAllData(1, 0);
    ASSERT_TRUE(WaitNotifications(before + 1));
    EXPECT_EQ(window.got.back(), "AllDataReceived");
  }
};

bool IsTimeOut(const std::string& message) {
  return message == "ORB Not Found." || message == "Timeout - Waiting for DT/ID." ||
         message == "Timeout - Waiting for Data from ORB.";
}
}  // namespace

TEST_F(LineLossTest, NetworkConnectionDropsAtEachStep) {
  const struct {
    const char* step;
    const char* message;  // nullptr: whichever time-out the engine was in
  } steps[] = {{"dsr", nullptr},
               {"dtid", nullptr},
               {"frame", "Timeout - Waiting for Data from ORB."},
               {"reply", "Timeout - Waiting for Data from ORB."}};
  engine.Connect();
  ASSERT_TRUE(engine.Connected);
  for (const auto& s : steps) {
    SCOPED_TRACE(s.step);
    messages.shown.clear();
    window.got.clear();
    ASSERT_EQ(sim.Ok(std::string("drop at ") + s.step), "ok");
    engine.RecallAllData(1, 0);
    ASSERT_TRUE(WaitIdle(8000));
    ASSERT_EQ(messages.shown.size(), 1u);
    if (s.message)
      EXPECT_EQ(messages.shown[0], s.message);
    else
      EXPECT_TRUE(IsTimeOut(messages.shown[0])) << messages.shown[0];
    EXPECT_EQ(window.got, std::vector<std::string>{"LinkFailed"});
    EXPECT_FALSE(engine.ApdComPort.DTR());
    EXPECT_TRUE(engine.ApdComPort.LineGone());

    // The server is still there: connecting again opens a new connection
    // and the device answers.
    engine.Connect();
    ASSERT_TRUE(engine.Connected);
    EXPECT_FALSE(engine.ApdComPort.LineGone());
    ExpectRecallWorks();
    EXPECT_TRUE(messages.shown.size() == 1) << messages.shown.back();
  }
  EXPECT_TRUE(exceptions.shown.empty());
}

TEST_F(LineLossTest, ConnectOnALiveLineKeepsItsConnection) {
  engine.Connect();
  ExpectRecallWorks();
  sim.Ok("frames");
  engine.Connect();  // nothing to do: the same connection goes on
  ExpectRecallWorks();
  EXPECT_EQ(sim.Ok("state").find("client=1") != std::string::npos, true);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(LineLossTest, LocalDeviceVanishesWhileOpen) {
  auto pty = std::make_unique<Pty>();
  std::string path = pty->slave;
  engine.ApdComPort.DeviceNameForPort = [&](uint16_t) { return path; };
  engine.Connect();
  ASSERT_TRUE(engine.Connected);

  // A pseudo-terminal has no DSR: the transaction waits for the device
  // when the terminal goes away under it.
  engine.UpdateParameter(1, kDevicePassword, 26, 2);
  ASSERT_EQ(engine.CommState, 1);
  pty.reset();
  ASSERT_TRUE(WaitIdle(8000));
  EXPECT_EQ(messages.shown, std::vector<std::string>{"ORB Not Found."});
  EXPECT_EQ(window.got, std::vector<std::string>{"LinkFailed"});
  EXPECT_FALSE(engine.ApdComPort.DTR());
  ASSERT_TRUE(RunUntil([&] { return engine.ApdComPort.LineGone(); }));

  // The line is back (here: under another name): Connect opens it, and the
  // address byte of the next transaction arrives.
  pty = std::make_unique<Pty>();
  path = pty->slave;
  engine.Connect();
  ASSERT_TRUE(engine.Connected);
  EXPECT_FALSE(engine.ApdComPort.LineGone());
  engine.UpdateParameter(7, kDevicePassword, 26, 2);
  char byte = 0;
  ASSERT_TRUE(RunUntil([&] { return read(pty->master, &byte, 1) == 1; }, 3000));
  EXPECT_EQ(byte, 7);
  engine.Disconnect();
  EXPECT_TRUE(exceptions.shown.empty());
}
