#include "link/PA422Messages.h"

#include <map>

namespace pa422 {

char FilterNameChar(char c) {
  switch (c) {
    case ' ': case '!': case '#': case '$': case '%': case '&': case '\'': case '(': case ')':
    case '-': case '@': case '`': case '~':
      return c;
    default:
      if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')) return c;
      return ' ';
  }
}

Bytes Name16(const std::string& text) {
  Bytes name(kNameLength, ' ');
  for (size_t i = 0; i < name.size() && i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    name[i] = FilterNameChar(c);
  }
  return name;
}

namespace {
struct CommandInfo {
  const char* name;
  int frameLength;
  int replyData;
};

const std::map<uint8_t, CommandInfo>& Commands() {
  static const std::map<uint8_t, CommandInfo> table = {
      {RECALL_ALL_DATA, {"RECALL_ALL_DATA", 3, kAllDataLength}},
      {TRANSMIT_ALL_DATA, {"TRANSMIT_ALL_DATA", 1 + kTransmitBlockLength, 0}},
      {REPROGRAM_DEVICE_CHANNEL_FROM_MEMORY, {"REPROGRAM_DEVICE_CHANNEL_FROM_MEMORY", 3, 0}},
      {MUTE_ALL_OUTPUTS, {"MUTE_ALL_OUTPUTS", 1, 0}},
      {UNMUTE_ALL_OUTPUTS, {"UNMUTE_ALL_OUTPUTS", 1, 0}},
      {BYPASS_DEVICE_CHANNEL, {"BYPASS_DEVICE_CHANNEL", 7, 0}},
      {UNBYPASS_DEVICE_CHANNEL, {"UNBYPASS_DEVICE_CHANNEL", 7, 0}},
      {SET_DEVICE_NAME, {"SET_DEVICE_NAME", 5 + kNameLength, 0}},
      {LOCK_MEMORY_OF_DEVICE_CHANNEL, {"LOCK_MEMORY_OF_DEVICE_CHANNEL", 7, 0}},
      {UNLOCK_MEMORY_OF_DEVICE_CHANNEL, {"UNLOCK_MEMORY_OF_DEVICE_CHANNEL", 7, 0}},
      {UPDATE_PARAMETER, {"UPDATE_PARAMETER", 8, 0}},
      {GROUP_ENABLE_MANUAL_CONTROLS, {"GROUP_ENABLE_MANUAL_CONTROLS", 0, 0}},
      {GROUP_DISABLE_MANUAL_CONTROLS, {"GROUP_DISABLE_MANUAL_CONTROLS", 0, 0}},
      {GROUP_SET_PASSWORDS, {"GROUP_SET_PASSWORDS", 0, 0}},
  };
  return table;
}

const CommandInfo* Find(uint8_t code) {
  auto it = Commands().find(code);
  return it == Commands().end() ? nullptr : &it->second;
}

Bytes Frame(std::initializer_list<uint8_t> head, const std::string& tail = "") {
  Bytes frame;
  for (uint8_t b : head) frame += static_cast<char>(b);
  return frame + tail;
}
}  // namespace

std::string CommandName(uint8_t code) {
  const CommandInfo* info = Find(code);
  return info ? info->name : "";
}

int FrameLength(uint8_t code) {
  const CommandInfo* info = Find(code);
  return info ? info->frameLength : 0;
}

int ReplyDataLength(uint8_t code) {
  const CommandInfo* info = Find(code);
  return info ? info->replyData : 0;
}

bool IsValidDtId(uint8_t deviceType, uint8_t manufacturerId) {
  return deviceType == kDeviceType && manufacturerId == kManufacturerId;
}

Bytes RecallAllDataFrame(uint8_t preset) { return Frame({RECALL_ALL_DATA, kChannel, preset}); }

Bytes TransmitAllDataFrame(const Bytes& block55) { return Frame({TRANSMIT_ALL_DATA}, block55); }

Bytes ReprogramFromMemoryFrame(uint8_t preset) {
  return Frame({REPROGRAM_DEVICE_CHANNEL_FROM_MEMORY, kChannel, preset});
}

Bytes MuteAllOutputsFrame() { return Frame({MUTE_ALL_OUTPUTS}); }
Bytes UnmuteAllOutputsFrame() { return Frame({UNMUTE_ALL_OUTPUTS}); }

// Bypass and unbypass carry a zero byte between the channel and the password.
Bytes BypassFrame(const std::string& password) {
  return Frame({BYPASS_DEVICE_CHANNEL, kChannel, 0}, password);
}
Bytes UnbypassFrame(const std::string& password) {
  return Frame({UNBYPASS_DEVICE_CHANNEL, kChannel, 0}, password);
}

// The one password-bearing frame without a channel byte.
Bytes SetDeviceNameFrame(const std::string& password, const std::string& name) {
  return Frame({SET_DEVICE_NAME}, password + Name16(name));
}

Bytes LockPresetFrame(uint8_t preset, const std::string& password) {
  return Frame({LOCK_MEMORY_OF_DEVICE_CHANNEL, kChannel, preset}, password);
}
Bytes UnlockPresetFrame(uint8_t preset, const std::string& password) {
  return Frame({UNLOCK_MEMORY_OF_DEVICE_CHANNEL, kChannel, preset}, password);
}

Bytes UpdateParameterFrame(uint8_t parameter, const std::string& password, uint8_t level) {
  return Frame({UPDATE_PARAMETER, kChannel, parameter}, password + static_cast<char>(level));
}

Bytes TransmitBlock(const std::string& password, const TransmitSettings& s) {
  Bytes block = Frame({kChannel}, password);
  for (uint8_t level : s.levels) block += static_cast<char>(level);
  block += static_cast<char>(s.highPass);
  block += static_cast<char>(s.lowPass);
  block += Name16(s.presetName);
  block += static_cast<char>(s.reserved);
  block += static_cast<char>(s.preset);
  return block;
}

uint8_t BlockByte(const Bytes& block, int position) {
  return position >= 1 && static_cast<size_t>(position) <= block.size()
             ? static_cast<uint8_t>(block[position - 1])
             : 0;
}

std::string BlockName(const Bytes& block, int position) {
  std::string name;
  for (int i = 0; i < kNameLength; ++i) name += static_cast<char>(BlockByte(block, position + i));
  const size_t first = name.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return name.substr(first, name.find_last_not_of(' ') - first + 1);
}

std::string FormName(const std::string& text) { return BlockName(Name16(text), 1); }

}  // namespace pa422
