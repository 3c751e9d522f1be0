#include "eq/ResponseChart.h"
#include "eq/SnapshotFile.h"

namespace {
std::string Quoted(const std::string& text) { return "\"" + text + "\""; }
std::string OnOff(bool on) { return on ? "on" : "off"; }
}  // namespace

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
  const SnapshotWorking &a = *was.working, &b = *now.working;
  for (int band = 1; band <= kBandCount; ++band)
    if (a.bands[band - 1] != b.bands[band - 1])
      lines.push_back("band " + std::to_string(band) + " (" + SlotLabel(band) + ") " + DbText(a.bands[band - 1] * 0.5) +
                      " \u2192 " + DbText(b.bands[band - 1] * 0.5));
  if (a.gain != b.gain) lines.push_back("gain " + DbText(a.gain * 0.5) + " \u2192 " + DbText(b.gain * 0.5));
  if (a.highPass != b.highPass)
    lines.push_back("high-pass " + HighPassLabel(a.highPass) + " \u2192 " + HighPassLabel(b.highPass));
  if (a.lowPass != b.lowPass)
    lines.push_back("low-pass " + LowPassLabel(a.lowPass) + " \u2192 " + LowPassLabel(b.lowPass));
  if (a.presetName != b.presetName)
    lines.push_back("preset " + std::to_string(was.currentPreset) + " name " + Quoted(a.presetName) + " \u2192 " +
                    Quoted(b.presetName));
  if (a.lock != b.lock) lines.push_back("lock " + OnOff(a.lock) + " \u2192 " + OnOff(b.lock));
  return lines;
}
