#pragma once
// Restoring devices from their backup sets through the line queue, one
// implementation for the command line and the program: each set is read
// and checked before its device is asked; then per preset the device's
// preset is read, the device takes the backup's name (once, when it
// differs, in a whole restore), a locked preset is unlocked, the preset is
// written, locked again when the backup says so, and read back to verify
// it. A device that fails is named with the preset and the step, and the
// others go on; a stop comes between presets, never inside one.
//
// Writing a preset makes it the one the device runs, with its curve as the
// working settings. So the working settings are read before anything is
// written, and afterwards (also after a failure or a stop, where the
// device still answers) the device recalls the preset it ran and gets
// those working settings back as preset 0 when they differ from it: it
// plays what it played before. A device that keeps its working settings in
// the running preset would store them there, so that preset is locked for
// the moment the working settings go out.
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "eq/DeviceBackup.h"
#include "link/LineQueue.h"

// Why a device's restore ended early, in parts, so that each caller can
// word it its own way.
struct RestoreFailure {
  int preset = 0;    // the preset in hand; 0 when none was begun
  std::string step;  // "reading", "writing", ...; empty when no transaction failed
  // The transaction's failure, the set's fault, or what read back different.
  std::string why;
  bool differs = false;  // the preset read back different from the set
  bool stopped = false;  // Stop() came between presets
  std::vector<int> written;      // written and read back the same
  std::vector<int> notRestored;  // the set's presets left alone after a stop
  bool sent = false;      // the preset in hand's block went out
  bool unlocked = false;  // the preset in hand was unlocked for it
  // Why the device could not be given back what it ran before, or empty.
  std::string putBack;

  // The step that failed: "writing preset 3", "reading the working settings".
  std::string What() const;
  // What was done: "written and verified: presets 1, 2; preset 3 may be
  // partly written".
  std::string Summary() const;
  // The whole account: "writing preset 3 failed (ORB Not Found.); written
  // and ...".
  std::string Text() const;
};

// "1, 2, 3".
std::string PresetList(const std::vector<int>& presets);

class DeviceRestore {
 public:
  struct Target {
    int address = 0;
    std::filesystem::path dir;
    // The set already read and checked; else it is read from `dir` first.
    std::optional<LoadedBackup> set;
    // One preset of the set alone (the device keeps its name), or 0: all.
    int preset = 0;
    // The device keeps its name even in a whole restore.
    bool keepName = false;
    // The device is given back what it ran only when its restore failed
    // or was stopped: the caller sets what it runs after a restore that
    // went well (a snapshot recall).
    bool putBackOnFailureOnly = false;

    Target() = default;
    Target(int address, std::filesystem::path dir) : address(address), dir(std::move(dir)) {}
    Target(const DevicePresetReader::Target& t) : Target(t.address, t.dir) {}  // NOLINT: the same device and folder
  };

  explicit DeviceRestore(LineQueue& line);
  ~DeviceRestore();
  DeviceRestore(const DeviceRestore&) = delete;
  DeviceRestore& operator=(const DeviceRestore&) = delete;

  // Why a transaction failed, or empty: by default the queue's own account
  // (`OutcomeFailure`); the command line adds what its engine showed.
  std::function<std::string(const LineOutcome& outcome, bool read)> WhyFailed;

  // A preset was written and read back the same.
  std::function<void(int address, int preset)> OnPreset;
  // A device is done: every preset of its set restored (failure empty), or
  // what failed and what was restored before (`LastFailure()` in parts).
  std::function<void(int address, const std::string& failure)> OnDevice;
  std::function<void(bool stopped)> OnFinished;

  void Start(std::vector<Target> targets);
  void Stop();
  bool Running() const { return running_; }
  int PresetsDone() const { return presetsDone_; }
  const RestoreFailure& LastFailure() const { return failure_; }

 private:
  // Recall and after: putting back what the device ran.
  enum class Step {
    ReadRunning,
    ReadBefore,
    Rename,
    Unlock,
    Write,
    Lock,
    ReadBack,
    Recall,
    ReadNow,
    Hold,
    Working,
    Release
  };
  void NextDevice();
  void NextPreset();
  void Run(Step step);
  void Ended(Step step, const LineOutcome& outcome);
  void PutBackEnded(Step step, const LineOutcome& outcome);
  void DeviceFailed();
  // The writes of the device in hand are over: what it ran is put back
  // when needed, then the device is done.
  void DeviceEnded(bool failed);
  void PutBackDone(const std::string& failure);
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
  pa422::Bytes working_;  // the working settings before anything was written
  bool renamed_ = false;
  bool written_ = false;    // a preset's block went out to the device in hand
  bool failed_ = false;     // the device in hand failed or was stopped
  int held_ = 0;            // the preset locked while the working settings go out
  RestoreFailure failure_;  // the device in hand's progress
  int presetsDone_ = 0;
  bool running_ = false, stopping_ = false;
  std::shared_ptr<char> alive_ = std::make_shared<char>();
};
