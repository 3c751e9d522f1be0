#include "eq/SnapshotRecall.h"

#include "eq/EqualizerDocument.h"
#include "link/TzkPA422Form.h"

namespace {
// The working settings as the transmit block of preset 0.
pa422::Bytes WorkingBlock(const SnapshotWorking& w) {
  pa422::TransmitSettings s;
  for (int band = 0; band < kBandCount; ++band) s.levels[band] = DeviceGainCode(w.bands[band]);
  s.levels[kBandCount] = DeviceGainCode(w.gain);
  s.highPass = static_cast<uint8_t>(w.highPass);
  s.lowPass = static_cast<uint8_t>(w.lowPass);
  s.presetName = w.presetName;
  s.preset = 0;
  return pa422::TransmitBlock(pa422::kDevicePassword, s);
}

bool Recallable(const SnapshotDevice* device) { return device && device->working; }
}  // namespace

SnapshotRecall::SnapshotRecall(LineQueue& line) : SnapshotDeviceRun(line), restore_(std::make_unique<DeviceRestore>(line)) {
  restore_->WhyFailed = [this](const LineOutcome& outcome, bool read) { return Why(outcome, read); };
  restore_->OnDevice = [this](int, const std::string& failure) { restoreFailure_ = failure; };
  restore_->OnFinished = [this, alive = std::weak_ptr<char>(alive_)](bool) {
    if (alive.expired() || !running_) return;
    if (restore_->PresetsDone() > 0 || !restoreFailure_.empty()) sent_ = true;
    if (!restoreFailure_.empty()) {
      verdict_.verdict = "failed";
      verdict_.differences = {StepText(Step::Presets) + ": " + restoreFailure_};
      DeviceDone();
      return;
    }
    Next(Step::Presets);
  };
}

SnapshotRecall::~SnapshotRecall() = default;

std::vector<std::string> SnapshotRecall::Plan(const LoadedSnapshot& loaded, const Options& options) {
  std::vector<std::string> lines;
  for (int address : SnapshotScope(loaded.snapshot, options.addresses)) {
    const SnapshotDevice* d = loaded.snapshot.Find(address);
    std::string line = "address " + std::to_string(address);
    if (!Recallable(d)) {
      lines.push_back(line + ": nothing to recall (" + (d ? "it did not answer" : "not in the snapshot") + ")");
      continue;
    }
    // The captured name only where it is sent: otherwise it would read as a
    // rename that does not happen.
    line += ": working settings of preset " + std::to_string(d->currentPreset) + " \"" +
            d->working->presetName + "\"";
    if (options.presets && loaded.sets.count(address)) line += ", stored presets 1-8";
    if (options.names) line += ", device name \"" + d->deviceName + "\"";
    line += options.muteBypass ? std::string("; mute ") + (d->mute ? "on" : "off") + ", bypass " +
                                     (d->bypass ? "on" : "off")
                               : "; Mute and Bypass left as they are";
    lines.push_back(line);
  }
  return lines;
}

void SnapshotRecall::Start(LoadedSnapshot snapshot, Options options) {
  if (running_) return;
  options_ = std::move(options);
  StartOn(std::move(snapshot), options_.addresses);
}

void SnapshotRecall::BeginDevice() {
  captured_ = loaded_.snapshot.Find(verdict_.address);
  sent_ = false;
  if (!Recallable(captured_)) {
    verdict_.verdict = "failed";
    verdict_.differences = {std::string(captured_ ? "it did not answer when the snapshot was taken"
                                                  : "it is not in the snapshot") +
                            "; nothing was sent"};
    DeviceDone();
    return;
  }
  if (options_.presets && loaded_.sets.count(verdict_.address)) {
    Run(Step::Presets);
    return;
  }
  Next(Step::Presets);
}

std::string SnapshotRecall::StepText(Step step) const {
  switch (step) {
    case Step::Presets: return "writing the stored presets";
    case Step::Name: return "naming the device";
    case Step::Reprogram: return "recalling preset " + std::to_string(captured_->currentPreset);
    case Step::Working: return "sending the working settings";
    case Step::Mute: return "setting mute";
    case Step::Bypass: return "setting bypass";
    case Step::ReadBack: break;
  }
  return "reading back";
}

