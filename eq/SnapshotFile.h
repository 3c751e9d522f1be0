#pragma once
// A snapshot of the whole bus on disk: "snapshot.json" beside one backup
// set per device that had its stored presets captured. The file says, per
// address, whether the device answered, what it ran (its current preset,
// Mute, Bypass and the working settings as read with preset 0) and where
// its stored presets are. No device I/O here.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "eq/EqualizerDocument.h"
#include "link/PA422Messages.h"

inline constexpr const char* kSnapshotName = "snapshot.json";
inline constexpr const char* kSnapshotFormat = "varlo95-snapshot";
inline constexpr int kSnapshotVersion = 1;
// 240 devices of about 400 bytes each.
inline constexpr size_t kSnapshotSizeLimit = 1024 * 1024;

// A device's running settings, in the words `varlo-cli show` uses.
struct SnapshotWorking {
  std::array<int, kBandCount> bands{};  // steps
  int gain = 0;                         // steps
  int highPass = kHighPassOut;
  int lowPass = kLowPassOut;
  std::string presetName;
  bool lock = false;
  bool operator==(const SnapshotWorking&) const = default;
};

struct SnapshotDevice {
  enum class State { Present, Absent, Error };
  int address = 0;
  std::string deviceName;
  State state = State::Present;
  int currentPreset = 1;
  bool mute = false, bypass = false;
  std::optional<SnapshotWorking> working;  // present devices
  std::string presets;                     // the folder of its backup set; empty: not captured
};

struct Snapshot {
  std::string created;  // UTC, ISO 8601
  std::string line;     // the port's description or device path
  std::vector<SnapshotDevice> devices;

  const SnapshotDevice* Find(int address) const;
};

std::string SnapshotJson(const Snapshot& snapshot);
// Throws std::runtime_error saying what is wrong with the file.
Snapshot ParseSnapshot(std::string_view json);

// What a device ran, from its recalled all-data block of preset 0.
SnapshotDevice DeviceFromWorkingBlock(int address, const pa422::Bytes& block);

// The curve a backup holds for a stored preset (its TRANSMIT_ALL_DATA
// block) with the preset's lock, in the words of the working settings.
SnapshotWorking WorkingFromTransmitBlock(const pa422::Bytes& block, bool locked);

// What differs between two curves, a phrase each after `prefix` ("" or
// "preset 3 "): bands, gain, filters, the name of `preset`, the lock.
std::vector<std::string> WorkingDifferences(const std::string& prefix, int preset, const SnapshotWorking& was,
                                            const SnapshotWorking& now);

// What differs between what was captured and what a device runs now, a
// phrase each: "band 8 (125 Hz) +3.0 dB → +1.5 dB", "high-pass 40 Hz →
// OUT", "preset name \"SPEECH\" → \"MUSIC\"", "mute off → on", "current
// preset 2 → 3", "device name \"A\" → \"B\"", "lock off → on".
std::vector<std::string> SnapshotDifferences(const SnapshotDevice& captured, const SnapshotDevice& now);
