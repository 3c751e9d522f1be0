#include "eq/DeviceRestore.h"

#include <stdexcept>

#include "eq/EqualizerDocument.h"
#include "link/TzkPA422Form.h"

namespace all = pa422::all_data;
namespace tx = pa422::transmit;

namespace {
const char* StepName(int step) {
  static const char* const names[] = {"reading the working settings",
                                      "reading",
                                      "naming the device before",
                                      "unlocking",
                                      "writing",
                                      "locking",
                                      "reading back"};
  return names[step];
}

// The working settings of a recalled block as the transmit block of
// preset 0.
pa422::Bytes WorkingBlock(const pa422::Bytes& recalled) {
  pa422::TransmitSettings s;
  for (int i = 0; i < 30; ++i) s.levels[i] = pa422::BlockByte(recalled, all::kFirstBand + i);
  s.highPass = pa422::BlockByte(recalled, all::kHighPass);
  s.lowPass = pa422::BlockByte(recalled, all::kLowPass);
  s.presetName = recalled.substr(all::kPresetName - 1, pa422::kNameLength);
  s.preset = 0;
  return pa422::TransmitBlock(pa422::kDevicePassword, s);
}

// The stored preset a recalled block of the working settings runs, or 0.
int RunningPreset(const pa422::Bytes& working) {
  const int preset = pa422::BlockByte(working, all::kPreset);
  return preset >= 1 && preset <= kPresetCount ? preset : 0;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}
}  // namespace

std::string PresetList(const std::vector<int>& presets) {
  std::string text;
  for (size_t i = 0; i < presets.size(); ++i) text += (i ? ", " : "") + std::to_string(presets[i]);
  return text;
}

std::string RestoreFailure::What() const {
  return preset ? step + " preset " + std::to_string(preset) : step;
}

std::string RestoreFailure::Summary() const {
  std::string text = written.empty() ? "no preset was written" : "written and verified: presets " + PresetList(written);
  if (preset && sent) text += "; preset " + std::to_string(preset) + " may be partly written";
  if (preset && unlocked && !sent) text += "; preset " + std::to_string(preset) + " was left unlocked";
  return text;
}

std::string RestoreFailure::Text() const {
  std::string text;
  if (!step.empty())
    text = What() + " failed (" + why + "); " + Summary();
  else if (differs)
    text = "preset " + std::to_string(preset) + " read back different (" + why + "); " + Summary();
  else if (stopped)
    text = "stopped before preset " +
           (notRestored.empty() ? std::string("?") : std::to_string(notRestored[0])) + "; " +
           Summary();
  else if (!why.empty())
    return EndsWith(why, "nothing was sent") ? why : why + "; nothing was sent";
  else
    text = Summary();
  return putBack.empty() ? text : text + "; " + putBack;
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
  // The preset in hand is finished first: its steps go on; no other starts.
  // While running, a request of the restore is always waiting or on the
  // line, or its end is being handled, so the stop is always heard.
  if (running_) stopping_ = true;
}

void DeviceRestore::NextDevice() {
  while (device_ < targets_.size()) {
    Target& target = targets_[device_];
    failure_ = RestoreFailure();
    written_ = failed_ = false;
    held_ = 0;
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
    Run(Step::ReadRunning);
    return;
  }
  Finish(false);
}

