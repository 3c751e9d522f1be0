// varlo-cli backup: presets 1 to 8 of one device into a backup folder.
#include <ctime>
#include <iostream>
#include <stdexcept>

#include "cli/BackupFolder.h"
#include "cli/BackupSet.h"
#include "cli/DeviceCommands.h"
#include "cli/DeviceCommandSupport.h"
#include "eq/EqualizerDocument.h"

namespace fs = std::filesystem;
namespace all = pa422::all_data;

namespace {
std::string UtcNow() {
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}
}  // namespace

int BackupCommand(const std::vector<std::string>& rawArgs) {
  Arguments args = ParseArguments(rawArgs, WithLineOptions({"--address", "--out"}));
  NoPositional(args, "backup");
  const int address = RequiredAddress(args);
  const fs::path dir = RequiredPath(args, "--out");
  CheckBackupFolder(dir);
  DeviceSession session(LineFrom(args));

  // Everything is read before anything is written, so that a device that
  // stops answering leaves an earlier backup in the folder as it was.
  std::vector<pa422::Bytes> blocks;
  for (int preset = 1; preset <= kPresetCount; ++preset) {
    LinkResult r = session.RecallAllData(address, preset);
    if (r.ok) {
      blocks.push_back(r.block);
      continue;
    }
    if (preset == 1 && r.notFound)
      throw std::runtime_error(NoDeviceAt(address, session) + "; nothing was written");
    throw std::runtime_error(FailedWhile(address, r, "reading preset " + std::to_string(preset)) +
                             "; nothing was written to " + dir.string());
  }

  BackupManifest manifest;
  manifest.address = address;
  manifest.created = UtcNow();
  manifest.deviceName = DeviceFormName(blocks[0].substr(all::kDeviceName - 1, pa422::kNameLength));
  manifest.mute = BlockByte(blocks[0], all::kMute) != 0;
  manifest.bypass = BlockByte(blocks[0], all::kBypass) != 0;
  std::vector<BackupFile> files;
  for (int preset = 1; preset <= kPresetCount; ++preset) {
    const pa422::Bytes& block = blocks[preset - 1];
    BackupPreset entry;
    entry.preset = preset;
    entry.file = PresetFileName(preset);
    const std::string file = MacFileFromBlock(address, preset, block);
    entry.name = DeviceFormName(file.substr(35, pa422::kNameLength));
    entry.locked = BlockByte(block, all::kLock) != 0;
    entry.crc32 = Crc32(file);
    files.push_back({entry.file, file});
    manifest.presets.push_back(entry);
  }
  // The manifest last: a folder whose manifest lists a preset holds its file.
  files.push_back({kManifestName, ManifestJson(manifest)});
  // All or nothing: an earlier backup in DIR stays whole unless the whole
  // new set is on disk.
  const std::string warning = ReplaceBackupFolder(dir, files);
  for (const BackupPreset& entry : manifest.presets)
    std::cout << "preset " << entry.preset << "  " << entry.name << (entry.locked ? " (locked)" : "")
              << "  -> " << (dir / entry.file).string() << "\n";
  std::cout << "backup of address " << address << " (" << manifest.deviceName << ") in "
            << (dir / kManifestName).string() << "\n";
  if (!warning.empty()) std::cerr << "varlo-cli: warning: " << warning << "\n";
  return 0;
}
