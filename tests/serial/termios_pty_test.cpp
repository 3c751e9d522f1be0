// The termios device over a pseudo-terminal pair: the device opens the slave
// side, the test plays the far end on the master side.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "serial/ApdExceptions.h"
#include "serial/SerialDevice.h"
#include "testsupport/PortAccess.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

double ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

size_t Entries(const char* dir) {
  size_t n = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

Bytes Pattern(size_t n) {  // every byte value, CR, LF, ^C, ^S, ^Q included
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + i / 256);
  return b;
}

// Runs `call` and checks that it took about `ms` without burning the CPU.
template <class F>
void ExpectQuietWait(int ms, F call) {
  const auto start = Clock::now();
  const double cpu = ThreadCpuMs();
  call();
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(ms - 20));
  EXPECT_LT(ThreadCpuMs() - cpu, ms / 4.0) << "busy waiting";
}

class TermiosPty : public ::testing::Test {
 protected:
  void SetUp() override {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0) << "no pseudo-terminals here";
    ASSERT_EQ(::grantpt(master_), 0);
    ASSERT_EQ(::unlockpt(master_), 0);
    slavePath_ = ::ptsname(master_);
    device_ = OpenTermiosDevice(slavePath_);
  }
  void TearDown() override {
    device_.reset();
    CloseMaster();
  }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  void MasterWrite(const Bytes& data) {  // blocking: the master is left blocking
    for (size_t done = 0; done < data.size();) {
      ssize_t n = ::write(master_, data.data() + done, data.size() - done);
      ASSERT_GT(n, 0);
      done += static_cast<size_t>(n);
    }
  }
  Bytes MasterRead(size_t count) {
    Bytes out(count);
    size_t got = 0;
    pollfd p{master_, POLLIN, 0};
    while (got < count && ::poll(&p, 1, 5000) == 1) {
      ssize_t n = ::read(master_, out.data() + got, count - got);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    out.resize(got);
    return out;
  }
  // Reads through the device the way the component does: wait, then read.
  Bytes DeviceRead(size_t count) {
    Bytes out;
    uint8_t buf[1000];
    for (auto end = Clock::now() + 5s; out.size() < count && Clock::now() < end;) {
      if (!(device_->WaitEvent(500) & kEventRxChar)) continue;
      while (size_t n = device_->Read(buf, sizeof buf)) out.insert(out.end(), buf, buf + n);
    }
    return out;
  }

  int master_ = -1;
  std::string slavePath_;
  std::unique_ptr<SerialDevice> device_;
};

}  // namespace

TEST_F(TermiosPty, DataBothWaysUnchanged) {
  const Bytes out = Pattern(8192), in = Pattern(8000);
  Bytes received;
  std::thread reader([&] { received = MasterRead(out.size()); });
  EXPECT_EQ(device_->Write(out.data(), out.size(), 5000), out.size());
  reader.join();
  EXPECT_EQ(received, out);

  std::thread writer([&] { MasterWrite(in); });
  EXPECT_EQ(DeviceRead(in.size()), in);
  writer.join();
}

TEST_F(TermiosPty, LineSettingsAppliedAndReadBack) {
  const LineSettings settings[] = {
      {19200, ParityKind::Even, 8, 1}, {9600, ParityKind::None, 8, 2},
      {4800, ParityKind::Odd, 7, 1},   {115200, ParityKind::None, 5, 2},
#ifdef CMSPAR
      {38400, ParityKind::Mark, 7, 1}, {38400, ParityKind::Space, 7, 1},
#endif
  };
  for (const LineSettings& s : settings) {
    SCOPED_TRACE(::testing::Message() << s.baud << " baud " << static_cast<int>(s.parity));
    EXPECT_NO_THROW(device_->SetLine(s));
    EXPECT_EQ(device_->GetLine(), s);
    EXPECT_NO_THROW(device_->SetLine(s));  // the same again is no error either
  }
  const LineSettings before = device_->GetLine();
  try {
    device_->SetLine({14400, ParityKind::None, 8, 1});
    ADD_FAILURE() << "14400 baud has no termios rate";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode(), EINVAL);
    EXPECT_NE(std::string(e.what()).find("14400"), std::string::npos);
  }
  EXPECT_EQ(device_->GetLine(), before);
}

TEST_F(TermiosPty, NoModemLinesAndNoHelperThread) {
  device_.reset();
  const size_t threads = Entries("/proc/self/task");
  device_ = OpenTermiosDevice(slavePath_);
  EXPECT_EQ(Entries("/proc/self/task"), threads);
  EXPECT_FALSE(device_->HasModemLines());
  EXPECT_EQ(device_->ModemLines(), 0);
  for (bool on : {true, false}) {
    device_->SetDTR(on);
    device_->SetRTS(on);
  }
  EXPECT_FALSE(device_->Gone());
  ExpectQuietWait(100, [&] { EXPECT_EQ(device_->WaitEvent(100), 0u); });
}

