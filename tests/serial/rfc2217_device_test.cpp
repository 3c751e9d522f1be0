// The network line client against orbsim: negotiation, settings, control
// lines, data both ways, modem events and the line going away.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "serial/ApdExceptions.h"
#include "serial/SerialDevice.h"
#include "testsupport/OrbSimProcess.h"
#include "testsupport/TestClock.h"

namespace {

// Waits for events until all of `wanted` were seen; returns what was seen.
unsigned WaitFor(SerialDevice& d, unsigned wanted, int timeoutMs = 3000) {
  unsigned seen = 0;
  auto start = Clock::now();
  while ((seen & wanted) != wanted && ElapsedMs(start) < timeoutMs) seen |= d.WaitEvent(100);
  return seen;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char* d = "0123456789abcdef";
  std::string s;
  for (uint8_t b : bytes) s += {d[b >> 4], d[b & 15]};
  return s;
}

class Rfc2217DeviceTest : public ::testing::Test {
 protected:
  OrbSimProcess sim{std::vector<std::string>{"--devices", "none", "--no-pacing"}};  // a plain line
  std::unique_ptr<SerialDevice> Open() { return OpenSerialDevice(sim.Url()); }
};
}  // namespace

TEST_F(Rfc2217DeviceTest, OpenNegotiatesAndSettingsReachTheLine) {
  auto d = Open();
  EXPECT_EQ(sim.Ok("state"), "ok dtr=0 rts=0 baud=19200 data=8 parity=N stop=1 client=1");
  EXPECT_TRUE(d->HasModemLines());

  LineSettings s{9600, ParityKind::Even, 7, 2};
  d->SetLine(s);
  EXPECT_EQ(d->GetLine(), s);
  EXPECT_EQ(sim.Ok("state"), "ok dtr=0 rts=0 baud=9600 data=7 parity=E stop=2 client=1");

  LineSettings shortWords{115200, ParityKind::Space, 5, 2};  // two stop bits at 5 data bits: 1.5
  d->SetLine(shortWords);
  EXPECT_EQ(d->GetLine(), shortWords);
  EXPECT_EQ(sim.Ok("state"), "ok dtr=0 rts=0 baud=115200 data=5 parity=S stop=1.5 client=1");

  // A rate the line refuses is an error, and GetLine keeps telling the truth.
  EXPECT_THROW(d->SetLine(LineSettings{10, ParityKind::Mark, 8, 1}), EInOutError);
  EXPECT_EQ(d->GetLine().baud, 115200);
  EXPECT_EQ(d->GetLine().parity, ParityKind::Mark);
}

TEST_F(Rfc2217DeviceTest, DtrAndRtsReachTheLine) {
  auto d = Open();
  d->SetDTR(true);
  d->SetRTS(true);
  EXPECT_EQ(sim.Command("wait dtr 1 2000"), "ok");
  EXPECT_EQ(sim.Command("wait rts 1 2000"), "ok");
  d->SetDTR(false);
  EXPECT_EQ(sim.Command("wait dtr 0 2000"), "ok");
  EXPECT_EQ(sim.Ok("state").substr(0, 16), "ok dtr=0 rts=1 b");
}

TEST_F(Rfc2217DeviceTest, DataBothWaysIncludingFF) {
  auto d = Open();
  std::vector<uint8_t> all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<uint8_t>(255 - i));
  EXPECT_EQ(d->Write(all.data(), all.size(), 1000), all.size());
  std::string got;
  for (auto start = Clock::now(); got.size() < 512 && ElapsedMs(start) < 3000;)
    got += sim.Ok("recv").substr(3);
  EXPECT_EQ(got, Hex(all));

  sim.Ok("send ff00ff41");
  EXPECT_EQ(WaitFor(*d, kEventRxChar) & kEventRxChar, kEventRxChar);
  uint8_t buf[16];
  ASSERT_EQ(d->Read(buf, 2), 2u);  // leave two bytes unread
  EXPECT_EQ(buf[0], 0xFF);
  EXPECT_EQ(buf[1], 0x00);
  // Data already reported is not reported again; new data is.
  EXPECT_EQ(d->WaitEvent(150), 0u);
  sim.Ok("send 42");
  EXPECT_EQ(WaitFor(*d, kEventRxChar) & kEventRxChar, kEventRxChar);
  ASSERT_EQ(d->Read(buf, sizeof buf), 3u);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + 3), (std::vector<uint8_t>{0xFF, 0x41, 0x42}));
}

