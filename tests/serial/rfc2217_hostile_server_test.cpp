// The network line client against servers that are not RFC 2217 servers,
// or that misbehave: it must fail cleanly, never hang, crash or grow.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "serial/ApdExceptions.h"
#include "serial/SerialDevice.h"
#include "tests/serial/rfc2217_fake_server.h"
#include "testsupport/TestClock.h"

using namespace telnet;
using Bytes = std::vector<uint8_t>;

namespace {

std::unique_ptr<SerialDevice> OpenAt(const FakeServer& server) {
  return OpenRfc2217Device(server.HostPort());
}
}  // namespace

TEST(Rfc2217HostileServer, ServerWithoutRfc2217IsAnInOutError) {
  FakeServer refusing([](FakeConnection& c) {
    c.refuseComPort = true;
    c.ServeUntil([] { return false; }, 2000, false);
  });
  auto start = Clock::now();
  try {
    OpenAt(refusing);
    FAIL() << "opened";
  } catch (const EInOutError& e) {
    EXPECT_NE(std::string(e.what()).find("RFC 2217"), std::string::npos) << e.what();
  }
  EXPECT_LT(ElapsedMs(start), 1000);  // a refusal needs no time-out

  FakeServer silent([](FakeConnection& c) { c.ServeUntil([] { return false; }, 3500, false); });
  start = Clock::now();
  EXPECT_THROW(OpenAt(silent), EInOutError);
  EXPECT_LT(ElapsedMs(start), 4000);
}

TEST(Rfc2217HostileServer, CloseDuringNegotiationIsAlreadyOpen) {
  FakeServer closing([](FakeConnection&) {});  // accepts and closes: a busy port
  EXPECT_THROW(OpenAt(closing), EAlreadyOpen);
}

TEST(Rfc2217HostileServer, RefusedSettingIsReportedNotWaitedFor) {
  FakeServer stubborn([](FakeConnection& c) {
    c.baudReply = BaudBytes(9600);
    c.Accept();
    c.ServeUntil([] { return false; }, 500);
  });
  try {
    OpenAt(stubborn);
    FAIL() << "opened";
  } catch (const EInOutError& e) {
    EXPECT_NE(std::string(e.what()).find("baud rate"), std::string::npos) << e.what();
  }
}

TEST(Rfc2217HostileServer, SilentServerNeverBlocksControlLinesAndTimesOutSettings) {
  std::atomic<bool> sawDtrAndRts{false};
  FakeServer mute([&](FakeConnection& c) {
    ASSERT_TRUE(c.Accept());
    // From now on nothing is answered.
    auto asked = [&](uint8_t value) {
      for (auto& sb : c.sbs)
        if (sb.size() == 2 && sb[0] == kSetControl && sb[1] == value) return true;
      return false;
    };
    sawDtrAndRts = c.ServeUntil([&] { return asked(kControlDtrOn) && asked(kControlRtsOff); }, 3000, false);
    c.ServeUntil([] { return false; }, 5000, false);
  });
  auto d = OpenAt(mute);
  // The user-interface thread sets the lines: it must not wait for answers.
  auto start = Clock::now();
  d->SetDTR(true);
  d->SetRTS(false);
  EXPECT_LT(ElapsedMs(start), 500);
  start = Clock::now();
  EXPECT_THROW(d->SetLine(LineSettings{9600, ParityKind::Odd, 7, 1}), EInOutError);
  EXPECT_GE(ElapsedMs(start), 2900);
  EXPECT_LT(ElapsedMs(start), 5000);
  EXPECT_TRUE(sawDtrAndRts);
  EXPECT_EQ(d->GetLine(), LineSettings{});  // still what the server last confirmed
}

