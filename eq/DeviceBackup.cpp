#include "eq/DeviceBackup.h"

#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "eq/EqualizerDocument.h"
#include "link/TzkPA422Form.h"

namespace all = pa422::all_data;

namespace {
constexpr int kPresets = 8;

// A name as the program's forms show it.
std::string FormName(const std::string& text) { return pa422::BlockName(pa422::Name16(text), 1); }
}  // namespace

std::vector<BackupFile> BackupSetFiles(int address, const std::vector<pa422::Bytes>& blocks,
                                       const std::string& created, BackupManifest& manifest) {
  manifest = BackupManifest();
  manifest.address = address;
  manifest.created = created;
  manifest.deviceName = FormName(blocks.at(0).substr(all::kDeviceName - 1, pa422::kNameLength));
  manifest.mute = pa422::BlockByte(blocks[0], all::kMute) != 0;
  manifest.bypass = pa422::BlockByte(blocks[0], all::kBypass) != 0;
  std::vector<BackupFile> files;
  for (int preset = 1; preset <= kPresets; ++preset) {
    const pa422::Bytes& block = blocks.at(preset - 1);
    BackupPreset entry;
    entry.preset = preset;
    entry.file = PresetFileName(preset);
    const std::string file = MacFileFromBlock(address, preset, block);
    entry.name = FormName(file.substr(35, pa422::kNameLength));
    entry.locked = pa422::BlockByte(block, all::kLock) != 0;
    entry.crc32 = Crc32(file);
    files.push_back({entry.file, file});
    manifest.presets.push_back(entry);
  }
  // The manifest last: a folder whose manifest lists a preset holds its file.
  files.push_back({kManifestName, ManifestJson(manifest)});
  return files;
}

std::string UtcTimestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::string AddressFolderName(int address) {
  char name[16];
  std::snprintf(name, sizeof name, "addr-%03d", address);
  return name;
}

DeviceBackup::DeviceBackup(LineQueue& line) : line_(line), owner_(line.NewOwner()) {}

DeviceBackup::~DeviceBackup() { line_.Withdraw(owner_); }

void DeviceBackup::Start(std::vector<Target> targets) {
  if (running_) return;
  targets_ = std::move(targets);
  device_ = 0;
  blocks_.clear();
  presetsRead_ = 0;
  running_ = true;
  stopping_ = false;
  ReadNext();
}

void DeviceBackup::Stop() {
  if (!running_) return;
  line_.Withdraw(owner_);
  if (line_.Running(owner_))
    stopping_ = true;
  else
    Finish(true);
}

void DeviceBackup::ReadNext() {
  while (device_ < targets_.size() && blocks_.empty()) {
    // A folder that may not be replaced is refused before the device is asked.
    try {
      CheckBackupFolder(targets_[device_].dir);
      break;
    } catch (const std::exception& e) {
      DeviceDone(e.what());
      if (!running_) return;
    }
  }
  if (device_ >= targets_.size()) {
    Finish(false);
    return;
  }
  const int address = targets_[device_].address;
  const int preset = static_cast<int>(blocks_.size()) + 1;
  LineRequest request;
  request.owner = owner_;
  request.address = address;
  request.background = true;
  request.ownOutcome = true;
  request.start = [address, preset](TzkPA422Form& engine) {
    engine.PendingEdit = TPendingEdit::None;
    engine.RecallAllData(address, preset);
  };
  request.done = [this, alive = std::weak_ptr<char>(alive_)](const LineOutcome& outcome) {
    if (!alive.expired() && running_) Read(outcome);
  };
  line_.Submit(std::move(request));
}

void DeviceBackup::Read(const LineOutcome& outcome) {
  const Target& target = targets_[device_];
  const int preset = static_cast<int>(blocks_.size()) + 1;
  if (!outcome.succeeded || outcome.data.size() != static_cast<size_t>(pa422::kAllDataLength + 1)) {
    const std::string why = !outcome.started && outcome.message.empty() ? "the serial line is closed"
                            : outcome.message.empty() ? "the device sent a block of " +
                                                            std::to_string(outcome.data.size()) + " bytes"
                                                      : outcome.message;
    DeviceDone("reading preset " + std::to_string(preset) + ": " + why + "; nothing was written");
  } else {
    blocks_.push_back(outcome.data);
    ++presetsRead_;
    if (OnPreset) OnPreset(target.address, preset);
    if (blocks_.size() == static_cast<size_t>(kPresets)) {
      // Everything is read before anything is written: an earlier backup
      // in the folder stays whole unless the whole new set is on disk.
      std::string failure;
      try {
        BackupManifest manifest;
        ReplaceBackupFolder(target.dir, BackupSetFiles(target.address, blocks_, UtcTimestamp(), manifest));
      } catch (const std::exception& e) {
        failure = e.what();
      }
      DeviceDone(failure);
    }
  }
  if (!running_) return;
  if (stopping_)
    Finish(true);
  else
    ReadNext();
}

void DeviceBackup::DeviceDone(const std::string& failure) {
  // The presets of a device left unread still count as done.
  presetsRead_ = static_cast<int>(device_ + 1) * kPresets;
  const int address = targets_[device_].address;
  ++device_;
  blocks_.clear();
  if (OnDevice) OnDevice(address, failure);
}

void DeviceBackup::Finish(bool stopped) {
  running_ = false;
  stopping_ = false;
  blocks_.clear();
  if (OnFinished) OnFinished(stopped);
}
