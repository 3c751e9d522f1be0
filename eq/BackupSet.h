#pragma once
// A device backup on disk: one Mac preset file a preset ("preset-1.V95" to
// "preset-8.V95", as the program itself writes them, device name included)
// and "manifest.json", which says whose presets they are, which were
// locked, and a CRC-32 of each file so that a damaged file is refused
// before anything is sent. No device I/O here.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "link/PA422Messages.h"

inline constexpr const char* kManifestName = "manifest.json";
inline constexpr const char* kManifestFormat = "varlo95-backup";
inline constexpr int kManifestVersion = 1;
// A manifest of eight presets is about 1 KB; anything far larger is not one.
inline constexpr size_t kManifestSizeLimit = 64 * 1024;

// "preset-<n>.V95"
std::string PresetFileName(int preset);

// The 68-byte Mac preset file for a recalled all-data block of `preset` at
// `address`: the level bytes and filter indices as the device sent them,
// the preset and device names filtered as the program writes them, lock
// byte 0 (the program's own files carry 0; the lock is in the manifest).
std::string MacFileFromBlock(int address, int preset, const pa422::Bytes& block);

// The CRC-32 of IEEE 802.3 (as zlib and gzip compute it).
uint32_t Crc32(std::string_view bytes);

struct BackupPreset {
  int preset = 0;
  std::string file;  // name within the backup folder
  std::string name;  // preset name, trimmed
  bool locked = false;
  uint32_t crc32 = 0;
};

struct BackupManifest {
  int address = 0;
  std::string deviceName;  // trimmed
  bool mute = false;
  bool bypass = false;
  std::string created;  // UTC, ISO 8601
  std::vector<BackupPreset> presets;

  const BackupPreset* Find(int preset) const;
};

std::string ManifestJson(const BackupManifest& manifest);
// Throws std::runtime_error saying what is wrong with the manifest.
BackupManifest ParseManifest(std::string_view json);

// A preset file checked for sending: the TRANSMIT_ALL_DATA block it makes.
// Throws std::runtime_error (naming the file in `dir`) when its size or CRC
// differs from the manifest, it belongs to another preset, or it holds a
// level or filter the device cannot take.
pa422::Bytes CheckedPresetBlock(const BackupPreset& entry, std::string_view fileBytes,
                                const std::filesystem::path& dir = {});

// Whether a recalled block holds what `sent` (a transmit block) carried:
// levels, filters and preset name. Empty when it does, else what differs.
std::string DifferenceFromSent(const pa422::Bytes& recalled, const pa422::Bytes& sent);
