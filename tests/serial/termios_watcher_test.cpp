// The modem-line helper thread: waking on changes, falling back to polling,
// and stopping even while blocked in a call that only a signal interrupts.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "serial/TermiosModemWatcher.h"

namespace {

using namespace std::chrono_literals;

template <class F>
bool Eventually(F done) {
  for (int i = 0; i < 2000 && !done(); ++i) std::this_thread::sleep_for(1ms);
  return done();
}

// A stand-in driver whose line-change wait blocks in read() on a pipe, which
// like the real wait only a byte or a signal ends.
struct FakeDriver {
  FakeDriver() { EXPECT_EQ(::pipe(fds), 0); }
  ~FakeDriver() {
    watcher.reset();
    ::close(fds[0]);
    ::close(fds[1]);
  }
  void Start() {
    TermiosModemWatcher::Probe p;
    p.waitForChange = [this] {
      ++waits;
      char c;
      if (waitError == 0) return ::read(fds[0], &c, 1) == 1 ? 0 : -1;
      errno = waitError;
      return -1;
    };
    p.readLines = [this](int* out) {
      *out = lines;
      errno = readError;
      return readError == 0 ? 0 : -1;
    };
    watcher = std::make_unique<TermiosModemWatcher>(p, [this] { ++changes; }, [this] { ++gone; });
  }
  void Wake() { ASSERT_EQ(::write(fds[1], "x", 1), 1); }

  int fds[2];
  std::atomic<int> lines{0}, waitError{0}, readError{0}, waits{0}, changes{0}, gone{0};
  std::unique_ptr<TermiosModemWatcher> watcher;
};

}  // namespace

TEST(TermiosModemWatcher, ReportsWakesAndStopsWhileBlocked) {
  FakeDriver d;
  d.Start();
  d.lines = TIOCM_CTS;
  d.Wake();
  ASSERT_TRUE(Eventually([&] { return d.changes == 1 && d.waits >= 2; }));
  EXPECT_FALSE(d.watcher->Polling());
  const auto start = std::chrono::steady_clock::now();
  d.watcher.reset();  // the thread sits in read(): only the signal gets it out
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_EQ(d.gone, 0);

  // Stopping at once races the thread into its blocking call; the stop
  // signal may come too early and must be repeated.
  for (int i = 0; i < 50; ++i) FakeDriver().Start();
}

TEST(TermiosModemWatcher, RefusedWaitFallsBackToPollingInputLines) {
  FakeDriver d;
  d.waitError = ENOTTY;
  d.Start();
  ASSERT_TRUE(Eventually([&] { return d.watcher->Polling(); }));
  d.lines = TIOCM_DTR | TIOCM_RTS;  // our own outputs are no input change
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(d.changes, 0);
  d.lines = TIOCM_DSR;
  ASSERT_TRUE(Eventually([&] { return d.changes == 1; }));
  d.lines = TIOCM_DSR | TIOCM_CAR;
  ASSERT_TRUE(Eventually([&] { return d.changes == 2; }));
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(d.changes, 2);
  EXPECT_EQ(d.waits, 1);

  d.readError = EIO;  // unplugged while polling
  ASSERT_TRUE(Eventually([&] { return d.gone == 1; }));
}

TEST(TermiosModemWatcher, VanishedPortEndsTheThreadOnce) {
  FakeDriver d;
  d.waitError = EIO;
  d.Start();
  ASSERT_TRUE(Eventually([&] { return d.gone == 1; }));
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(d.gone, 1);
  EXPECT_EQ(d.waits, 1);
}

TEST(TermiosModemWatcher, DriverReturningAtOnceDoesNotSpin) {
  FakeDriver d;
  for (int i = 0; i < 200; ++i) d.Wake();  // every wait returns at once, lines unchanged
  d.Start();
  ASSERT_TRUE(Eventually([&] { return d.watcher->Polling(); }));
  const int waits = d.waits;
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(d.waits, waits);
}
