// The device operations: validate, build one frame, hand it to the engine.
// SetHighPass, SetLowPass and SetPresetName read the preset's block, patch
// it and send it back whole, since the protocol has no command that changes
// only a filter or a name.
#include "link/MessageLogger.h"
#include "link/TzkPA422Form.h"

using namespace pa422;

namespace {
uint8_t Byte(int value) { return static_cast<uint8_t>(value); }
}  // namespace

void TzkPA422Form::MuteAllOutputs(int address) {
  LastCommand = MUTE_ALL_OUTPUTS;
  SendImmediateCommand(Byte(address), MuteAllOutputsFrame());
}

void TzkPA422Form::UnmuteAllOutputs(int address) {
  LastCommand = UNMUTE_ALL_OUTPUTS;
  SendImmediateCommand(Byte(address), UnmuteAllOutputsFrame());
}

void TzkPA422Form::BypassChannel(int address, const std::string& password) {
  LastCommand = BYPASS_DEVICE_CHANNEL;
  SendImmediateCommand(Byte(address), BypassFrame(password));
}

void TzkPA422Form::UnbypassChannel(int address, const std::string& password) {
  LastCommand = UNBYPASS_DEVICE_CHANNEL;
  SendImmediateCommand(Byte(address), UnbypassFrame(password));
}

void TzkPA422Form::LockPreset(int address, int preset, const std::string& password) {
  LastCommand = LOCK_MEMORY_OF_DEVICE_CHANNEL;
  if (!ValidPreset(preset, 1)) return ShowError("Invalid Preset Number");
  SendImmediateCommand(Byte(address), LockPresetFrame(Byte(preset), password));
}

void TzkPA422Form::UnlockPreset(int address, int preset, const std::string& password) {
  LastCommand = UNLOCK_MEMORY_OF_DEVICE_CHANNEL;
  if (!ValidPreset(preset, 1)) return ShowError("Invalid Preset Number");
  SendImmediateCommand(Byte(address), UnlockPresetFrame(Byte(preset), password));
}

void TzkPA422Form::RecallPreset(int address, int preset) {
  LastCommand = REPROGRAM_DEVICE_CHANNEL_FROM_MEMORY;
  if (!ValidPreset(preset, 0)) return ShowError("Invalid Preset Number");
  SendImmediateCommand(Byte(address), ReprogramFromMemoryFrame(Byte(preset)));
}

void TzkPA422Form::SetDeviceName(int address, const std::string& password,
                                 const std::string& name) {
  LastCommand = SET_DEVICE_NAME;
  SendImmediateCommand(Byte(address), SetDeviceNameFrame(password, name));
}

void TzkPA422Form::UpdateParameter(int address, const std::string& password, int level,
                                   int parameter) {
  LastCommand = UPDATE_PARAMETER;
  if (!((parameter >= 2 && parameter <= kBands + 1) || parameter == kGainParameter))
    return ShowError("Invalid Band in UpdateParameter");
  if (level < kMinLevel || level > kMaxLevel) return ShowError("Invalid Gain in UpdateParameter");
  SendImmediateCommand(Byte(address), UpdateParameterFrame(Byte(parameter), password, Byte(level)));
}

void TzkPA422Form::RecallAllData(int address, int preset) {
  if (!ValidPreset(preset, 0)) return ShowError("Invalid Preset Number");
  LastCommand = RECALL_ALL_DATA;
  SendResponseCmd(Byte(address), RecallAllDataFrame(Byte(preset)), kAllDataLength);
}

