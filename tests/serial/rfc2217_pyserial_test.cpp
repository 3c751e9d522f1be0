// Our client against pyserial's RFC 2217 server (an independent
// implementation) serving a loop-back port.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "serial/SerialDevice.h"
#include "testsupport/ChildProcess.h"
#include "testsupport/TestClock.h"

namespace {

constexpr const char kPython[] = "/usr/bin/python3";

bool HavePyserial() {
  return access(kPython, X_OK) == 0 &&
         system("/usr/bin/python3 -c 'import serial.rfc2217' 2>/dev/null") == 0;
}

// Waits for a modem event after which the lines show `lines` under `mask`.
bool WaitModem(SerialDevice& d, uint8_t mask, uint8_t lines) {
  unsigned events = 0;
  for (auto start = Clock::now(); ElapsedMs(start) < 3000;) {
    events |= d.WaitEvent(100);
    if ((events & kEventModem) && (d.ModemLines() & mask) == lines) return true;
  }
  return false;
}
}  // namespace

TEST(Rfc2217Pyserial, OurClientAgainstPyserialServer) {
  ASSERT_TRUE(HavePyserial()) << "needs Debian's python3-serial (scripts/ensure-packages.sh installs it)";
  ChildProcess server({kPython, VARLO_SOURCE_DIR "/tests/serial/rfc2217_pyserial_server.py"});
  int port = PortFromLine(server.ReadLine(10000), "LISTENING");
  ASSERT_GT(port, 0);

  auto d = OpenSerialDevice("rfc2217://127.0.0.1:" + std::to_string(port));
  LineSettings s{19200, ParityKind::Even, 8, 1};
  d->SetLine(s);
  EXPECT_EQ(d->GetLine(), s);

  // loop:// sends our bytes back, 0xFF and all.
  std::vector<uint8_t> sent = {0x01, 0xFF, 0xFF, 0x7E, 0x00, 0xFE};
  EXPECT_EQ(d->Write(sent.data(), sent.size(), 1000), sent.size());
  std::vector<uint8_t> got;
  unsigned events = 0;
  for (auto start = Clock::now(); got.size() < sent.size() && ElapsedMs(start) < 3000;) {
    events |= d->WaitEvent(100);
    uint8_t buf[64];
    size_t n = d->Read(buf, sizeof buf);
    got.insert(got.end(), buf, buf + n);
  }
  EXPECT_EQ(got, sent);
  EXPECT_TRUE(events & kEventRxChar);

  // DSR follows our DTR, CTS our RTS; its server reports on its next check.
  d->SetDTR(true);
  EXPECT_TRUE(WaitModem(*d, kLineDSR, kLineDSR));
  d->SetDTR(false);
  EXPECT_TRUE(WaitModem(*d, kLineDSR, 0));
  d->SetRTS(true);
  EXPECT_TRUE(WaitModem(*d, kLineCTS, kLineCTS));
  EXPECT_EQ(d->ModemLines() & kLineDCD, kLineDCD);  // loop:// always has carrier
  d->PurgeTx();
  EXPECT_FALSE(d->Gone());
}