TEST(Rfc2217HostileServer, GarbageEndlessSubnegotiationAndOptionFloodsAreSurvived) {
  FakeServer hostile([](FakeConnection& c) {
    ASSERT_TRUE(c.Accept());
    Bytes junk;
    // Malformed COM-PORT-OPTION commands: empty, short, unknown codes.
    for (uint8_t code : {0, 101, 107, 106, 105, 200, 255}) junk.insert(junk.end(), {kIAC, kSB, 44, code, kIAC, kSE});
    junk.insert(junk.end(), {kIAC, kSB, kIAC, kSE, kIAC, kSB, 44, kIAC, kSE, kIAC, kSE, kIAC, 7});
    // Every option offered and demanded, many times over.
    for (int round = 0; round < 50; ++round)
      for (int opt = 0; opt < 256; ++opt)
        for (uint8_t cmd : {kWILL, kDO, kWONT, kDONT}) junk.insert(junk.end(), {kIAC, cmd, static_cast<uint8_t>(opt)});
    // A subnegotiation of 4 MB that never ends.
    junk.insert(junk.end(), {kIAC, kSB, 44, 107});
    junk.resize(junk.size() + 4 * 1024 * 1024, 0x55);
    EXPECT_EQ(c.Send(junk, 5000), junk.size());
    // ... and then does end, followed by a notification and data.
    Bytes tail = {kIAC, kSE};
    Bytes notify = ComPortFrame(107, {0x20 | 0x02});
    tail.insert(tail.end(), notify.begin(), notify.end());
    tail.insert(tail.end(), {'o', 'k'});
    c.Send(tail);
    c.ServeUntil([] { return false; }, 1500);
  });
  auto d = OpenAt(hostile);
  unsigned seen = 0;
  for (auto start = Clock::now(); (seen & (kEventRxChar | kEventModem)) != (kEventRxChar | kEventModem) &&
                                  ElapsedMs(start) < 8000;)
    seen |= d->WaitEvent(100);
  EXPECT_EQ(d->ModemLines(), kLineDSR);
  uint8_t buf[8];
  ASSERT_EQ(d->Read(buf, sizeof buf), 2u);
  EXPECT_EQ(buf[0], 'o');
}

namespace {
long RssKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}
}  // namespace

TEST(Rfc2217HostileServer, DataFloodIsHeldBackThenCloseMidTransferIsGone) {
  size_t offered = 64 * 1024 * 1024, pushed = 0;
  std::atomic<bool> pushedAll{false};
  FakeServer flooding([&](FakeConnection& c) {
    ASSERT_TRUE(c.Accept());
    Bytes chunk(1024 * 1024, 0xFF);  // escaped on the wire: every byte doubled
    for (size_t sent = 0; sent < offered; sent += chunk.size()) {
      size_t n = c.Send(chunk, 300);
      pushed += n;
      if (n < chunk.size()) break;  // the client holds us back
    }
    pushedAll = true;
    // Take what the client sent, so that closing is an orderly end, not a reset.
    c.ServeUntil([] { return false; }, 200, false);
  });
  auto d = OpenAt(flooding);
  [[maybe_unused]] long rssBefore = RssKb();
  while (!pushedAll) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  // Nothing read yet: the client keeps a bounded buffer and TCP holds the rest.
  EXPECT_LT(pushed, offered);
#ifndef __SANITIZE_ADDRESS__  // its quarantine keeps freed memory resident
  EXPECT_LT(RssKb() - rssBefore, 32 * 1024);
#endif

  // Reading makes room; the server has closed meanwhile: data first, then gone.
  size_t total = 0;
  unsigned seen = 0;
  auto start = Clock::now();
  while (!(seen & kEventGone) && ElapsedMs(start) < 8000) {
    seen |= d->WaitEvent(100);
    uint8_t buf[65536];
    for (size_t n; (n = d->Read(buf, sizeof buf)) > 0;) {
      total += n;
      ASSERT_EQ(buf[n - 1], 0xFF);
    }
  }
  EXPECT_TRUE(seen & kEventGone);
  EXPECT_GT(total, 0u);
  EXPECT_LE(total, pushed / 2);  // each data byte was two bytes on the wire
  EXPECT_TRUE(d->Gone());
  EXPECT_EQ(d->WaitEvent(50), 0u);
}
