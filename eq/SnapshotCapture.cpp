#include "eq/SnapshotCapture.h"

#include "eq/DeviceBackup.h"
#include "link/TzkPA422Form.h"

void SnapshotCapture::Start(Options options) {
  if (running_) return;
  options_ = std::move(options);
  snapshot_ = Snapshot();
  snapshot_.created = UtcTimestamp();
  snapshot_.line = options_.line;
  presets_.clear();
  anyError_ = false;
  Begin(static_cast<int>(options_.addresses.size()));
  NextDevice();
}

void SnapshotCapture::NextDevice() {
  if (!MayGoOn()) {
    GiveBackManualControls();
    return;
  }
  device_ = SnapshotDevice();
  device_.address = options_.addresses[done_];
  blocks_.clear();
  Read(0);
}

void SnapshotCapture::Read(int preset) {
  Send(BackgroundRecall(owner_, device_.address, preset),
       [this, preset](const LineOutcome& outcome) { Ended(preset, outcome); });
}

void SnapshotCapture::Ended(int preset, const LineOutcome& outcome) {
  if (const std::string why = Why(outcome, true); !why.empty()) {
    if (preset == 0 && NobodyAnswered(outcome)) {
      device_.state = SnapshotDevice::State::Absent;
      DeviceDone({});
    } else {
      // The working settings read before stay on record.
      device_.state = SnapshotDevice::State::Error;
      DeviceDone(preset ? "reading preset " + std::to_string(preset) + ": " + why : why);
    }
    return;
  }
  if (preset == 0) {
    device_ = DeviceFromWorkingBlock(device_.address, outcome.data);
  } else {
    blocks_.push_back(outcome.data);
  }
  if (options_.presets && preset < kPresetCount) {
    Read(preset + 1);
    return;
  }
  if (options_.presets) presets_[device_.address] = std::move(blocks_);
  DeviceDone({});
}

void SnapshotCapture::DeviceDone(const std::string& error) {
  if (!error.empty()) anyError_ = true;
  snapshot_.devices.push_back(device_);
  ++done_;
  if (OnDevice) OnDevice(device_, error);
  NextDevice();
}

void SnapshotCapture::GiveBackManualControls() {
  if (lineClosed_) {
    End();
    return;
  }
  // Asking a device takes its front panel away; the group byte gives every
  // device its manual controls back.
  LineRequest request = BackgroundRequest(owner_, 0, [](TzkPA422Form& engine) { engine.EnableManualControls(); });
  Send(std::move(request), [this](const LineOutcome&) { End(); }, false);
}
