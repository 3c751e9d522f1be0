// Port numbers to devices, and which ports the Select Port list offers:
// testing a port leaves it as it was, never waits on the network, and lists
// the ports the user may not open.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>

#include "serial/PortNames.h"
#include "serial/SerialDevice.h"
#include "testsupport/PortAccess.h"
#include "testsupport/Pty.h"
#include "testsupport/SilentListener.h"

namespace {

size_t Entries(const char* dir) {
  size_t n = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

// Port n is devices[n], every other number a missing device.
std::function<std::string(uint16_t)> DevicesFor(const std::map<uint16_t, std::string>& devices) {
  return [devices](uint16_t n) {
    auto it = devices.find(n);
    return it == devices.end() ? "/dev/no-such-port-" + std::to_string(n) : it->second;
  };
}

std::vector<uint16_t> Numbers(const std::vector<ListedPort>& ports) {
  std::vector<uint16_t> numbers;
  for (const ListedPort& p : ports) numbers.push_back(p.number);
  return numbers;
}

bool SameTermios(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
         cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

}  // namespace

TEST(PortNames, SettingsNameTheDeviceElseTheNthSerialPort) {
  std::map<std::string, std::string> ini = {{"Com 2 Device", "  rfc2217://127.0.0.1:7000 "},
                                            {"Com 3 Device", ""}};
  SettingReader read = [&](const std::string& section, const std::string& key) {
    EXPECT_EQ(section, "Communications");
    auto it = ini.find(key);
    return it == ini.end() ? std::string() : it->second;
  };
  EXPECT_EQ(DeviceForPort(1, read), "/dev/ttyS0");
  EXPECT_EQ(DeviceForPort(2, read), "rfc2217://127.0.0.1:7000");
  EXPECT_EQ(DeviceForPort(3, read), "/dev/ttyS2");
  EXPECT_EQ(DeviceForPort(4, nullptr), "/dev/ttyS3");
}

TEST(PortNames, ValidPortsIncludePortsHeldByOthersAndSkipMissingOnes) {
  Pty one, two, twelve;
  auto deviceFor = DevicesFor({{1, one.slave}, {2, two.slave}, {12, twelve.slave}});
  auto held = OpenSerialDevice(two.slave);  // another user holds port 2
  const auto ports = ListPorts(deviceFor);
  EXPECT_EQ(Numbers(ports), (std::vector<uint16_t>{1, 2, 12}));
  ASSERT_EQ(ports.size(), 3u);
  // Held by another: found when it is opened for use, not by the test.
  EXPECT_EQ(ports[0].availability, PortAvailability::Available);
  EXPECT_EQ(ports[1].availability, PortAvailability::Available);
  EXPECT_EQ(ports[1].device, two.slave);
  EXPECT_FALSE(IsPortNumberValid(0, deviceFor));
  EXPECT_TRUE(IsPortNumberValid(2, deviceFor));
  EXPECT_FALSE(IsPortNumberValid(3, deviceFor));
}

// Testing a local port does not open it (opening raises DTR, the bus's
// handshake line): its line settings stay as another program left them, no
// thread or descriptor is left behind, a port held by another keeps its
// exclusive mode, and what is no terminal is no port.
TEST(PortProbe, LocalPortIsTestedWithoutChangingIt) {
  Pty free, held;
  termios cooked{};
  ASSERT_EQ(tcgetattr(free.master, &cooked), 0);
  cooked.c_lflag |= ICANON | ECHO | ISIG;
  cfsetspeed(&cooked, B2400);
  ASSERT_EQ(tcsetattr(free.master, TCSANOW, &cooked), 0);
  ASSERT_EQ(tcgetattr(free.master, &cooked), 0);
  auto holder = OpenSerialDevice(held.slave);
  ASSERT_TRUE(TerminalIsExclusive(held.slave));

  const size_t threads = Entries("/proc/self/task");
  const size_t fds = Entries("/proc/self/fd");
  const int watch = inotify_init1(IN_NONBLOCK);
  ASSERT_GE(watch, 0);
  ASSERT_GE(inotify_add_watch(watch, free.slave.c_str(), IN_OPEN), 0);
  const auto ports = ListPorts(DevicesFor({{1, free.slave}, {2, held.slave}}));
  char events[256];
  EXPECT_LT(read(watch, events, sizeof events), 0) << "the port was opened";
  close(watch);
  EXPECT_EQ(Entries("/proc/self/task"), threads);
  EXPECT_EQ(Entries("/proc/self/fd"), fds);

  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].availability, PortAvailability::Available);
  EXPECT_EQ(ports[1].availability, PortAvailability::Available);
  termios after{};
  ASSERT_EQ(tcgetattr(free.master, &after), 0);
  EXPECT_TRUE(SameTermios(after, cooked)) << "the test put the port into another mode";
  EXPECT_TRUE(TerminalIsExclusive(held.slave)) << "the test released another program's port";

  holder.reset();
  EXPECT_EQ(ProbePort(held.slave), PortAvailability::Available);
  for (const char* none : {"/dev/no-such-port-varlo", "/dev/null", "/tmp"})
    EXPECT_EQ(ProbePort(none), PortAvailability::Missing) << none;
}

// A port whose permissions refuse the user is listed as such (root included:
// the check runs without the capabilities that would override them).
TEST(PortProbe, PortTheUserMayNotOpenIsListed) {
  Pty denied, open;
  ASSERT_EQ(::chmod(denied.slave.c_str(), 0), 0);
  std::vector<ListedPort> ports;
  {
    FilePermissionsEnforced asAnotherUser;
    ASSERT_EQ(OpenError(denied.slave), EACCES);
    EXPECT_EQ(ProbePort(denied.slave), PortAvailability::NoPermission);
    ports = ListPorts(DevicesFor({{3, denied.slave}, {5, open.slave}}));
  }
  EXPECT_EQ(Numbers(ports), (std::vector<uint16_t>{3, 5}));
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].availability, PortAvailability::NoPermission);
  EXPECT_EQ(ports[0].device, denied.slave);
  EXPECT_EQ(ports[1].availability, PortAvailability::Available);
}

// Network ports are listed from their address alone: no connection is
// made, so an address that never answers cannot hold up the list.
TEST(PortProbe, NetworkPortsAreListedWithoutConnecting) {
  SilentListener silent;
  ASSERT_NE(silent.port, 0);
  auto deviceFor = DevicesFor({{1, silent.Url()},
                               {2, "rfc2217://127.0.0.1"},  // no port
                               {3, "rfc2217://no-such-host.invalid:4001"},
                               {4, "rfc2217://[::1]:4002"}});
  const auto start = std::chrono::steady_clock::now();
  const auto ports = ListPorts(deviceFor);
  const auto took = std::chrono::steady_clock::now() - start;
  // Connecting would take the 5 s connect time-out or the 3 s wait for the
  // server's answer; listing takes no network time at all.
  EXPECT_LT(took, std::chrono::milliseconds(1000));
  EXPECT_FALSE(silent.SomeoneConnected());
  EXPECT_EQ(Numbers(ports), (std::vector<uint16_t>{1, 3, 4}));
  for (const ListedPort& p : ports) EXPECT_EQ(p.availability, PortAvailability::Untested);
}
