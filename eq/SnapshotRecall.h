#pragma once
// Recalling a snapshot into the devices. Per device in scope: the stored
// presets first when they are in scope (the restore steps shared with the
// backups: unlock, write, lock again as saved, read back and verify), then
// the captured current preset is recalled (REPROGRAM_DEVICE_CHANNEL_FROM_
// MEMORY) and the captured working settings are sent as preset 0, so that
// the device ends running exactly what was captured. Mute and Bypass are
// left alone unless asked (never unmute by surprise), the device name
// likewise. Each device is read back and compared at the end; a failure
// names the device and the step, and the rest go on. A stop comes between
// devices.
#include <memory>
#include <string>
#include <vector>

#include "eq/DeviceRestore.h"
#include "eq/SnapshotRun.h"

class SnapshotRecall : public SnapshotDeviceRun {
 public:
  struct Options {
    std::vector<int> addresses;  // see SnapshotScope
    bool presets = false;        // write the stored presets too
    bool muteBypass = false;     // set Mute and Bypass as captured
    bool names = false;          // give the devices their captured names
  };
  explicit SnapshotRecall(LineQueue& line);
  ~SnapshotRecall() override;

  // A device's step began ("writing the stored presets", "recalling preset
  // 3", "sending the working settings", ...).
  std::function<void(int address, const std::string& step)> OnStep;
  // A device is done: "match" (it runs what was captured), "differs" (what
  // still differs after the recall), "failed" (the step and why), or
  // "absent". `sent` says whether anything went to it.
  std::function<void(const SnapshotVerdict& verdict, bool sent)> OnDevice;

  void Start(LoadedSnapshot snapshot, Options options);

  // What a recall would send, a line per device in scope, for the question
  // before it ("address 3: working settings of preset 2 \"SPEECH\", stored
  // presets 1-8, device name \"MAIN L\"; Mute and Bypass left as they are";
  // the name only when names are recalled).
  static std::vector<std::string> Plan(const LoadedSnapshot& snapshot, const Options& options);

 private:
  enum class Step { Presets, Name, Reprogram, Working, Mute, Bypass, ReadBack };
  void BeginDevice() override;
  void Tell(const SnapshotVerdict& verdict) override {
    if (OnDevice) OnDevice(verdict, sent_);
  }
  void Run(Step step);
  void Ended(Step step, const LineOutcome& outcome);
  void Next(Step after);
  std::string StepText(Step step) const;

  Options options_;
  const SnapshotDevice* captured_ = nullptr;
  bool sent_ = false;  // something went to the device in hand
  std::unique_ptr<DeviceRestore> restore_;
  std::string restoreFailure_;
};
