#include "eq/DeviceRestore.h"

#include <stdexcept>

#include "eq/EqualizerDocument.h"
#include "link/TzkPA422Form.h"

namespace all = pa422::all_data;
namespace tx = pa422::transmit;

namespace {
const char* StepName(int step) {
  static const char* const names[] = {"reading", "naming the device before", "unlocking", "writing", "locking",
                                      "reading back"};
  return names[step];
}
}  // namespace

std::string PresetList(const std::vector<int>& presets) {
  std::string text;
  for (size_t i = 0; i < presets.size(); ++i) text += (i ? ", " : "") + std::to_string(presets[i]);
  return text;
}

std::string RestoreFailure::Summary() const {
  std::string text = written.empty() ? "no preset was written" : "written and verified: presets " + PresetList(written);
  if (preset && sent) text += "; preset " + std::to_string(preset) + " may be partly written";
  if (preset && unlocked && !sent) text += "; preset " + std::to_string(preset) + " was left unlocked";
  return text;
}

std::string RestoreFailure::Text() const {
  if (!step.empty()) return step + " preset " + std::to_string(preset) + ": " + why + "; " + Summary();
  if (differs) return "preset " + std::to_string(preset) + " read back different (" + why + "); " + Summary();
  if (stopped)
    return "stopped before preset " + (notRestored.empty() ? std::string("?") : std::to_string(notRestored[0])) +
           "; " + Summary();
  return why + "; nothing was sent";
}

DeviceRestore::DeviceRestore(LineQueue& line) : line_(line), owner_(line.NewOwner()) {}

DeviceRestore::~DeviceRestore() { line_.Withdraw(owner_); }

void DeviceRestore::Start(std::vector<Target> targets) {
  if (running_) return;
  targets_ = std::move(targets);
  device_ = 0;
  presetsDone_ = 0;
  running_ = true;
  stopping_ = false;
  NextDevice();
}

void DeviceRestore::Stop() {
  if (!running_) return;
  // The preset in hand is finished first: its steps go on; no other starts.
  stopping_ = true;
  if (!line_.Running(owner_) && line_.Pending(owner_) == 0) Finish(true);
}

void DeviceRestore::NextDevice() {
  while (device_ < targets_.size()) {
    Target& target = targets_[device_];
    failure_ = RestoreFailure();
    // Every file to be sent is read and checked before the device is asked.
    try {
      backup_ = target.set ? *target.set : LoadBackupSet(target.dir);
      if (backup_.blocks.empty()) throw std::runtime_error(target.dir.string() + " holds no presets");
      if (target.preset && !backup_.blocks.count(target.preset))
        throw std::runtime_error(target.dir.string() + " holds no preset " + std::to_string(target.preset));
    } catch (const std::exception& e) {
      failure_.why = e.what();
      DeviceDone(failure_.Text());
      continue;
    }
    presets_.clear();
    for (const auto& [preset, block] : backup_.blocks)
      if (!target.preset || preset == target.preset) presets_.push_back(preset);
    preset_ = 0;
    // Restoring one preset leaves the device's name as it is.
    renamed_ = target.preset != 0 || target.keepName;
    failure_.preset = presets_[0];
    Run(Step::ReadBefore);
    return;
  }
  Finish(false);
}

void DeviceRestore::NextPreset() {
  failure_.preset = 0;
  failure_.sent = failure_.unlocked = false;
  if (++preset_ >= presets_.size()) {
    DeviceDone({});
    if (stopping_)
      Finish(true);
    else
      NextDevice();
    return;
  }
  if (stopping_) {
    failure_.stopped = true;
    failure_.notRestored.assign(presets_.begin() + static_cast<std::ptrdiff_t>(preset_), presets_.end());
    DeviceFailed();
    return;
  }
  failure_.preset = presets_[preset_];
  Run(Step::ReadBefore);
}

