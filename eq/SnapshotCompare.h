#pragma once
// Comparing the devices on the bus with a snapshot, read-only: each
// address in scope is asked for its working settings (and, with the stored
// presets, presets 1 to 8) and gets one verdict, the first that applies of
// "failed", "absent", "locked", "differs", "match"; a device that answers
// but was not captured is "extra". A device that fails is reported and the
// rest go on.
#include <optional>
#include <string>
#include <vector>

#include "eq/SnapshotFolder.h"
#include "eq/SnapshotRun.h"

struct SnapshotVerdict {
  int address = 0;
  std::string verdict;  // "match", "differs", "absent", "extra", "locked", "failed"
  std::vector<std::string> differences;  // in words; for "failed", why
  std::optional<SnapshotDevice> now;     // what the device runs, when it answered

  bool Matches() const { return verdict == "match"; }
};

// What differs between a stored preset as captured and as a device holds
// it now, a phrase each ("preset 3 band 8 (125 Hz) +3.0 dB → +1.5 dB",
// "preset 3 name \"SPEECH\" → \"MUSIC\"", "preset 3 lock on → off").
std::vector<std::string> StoredPresetDifferences(const LoadedBackup& set, int preset, const pa422::Bytes& recalled);

// The addresses a compare or a recall covers: `chosen` when given, else
// the devices the snapshot holds (those that answered when it was taken).
std::vector<int> SnapshotScope(const Snapshot& snapshot, const std::vector<int>& chosen);

class SnapshotCompare : public SnapshotRun {
 public:
  struct Options {
    std::vector<int> addresses;  // see SnapshotScope
    bool presets = false;        // the stored presets too (only then "locked")
  };
  using SnapshotRun::SnapshotRun;

  // One verdict per device, as it comes. An address neither captured nor
  // answering gets none.
  std::function<void(const SnapshotVerdict& verdict)> OnVerdict;

  // `snapshot` is kept for the run.
  void Start(LoadedSnapshot snapshot, Options options);
  const std::vector<SnapshotVerdict>& Verdicts() const { return verdicts_; }

 private:
  void NextDevice();
  void Read(int preset);
  void Ended(int preset, const LineOutcome& outcome);
  void Judge();
  void DeviceDone();

  LoadedSnapshot loaded_;
  Options options_;
  std::vector<int> scope_;
  SnapshotVerdict verdict_;  // the device in hand
  bool lockedChange_ = false;
  std::vector<SnapshotVerdict> verdicts_;
};
