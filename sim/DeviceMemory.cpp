#include "sim/DeviceMemory.h"

#include "link/PA422Messages.h"

DeviceMemory DeviceMemory::Defaults(uint8_t address) {
  DeviceMemory m;
  for (int i = 0; i <= kStoredPresets; ++i) {
    PresetMemory& p = m.presets[i];
    p.levels.fill(pa422::kFlatLevel);
    p.highPass = 0;
    p.lowPass = pa422::kMaxFilterIndex;
    p.name = pa422::Name16("PRESET " + std::to_string(i == 0 ? 1 : i));
  }
  m.currentPreset = 1;
  m.name = pa422::Name16("ORB " + std::to_string(address));
  return m;
}

std::string AllDataBlock(const DeviceMemory& memory, int preset) {
  namespace at = pa422::all_data;
  std::string block(pa422::kAllDataLength, '\0');
  if (preset < 0 || preset > DeviceMemory::kStoredPresets) return block;
  const PresetMemory& p = memory.presets[preset];
  // Positions are counted from 1, as the host reads them.
  auto put = [&](int position, uint8_t value) { block[position - 1] = static_cast<char>(value); };
  auto putName = [&](int position, const std::string& name) {
    for (int i = 0; i < pa422::kNameLength; ++i)
      block[position - 1 + i] = i < static_cast<int>(name.size()) ? name[i] : ' ';
  };
  for (int band = 0; band < pa422::kBands; ++band) put(at::kFirstBand + band, p.levels[band]);
  put(at::kGain, p.levels[pa422::kBands]);
  put(at::kHighPass, p.highPass);
  put(at::kLowPass, p.lowPass);
  putName(at::kPresetName, p.name);
  const int number = preset == 0 ? memory.currentPreset : preset;
  const bool locked = number >= 1 && number <= DeviceMemory::kStoredPresets && memory.presets[number].locked;
  put(at::kLock, locked ? 1 : 0);
  put(at::kPreset, static_cast<uint8_t>(number));
  putName(at::kDeviceName, memory.name);
  put(at::kMute, memory.mute ? 1 : 0);
  put(at::kBypass, memory.bypass ? 1 : 0);
  return block;
}
