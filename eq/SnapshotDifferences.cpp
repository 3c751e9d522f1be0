#include "eq/ResponseChart.h"
#include "eq/SnapshotFile.h"

namespace {
std::string Quoted(const std::string& text) { return "\"" + text + "\""; }
std::string OnOff(bool on) { return on ? "on" : "off"; }
}  // namespace

std::vector<std::string> WorkingDifferences(const std::string& prefix, int preset, const SnapshotWorking& a,
                                            const SnapshotWorking& b) {
  std::vector<std::string> lines;
  for (int band = 1; band <= kBandCount; ++band)
    if (a.bands[band - 1] != b.bands[band - 1])
      lines.push_back(prefix + "band " + std::to_string(band) + " (" + SlotLabel(band) + ") " +
                      DbText(a.bands[band - 1] * 0.5) + " \u2192 " + DbText(b.bands[band - 1] * 0.5));
  if (a.gain != b.gain) lines.push_back(prefix + "gain " + DbText(a.gain * 0.5) + " \u2192 " + DbText(b.gain * 0.5));
  if (a.highPass != b.highPass)
    lines.push_back(prefix + "high-pass " + HighPassLabel(a.highPass) + " \u2192 " + HighPassLabel(b.highPass));
  if (a.lowPass != b.lowPass)
    lines.push_back(prefix + "low-pass " + LowPassLabel(a.lowPass) + " \u2192 " + LowPassLabel(b.lowPass));
  if (a.presetName != b.presetName)
    lines.push_back("preset " + std::to_string(preset) + " name " + Quoted(a.presetName) + " \u2192 " +
                    Quoted(b.presetName));
  if (a.lock != b.lock) lines.push_back(prefix + "lock " + OnOff(a.lock) + " \u2192 " + OnOff(b.lock));
  return lines;
}

std::vector<std::string> SnapshotDifferences(const SnapshotDevice& was, const SnapshotDevice& now) {
  std::vector<std::string> lines;
  if (was.deviceName != now.deviceName)
    lines.push_back("device name " + Quoted(was.deviceName) + " \u2192 " + Quoted(now.deviceName));
  if (was.currentPreset != now.currentPreset)
    lines.push_back("current preset " + std::to_string(was.currentPreset) + " \u2192 " +
                    std::to_string(now.currentPreset));
  if (was.mute != now.mute) lines.push_back("mute " + OnOff(was.mute) + " \u2192 " + OnOff(now.mute));
  if (was.bypass != now.bypass) lines.push_back("bypass " + OnOff(was.bypass) + " \u2192 " + OnOff(now.bypass));
  if (!was.working || !now.working) return lines;
  for (std::string& line : WorkingDifferences("", was.currentPreset, *was.working, *now.working))
    lines.push_back(std::move(line));
  return lines;
}
