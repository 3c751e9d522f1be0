#include "eq/SnapshotCompare.h"

#include "eq/EqualizerDocument.h"
#include "eq/ResponseChart.h"

namespace all = pa422::all_data;
namespace tx = pa422::transmit;

namespace {
const char* const kArrow = " \u2192 ";
std::string Level(int code) { return DbText(StepsFromDeviceGainCode(static_cast<uint8_t>(code)) * 0.5); }
}  // namespace

std::vector<std::string> StoredPresetDifferences(const LoadedBackup& set, int preset, const pa422::Bytes& recalled) {
  std::vector<std::string> lines;
  const auto found = set.blocks.find(preset);
  const BackupPreset* entry = set.manifest.Find(preset);
  if (found == set.blocks.end() || !entry) return lines;
  const pa422::Bytes& was = found->second;
  const std::string at = "preset " + std::to_string(preset) + " ";
  const auto byte = [](const pa422::Bytes& b, int position) { return static_cast<int>(pa422::BlockByte(b, position)); };
  for (int slot = 1; slot <= kSliderCount; ++slot) {
    const int a = byte(was, tx::kLevels + slot - 1), b = byte(recalled, all::kFirstBand + slot - 1);
    if (a != b)
      lines.push_back(at + (slot < kSliderCount ? "band " + std::to_string(slot) + " (" + SlotLabel(slot) + ")" : "gain") +
                      " " + Level(a) + kArrow + Level(b));
  }
  if (const int a = byte(was, tx::kHighPass), b = byte(recalled, all::kHighPass); a != b)
    lines.push_back(at + "high-pass " + HighPassLabel(a) + kArrow + HighPassLabel(b));
  if (const int a = byte(was, tx::kLowPass), b = byte(recalled, all::kLowPass); a != b)
    lines.push_back(at + "low-pass " + LowPassLabel(a) + kArrow + LowPassLabel(b));
  const std::string a = pa422::BlockName(was, tx::kPresetName), b = pa422::BlockName(recalled, all::kPresetName);
  if (a != b) lines.push_back(at + "name \"" + a + "\"" + kArrow + "\"" + b + "\"");
  const bool locked = byte(recalled, all::kLock) != 0;
  if (entry->locked != locked)
    lines.push_back(at + "lock " + (entry->locked ? "on" : "off") + kArrow + (locked ? "on" : "off"));
  return lines;
}

std::vector<int> SnapshotScope(const Snapshot& snapshot, const std::vector<int>& chosen) {
  if (!chosen.empty()) return chosen;
  std::vector<int> scope;
  for (const SnapshotDevice& device : snapshot.devices)
    if (device.state != SnapshotDevice::State::Absent) scope.push_back(device.address);
  return scope;
}

void SnapshotCompare::Start(LoadedSnapshot snapshot, Options options) {
  if (running_) return;
  loaded_ = std::move(snapshot);
  options_ = std::move(options);
  scope_ = SnapshotScope(loaded_.snapshot, options_.addresses);
  verdicts_.clear();
  Begin(static_cast<int>(scope_.size()));
  NextDevice();
}

void SnapshotCompare::NextDevice() {
  if (!MayGoOn()) {
    End();
    return;
  }
  verdict_ = SnapshotVerdict();
  verdict_.address = scope_[done_];
  lockedChange_ = false;
  Read(0);
}

void SnapshotCompare::Read(int preset) {
  Send(BackgroundRecall(owner_, verdict_.address, preset),
       [this, preset](const LineOutcome& outcome) { Ended(preset, outcome); });
}

void SnapshotCompare::Ended(int preset, const LineOutcome& outcome) {
  const SnapshotDevice* captured = loaded_.snapshot.Find(verdict_.address);
  const bool wasThere = captured && captured->state != SnapshotDevice::State::Absent;
  if (const std::string why = Why(outcome, true); !why.empty()) {
    if (preset == 0 && NobodyAnswered(outcome)) {
      // Nobody there, as captured: nothing to say of it.
      verdict_.verdict = wasThere ? "absent" : captured ? "match" : "";
    } else {
      verdict_.verdict = "failed";
      verdict_.differences = {preset ? "reading preset " + std::to_string(preset) + ": " + why : why};
    }
    DeviceDone();
    return;
  }
  if (preset == 0) {
    verdict_.now = DeviceFromWorkingBlock(verdict_.address, outcome.data);
    if (!wasThere) {
      verdict_.verdict = "extra";
      verdict_.differences = {captured ? "it did not answer when the snapshot was taken" : "it is not in the snapshot"};
      DeviceDone();
      return;
    }
    verdict_.differences = SnapshotDifferences(*captured, *verdict_.now);
    if (captured->state == SnapshotDevice::State::Error)
      verdict_.differences.insert(verdict_.differences.begin(), "it answered with an error when the snapshot was taken");
  } else {
    std::vector<std::string> lines = StoredPresetDifferences(loaded_.sets.at(verdict_.address), preset, outcome.data);
    // A preset the recall would write (more than its lock) but that is
    // locked on the device.
    const bool locked = pa422::BlockByte(outcome.data, all::kLock) != 0;
    if (locked && (lines.size() > 1 || (lines.size() == 1 && lines[0].find(" lock ") == std::string::npos)))
      lockedChange_ = true;
    verdict_.differences.insert(verdict_.differences.end(), lines.begin(), lines.end());
  }
  if (options_.presets && loaded_.sets.count(verdict_.address) && preset < kPresetCount) {
    Read(preset + 1);
    return;
  }
  Judge();
  DeviceDone();
}

void SnapshotCompare::Judge() {
  verdict_.verdict = lockedChange_ ? "locked" : verdict_.differences.empty() ? "match" : "differs";
}

void SnapshotCompare::DeviceDone() {
  ++done_;
  if (!verdict_.verdict.empty()) {
    verdicts_.push_back(verdict_);
    if (OnVerdict) OnVerdict(verdict_);
  }
  NextDevice();
}
