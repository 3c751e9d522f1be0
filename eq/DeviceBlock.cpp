#include "eq/DeviceBlock.h"

#include <algorithm>

#include "link/MessageLogger.h"

using namespace pa422;

int SliderPolicy::Apply(int current, int wanted) const {
  if (updatePending) return current;
  return std::clamp(wanted, -sliderRange, sliderRange);
}

namespace {
uint8_t At(const Bytes& block, int position) {
  return position >= 1 && static_cast<size_t>(position) <= block.size()
             ? static_cast<uint8_t>(block[position - 1])
             : 0;
}

std::string Text(const Bytes& block, int position, int length) {
  std::string text;
  for (int i = 0; i < length; ++i) text += static_cast<char>(At(block, position + i));
  return text;
}

void TraceFilterByte(const char* label, uint8_t value, uint8_t lastCommand) {
  if (value != 0 && value <= kMaxFilterIndex) return;
  TraceLine(std::string(" ERROR ") + label + "=" + std::to_string(value) +
            "Command = " + CommandName(lastCommand));
  LogMessage(" ");
}
}  // namespace

BlockReadResult CopyORBDataToWindow(TEqualizerDocument& doc, const Bytes& block,
                                    const SliderPolicy& sliders, uint8_t lastCommand) {
  for (int slot = 1; slot <= kSliderCount; ++slot)
    doc.SetSliderSteps(slot, sliders.Apply(doc.SliderSteps(slot),
                                           StepsFromDeviceGainCode(At(block, slot))));
  doc.GainSteps = sliders.Apply(doc.GainSteps, StepsFromDeviceGainCode(At(block, all_data::kGain)));

  int preset = At(block, all_data::kPreset);
  doc.CurrentPreset = std::clamp(preset, 1, kPresetCount);
  std::string name = TrimBlanks(Text(block, all_data::kPresetName, kNameLength));
  if (preset >= 1 && preset <= kPresetCount) doc.PresetNames[preset - 1] = name;
  doc.PresetName = name;

  uint8_t highPass = At(block, all_data::kHighPass);
  TraceFilterByte("HP", highPass, lastCommand);
  doc.HighPassIndex = highPass;
  uint8_t lowPass = At(block, all_data::kLowPass);
  TraceFilterByte("LP", lowPass, lastCommand);
  doc.LowPassIndex = lowPass;

  doc.DeviceName = TrimBlanks(Text(block, all_data::kDeviceName, kNameLength));

  BlockReadResult result;
  bool mute = At(block, all_data::kMute) != 0;
  bool bypass = At(block, all_data::kBypass) != 0;
  bool lock = At(block, all_data::kLock) != 0;
  result.changed = {mute != doc.Mute, bypass != doc.Bypass, lock != doc.Lock};
  doc.Mute = mute;
  doc.Bypass = bypass;
  doc.Lock = lock;
  result.pasteEnabled = !doc.Lock;
  return result;
}

TransmitSettings ShownSettings(const TEqualizerDocument& doc) {
  TransmitSettings s;
  for (int slot = 1; slot <= kSliderCount; ++slot) s.levels[slot - 1] = DeviceGainCode(doc.SliderSteps(slot));
  s.highPass = static_cast<uint8_t>(doc.HighPassIndex);
  s.lowPass = static_cast<uint8_t>(doc.LowPassIndex);
  const int entry = doc.CurrentPreset - 1;
  s.presetName = entry >= 0 && entry < kPresetCount ? doc.PresetNames[entry] : doc.PresetName;
  s.preset = static_cast<uint8_t>(doc.CurrentPreset);
  return s;
}

Bytes CopyVarloDataToORB(const TEqualizerDocument& doc, int preset) {
  TransmitSettings s = ShownSettings(doc);
  s.presetName = doc.PresetName;  // the name as the box shows it
  s.reserved = 0;
  s.preset = static_cast<uint8_t>(preset);
  TraceLine(" CopyVarloDataToORB");
  return TransmitBlock(kDevicePassword, s);
}

Bytes CopyVarloDataToORB(const TEqualizerDocument& doc) { return CopyVarloDataToORB(doc, doc.CurrentPreset); }
