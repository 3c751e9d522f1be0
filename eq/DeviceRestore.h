#pragma once
// Restoring devices from their backup sets through the line queue, with the
// same steps and checks as `varlo-cli restore`: each set is read and
// checked before its device is asked; then per preset the device's preset
// is read, the device takes the backup's name (once, when it differs), a
// locked preset is unlocked, the preset is written, locked again when the
// backup says so, and read back to verify it. A device that fails is named
// with the preset and the step, and the others go on; a stop comes between
// presets, never inside one.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "eq/DeviceBackup.h"
#include "link/LineQueue.h"

class DeviceRestore {
 public:
  using Target = DevicePresetReader::Target;

  explicit DeviceRestore(LineQueue& line);
  ~DeviceRestore();
  DeviceRestore(const DeviceRestore&) = delete;
  DeviceRestore& operator=(const DeviceRestore&) = delete;

  // A preset was written and read back the same.
  std::function<void(int address, int preset)> OnPreset;
  // A device is done: every preset of its set restored (failure empty), or
  // what failed and what was restored before.
  std::function<void(int address, const std::string& failure)> OnDevice;
  std::function<void(bool stopped)> OnFinished;

  void Start(std::vector<Target> targets);
  void Stop();
  bool Running() const { return running_; }
  int PresetsDone() const { return presetsDone_; }

 private:
  enum class Step { ReadBefore, Rename, Unlock, Write, Lock, ReadBack };
  void NextDevice();
  void NextPreset();
  void Run(Step step);
  void Ended(Step step, const LineOutcome& outcome);
  void DeviceFailed(const std::string& what);
  void DeviceDone(const std::string& failure);
  void Finish(bool stopped);

  LineQueue& line_;
  int owner_;
  std::vector<Target> targets_;
  size_t device_ = 0;
  LoadedBackup backup_;
  std::vector<int> presets_;  // of the set, in order
  size_t preset_ = 0;
  pa422::Bytes before_;
  bool renamed_ = false;
  std::vector<int> written_;
  int presetsDone_ = 0;
  bool running_ = false, stopping_ = false;
  std::shared_ptr<char> alive_ = std::make_shared<char>();
};
