#include "eq/DeviceBackup.h"

#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "eq/EqualizerDocument.h"
#include "eq/PresetFormats.h"
#include "eq/ResponseChart.h"

namespace all = pa422::all_data;

namespace {
constexpr int kPresets = 8;

}  // namespace

std::vector<BackupFile> BackupSetFiles(int address, const std::vector<pa422::Bytes>& blocks,
                                       const std::string& created, BackupManifest& manifest) {
  manifest = BackupManifest();
  manifest.address = address;
  manifest.created = created;
  manifest.deviceName = pa422::FormName(blocks.at(0).substr(all::kDeviceName - 1, pa422::kNameLength));
  manifest.mute = pa422::BlockByte(blocks[0], all::kMute) != 0;
  manifest.bypass = pa422::BlockByte(blocks[0], all::kBypass) != 0;
  std::vector<BackupFile> files;
  for (int preset = 1; preset <= kPresets; ++preset) {
    const pa422::Bytes& block = blocks.at(preset - 1);
    BackupPreset entry;
    entry.preset = preset;
    entry.file = PresetFileName(preset);
    const std::string file = MacFileFromBlock(address, preset, block);
    entry.name = pa422::FormName(file.substr(35, pa422::kNameLength));
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

DevicePresetReader::DevicePresetReader(LineQueue& line) : line_(line), owner_(line.NewOwner()) {}

DevicePresetReader::~DevicePresetReader() { line_.Withdraw(owner_); }

void DevicePresetReader::Start(std::vector<Target> targets) {
  if (running_) return;
  targets_ = std::move(targets);
  device_ = 0;
  blocks_.clear();
  presetsRead_ = 0;
  running_ = true;
  stopping_ = false;
  ReadNext();
}

void DevicePresetReader::Stop() {
  if (!running_) return;
  line_.Withdraw(owner_);
  if (line_.Running(owner_))
    stopping_ = true;
  else
    Finish(true);
}

void DevicePresetReader::ReadNext() {
  while (device_ < targets_.size() && blocks_.empty()) {
    // A folder that may not be used is refused before the device is asked.
    const std::string refused = BeforeDevice ? BeforeDevice(targets_[device_]) : std::string();
    if (refused.empty()) break;
    DeviceDone(refused);
    if (!running_) return;
  }
  if (device_ >= targets_.size()) {
    Finish(false);
    return;
  }
  LineRequest request =
      BackgroundRecall(owner_, targets_[device_].address, static_cast<int>(blocks_.size()) + 1);
  request.done = [this, alive = std::weak_ptr<char>(alive_)](const LineOutcome& outcome) {
    if (!alive.expired() && running_) Read(outcome);
  };
  line_.Submit(std::move(request));
}

void DevicePresetReader::Read(const LineOutcome& outcome) {
  const Target& target = targets_[device_];
  const int preset = static_cast<int>(blocks_.size()) + 1;
  if (const std::string why = WhyFailed ? WhyFailed(outcome) : OutcomeFailure(outcome, true); !why.empty()) {
    DeviceDone("reading preset " + std::to_string(preset) + ": " + why);
  } else {
    blocks_.push_back(outcome.data);
    ++presetsRead_;
    if (OnPreset) OnPreset(target.address, preset);
    if (blocks_.size() == static_cast<size_t>(kPresets))
      DeviceDone(WithPresets ? WithPresets(target, blocks_) : std::string());
  }
  if (!running_) return;
  if (stopping_)
    Finish(true);
  else
    ReadNext();
}

void DevicePresetReader::DeviceDone(const std::string& failure) {
  // The presets of a device left unread still count as done.
  presetsRead_ = static_cast<int>(device_ + 1) * kPresets;
  const int address = targets_[device_].address;
  ++device_;
  blocks_.clear();
  if (OnDevice) OnDevice(address, failure);
}

void DevicePresetReader::Finish(bool stopped) {
  running_ = false;
  stopping_ = false;
  blocks_.clear();
  if (OnFinished) OnFinished(stopped);
}

std::string WriteBackupSet(const DevicePresetReader::Target& target, const std::vector<pa422::Bytes>& blocks) {
  // Everything is read before anything is written: an earlier backup in
  // the folder stays whole unless the whole new set is on disk.
  try {
    BackupManifest manifest;
    ReplaceBackupFolder(target.dir, BackupSetFiles(target.address, blocks, UtcTimestamp(), manifest));
  } catch (const std::exception& e) {
    return e.what();
  }
  return {};
}

LoadedBackup LoadBackupSet(const std::filesystem::path& dir) {
  LoadedBackup backup;
  backup.manifest = ParseManifest(ReadSmallFile(dir / kManifestName, kManifestSizeLimit));
  for (const BackupPreset& entry : backup.manifest.presets)
    backup.blocks[entry.preset] = CheckedPresetBlock(
        entry, ReadSmallFile(dir / entry.file, static_cast<size_t>(kMacFileSize)), dir);
  return backup;
}

std::vector<std::string> BackupDifferences(const LoadedBackup& backup, const std::vector<pa422::Bytes>& recalled) {
  namespace tx = pa422::transmit;
  std::vector<std::string> lines;
  const auto level = [](int code) { return DbText(StepsFromDeviceGainCode(static_cast<uint8_t>(code)) * 0.5); };
  for (int preset = 1; preset <= kPresets && preset <= static_cast<int>(recalled.size()); ++preset) {
    const auto found = backup.blocks.find(preset);
    if (found == backup.blocks.end()) continue;
    const pa422::Bytes& sent = found->second;
    const pa422::Bytes& read = recalled[preset - 1];
    const std::string at = "preset " + std::to_string(preset) + ": ";
    const auto byte = [](const pa422::Bytes& b, int position) { return pa422::BlockByte(b, position); };
    for (int slot = 1; slot <= 30; ++slot) {
      const int wrote = byte(sent, tx::kLevels + slot - 1), now = byte(read, all::kFirstBand + slot - 1);
      if (wrote != now)
        lines.push_back(at + (slot < 30 ? "band " + std::to_string(slot) + " (" + SlotLabel(slot) + ")" : "gain") +
                        " backup " + level(wrote) + ", device " + level(now));
    }
    const auto filter = [&](const char* name, int sentAt, int readAt, std::string (*label)(int)) {
      const int wrote = byte(sent, sentAt), now = byte(read, readAt);
      if (wrote != now) lines.push_back(at + name + " backup " + label(wrote) + ", device " + label(now));
    };
    filter("high-pass", tx::kHighPass, all::kHighPass, HighPassLabel);
    filter("low-pass", tx::kLowPass, all::kLowPass, LowPassLabel);
    const std::string wroteName = pa422::BlockName(sent, tx::kPresetName), nowName = pa422::BlockName(read, all::kPresetName);
    if (wroteName != nowName) lines.push_back(at + "name backup \"" + wroteName + "\", device \"" + nowName + "\"");
    const bool locked = backup.manifest.Find(preset)->locked, nowLocked = byte(read, all::kLock) != 0;
    if (locked != nowLocked)
      lines.push_back(at + "lock backup " + (locked ? "on" : "off") + ", device " + (nowLocked ? "on" : "off"));
  }
  return lines;
}
