// libFuzzer target for the snapshot file reader. Besides surviving any
// input, a snapshot that reads is written back as text that reads as the
// same snapshot, names each address once, and names presets folders that
// stay inside the snapshot's folder.
#include <cstddef>
#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>

#include "eq/SnapshotFile.h"

namespace {
void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool Same(const Snapshot& a, const Snapshot& b) {
  if (a.created != b.created || a.line != b.line || a.devices.size() != b.devices.size()) return false;
  for (size_t i = 0; i < a.devices.size(); ++i) {
    const SnapshotDevice &x = a.devices[i], &y = b.devices[i];
    if (x.address != y.address || x.deviceName != y.deviceName || x.state != y.state ||
        x.currentPreset != y.currentPreset || x.mute != y.mute || x.bypass != y.bypass || x.working != y.working ||
        x.presets != y.presets)
      return false;
  }
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const Snapshot s = ParseSnapshot(text);
    std::set<int> addresses;
    for (const SnapshotDevice& d : s.devices) {
      Check(addresses.insert(d.address).second);
      Check(d.presets.find('/') == std::string::npos && d.presets != "." && d.presets != "..");
    }
    Check(Same(ParseSnapshot(SnapshotJson(s)), s));
  } catch (const std::runtime_error&) {
  }
  return 0;
}
