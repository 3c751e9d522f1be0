#include "PortNames.h"

#include "SerialDevice.h"

std::string DefaultDeviceForPort(uint16_t n) {
  return "/dev/ttyS" + std::to_string(n == 0 ? 0 : n - 1);
}

std::string DeviceForPort(uint16_t n, const SettingReader& settings) {
  std::string configured =
      settings ? settings("Communications", "Com " + std::to_string(n) + " Device") : "";
  // Surrounding blanks in the settings file are not part of a path.
  auto first = configured.find_first_not_of(" \t");
  auto last = configured.find_last_not_of(" \t\r");
  if (first == std::string::npos) return DefaultDeviceForPort(n);
  return configured.substr(first, last - first + 1);
}

bool IsPortNumberValid(uint16_t n, const std::function<std::string(uint16_t)>& deviceForPort) {
  return n != 0 && IsPortValid(deviceForPort(n));
}

std::vector<uint16_t> ListValidPorts(const std::function<std::string(uint16_t)>& deviceForPort,
                                     uint16_t last) {
  std::vector<uint16_t> ports;
  for (uint16_t n = 1; n <= last; ++n)
    if (IsPortNumberValid(n, deviceForPort)) ports.push_back(n);
  return ports;
}
