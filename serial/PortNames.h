#pragma once
// Which device a port number stands for, and which ports can be offered.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "serial/SerialDevice.h"

// /dev/ttyS<n-1>: port 1 is the first on-board serial port.
std::string DefaultDeviceForPort(uint16_t n);

// Reads one value of the settings file; empty when the key is missing.
using SettingReader = std::function<std::string(const std::string& section, const std::string& key)>;

// "Com n Device": the key of section "Communications" that maps port n.
std::string PortDeviceKey(uint16_t n);

// The "Com n Device" value of section "Communications" (a device path or
// rfc2217://host:port), else the default device.
std::string DeviceForPort(uint16_t n, const SettingReader& settings);

// Port validity test for a port number: 0 is never valid.
bool IsPortNumberValid(uint16_t n, const std::function<std::string(uint16_t)>& deviceForPort);

// One entry of the Select Port list.
struct ListedPort {
  uint16_t number;
  std::string device;
  PortAvailability availability;
  // What the system says the device is ("FT232R USB UART (FTDI), ..."),
  // when it says.
  std::string description = {};
  // A system port no number is mapped to yet: choosing it maps `number` to
  // this stable link.
  std::string newLink = {};
};

// The valid ports among 1 to `last`, in increasing order (the Select Port
// list), each tested with `probe` (ProbePort: nothing is changed, nothing
// waited for).
std::vector<ListedPort> ListPorts(const std::function<std::string(uint16_t)>& deviceForPort,
                                  const std::function<PortAvailability(const std::string&)>& probe =
                                      ProbePort,
                                  uint16_t last = 50);