void DeviceRestore::NextPreset() {
  failure_.preset = 0;
  failure_.sent = failure_.unlocked = false;
  if (++preset_ >= presets_.size()) {
    DeviceEnded(false);
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
  const int preset = preset_ < presets_.size() ? presets_[preset_] : 0;
  const int running = RunningPreset(working_);
  LineRequest request = BackgroundRecall(owner_, address, preset);
  const std::string password = pa422::kDevicePassword;
  switch (step) {
    case Step::ReadRunning:
    case Step::ReadNow:
      request = BackgroundRecall(owner_, address, 0);
      break;
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
    case Step::Recall:
      request.start = [address, running](TzkPA422Form& e) { e.RecallPreset(address, running); };
      break;
    case Step::Hold:
    case Step::Release:
      request.start = [address, held = held_, lock = step == Step::Hold,
                       password](TzkPA422Form& e) {
        lock ? e.LockPreset(address, held, password) : e.UnlockPreset(address, held, password);
      };
      break;
    case Step::Working:
      request.start = [address, block = WorkingBlock(working_)](TzkPA422Form& e) {
        e.TransmitAllData(address, 0, block);
      };
      break;
  }
  request.done = [this, step, alive = std::weak_ptr<char>(alive_)](const LineOutcome& outcome) {
    if (!alive.expired() && running_) Ended(step, outcome);
  };
  line_.Submit(std::move(request));
}

void DeviceRestore::Ended(Step step, const LineOutcome& outcome) {
  if (step >= Step::Recall) {
    PutBackEnded(step, outcome);
    return;
  }
  if (step == Step::Write && outcome.started) written_ = true;
  const bool read = step == Step::ReadRunning || step == Step::ReadBefore || step == Step::ReadBack;
  if (const std::string why = WhyFailed ? WhyFailed(outcome, read) : OutcomeFailure(outcome, read); !why.empty()) {
    failure_.step = StepName(static_cast<int>(step));
    failure_.why = why;
    if (step == Step::ReadRunning) failure_.preset = 0;
    DeviceFailed();
    return;
  }
  if (step == Step::ReadRunning) {
    working_ = outcome.data;
    Run(Step::ReadBefore);
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
    default:
      return;
  }
}

void DeviceRestore::DeviceFailed() { DeviceEnded(true); }

void DeviceRestore::DeviceEnded(bool failed) {
  failed_ = failed;
  // Only a written preset changes what the device runs.
  if (!written_ || (!failed && targets_[device_].putBackOnFailureOnly)) {
    PutBackDone({});
    return;
  }
  Run(RunningPreset(working_) ? Step::Recall : Step::ReadNow);
}

void DeviceRestore::PutBackEnded(Step step, const LineOutcome& outcome) {
  const int running = RunningPreset(working_);
  const std::string held = "preset " + std::to_string(held_);
  const bool read = step == Step::ReadNow;
  if (const std::string why = WhyFailed ? WhyFailed(outcome, read) : OutcomeFailure(outcome, read);
      !why.empty()) {
    std::string doing = "unlocking " + held;
    if (step == Step::Recall) doing = "recalling preset " + std::to_string(running);
    if (step == Step::ReadNow) doing = "reading the working settings";
    if (step == Step::Hold) doing = "locking " + held;
    if (step == Step::Working) doing = "sending the working settings";
    std::string text = (running ? "it could not be put back on preset " + std::to_string(running)
                                : std::string("its working settings could not be put back")) +
                       ": " + doing + " failed (" + why + ")";
    if (step == Step::Working && held_) text += "; " + held + " was left locked";
    PutBackDone(text);
    return;
  }
  switch (step) {
    case Step::Recall:
      Run(Step::ReadNow);
      return;
    case Step::ReadNow: {
      if (DifferenceFromSent(outcome.data, WorkingBlock(working_)).empty()) {
        PutBackDone({});
        return;
      }
      // A device that stores moves keeps the working settings in the
      // running preset unless it is locked: it keeps the restored curve.
      const int now = RunningPreset(outcome.data);
      held_ = now && !pa422::BlockByte(outcome.data, all::kLock) ? now : 0;
      Run(held_ ? Step::Hold : Step::Working);
      return;
    }
    case Step::Hold:
      Run(Step::Working);
      return;
    case Step::Working:
      if (held_) {
        Run(Step::Release);
        return;
      }
      [[fallthrough]];
    default:
      PutBackDone({});
      return;
  }
}

void DeviceRestore::PutBackDone(const std::string& failure) {
  failure_.putBack = failure;
  DeviceDone(failed_ || !failure.empty() ? failure_.Text() : std::string());
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