// The step after `after` that the options call for.
void SnapshotRecall::Next(Step after) {
  const bool presetsWritten = options_.presets && loaded_.sets.count(verdict_.address);
  switch (after) {
    case Step::Presets:
      // The restore of the stored presets names the device when asked.
      if (options_.names && !presetsWritten) return Run(Step::Name);
      [[fallthrough]];
    case Step::Name:
      return Run(Step::Reprogram);
    case Step::Reprogram:
      return Run(Step::Working);
    case Step::Working:
      if (options_.muteBypass) return Run(Step::Mute);
      return Run(Step::ReadBack);
    case Step::Mute:
      return Run(Step::Bypass);
    case Step::Bypass:
      return Run(Step::ReadBack);
    case Step::ReadBack:
      return;
  }
}

void SnapshotRecall::Run(Step step) {
  if (OnStep) OnStep(verdict_.address, StepText(step));
  const int address = verdict_.address;
  const SnapshotDevice& d = *captured_;
  if (step == Step::Presets) {
    DeviceRestore::Target target(address, d.presets);
    target.set = loaded_.sets.at(address);
    target.keepName = !options_.names;
    // Unless it fails, the recall itself ends on the captured preset.
    target.putBackOnFailureOnly = true;
    restoreFailure_.clear();
    restore_->Start({target});
    return;
  }
  const std::string password = pa422::kDevicePassword;
  std::function<void(TzkPA422Form&)> start;
  switch (step) {
    case Step::Name:
      start = [address, password, name = d.deviceName](TzkPA422Form& e) { e.SetDeviceName(address, password, name); };
      break;
    case Step::Reprogram:
      start = [address, preset = d.currentPreset](TzkPA422Form& e) { e.RecallPreset(address, preset); };
      break;
    case Step::Working:
      start = [address, block = WorkingBlock(*d.working)](TzkPA422Form& e) { e.TransmitAllData(address, 0, block); };
      break;
    case Step::Mute:
      start = [address, on = d.mute](TzkPA422Form& e) {
        on ? e.MuteAllOutputs(address) : e.UnmuteAllOutputs(address);
      };
      break;
    case Step::Bypass:
      start = [address, password, on = d.bypass](TzkPA422Form& e) {
        on ? e.BypassChannel(address, password) : e.UnbypassChannel(address, password);
      };
      break;
    case Step::Presets:
    case Step::ReadBack:
      break;
  }
  LineRequest request = start ? BackgroundRequest(owner_, address, std::move(start)) : BackgroundRecall(owner_, address, 0);
  Send(std::move(request), [this, step](const LineOutcome& outcome) { Ended(step, outcome); });
}

void SnapshotRecall::Ended(Step step, const LineOutcome& outcome) {
  const bool read = step == Step::ReadBack;
  if (const std::string why = Why(outcome, read); !why.empty()) {
    // Nobody raised the handshake: the frame never reached the device.
    const bool nobody = NobodyAnswered(outcome);
    verdict_.verdict = nobody && !sent_ ? "absent" : "failed";
    if (!read && !nobody && outcome.started) sent_ = true;  // it may be partly applied
    verdict_.differences = {StepText(step) + ": " + why};
    DeviceDone();
    return;
  }
  if (step != Step::ReadBack) {
    sent_ = true;
    return Next(step);
  }
  // What the device runs now against what was captured, the safes aside.
  SnapshotDevice expected = *captured_;
  verdict_.now = DeviceFromWorkingBlock(verdict_.address, outcome.data);
  if (!options_.muteBypass) {
    expected.mute = verdict_.now->mute;
    expected.bypass = verdict_.now->bypass;
  }
  if (!options_.names) expected.deviceName = verdict_.now->deviceName;
  verdict_.differences = SnapshotDifferences(expected, *verdict_.now);
  verdict_.verdict = verdict_.differences.empty() ? "match" : "differs";
  DeviceDone();
}