TEST_F(TermiosPty, RxCharOncePerArrivalWithoutSpinning) {
  MasterWrite({'h', 'e', 'l', 'l', 'o'});
  std::this_thread::sleep_for(50ms);  // let the whole burst arrive
  EXPECT_EQ(device_->WaitEvent(2000), kEventRxChar);
  // Left unread (the caller's buffer is full): no new report, no busy wait.
  ExpectQuietWait(300, [&] { EXPECT_EQ(device_->WaitEvent(300), 0u); });

  MasterWrite({'!'});  // more bytes are news
  EXPECT_EQ(device_->WaitEvent(2000), kEventRxChar);
  EXPECT_EQ(device_->WaitEvent(50), 0u);

  uint8_t buf[16];  // reading part makes the rest news again
  ASSERT_EQ(device_->Read(buf, 2), 2u);
  EXPECT_EQ(device_->WaitEvent(2000), kEventRxChar);
  ASSERT_EQ(device_->Read(buf, sizeof buf), 4u);
  EXPECT_EQ(std::string(buf, buf + 4), "llo!");
  EXPECT_EQ(device_->WaitEvent(50), 0u);
}

TEST_F(TermiosPty, HangupReportedOnceThenQuiet) {
  CloseMaster();
  EXPECT_EQ(device_->WaitEvent(2000) & kEventGone, kEventGone);
  EXPECT_TRUE(device_->Gone());
  for (int i = 0; i < 2; ++i)
    ExpectQuietWait(200, [&] { EXPECT_EQ(device_->WaitEvent(200), 0u); });

  const Bytes data = Pattern(100);  // a vanished line swallows output
  EXPECT_EQ(device_->Write(data.data(), data.size(), 1000), data.size());
  uint8_t buf[16];
  EXPECT_EQ(device_->Read(buf, sizeof buf), 0u);
  EXPECT_NO_THROW(device_->SetLine({9600, ParityKind::None, 8, 1}));
}

TEST_F(TermiosPty, WriteTimesOutAndAbortWakesEverything) {
  const Bytes big = Pattern(1 << 20);  // more than the far end buffers unread
  ExpectQuietWait(200, [&] { EXPECT_LT(device_->Write(big.data(), big.size(), 200), big.size()); });

  size_t written = big.size();
  unsigned events = 99;
  std::thread writer([&] { written = device_->Write(big.data(), big.size(), -1); });
  std::thread waiter([&] { events = device_->WaitEvent(-1); });
  std::this_thread::sleep_for(100ms);
  device_->Abort();
  writer.join();
  waiter.join();
  EXPECT_LT(written, big.size());
  EXPECT_EQ(events, 0u);

  const auto start = Clock::now();  // and later calls return at once
  EXPECT_EQ(device_->WaitEvent(-1), 0u);
  EXPECT_EQ(device_->Write(big.data(), 10, -1), 0u);
  EXPECT_LT(Clock::now() - start, 100ms);
}

// A refused open leaves the holder's claim as it was (a privileged user's
// open gets past the exclusive mode and must not release it), and a
// terminal that another program put into exclusive mode is in use.
TEST_F(TermiosPty, PortIsExclusiveUntilClosed) {
  EXPECT_THROW(OpenTermiosDevice(slavePath_), EAlreadyOpen);
  EXPECT_TRUE(TerminalIsExclusive(slavePath_));
  EXPECT_THROW(OpenTermiosDevice(slavePath_), EAlreadyOpen);
  device_.reset();
  EXPECT_FALSE(TerminalIsExclusive(slavePath_));
  EXPECT_NO_THROW(device_ = OpenTermiosDevice(slavePath_));
  device_.reset();

  const int other = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::ioctl(other, TIOCEXCL), 0);
  EXPECT_THROW(OpenTermiosDevice(slavePath_), EAlreadyOpen);
  EXPECT_TRUE(TerminalIsExclusive(slavePath_));
  ::close(other);
}

TEST(TermiosOpen, WhatIsNoSerialPortIsBadIdAndLeaksNothing) {
  const size_t fds = Entries("/proc/self/fd");
  char file[] = "/tmp/varlo-not-a-tty-XXXXXX";
  int fd = ::mkstemp(file);
  ASSERT_GE(fd, 0);
  ::close(fd);
  for (const char* path : {"/dev/no-such-port-varlo", "/nonexistent-dir/ttyS0",
                           static_cast<const char*>(file), "/tmp", "/dev/null"})
    EXPECT_THROW(OpenTermiosDevice(path), EBadId) << path;
  ::unlink(file);
  EXPECT_EQ(Entries("/proc/self/fd"), fds);
}
