// Port numbers to devices, and which ports the Select Port list offers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <map>

#include "PortNames.h"
#include "SerialDevice.h"
#include "support/Pty.h"

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

TEST(PortNames, ValidPortsIncludePortsInUseAndSkipMissingOnes) {
  Pty one, two, twelve;
  std::map<uint16_t, std::string> devices = {{1, one.slave}, {2, two.slave}, {12, twelve.slave}};
  auto deviceFor = [&](uint16_t n) {
    auto it = devices.find(n);
    return it == devices.end() ? std::string("/dev/no-such-port-") + std::to_string(n) : it->second;
  };
  auto held = OpenSerialDevice(two.slave);  // another user holds port 2
  EXPECT_EQ(ListValidPorts(deviceFor), (std::vector<uint16_t>{1, 2, 12}));
  EXPECT_FALSE(IsPortNumberValid(0, deviceFor));
}
