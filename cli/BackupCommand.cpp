// varlo-cli backup: presets 1 to 8 of one device into a backup folder.
#include <iostream>
#include <stdexcept>

#include "cli/DeviceCommands.h"
#include "cli/DeviceCommandSupport.h"
#include "eq/BackupFolder.h"
#include "eq/BackupSet.h"
#include "eq/DeviceBackup.h"
#include "eq/EqualizerDocument.h"
#include "link/LineQueue.h"

namespace fs = std::filesystem;

int BackupCommand(const std::vector<std::string>& rawArgs) {
  Arguments args = ParseArguments(rawArgs, WithLineOptions({"--address", "--out"}));
  NoPositional(args, "backup");
  const int address = RequiredAddress(args);
  const fs::path dir = RequiredPath(args, "--out");
  CheckBackupFolder(dir);
  DeviceSession session(LineFrom(args));
  DevicePresetReader reader(session.Line());
  LinkResult last;  // the end of the latest recall, in the session's words
  reader.WhyFailed = [&](const LineOutcome& outcome) {
    last = session.ResultOf(outcome, true);
    return last.ok ? std::string() : last.message;
  };
  int presetsRead = 0;
  reader.OnPreset = [&](int, int) { ++presetsRead; };
  // Everything is read before anything is written, so that a device that
  // stops answering leaves an earlier backup in the folder as it was; then
  // all or nothing: an earlier backup in DIR stays whole unless the whole
  // new set is on disk.
  BackupManifest manifest;
  std::string warning;
  reader.WithPresets = [&](const DevicePresetReader::Target&, const std::vector<pa422::Bytes>& blocks) {
    try {
      warning = ReplaceBackupFolder(dir, BackupSetFiles(address, blocks, UtcTimestamp(), manifest));
    } catch (const std::exception& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  std::string failure;
  reader.OnDevice = [&](int, const std::string& failed) { failure = failed; };
  bool finished = false;
  reader.OnFinished = [&](bool) { finished = true; };
  reader.Start({{address, dir}});
  if (!session.RunUntil([&] { return finished; })) {
    last = LinkResult();
    last.message = "no end of the transaction within 30 s";
    failure = last.message;
  }
  if (!failure.empty()) {
    if (presetsRead == kPresetCount) throw std::runtime_error(failure);  // the set was not written
    if (presetsRead == 0 && last.notFound)
      throw std::runtime_error(NoDeviceAt(address, session) + "; nothing was written");
    throw std::runtime_error(FailedWhile(address, last, "reading preset " + std::to_string(presetsRead + 1)) +
                             "; nothing was written to " + dir.string());
  }
  for (const BackupPreset& entry : manifest.presets)
    std::cout << "preset " << entry.preset << "  " << entry.name << (entry.locked ? " (locked)" : "")
              << "  -> " << (dir / entry.file).string() << "\n";
  std::cout << "backup of address " << address << " (" << manifest.deviceName << ") in "
            << (dir / kManifestName).string() << "\n";
  if (!warning.empty()) std::cerr << "varlo-cli: warning: " << warning << "\n";
  return 0;
}
