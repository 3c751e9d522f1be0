#pragma once
// Reading devices' eight presets through the line queue, for a backup or a
// comparison with one: the presets of each device are read in turn, one
// request at a time (the equalizer windows' work goes between them), and
// only then used: written as one backup set, all or nothing, or compared
// with the set in a folder. A device that fails is named with the preset,
// and the others go on; a stop comes between presets. The set's files are
// the same for the command line and the program.
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "eq/BackupFolder.h"
#include "eq/BackupSet.h"
#include "link/LineQueue.h"

// The files of a backup set of the device at `address` from its presets 1
// to 8 as recalled (blocks[0] is preset 1), the manifest last; `manifest`
// gets what the manifest says.
std::vector<BackupFile> BackupSetFiles(int address, const std::vector<pa422::Bytes>& blocks,
                                       const std::string& created, BackupManifest& manifest);
// Now in UTC, ISO 8601 ("2026-12-09T15:04:05Z").
std::string UtcTimestamp();
// The folder of one device's set among several: "addr-007".
std::string AddressFolderName(int address);

class DevicePresetReader {
 public:
  struct Target {
    int address = 0;
    std::filesystem::path dir;
  };

  explicit DevicePresetReader(LineQueue& line);
  ~DevicePresetReader();
  DevicePresetReader(const DevicePresetReader&) = delete;
  DevicePresetReader& operator=(const DevicePresetReader&) = delete;

  // Before a device is asked: why it may not be (its folder), or empty.
  std::function<std::string(const Target&)> BeforeDevice;
  // A device's eight presets were read: what came of using them, empty
  // when it went well.
  std::function<std::string(const Target&, const std::vector<pa422::Bytes>& blocks)> WithPresets;

  // Why a recall failed, or empty: by default the queue's own account
  // (`OutcomeFailure`); the command line adds what its engine showed.
  std::function<std::string(const LineOutcome& outcome)> WhyFailed;

  // A preset of a device was read.
  std::function<void(int address, int preset)> OnPreset;
  // A device is done: its presets used (failure empty), or why not.
  std::function<void(int address, const std::string& failure)> OnDevice;
  // Every device is done, or the backup was stopped.
  std::function<void(bool stopped)> OnFinished;

  void Start(std::vector<Target> targets);
  // Reads no further preset; the one being read finishes first, and the
  // device it belongs to is left as it was.
  void Stop();
  bool Running() const { return running_; }
  // Presets read so far, of 8 a device.
  int PresetsRead() const { return presetsRead_; }
  int PresetsInAll() const { return static_cast<int>(targets_.size()) * 8; }

 private:
  void ReadNext();
  void Read(const LineOutcome& outcome);
  void DeviceDone(const std::string& failure);
  void Finish(bool stopped);

  LineQueue& line_;
  int owner_;
  std::vector<Target> targets_;
  size_t device_ = 0;
  std::vector<pa422::Bytes> blocks_;
  int presetsRead_ = 0;
  bool running_ = false;
  bool stopping_ = false;
  std::shared_ptr<char> alive_ = std::make_shared<char>();
};

// Writes a device's backup set into its folder; the failure, or empty.
std::string WriteBackupSet(const DevicePresetReader::Target& target, const std::vector<pa422::Bytes>& blocks);

// A backup set read from its folder and checked: its manifest and the
// TRANSMIT_ALL_DATA block of each preset it holds. Throws
// std::runtime_error naming the file and what is wrong.
struct LoadedBackup {
  BackupManifest manifest;
  std::map<int, pa422::Bytes> blocks;
};
LoadedBackup LoadBackupSet(const std::filesystem::path& dir);

// What differs between a device's presets 1 to 8 as read and a backup, a
// line each ("preset 3: band 8 (125 Hz) backup +3.0 dB, device +1.5 dB"):
// bands, gain, filters, names and lock. Empty when nothing does.
std::vector<std::string> BackupDifferences(const LoadedBackup& backup, const std::vector<pa422::Bytes>& recalled);
