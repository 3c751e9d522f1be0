#pragma once
// Capturing a snapshot of the bus, read-only for the devices: each address
// is asked for its working settings (preset 0) and, when the stored
// presets are wanted, presets 1 to 8. A device that does not answer is
// recorded as absent and the capture goes on; one that answers with an
// error is recorded as such. At the end the devices get their manual
// controls back (the group byte the program sends when it closes). Writing
// the folder is the caller's (`WriteSnapshotFolder`).
#include <map>
#include <string>
#include <vector>

#include "eq/SnapshotFile.h"
#include "eq/SnapshotRun.h"

class SnapshotCapture : public SnapshotRun {
 public:
  struct Options {
    std::vector<int> addresses;
    bool presets = true;  // the eight stored presets too
    std::string line;     // the port's description, for the file
  };
  using SnapshotRun::SnapshotRun;

  // An address is done: what was recorded, and the error when it answered
  // with one.
  std::function<void(const SnapshotDevice& device, const std::string& error)> OnDevice;

  void Start(Options options);
  const Snapshot& Result() const { return snapshot_; }
  // The stored presets read, by address (presets 1 to 8).
  const std::map<int, std::vector<pa422::Bytes>>& Presets() const { return presets_; }
  // Some device answered with an error.
  bool AnyError() const { return anyError_; }

 private:
  void NextDevice();
  void Read(int preset);
  void Ended(int preset, const LineOutcome& outcome);
  void DeviceDone(const std::string& error);
  void GiveBackManualControls();

  Options options_;
  Snapshot snapshot_;
  std::map<int, std::vector<pa422::Bytes>> presets_;
  SnapshotDevice device_;  // the device in hand
  std::vector<pa422::Bytes> blocks_;
  bool anyError_ = false;
};
