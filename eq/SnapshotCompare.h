#pragma once
// Comparing the devices on the bus with a snapshot, read-only: each
// address in scope is asked for its working settings (and, with the stored
// presets, presets 1 to 8) and gets one verdict, the first that applies of
// "failed", "absent", "locked", "differs", "match"; a device that answers
// but was not captured is "extra". A device that fails is reported and the
// rest go on.
#include <string>
#include <vector>

#include "eq/SnapshotRun.h"

class SnapshotCompare : public SnapshotDeviceRun {
 public:
  struct Options {
    std::vector<int> addresses;  // see SnapshotScope
    bool presets = false;        // the stored presets too (only then "locked")
  };
  using SnapshotDeviceRun::SnapshotDeviceRun;

  // One verdict per device, as it comes. An address neither captured nor
  // answering gets none.
  std::function<void(const SnapshotVerdict& verdict)> OnVerdict;

  // `snapshot` is kept for the run.
  void Start(LoadedSnapshot snapshot, Options options);

 private:
  void BeginDevice() override;
  void Tell(const SnapshotVerdict& verdict) override {
    if (OnVerdict) OnVerdict(verdict);
  }
  void Read(int preset);
  void Ended(int preset, const LineOutcome& outcome);

  Options options_;
  bool lockedChange_ = false;
};
