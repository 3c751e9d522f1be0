// varlo-cli restore: a backup folder back into a device, each preset read
// back to verify it.
#include <pthread.h>
#include <signal.h>

#include <ctime>
#include <iostream>
#include <stdexcept>

#include "cli/DeviceCommands.h"
#include "cli/DeviceCommandSupport.h"
#include "eq/BackupSet.h"
#include "eq/EqualizerDocument.h"
#include "eq/PresetFiles.h"

namespace fs = std::filesystem;
namespace all = pa422::all_data;
namespace tx = pa422::transmit;

namespace {
std::string ListOfPresets(const std::vector<int>& presets) {
  std::string text;
  for (int p : presets) text += (text.empty() ? "" : ", ") + std::to_string(p);
  return text;
}


// A backup's preset file: a regular Mac file of exactly 68 bytes.
std::string ReadBackupPresetFile(const fs::path& path) {
  try {
    return ReadExactPresetBytes(path.string(), PresetFormat::Mac);
  } catch (const PresetFileError& e) {
    throw std::runtime_error(std::string(e.what()) + "; nothing was sent");
  }
}

// SIGINT and SIGTERM held back for the whole restore: blocked before the
// line's threads start (they inherit the mask), so that no thread is ever
// stopped by them, and looked at between presets. The preset in hand is
// always finished (written, locked again if the backup says so, read back)
// before the restore stops.
class HeldStopSignals {
 public:
  HeldStopSignals() {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
  }
  ~HeldStopSignals() {
    // A signal that came is answered by the message of the stop, not by
    // the default action once it is unblocked.
    const timespec now{};
    while (sigtimedwait(&signals_, nullptr, &now) > 0) {
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  HeldStopSignals(const HeldStopSignals&) = delete;
  HeldStopSignals& operator=(const HeldStopSignals&) = delete;

  // "SIGINT" or "SIGTERM" once one came, else empty.
  std::string Came() const {
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    if (sigismember(&pending, SIGINT)) return "SIGINT";
    if (sigismember(&pending, SIGTERM)) return "SIGTERM";
    return "";
  }

 private:
  sigset_t signals_{};
  sigset_t previous_{};
};

// What a restore has done so far, for the message when it stops.
struct RestoreProgress {
  int address = 0;
  std::vector<int> written;  // written and read back the same
  int current = 0;
  bool sent = false;      // the current preset's block went out
  bool unlocked = false;  // the current preset was unlocked for it

  std::string Summary() const {
    std::string text = written.empty() ? "no preset was written"
                                       : "written and verified: presets " + ListOfPresets(written);
    if (current && sent) text += "; preset " + std::to_string(current) + " may be partly written";
    if (current && unlocked && !sent)
      text += "; preset " + std::to_string(current) + " was left unlocked";
    return text;
  }
  [[noreturn]] void Stop(const std::string& step, const LinkResult& r) const {
    throw std::runtime_error(
        FailedWhile(address, r, step + " preset " + std::to_string(current)) + "; " + Summary());
  }
};
}  // namespace

int RestoreCommand(const std::vector<std::string>& rawArgs) {
  Arguments args = ParseArguments(rawArgs, WithLineOptions({"--address", "--from", "--preset"}));
  NoPositional(args, "restore");
  const int address = RequiredAddress(args);
  const fs::path dir = RequiredPath(args, "--from");
  const int only = IntegerOption(args, "--preset", 0, 1, kPresetCount);
  const HeldStopSignals stopSignals;

  // Every file to be sent is read and checked before the line is opened.
  const BackupManifest manifest =
      ParseManifest(ReadSmallFile(dir / kManifestName, kManifestSizeLimit));
  struct Planned {
    BackupPreset entry;
    pa422::Bytes block;
  };
  std::vector<Planned> plan;
  for (int preset = 1; preset <= kPresetCount; ++preset) {
    if (only && preset != only) continue;
    const BackupPreset* entry = manifest.Find(preset);
    if (!entry) {
      if (only) throw std::runtime_error(dir.string() + " holds no preset " + std::to_string(only));
      continue;
    }
    plan.push_back({*entry, CheckedPresetBlock(*entry, ReadBackupPresetFile(dir / entry->file))});
  }
  if (plan.empty()) throw std::runtime_error(dir.string() + " holds no presets");

  DeviceSession session(LineFrom(args));
  RestoreProgress progress;
  progress.address = address;
  const std::string wantedName = pa422::FormName(manifest.deviceName);
  bool renamed = false;
  for (const Planned& step : plan) {
    const int preset = step.entry.preset;
    if (const std::string signal = stopSignals.Came(); !signal.empty()) {
      std::vector<int> left;
      for (const Planned& rest : plan)
        if (rest.entry.preset >= preset) left.push_back(rest.entry.preset);
      throw std::runtime_error("restore to address " + std::to_string(address) + " stopped by " +
                               signal + ": " + progress.Summary() + "; not restored: presets " +
                               ListOfPresets(left));
    }
    progress.current = preset;
    progress.sent = progress.unlocked = false;
    LinkResult before = session.RecallAllData(address, preset);
    if (!before.ok) {
      if (progress.written.empty() && before.notFound)
        throw std::runtime_error(NoDeviceAt(address, session) + "; nothing was sent");
      progress.Stop("reading", before);
    }
    // A whole restore gives a replaced unit the device name of the backup.
    if (!only && !renamed && BlockName(before.block, all::kDeviceName) != wantedName) {
      LinkResult r = session.SetDeviceName(address, manifest.deviceName);
      if (!r.ok) progress.Stop("naming the device before", r);
      renamed = true;
    }
    if (BlockByte(before.block, all::kLock)) {
      LinkResult r = session.UnlockPreset(address, preset);
      if (!r.ok) progress.Stop("unlocking", r);
      progress.unlocked = true;
    }
    progress.sent = true;
    LinkResult sent = session.TransmitAllData(address, preset, step.block);
    if (!sent.ok) progress.Stop("writing", sent);
    if (step.entry.locked) {
      LinkResult r = session.LockPreset(address, preset);
      if (!r.ok) progress.Stop("locking", r);
    }
    LinkResult after = session.RecallAllData(address, preset);
    if (!after.ok) progress.Stop("reading back", after);
    std::string difference = DifferenceFromSent(after.block, step.block);
    if (difference.empty() && (BlockByte(after.block, all::kLock) != 0) != step.entry.locked)
      difference = step.entry.locked ? "the preset is not locked" : "the preset is still locked";
    if (difference.empty() && !only && BlockName(after.block, all::kDeviceName) != wantedName)
      difference = "the device name is \"" + BlockName(after.block, all::kDeviceName) + "\"";
    if (!difference.empty())
      throw std::runtime_error("preset " + std::to_string(preset) + " read back different from " +
                               (dir / step.entry.file).string() + " (" + difference + "); " +
                               progress.Summary());
    progress.written.push_back(preset);
    progress.current = 0;
    std::cout << "preset " << preset << "  "
              << pa422::FormName(step.block.substr(tx::kPresetName - 1, pa422::kNameLength))
              << (step.entry.locked ? " (locked)" : "") << "  written and verified\n";
  }
  std::cout << "restored " << plan.size() << (plan.size() == 1 ? " preset" : " presets")
            << " to address " << address << "\n";
  return 0;
}
