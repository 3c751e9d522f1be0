#include "serial/PortNames.h"

std::string DefaultDeviceForPort(uint16_t n) {
  return "/dev/ttyS" + std::to_string(n == 0 ? 0 : n - 1);
}

std::string PortDeviceKey(uint16_t n) { return "Com " + std::to_string(n) + " Device"; }

std::string DeviceForPort(uint16_t n, const SettingReader& settings) {
  std::string configured = settings ? settings("Communications", PortDeviceKey(n)) : "";
  // Surrounding blanks in the settings file are not part of a path.
  auto first = configured.find_first_not_of(" \t");
  auto last = configured.find_last_not_of(" \t\r");
  if (first == std::string::npos) return DefaultDeviceForPort(n);
  return configured.substr(first, last - first + 1);
}

bool IsPortNumberValid(uint16_t n, const std::function<std::string(uint16_t)>& deviceForPort) {
  return n != 0 && IsPortValid(deviceForPort(n));
}

std::vector<ListedPort> ListPorts(const std::function<std::string(uint16_t)>& deviceForPort,
                                  const std::function<PortAvailability(const std::string&)>& probe,
                                  uint16_t last) {
  std::vector<ListedPort> ports;
  for (int n = 1; n <= last; ++n) {
    const auto number = static_cast<uint16_t>(n);
    std::string device = deviceForPort(number);
    const PortAvailability found = probe(device);
    if (found != PortAvailability::Missing) ports.push_back({number, std::move(device), found});
  }
  return ports;
}
