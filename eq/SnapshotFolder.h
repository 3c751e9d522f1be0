#pragma once
// A snapshot folder on disk: "snapshot.json" and, in a subfolder per
// device ("addr-007"), the backup set of its stored presets. Written all or
// nothing like a backup (beside, then swapped in); read whole and checked
// (every preset file against its manifest's CRC) before anything is sent.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "eq/DeviceBackup.h"
#include "eq/SnapshotFile.h"

// Throws std::runtime_error when `dir` is there and is neither empty nor
// an earlier snapshot (its "snapshot.json" and the device sets it names):
// checked before any device is asked, so that a refusal comes at once.
void CheckSnapshotFolder(const std::filesystem::path& dir);

// Writes `snapshot` into `dir`, with the sets of the devices in `presets`
// (address: its presets 1 to 8 as recalled), whose `presets` folder it
// fills in. Throws std::runtime_error (then `dir` is as it was); returns a
// warning, else empty, when the earlier snapshot could not be removed.
std::string WriteSnapshotFolder(const std::filesystem::path& dir, Snapshot& snapshot,
                                const std::map<int, std::vector<pa422::Bytes>>& presets);

struct LoadedSnapshot {
  Snapshot snapshot;
  std::map<int, LoadedBackup> sets;  // by address, for the devices whose presets were captured
};
// Reads a snapshot folder and every set it names; throws
// std::runtime_error naming the file and what is wrong.
LoadedSnapshot LoadSnapshotFolder(const std::filesystem::path& dir);
