#include "eq/SnapshotFolder.h"

#include <set>
#include <stdexcept>

#include "eq/BackupFolder.h"

namespace fs = std::filesystem;

namespace {
// Only an empty folder or an earlier snapshot is replaced: the user's
// other files are not deleted with it.
void CheckSnapshotFiles(const fs::path& dir, const fs::path& target) {
  std::set<std::string> sets;
  std::error_code error;
  if (fs::is_empty(target, error)) return;
  const auto refuse = [&](const std::string& why) {
    return std::runtime_error(dir.string() + " " + why +
                              "; nothing was written (give a new or empty folder, or one that holds only a snapshot)");
  };
  try {
    const Snapshot earlier = ParseSnapshot(ReadSmallFile(target / kSnapshotName, kSnapshotSizeLimit));
    for (const SnapshotDevice& device : earlier.devices)
      if (!device.presets.empty()) sets.insert(device.presets);
  } catch (const std::runtime_error& e) {
    throw refuse(std::string("is not an earlier snapshot (") + e.what() + ")");
  }
  for (fs::directory_iterator it(target, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name == kSnapshotName) continue;
    if (!sets.count(name) || it->is_symlink() || !it->is_directory())
      throw refuse("holds \"" + name + "\", which is not part of a snapshot");
    CheckBackupFiles(dir / name, it->path());
  }
  if (error) throw std::runtime_error("cannot list " + dir.string() + ": " + error.message());
}

const FolderKind kSnapshotKind{"snapshot", CheckSnapshotFiles};
}  // namespace

void CheckSnapshotFolder(const fs::path& dir) { CheckFolder(dir, CheckSnapshotFiles); }

std::string WriteSnapshotFolder(const fs::path& dir, Snapshot& snapshot,
                                const std::map<int, std::vector<pa422::Bytes>>& presets) {
  std::vector<BackupFile> files;
  for (SnapshotDevice& device : snapshot.devices) {
    const auto found = presets.find(device.address);
    device.presets.clear();
    if (found == presets.end()) continue;
    device.presets = AddressFolderName(device.address);
    BackupManifest manifest;
    for (BackupFile& file : BackupSetFiles(device.address, found->second, snapshot.created, manifest))
      files.push_back({device.presets + "/" + file.name, std::move(file.bytes)});
  }
  // The snapshot's own file last: a folder that has it holds every set.
  files.push_back({kSnapshotName, SnapshotJson(snapshot)});
  return ReplaceFolder(dir, files, kSnapshotKind);
}

LoadedSnapshot LoadSnapshotFolder(const fs::path& dir) {
  LoadedSnapshot loaded;
  loaded.snapshot = ParseSnapshot(ReadSmallFile(dir / kSnapshotName, kSnapshotSizeLimit));
  for (const SnapshotDevice& device : loaded.snapshot.devices) {
    if (device.presets.empty()) continue;
    const fs::path folder = dir / device.presets;
    LoadedBackup set = LoadBackupSet(folder);
    if (set.manifest.address != device.address)
      throw std::runtime_error((folder / kManifestName).string() + " is the backup of address " +
                               std::to_string(set.manifest.address) + ", not of " + std::to_string(device.address));
    loaded.sets.emplace(device.address, std::move(set));
  }
  return loaded;
}
