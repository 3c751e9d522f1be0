#include "link/InstallationModel.h"

#include <algorithm>
#include <utility>

namespace all = pa422::all_data;

namespace {
uint8_t FrameByte(const pa422::Bytes& frame, size_t index) {
  return index < frame.size() ? static_cast<uint8_t>(frame[index]) : 0;
}
}  // namespace

std::string InstalledUnit::StateText() const {
  switch (state) {
    case State::Online:
      return "online";
    case State::Absent:
      return "absent";
    case State::Error:
      return "error: " + error;
    case State::NotScanned:
      break;
  }
  return "not scanned";
}

std::string InstalledUnit::GroupText() const {
  if (group.empty() || groupState.empty()) return group;
  return group + ": " + groupState;
}

InstallationModel::InstallationModel(LineQueue* line, Clock now)
    : line_(line),
      now_(now ? std::move(now) : Clock([] { return std::chrono::system_clock::now(); })) {
  if (!line_) return;
  LineEvents events;
  events.ended = [this](const LineRequest& request, const LineOutcome& outcome) {
    Heard(request, outcome);
  };
  lineEvents_ = line_->Subscribe(std::move(events));
}

InstallationModel::~InstallationModel() {
  if (line_) line_->Unsubscribe(lineEvents_);
}

const InstalledUnit* InstallationModel::Find(int address) const {
  const auto found = units_.find(address);
  return found == units_.end() ? nullptr : &found->second;
}

InstalledUnit& InstallationModel::Unit(int address) {
  InstalledUnit& unit = units_[address];
  unit.address = address;
  return unit;
}

void InstallationModel::Known(int address, const std::string& name) {
  if (address <= 0) return;
  InstalledUnit& unit = Unit(address);
  if (unit.name.empty()) unit.name = name;
  Changed(address);
}

void InstallationModel::Heard(const LineRequest& request, const LineOutcome& outcome) {
  const int address = request.address;
  // Refused before the line (a closed port) says nothing of the unit; the
  // group byte goes to no address.
  if (address <= 0 || !outcome.started) return;
  const uint8_t code = outcome.command;
  const bool recall = code == pa422::RECALL_ALL_DATA;
  const std::string failure = OutcomeFailure(outcome, recall);
  if (!failure.empty() && NobodyAnswered(outcome)) {
    // An address nobody ever answered at is no unit.
    auto found = units_.find(address);
    if (found == units_.end()) return;
    found->second.state = InstalledUnit::State::Absent;
    found->second.error.clear();
    return Changed(address);
  }
  InstalledUnit& unit = Unit(address);
  if (!outcome.linkFailed) unit.lastSeen = now_();
  if (!failure.empty()) {
    unit.state = InstalledUnit::State::Error;
    unit.error = failure;
    return Changed(address);
  }
  unit.state = InstalledUnit::State::Online;
  unit.error.clear();
  const pa422::Bytes& frame = outcome.frame;
  switch (code) {
    case pa422::RECALL_ALL_DATA: {
      const pa422::Bytes& block = outcome.data;
      unit.name = pa422::BlockName(block, all::kDeviceName);
      unit.mute = pa422::BlockByte(block, all::kMute) != 0;
      unit.bypass = pa422::BlockByte(block, all::kBypass) != 0;
      // A stored preset's block names that preset; only the working
      // settings' names the one running.
      const int preset = pa422::BlockByte(block, all::kPreset);
      if (FrameByte(frame, 2) == 0) {
        unit.preset = preset;
        unit.presetName = pa422::BlockName(block, all::kPresetName);
      }
      if (unit.preset == preset) unit.lock = pa422::BlockByte(block, all::kLock) != 0;
      break;
    }
    case pa422::MUTE_ALL_OUTPUTS:
    case pa422::UNMUTE_ALL_OUTPUTS:
      unit.mute = code == pa422::MUTE_ALL_OUTPUTS;
      break;
    case pa422::BYPASS_DEVICE_CHANNEL:
    case pa422::UNBYPASS_DEVICE_CHANNEL:
      unit.bypass = code == pa422::BYPASS_DEVICE_CHANNEL;
      break;
    case pa422::SET_DEVICE_NAME:
      unit.name =
          pa422::FormName(frame.substr(std::min<size_t>(frame.size(), 5), pa422::kNameLength));
      break;
    case pa422::LOCK_MEMORY_OF_DEVICE_CHANNEL:
    case pa422::UNLOCK_MEMORY_OF_DEVICE_CHANNEL:
      if (unit.preset == FrameByte(frame, 2))
        unit.lock = code == pa422::LOCK_MEMORY_OF_DEVICE_CHANNEL;
      break;
    case pa422::REPROGRAM_DEVICE_CHANNEL_FROM_MEMORY:
      // Preset 0 reloads the one running. What the new one holds is known
      // once it is read.
      if (const int preset = FrameByte(frame, 2); preset != 0 && unit.preset != preset) {
        unit.preset = preset;
        unit.presetName.reset();
        unit.lock.reset();
      }
      break;
    case pa422::TRANSMIT_ALL_DATA: {
      // 1..8 stores the preset (a locked one refuses) and runs it; 0 the
      // working settings, under the name it carries.
      if (const int preset = FrameByte(frame, pa422::transmit::kPreset); preset != 0) {
        unit.preset = preset;
        unit.lock = false;
      }
      const size_t at = std::min<size_t>(frame.size(), pa422::transmit::kPresetName);
      unit.presetName = pa422::FormName(frame.substr(at, pa422::kNameLength));
      break;
    }
    default:
      break;
  }
  Changed(address);
}

void InstallationModel::Failed(int address, const std::string& reason) {
  InstalledUnit& unit = Unit(address);
  if (unit.state == InstalledUnit::State::Absent) return;
  unit.state = InstalledUnit::State::Error;
  unit.error = reason;
  Changed(address);
}

void InstallationModel::ModifiedSinceSnapshot(int address) {
  auto found = units_.find(address);
  if (found == units_.end() || found->second.since == InstalledUnit::SnapshotSince::None) return;
  InstalledUnit& unit = found->second;
  unit.snapshot = unit.since == InstalledUnit::SnapshotSince::Recalled ? "modified since recalled"
                                                                       : "modified since captured";
  unit.snapshotDetails = {
      "Changed in its window since: it no longer runs what the snapshot holds."};
  unit.since = InstalledUnit::SnapshotSince::None;
  Changed(address);
}

void InstallationModel::SetSnapshot(int address, std::string verdict,
                                    std::vector<std::string> details,
                                    InstalledUnit::SnapshotSince since) {
  InstalledUnit& unit = Unit(address);
  unit.snapshot = std::move(verdict);
  unit.snapshotDetails = std::move(details);
  unit.since = since;
  Changed(address);
}

void InstallationModel::SetGroups(const std::map<int, Membership>& members) {
  for (auto& [address, unit] : units_) {
    if (members.count(address) || unit.group.empty()) continue;
    unit.group.clear();
    unit.groupState.clear();
    Changed(address);
  }
  for (const auto& [address, member] : members) {
    InstalledUnit& unit = Unit(address);
    if (unit.group == member.group && unit.groupState == member.state) continue;
    unit.group = member.group;
    unit.groupState = member.state;
    Changed(address);
  }
}

int InstallationModel::Subscribe(std::function<void(int address)> changed) {
  observers_[++lastObserver_] = std::move(changed);
  return lastObserver_;
}

void InstallationModel::Changed(int address) {
  // An observer may unsubscribe while it hears.
  const auto observers = observers_;
  for (const auto& [id, changed] : observers)
    if (observers_.count(id)) changed(address);
}
