// orbsim against clients that misbehave, and its process life: it must
// stay up, bounded in memory, and serve the next proper client.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "serial/SerialDevice.h"
#include "tests/sim/telnet_test_client.h"
#include "testsupport/OrbSimProcess.h"
#include "testsupport/TestClock.h"

using namespace telnet;
using Bytes = std::vector<uint8_t>;

namespace {

long RssKb(int pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

// Sends without blocking for at most `ms`; returns the bytes taken.
size_t SendFor(int fd, const Bytes& bytes, int ms) {
  size_t done = 0;
  for (auto start = Clock::now(); done < bytes.size() && ElapsedMs(start) < ms;) {
    ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0)
      done += static_cast<size_t>(n);
    else if (n < 0 && errno != EAGAIN)
      break;
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return done;
}

void ResetConnection(int fd) {
  linger hard{1, 0};  // close with RST, as a crashed client would
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
}
}  // namespace

TEST(OrbSimRobustness, HostileClientsLeaveItServingAndBounded) {
  OrbSimProcess sim;
  std::mt19937 random(2217);
  long rssStart = RssKb(sim.Pid());
  {
    // Garbage, an endless subnegotiation, an option flood and a data flood
    // that orbsim takes in (and drops beyond its capture)...
    TelnetTestClient c(sim.SerialPort());
    int small = 4096;  // no room on our side: orbsim's answers back up
    setsockopt(c.Fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    Bytes junk(200000);
    for (auto& b : junk) b = static_cast<uint8_t>(random());
    // GCC 12 at -O3 has the copy into the grown vector read and write past
    // the old buffer; the vector moves its bytes to new storage first.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
#pragma GCC diagnostic ignored "-Wstringop-overread"
#pragma GCC diagnostic ignored "-Wstringop-overflow"
    junk.insert(junk.end(), {kIAC, kSB, 44, 1});
#pragma GCC diagnostic pop
    junk.resize(junk.size() + 2 * 1024 * 1024, 0x33);
    for (int round = 0; round < 40; ++round)
      for (int opt = 0; opt < 256; ++opt)
        for (uint8_t cmd : {kWILL, kDO, kWONT, kDONT}) junk.insert(junk.end(), {kIAC, cmd, uint8_t(opt)});
    junk.resize(junk.size() + 32 * 1024 * 1024, 'z');
    EXPECT_EQ(SendFor(c.Fd(), junk, 3000), junk.size());
    // ... then requests whose answers it never reads, and more data: orbsim
    // stops reading rather than queue answers without end.
    Bytes polls;
    Bytes poll = ComPortFrame(kNotifyModemState, {});
    for (int i = 0; i < 1000000; ++i) polls.insert(polls.end(), poll.begin(), poll.end());
    SendFor(c.Fd(), polls, 2000);
    Bytes flood(8 * 1024 * 1024, 'z');
    EXPECT_LT(SendFor(c.Fd(), flood, 500), flood.size());
    ResetConnection(c.Fd());
  }
  {
    TelnetTestClient quiet(sim.SerialPort());  // connects and closes at once
  }
  std::fprintf(stderr, "orbsim grew by %ld KiB\n", RssKb(sim.Pid()) - rssStart);
#ifndef __SANITIZE_ADDRESS__  // its quarantine keeps freed memory resident
  EXPECT_LT(RssKb(sim.Pid()) - rssStart, 16 * 1024);
#endif
  for (auto t = Clock::now(); sim.Ok("state").back() != '0' && ElapsedMs(t) < 2000;)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  // The capture kept its first 64 KiB and counted the rest as dropped.
  const std::string captured = sim.Ok("recv");
  const size_t hexEnd = captured.find(' ', 3);
  EXPECT_EQ(hexEnd, 3 + 2 * 64 * 1024u);
  EXPECT_EQ(captured.substr(hexEnd, 9), " dropped=");

  // A control connection sending one endless line is refused, not buffered.
  int raw = ConnectLoopbackTcp(sim.ControlPort());
  std::string endless(3 * 1024 * 1024, 's');
  endless += "\nstate\n";
  SendFor(raw, Bytes(endless.begin(), endless.end()), 3000);
  std::string replies;
  for (auto t = Clock::now(); std::count(replies.begin(), replies.end(), '\n') < 2 && ElapsedMs(t) < 3000;) {
    char buf[256];
    ssize_t n = recv(raw, buf, sizeof buf, MSG_DONTWAIT);
    if (n > 0) replies.append(buf, static_cast<size_t>(n));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(replies.substr(0, 20), "error line too long\n");
  close(raw);

  // And a proper client is served.
  auto d = OpenSerialDevice(sim.Url());
  d->SetDTR(true);
  EXPECT_EQ(sim.Command("wait dtr 1 2000"), "ok");
  uint8_t hello[] = {'h', 'i'};
  d->Write(hello, 2, 1000);
  std::string got;
  for (auto t = Clock::now(); got.size() < 4 && ElapsedMs(t) < 2000;) got += sim.Ok("recv").substr(3);
  EXPECT_EQ(got, "6869");
}

TEST(OrbSimProcessLife, QuitSignalsAndBadArguments) {
  auto start = [](std::vector<std::string> extra = {}) {
    std::vector<std::string> argv = {ORBSIM_PATH, "--listen", "127.0.0.1:0", "--control", "127.0.0.1:0"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return std::make_unique<ChildProcess>(argv);
  };
  {
    auto p = start();
    int serial = PortFromLine(p->ReadLine(5000), "LISTENING");
    int control = PortFromLine(p->ReadLine(5000), "CONTROL");
    ASSERT_GT(serial, 0);
    ASSERT_GT(control, 0);
    TelnetTestClient client(serial);  // a client connected does not keep it alive
    int fd = ConnectLoopbackTcp(control);
    send(fd, "quit\n", 5, 0);
    char reply[8] = {};
    EXPECT_EQ(recv(fd, reply, sizeof reply, MSG_WAITALL), 3);
    EXPECT_STREQ(reply, "ok\n");
    EXPECT_EQ(p->WaitExit(3000), 0);
    close(fd);
  }
  for (int sig : {SIGTERM, SIGINT}) {
    auto p = start();
    ASSERT_GT(PortFromLine(p->ReadLine(5000), "LISTENING"), 0);
    kill(p->Pid(), sig);
    EXPECT_EQ(p->WaitExit(3000), 0);
  }
  for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{
           {"--bogus"}, {"--devices", "0"}, {"--devices", "1,1"}, {"--latency-ms", "-5"}, {"--state"}})
    EXPECT_EQ(start(bad)->WaitExit(3000), 2) << bad[0];
  EXPECT_EQ(start({"--listen", "not-an-address"})->WaitExit(3000), 1);
  EXPECT_EQ(start({"--log", "/nonexistent-folder/bus.log"})->WaitExit(3000), 1);
}
