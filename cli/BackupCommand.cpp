// varlo-cli backup: presets 1 to 8 of one device into a backup folder.
#include <iostream>
#include <stdexcept>

#include "cli/DeviceCommands.h"
#include "cli/DeviceCommandSupport.h"
#include "eq/BackupFolder.h"
#include "eq/BackupSet.h"
#include "eq/DeviceBackup.h"
#include "eq/EqualizerDocument.h"

namespace fs = std::filesystem;

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
  const std::vector<BackupFile> files = BackupSetFiles(address, blocks, UtcTimestamp(), manifest);
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
