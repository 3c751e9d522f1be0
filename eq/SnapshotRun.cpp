#include "eq/SnapshotRun.h"

std::vector<int> SnapshotScope(const Snapshot& snapshot, const std::vector<int>& chosen) {
  if (!chosen.empty()) return chosen;
  std::vector<int> scope;
  for (const SnapshotDevice& device : snapshot.devices)
    if (device.state != SnapshotDevice::State::Absent) scope.push_back(device.address);
  return scope;
}

void SnapshotDeviceRun::StartOn(LoadedSnapshot snapshot, const std::vector<int>& addresses) {
  loaded_ = std::move(snapshot);
  scope_ = SnapshotScope(loaded_.snapshot, addresses);
  verdicts_.clear();
  Begin(static_cast<int>(scope_.size()));
  NextDevice();
}

void SnapshotDeviceRun::NextDevice() {
  if (!MayGoOn()) {
    End();
    return;
  }
  verdict_ = SnapshotVerdict();
  verdict_.address = scope_[done_];
  BeginDevice();
}

void SnapshotDeviceRun::DeviceDone() {
  ++done_;
  if (!verdict_.verdict.empty()) {
    verdicts_.push_back(verdict_);
    Tell(verdict_);
  }
  NextDevice();
}