void DeviceRestore::Run(Step step) {
  const int address = targets_[device_].address;
  const int preset = presets_[preset_];
  LineRequest request = BackgroundRecall(owner_, address, preset);
  const std::string password = pa422::kDevicePassword;
  switch (step) {
    case Step::ReadBefore:
    case Step::ReadBack:
      break;
    case Step::Rename:
      request.start = [address, password, name = backup_.manifest.deviceName](TzkPA422Form& e) {
        e.SetDeviceName(address, password, name);
      };
      break;
    case Step::Unlock:
      request.start = [address, preset, password](TzkPA422Form& e) { e.UnlockPreset(address, preset, password); };
      break;
    case Step::Write:
      failure_.sent = true;
      request.kind = LineRequest::WholeCurve;
      request.start = [address, preset, block = backup_.blocks.at(preset)](TzkPA422Form& e) {
        e.TransmitAllData(address, preset, block);
      };
      break;
    case Step::Lock:
      request.start = [address, preset, password](TzkPA422Form& e) { e.LockPreset(address, preset, password); };
      break;
  }
  request.done = [this, step, alive = std::weak_ptr<char>(alive_)](const LineOutcome& outcome) {
    if (!alive.expired() && running_) Ended(step, outcome);
  };
  line_.Submit(std::move(request));
}

void DeviceRestore::Ended(Step step, const LineOutcome& outcome) {
  const bool read = step == Step::ReadBefore || step == Step::ReadBack;
  if (const std::string why = WhyFailed ? WhyFailed(outcome, read) : OutcomeFailure(outcome, read); !why.empty()) {
    failure_.step = StepName(static_cast<int>(step));
    failure_.why = why;
    DeviceFailed();
    return;
  }
  const int preset = presets_[preset_];
  const BackupPreset& entry = *backup_.manifest.Find(preset);
  const std::string wantedName = pa422::FormName(backup_.manifest.deviceName);
  switch (step) {
    case Step::ReadBefore:
      before_ = outcome.data;
      // A whole restore gives a replaced unit the device name of the backup.
      if (!renamed_ && pa422::BlockName(before_, all::kDeviceName) != wantedName) {
        renamed_ = true;
        Run(Step::Rename);
        return;
      }
      [[fallthrough]];
    case Step::Rename:
      Run(pa422::BlockByte(before_, all::kLock) ? Step::Unlock : Step::Write);
      return;
    case Step::Unlock:
      failure_.unlocked = true;
      Run(Step::Write);
      return;
    case Step::Write:
      Run(entry.locked ? Step::Lock : Step::ReadBack);
      return;
    case Step::Lock:
      Run(Step::ReadBack);
      return;
    case Step::ReadBack: {
      std::string difference = DifferenceFromSent(outcome.data, backup_.blocks.at(preset));
      if (difference.empty() && (pa422::BlockByte(outcome.data, all::kLock) != 0) != entry.locked)
        difference = entry.locked ? "the preset is not locked" : "the preset is still locked";
      if (difference.empty() && !targets_[device_].preset && !targets_[device_].keepName &&
          pa422::BlockName(outcome.data, all::kDeviceName) != wantedName)
        difference = "the device name is \"" + pa422::BlockName(outcome.data, all::kDeviceName) + "\"";
      if (!difference.empty()) {
        failure_.differs = true;
        failure_.why = difference;
        DeviceFailed();
        return;
      }
      failure_.written.push_back(preset);
      ++presetsDone_;
      if (OnPreset) OnPreset(targets_[device_].address, preset);
      NextPreset();
      return;
    }
  }
}

void DeviceRestore::DeviceFailed() {
  DeviceDone(failure_.Text());
  if (stopping_)
    Finish(true);
  else
    NextDevice();
}

void DeviceRestore::DeviceDone(const std::string& failure) {
  const int address = targets_[device_].address;
  ++device_;
  if (OnDevice) OnDevice(address, failure);
}

void DeviceRestore::Finish(bool stopped) {
  running_ = false;
  stopping_ = false;
  if (OnFinished) OnFinished(stopped);
}
