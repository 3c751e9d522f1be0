#include "settings/BusSettings.h"

#include <utility>
#include <vector>

#include "settings/IniFile.h"
#include "settings/Settings.h"

namespace {
constexpr const char* kBus = "Bus";
constexpr int kLastAddress = 240;

std::string DeviceKey(int address) { return "Device " + std::to_string(address); }
}  // namespace

std::map<int, std::string> LoadBusDevices(const std::string& path) {
  std::map<int, std::string> devices;
  const std::string contents = IniFile(path).Text();
  for (int address = 1; address <= kLastAddress; ++address)
    if (std::optional<std::string> name = FindIniValue(contents, kBus, DeviceKey(address)))
      devices[address] = *name;
  return devices;
}

std::optional<std::string> SaveBusScan(const std::string& path,
                                       const std::map<int, std::optional<std::string>>& answers) {
  std::vector<std::pair<std::string, std::optional<std::string>>> keys;
  for (const auto& [address, name] : answers)
    if (address >= 1 && address <= kLastAddress) keys.emplace_back(DeviceKey(address), name);
  if (!IniFile(path).WriteKeys(kBus, keys)) return UnableToWriteMessage(path);
  return std::nullopt;
}
