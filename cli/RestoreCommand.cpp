// varlo-cli restore: a backup folder back into a device, each preset read
// back to verify it.
#include <ctime>
#include <iostream>
#include <optional>
#include <stdexcept>

#include "cli/DeviceCommands.h"
#include "cli/DeviceCommandSupport.h"
#include "cli/HeldStopSignals.h"
#include "eq/BackupSet.h"
#include "eq/DeviceRestore.h"
#include "eq/EqualizerDocument.h"
#include "eq/PresetFiles.h"

namespace fs = std::filesystem;
namespace tx = pa422::transmit;

namespace {
// A backup's preset file: a regular Mac file of exactly 68 bytes.
std::string ReadBackupPresetFile(const fs::path& path) {
  try {
    return ReadExactPresetBytes(path.string(), PresetFormat::Mac);
  } catch (const PresetFileError& e) {
    throw std::runtime_error(std::string(e.what()) + "; nothing was sent");
  }
}

}  // namespace

int RestoreCommand(const std::vector<std::string>& rawArgs) {
  Arguments args = ParseArguments(rawArgs, WithLineOptions({"--address", "--from", "--preset"}));
  NoPositional(args, "restore");
  const int address = RequiredAddress(args);
  const fs::path dir = RequiredPath(args, "--from");
  const int only = IntegerOption(args, "--preset", 0, 1, kPresetCount);
  const HeldStopSignals stopSignals;

  // Every file to be sent is read and checked before the line is opened.
  LoadedBackup set;
  set.manifest = ParseManifest(ReadSmallFile(dir / kManifestName, kManifestSizeLimit));
  for (int preset = 1; preset <= kPresetCount; ++preset) {
    if (only && preset != only) continue;
    const BackupPreset* entry = set.manifest.Find(preset);
    if (!entry) {
      if (only) throw std::runtime_error(dir.string() + " holds no preset " + std::to_string(only));
      continue;
    }
    set.blocks[preset] = CheckedPresetBlock(*entry, ReadBackupPresetFile(dir / entry->file), dir);
  }
  if (set.blocks.empty()) throw std::runtime_error(dir.string() + " holds no presets");

  DeviceSession session(LineFrom(args));
  DeviceRestore restore(session.Line());
  // The end of the latest transaction, and of the one that failed first,
  // in the session's words (putting the device back comes after it).
  LinkResult last;
  std::optional<LinkResult> firstFailed;
  restore.WhyFailed = [&](const LineOutcome& outcome, bool read) {
    last = session.ResultOf(outcome, read);
    if (!last.ok && !firstFailed) firstFailed = last;
    return last.ok ? std::string() : last.message;
  };
  restore.OnPreset = [&](int, int preset) {
    const pa422::Bytes& block = set.blocks.at(preset);
    std::cout << "preset " << preset << "  " << pa422::FormName(block.substr(tx::kPresetName - 1, pa422::kNameLength))
              << (set.manifest.Find(preset)->locked ? " (locked)" : "") << "  written and verified" << std::endl;
  };
  std::optional<RestoreFailure> failure;
  restore.OnDevice = [&](int, const std::string& failed) {
    if (!failed.empty()) failure = restore.LastFailure();
  };
  bool finished = false;
  restore.OnFinished = [&](bool) { finished = true; };
  DeviceRestore::Target target;
  target.address = address;
  target.dir = dir;
  target.set = set;
  target.preset = only;
  restore.Start({target});
  std::string signal;
  const bool ended = session.RunUntil([&] {
    if (signal.empty() && !(signal = stopSignals.Came()).empty()) restore.Stop();
    return finished;
  });
  if (!ended) {
    LinkResult none;
    none.message = "no end of the transaction within 30 s";
    throw std::runtime_error(FailedWhile(address, none, "restoring") + "; " + restore.LastFailure().Summary());
  }
  if (failure) {
    const RestoreFailure& f = *failure;
    const LinkResult& failed = firstFailed ? *firstFailed : last;
    const std::string putBack = f.putBack.empty() ? "" : "; " + f.putBack;
    if (f.stopped)
      throw std::runtime_error("restore to address " + std::to_string(address) + " stopped by " +
                               signal + ": " + f.Summary() + "; not restored: presets " +
                               PresetList(f.notRestored) + putBack);
    if (!f.step.empty() && (f.preset == 0 || f.step == "reading") && f.written.empty() &&
        failed.notFound)
      throw std::runtime_error(NoDeviceAt(address, session) + "; nothing was sent");
    if (!f.step.empty())
      throw std::runtime_error(FailedWhile(address, failed, f.What()) + "; " + f.Summary() +
                               putBack);
    if (f.differs)
      throw std::runtime_error("preset " + std::to_string(f.preset) + " read back different from " +
                               (dir / set.manifest.Find(f.preset)->file).string() + " (" + f.why +
                               "); " + f.Summary() + putBack);
    if (!f.putBack.empty())
      throw std::runtime_error("restore to address " + std::to_string(address) + ": " +
                               f.Summary() + putBack);
    throw std::runtime_error(f.Text());
  }
  std::cout << "restored " << set.blocks.size() << (set.blocks.size() == 1 ? " preset" : " presets")
            << " to address " << address << "\n";
  return 0;
}
