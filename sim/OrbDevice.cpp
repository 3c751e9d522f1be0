#include "sim/OrbDevice.h"

#include "link/PA422Messages.h"

namespace {
uint8_t At(const std::string& frame, int index) { return static_cast<uint8_t>(frame[index]); }

bool PasswordAt(const std::string& frame, int index) {
  return frame.compare(index, 4, pa422::kDevicePassword) == 0;
}

bool ValidLevel(uint8_t level) { return level >= pa422::kMinLevel && level <= pa422::kMaxLevel; }
bool ValidFilter(uint8_t index) { return index <= pa422::kMaxFilterIndex; }
bool ValidPreset(uint8_t preset, int lowest) {
  return preset >= lowest && preset <= DeviceMemory::kStoredPresets;
}
}  // namespace

DeviceReply OrbDevice::Execute(const std::string& frame) {
  DeviceReply reply;
  const uint8_t code = frame.empty() ? 0 : At(frame, 0);
  const int length = pa422::FrameLength(code);
  reply.data.assign(pa422::ReplyDataLength(code), '\0');
  if (length == 0 || static_cast<int>(frame.size()) != length) {
    reply.status = kStatusUnknownCommand;
    return reply;
  }
  manual_ = false;
  const DeviceMemory before = memory_;
  switch (code) {
    case pa422::RECALL_ALL_DATA:
      reply.status = Recall(frame, reply.data);
      break;
    case pa422::TRANSMIT_ALL_DATA:
      reply.status = Transmit(frame);
      break;
    case pa422::REPROGRAM_DEVICE_CHANNEL_FROM_MEMORY:
      reply.status = Reprogram(frame);
      break;
    case pa422::MUTE_ALL_OUTPUTS:
    case pa422::UNMUTE_ALL_OUTPUTS:
      memory_.mute = code == pa422::MUTE_ALL_OUTPUTS;
      break;
    case pa422::BYPASS_DEVICE_CHANNEL:
    case pa422::UNBYPASS_DEVICE_CHANNEL:
      reply.status = SetBypass(frame, code == pa422::BYPASS_DEVICE_CHANNEL);
      break;
    case pa422::SET_DEVICE_NAME:
      reply.status = SetName(frame);
      break;
    case pa422::LOCK_MEMORY_OF_DEVICE_CHANNEL:
    case pa422::UNLOCK_MEMORY_OF_DEVICE_CHANNEL:
      reply.status = SetLock(frame, code == pa422::LOCK_MEMORY_OF_DEVICE_CHANNEL);
      break;
    case pa422::UPDATE_PARAMETER:
      reply.status = UpdateParameter(frame);
      break;
    default:
      reply.status = kStatusUnknownCommand;
  }
  reply.memoryChanged = !(memory_ == before);
  return reply;
}

// 01 channel preset
uint8_t OrbDevice::Recall(const std::string& frame, std::string& data) const {
  if (At(frame, 1) != pa422::kChannel || !ValidPreset(At(frame, 2), 0)) return kStatusOutOfRange;
  data = AllDataBlock(memory_, At(frame, 2));
  return kStatusOk;
}

// 81 channel pw(4) levels(30) high-pass low-pass name(16) reserved preset
uint8_t OrbDevice::Transmit(const std::string& frame) {
  namespace at = pa422::transmit;
  if (!PasswordAt(frame, at::kPassword)) return kStatusWrongPassword;
  if (At(frame, at::kChannel) != pa422::kChannel) return kStatusOutOfRange;
  PresetMemory settings;
  for (int i = 0; i < 30; ++i) {
    settings.levels[i] = At(frame, at::kLevels + i);
    if (!ValidLevel(settings.levels[i])) return kStatusOutOfRange;
  }
  settings.highPass = At(frame, at::kHighPass);
  settings.lowPass = At(frame, at::kLowPass);
  if (!ValidFilter(settings.highPass) || !ValidFilter(settings.lowPass)) return kStatusOutOfRange;
  settings.name = frame.substr(at::kPresetName, pa422::kNameLength);
  const uint8_t preset = At(frame, at::kPreset);
  if (!ValidPreset(preset, 0)) return kStatusOutOfRange;
  // Preset 0 changes the working settings only; 1..8 stores them as well.
  if (preset != 0) {
    if (memory_.presets[preset].locked) return kStatusPresetLocked;
    memory_.presets[preset] = settings;
    memory_.currentPreset = preset;
  }
  memory_.presets[0] = settings;
  if (preset == 0) StoreWorkingSettings();
  return kStatusOk;
}

// 82 channel preset: preset 0 reloads the current preset, if there is one.
uint8_t OrbDevice::Reprogram(const std::string& frame) {
  if (At(frame, 1) != pa422::kChannel || !ValidPreset(At(frame, 2), 0)) return kStatusOutOfRange;
  const uint8_t preset = At(frame, 2) != 0 ? At(frame, 2) : memory_.currentPreset;
  if (preset == 0) return kStatusOk;
  memory_.presets[0] = memory_.presets[preset];
  memory_.presets[0].locked = false;
  memory_.currentPreset = preset;
  return kStatusOk;
}

// 90|91 channel 00 pw(4)
uint8_t OrbDevice::SetBypass(const std::string& frame, bool on) {
  if (!PasswordAt(frame, 3)) return kStatusWrongPassword;
  if (At(frame, 1) != pa422::kChannel || At(frame, 2) != 0) return kStatusOutOfRange;
  memory_.bypass = on;
  return kStatusOk;
}

// 93 pw(4) name(16)
uint8_t OrbDevice::SetName(const std::string& frame) {
  if (!PasswordAt(frame, 1)) return kStatusWrongPassword;
  memory_.name = frame.substr(5, pa422::kNameLength);
  return kStatusOk;
}

// 94|95 channel preset(1..8) pw(4)
uint8_t OrbDevice::SetLock(const std::string& frame, bool on) {
  if (!PasswordAt(frame, 3)) return kStatusWrongPassword;
  if (At(frame, 1) != pa422::kChannel || !ValidPreset(At(frame, 2), 1)) return kStatusOutOfRange;
  memory_.presets[At(frame, 2)].locked = on;
  return kStatusOk;
}

// 96 channel parameter pw(4) level: parameters 2..30 are bands 1..29, 32
// the gain; they change the working settings only.
uint8_t OrbDevice::UpdateParameter(const std::string& frame) {
  if (!PasswordAt(frame, 3)) return kStatusWrongPassword;
  const uint8_t parameter = At(frame, 2);
  const uint8_t level = At(frame, 7);
  int index = -1;
  if (parameter >= 2 && parameter <= 30) index = parameter - 2;
  if (parameter == pa422::kGainParameter) index = pa422::kBands;
  if (At(frame, 1) != pa422::kChannel || index < 0 || !ValidLevel(level)) return kStatusOutOfRange;
  memory_.presets[0].levels[index] = level;
  StoreWorkingSettings();
  return kStatusOk;
}

void OrbDevice::StoreWorkingSettings() {
  const uint8_t current = memory_.currentPreset;
  if (!storeMoves_ || current == 0 || memory_.presets[current].locked) return;
  memory_.presets[current] = memory_.presets[0];
  memory_.presets[current].locked = false;
}
