#pragma once
// What one simulated ORB device remembers: eight stored presets, the
// working settings, the current preset number, its name, mute and bypass.
#include <array>
#include <cstdint>
#include <map>
#include <string>

struct PresetMemory {
  std::array<uint8_t, 30> levels{};  // level bytes of bands 1..29, then the gain
  uint8_t highPass = 0;
  uint8_t lowPass = 21;
  std::string name;  // always 16 bytes, kept exactly as received
  bool locked = false;

  bool operator==(const PresetMemory&) const = default;
};

struct DeviceMemory {
  static constexpr int kStoredPresets = 8;

  // [0] the working settings, [1..8] the stored presets.
  std::array<PresetMemory, kStoredPresets + 1> presets;
  uint8_t currentPreset = 1;  // 0: the working settings match no stored preset
  std::string name;           // 16 bytes
  bool mute = false;
  bool bypass = false;

  bool operator==(const DeviceMemory&) const = default;

  // Flat presets named "PRESET 1".."PRESET 8", preset 1 loaded, device
  // name "ORB <address>".
  static DeviceMemory Defaults(uint8_t address);
};

// Device address -> memory.
using DeviceMemories = std::map<uint8_t, DeviceMemory>;

// The 70 data bytes of a RECALL_ALL_DATA reply for preset 0 (the working
// settings, with the current preset's number and lock flag) or 1..8.
std::string AllDataBlock(const DeviceMemory& memory, int preset);
