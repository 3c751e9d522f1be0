#include "sim/BusCommands.h"

#include "sim/Hex.h"

namespace {
// Stray bytes are a few bytes of noise; more would hold the wire for minutes.
constexpr size_t kMaxStrayBytes = 1024;

std::optional<int> Number(const std::string& word, int low, int high) {
  if (word.empty() || word.size() > 3 || word.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  int value = std::stoi(word);
  if (value < low || value > high) return std::nullopt;
  return value;
}

std::string HexOf(const std::string& bytes) {
  return ToHex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string Fault(const std::vector<std::string>& words, DeviceBus& bus) {
  if (words.size() == 2 && words[1] == "clear") {
    bus.ClearAllFaults();
    return "ok";
  }
  auto address = words.size() >= 3 ? Number(words[1], 1, 255) : std::nullopt;
  if (!address) return "error usage: fault <addr> [after <frames>] <fault> | fault clear";
  const uint8_t at = static_cast<uint8_t>(*address);
  DeviceFaults* faults = bus.Faults(at);
  if (!faults) return "error no device at address " + words[1];
  std::vector<std::string> rest(words.begin() + 2, words.end());
  if (rest[0] == "after") {
    auto frames = rest.size() >= 3 ? Number(rest[1], 1, 999) : std::nullopt;
    if (!frames) return "error usage: fault <addr> after <1..999> <fault>";
    DeviceFaults later;
    auto error = ApplyFaultWords(later, std::vector<std::string>(rest.begin() + 2, rest.end()));
    if (error) return *error;
    bus.DelayFaults(at, *frames, later);
    return "ok";
  }
  auto error = ApplyFaultWords(*faults, rest);
  if (!error) bus.CancelDelayedFaults(at);
  return error ? *error : "ok";
}

std::string Preset(const std::vector<std::string>& words, DeviceBus& bus) {
  auto address = words.size() == 3 ? Number(words[1], 1, 255) : std::nullopt;
  auto preset = words.size() == 3 ? Number(words[2], 0, DeviceMemory::kStoredPresets) : std::nullopt;
  if (!address || !preset) return "error usage: preset <addr> <0..8>";
  const OrbDevice* device = bus.Device(static_cast<uint8_t>(*address));
  if (!device) return "error no device at address " + words[1];
  return "ok " + HexOf(AllDataBlock(device->Memory(), *preset));
}

std::string Device(const std::vector<std::string>& words, DeviceBus& bus) {
  auto address = words.size() == 2 ? Number(words[1], 1, 255) : std::nullopt;
  if (!address) return "error usage: device <addr>";
  const OrbDevice* device = bus.Device(static_cast<uint8_t>(*address));
  if (!device) return "error no device at address " + words[1];
  const DeviceMemory& m = device->Memory();
  return "ok name=" + HexOf(m.name) + " mute=" + std::to_string(m.mute) +
         " bypass=" + std::to_string(m.bypass) + " manual=" + std::to_string(device->Manual()) +
         " preset=" + std::to_string(m.currentPreset);
}

// "ok", then a space before each item.
std::string JoinedAfterOk(const std::vector<std::string>& items) {
  std::string reply = "ok";
  for (const auto& item : items) reply += " " + item;
  return reply;
}
}  // namespace

std::optional<std::string> RunBusCommand(const std::vector<std::string>& words, DeviceBus& bus) {
  const std::string& name = words[0];
  if (name == "fault") return Fault(words, bus);
  if (name == "preset") return Preset(words, bus);
  if (name == "device") return Device(words, bus);
  if (name == "frames") {
    if (words.size() != 1) return "error usage: frames";
    FrameRecord::Taken taken = bus.TakeFrames();
    // Frames dropped to keep the record bounded came before the ones listed.
    if (taken.dropped > 0)
      taken.entries.insert(taken.entries.begin(), "dropped=" + std::to_string(taken.dropped));
    return JoinedAfterOk(taken.entries);
  }
  if (name == "devices") {
    if (words.size() != 1) return "error usage: devices";
    std::vector<std::string> addresses;
    for (uint8_t a : bus.Addresses()) addresses.push_back(std::to_string(a));
    return JoinedAfterOk(addresses);
  }
  if (name == "stray") {
    auto bytes = words.size() == 2 ? FromHex(words[1]) : std::nullopt;
    if (!bytes || bytes->empty() || bytes->size() > kMaxStrayBytes)
      return "error usage: stray <hex of 1.." + std::to_string(kMaxStrayBytes) + " bytes>";
    if (!bus.Stray(std::string(bytes->begin(), bytes->end())))
      return "error the line is still busy with earlier stray bytes";
    return "ok";
  }
  return std::nullopt;
}