TEST_F(Rfc2217DeviceTest, ModemLineChangesWakeTheWaiter) {
  auto d = Open();
  EXPECT_EQ(d->ModemLines(), 0);
  // A waiter blocked before the change is woken by it.
  auto waiter = std::async(std::launch::async, [&] { return d->WaitEvent(3000); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  sim.Ok("dsr 1");
  EXPECT_EQ(waiter.get() & kEventModem, kEventModem);
  EXPECT_EQ(d->ModemLines(), kLineDSR);
  sim.Ok("cts 1");
  EXPECT_EQ(WaitFor(*d, kEventModem) & kEventModem, kEventModem);
  EXPECT_EQ(d->ModemLines(), kLineDSR | kLineCTS);
  sim.Ok("dsr 0");
  EXPECT_EQ(WaitFor(*d, kEventModem) & kEventModem, kEventModem);
  EXPECT_EQ(d->ModemLines(), kLineCTS);
  sim.Ok("dcd 1");
  sim.Ok("ri 1");
  EXPECT_EQ(WaitFor(*d, kEventModem) & kEventModem, kEventModem);
  for (auto start = Clock::now(); d->ModemLines() != 0xD0 && ElapsedMs(start) < 2000;)
    d->WaitEvent(50);
  EXPECT_EQ(d->ModemLines(), kLineCTS | kLineDCD | kLineRI);
  // Lines set before the client connects are its starting state, not an event.
  auto again = std::move(d);
  again.reset();
  auto d2 = Open();
  EXPECT_EQ(d2->ModemLines(), kLineCTS | kLineDCD | kLineRI);
  EXPECT_EQ(d2->WaitEvent(100), 0u);
}

TEST_F(Rfc2217DeviceTest, DroppedConnectionIsReportedOnceAndNeverSpins) {
  auto d = Open();
  sim.Ok("dsr 1");
  EXPECT_EQ(WaitFor(*d, kEventModem) & kEventModem, kEventModem);
  sim.Ok("drop");
  EXPECT_EQ(WaitFor(*d, kEventGone) & kEventGone, kEventGone);
  EXPECT_TRUE(d->Gone());
  EXPECT_EQ(d->ModemLines(), 0);
  uint8_t bytes[3] = {1, 2, 3};
  EXPECT_EQ(d->Write(bytes, 3, 100), 3u);  // swallowed
  d->SetDTR(true);                          // ignored, no crash
  EXPECT_THROW(d->SetLine(LineSettings{}), EInOutError);

  // Afterwards WaitEvent sleeps out its time-out instead of returning at once.
  auto start = Clock::now();
  EXPECT_EQ(d->WaitEvent(300), 0u);
  EXPECT_GE(ElapsedMs(start), 280);

  // Abort wakes a waiter for good.
  auto waiter = std::async(std::launch::async, [&] { return d->WaitEvent(-1); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  d->Abort();
  EXPECT_EQ(waiter.wait_for(std::chrono::seconds(2)), std::future_status::ready);
  EXPECT_EQ(waiter.get(), 0u);
  std::string state = sim.Ok("state");
  EXPECT_EQ(state.substr(state.size() - 8), "client=0");
}

TEST_F(Rfc2217DeviceTest, AbortWakesABlockedWaiter) {
  auto d = Open();
  auto start = Clock::now();
  auto waiter = std::async(std::launch::async, [&] { return d->WaitEvent(-1); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  d->Abort();
  EXPECT_EQ(waiter.get(), 0u);
  EXPECT_LT(ElapsedMs(start), 1000);
  EXPECT_EQ(d->WaitEvent(-1), 0u);  // returns at once from now on
}

TEST_F(Rfc2217DeviceTest, BusyLineIsAlreadyOpen) {
  auto first = Open();
  EXPECT_THROW(Open(), EAlreadyOpen);
  EXPECT_TRUE(IsPortValid(sim.Url()));  // held by another: still a valid port
  first.reset();
  // Once the first client is gone, the line can be opened again.
  for (auto start = Clock::now(); sim.Ok("state").back() != '0' && ElapsedMs(start) < 2000;)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_NO_THROW(Open());
}

TEST(Rfc2217Open, NobodyListeningOrBadNameIsBadId) {
  // A port that was just free: nobody listens there.
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
  close(s);
  EXPECT_THROW(OpenSerialDevice("rfc2217://127.0.0.1:" + std::to_string(ntohs(addr.sin_port))),
               EBadId);
  for (const char* bad : {"rfc2217://127.0.0.1", "rfc2217://127.0.0.1:0", "rfc2217://:4000",
                          "rfc2217://127.0.0.1:99999", "rfc2217://127.0.0.1:4x", "rfc2217://::1:4000"}) {
    EXPECT_THROW(OpenSerialDevice(bad), EBadId) << bad;
    EXPECT_FALSE(IsPortValid(bad)) << bad;
  }
  // The port list does not connect to test a network line: a well-formed
  // address is offered, and only opening it finds nobody there.
  EXPECT_TRUE(IsPortValid("rfc2217://127.0.0.1:" + std::to_string(ntohs(addr.sin_port))));
}
