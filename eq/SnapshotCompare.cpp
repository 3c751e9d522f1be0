#include "eq/SnapshotCompare.h"

#include "eq/EqualizerDocument.h"
#include "eq/ResponseChart.h"

void SnapshotCompare::Start(LoadedSnapshot snapshot, Options options) {
  if (running_) return;
  options_ = std::move(options);
  StartOn(std::move(snapshot), options_.addresses);
}

void SnapshotCompare::BeginDevice() {
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
    const LoadedBackup& set = loaded_.sets.at(verdict_.address);
    if (const auto stored = set.blocks.find(preset); stored != set.blocks.end()) {
      const SnapshotWorking was = WorkingFromTransmitBlock(stored->second, set.manifest.Find(preset)->locked);
      const SnapshotWorking now = *DeviceFromWorkingBlock(verdict_.address, outcome.data).working;
      for (std::string& line : WorkingDifferences("preset " + std::to_string(preset) + " ", preset, was, now))
        verdict_.differences.push_back(std::move(line));
      // A preset the recall would write (more than its lock) but that is
      // locked on the device.
      SnapshotWorking relocked = was;
      relocked.lock = now.lock;
      if (now.lock && relocked != now) lockedChange_ = true;
    }
  }
  if (options_.presets && loaded_.sets.count(verdict_.address) && preset < kPresetCount) {
    Read(preset + 1);
    return;
  }
  verdict_.verdict = lockedChange_ ? "locked" : verdict_.differences.empty() ? "match" : "differs";
  DeviceDone();
}