void TzkPA422Form::TransmitAllData(int address, int preset, const Bytes& block) {
  if (!ValidPreset(preset, 0)) return ShowError("Invalid Preset Number");
  LastCommand = TRANSMIT_ALL_DATA;
  // Filter bytes outside 1..21 are traced; the block goes out regardless.
  auto check = [&](int position, const char* label) {
    if (block.size() < static_cast<size_t>(position)) return;
    int value = static_cast<uint8_t>(block[position - 1]);
    if (value != 0 && value <= kMaxFilterIndex) return;
    TraceLine(std::string(" xERROR ") + label + "=" + std::to_string(value) +
              "Command = XMITALL");
    LogMessage(" ");
  };
  check(transmit::kHighPass, "HP");
  check(transmit::kLowPass, "LP");
  SendImmediateCommand(Byte(address), TransmitAllDataFrame(block));
}

void TzkPA422Form::StartReadModifyWrite(int address, int preset, TPendingEdit edit,
                                        const std::optional<TransmitSettings>& shown,
                                        const std::function<void()>& keepNewValue) {
  // The edit is kept only when its recall will start. A recall refused as
  // busy must not touch the edit of the transaction that is running, which
  // would otherwise patch its own block with this edit and write it into
  // this edit's preset.
  if (CommState == 0 && ApdComPort.Open()) {
    keepNewValue();
    PendingEdit = edit;
    EditAddress = address;
    EditPreset = preset;
    EditShown = shown;
  }
  RecallAllData(address, preset);
}

void TzkPA422Form::SetHighPass(int address, int preset, int index, const std::string&,
                               const std::optional<TransmitSettings>& shown) {
  if (!ValidPreset(preset, 0)) return ShowError("Invalid Preset Number");
  if (index < 0 || index > kMaxFilterIndex) return ShowError("Invalid Highpass Filter");
  StartReadModifyWrite(address, preset, TPendingEdit::HighPass, shown, [&] { NewHighPass = index; });
}

void TzkPA422Form::SetLowPass(int address, int preset, int index, const std::string&,
                               const std::optional<TransmitSettings>& shown) {
  if (!ValidPreset(preset, 0)) return ShowError("Invalid Preset Number");
  if (index < 0 || index > kMaxFilterIndex) return ShowError("Invalid Lowpass Filter");
  StartReadModifyWrite(address, preset, TPendingEdit::LowPass, shown, [&] { NewLowPass = index; });
}

void TzkPA422Form::SetPresetName(int address, int preset, const std::string& name,
                                 const std::string&, const std::optional<TransmitSettings>& shown) {
  if (!ValidPreset(preset, 0)) return ShowError("Invalid Preset Number");
  StartReadModifyWrite(address, preset, TPendingEdit::PresetName, shown,
                       [&] { NewPresetName = Name16(name); });
}

void TzkPA422Form::RunFollowUp() {
  // The recalled block, patched: levels R1..R30, filters R32/R33, name
  // R34..R49, block position 54 in the reserved byte, and the edit's preset.
  // What the window shows, when it said, replaces levels, filters and name.
  TransmitSettings s;
  for (int i = 0; i < 30; ++i) s.levels[i] = ResponseByte(all_data::kFirstBand + i);
  s.highPass = ResponseByte(all_data::kHighPass);
  s.lowPass = ResponseByte(all_data::kLowPass);
  s.presetName = ResponseBuffer.substr(all_data::kPresetName - 1, kNameLength);
  if (EditShown) {
    s.levels = EditShown->levels;
    s.highPass = EditShown->highPass;
    s.lowPass = EditShown->lowPass;
    s.presetName = EditShown->presetName;
  }
  if (PendingEdit == TPendingEdit::HighPass) s.highPass = Byte(NewHighPass);
  if (PendingEdit == TPendingEdit::LowPass) s.lowPass = Byte(NewLowPass);
  if (PendingEdit == TPendingEdit::PresetName) s.presetName = NewPresetName;
  s.reserved = ResponseByte(all_data::kReservedEcho);
  s.preset = Byte(EditPreset);
  SendImmediateCommand(Byte(EditAddress), TransmitAllDataFrame(TransmitBlock(kDevicePassword, s)));
  Notify(&EqualizerNotifications::UpdateDone);
}
