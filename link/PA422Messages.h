#pragma once
// The PA-422 vocabulary: command codes, the exact bytes of each command
// frame, reply lengths, the all-data and transmit block layouts, the name
// rule and the table of command names used in trace lines.
#include <array>
#include <cstdint>
#include <string>

namespace pa422 {

enum CommandCode : uint8_t {
  RECALL_ALL_DATA = 0x01,
  TRANSMIT_ALL_DATA = 0x81,
  REPROGRAM_DEVICE_CHANNEL_FROM_MEMORY = 0x82,
  MUTE_ALL_OUTPUTS = 0x89,
  UNMUTE_ALL_OUTPUTS = 0x8A,
  BYPASS_DEVICE_CHANNEL = 0x90,
  UNBYPASS_DEVICE_CHANNEL = 0x91,
  SET_DEVICE_NAME = 0x93,
  LOCK_MEMORY_OF_DEVICE_CHANNEL = 0x94,
  UNLOCK_MEMORY_OF_DEVICE_CHANNEL = 0x95,
  UPDATE_PARAMETER = 0x96,
  GROUP_ENABLE_MANUAL_CONTROLS = 0xFD,
  GROUP_DISABLE_MANUAL_CONTROLS = 0xFE,
  GROUP_SET_PASSWORDS = 0xFF,
};

constexpr uint8_t kChannel = 1;
constexpr uint8_t kDeviceType = 3;
constexpr uint8_t kManufacturerId = 41;
constexpr const char* kDevicePassword = "KOBU";

constexpr int kBands = 29;
constexpr int kFlatLevel = 26;  // level byte of 0 dB
constexpr int kMinLevel = 2;    // +12 dB
constexpr int kMaxLevel = 50;   // -12 dB
constexpr int kMaxFilterIndex = 21;
constexpr int kGainParameter = 32;

constexpr int kAllDataLength = 70;        // data bytes of the RECALL_ALL_DATA reply
constexpr int kTransmitBlockLength = 55;  // bytes after the TRANSMIT_ALL_DATA code
constexpr int kNameLength = 16;

// All-data block positions, counted from 1 as received.
namespace all_data {
constexpr int kFirstBand = 1;    // 1..29
constexpr int kGain = 30;
constexpr int kHighPass = 32;
constexpr int kLowPass = 33;
constexpr int kPresetName = 34;  // 34..49
constexpr int kLock = 51;
constexpr int kPreset = 52;
constexpr int kDeviceName = 53;  // 53..68
constexpr int kMute = 69;
// The block position whose byte read-modify-write edits send back in the
// transmit block's reserved byte.
constexpr int kReservedEcho = 54;
constexpr int kBypass = 70;
constexpr int kStatus = 71;
}  // namespace all_data

// Transmit block positions (after the code), counted from 1.
namespace transmit {
constexpr int kChannel = 1;
constexpr int kPassword = 2;   // 2..5
constexpr int kLevels = 6;     // 6..35: bands 1..29, then the gain
constexpr int kHighPass = 36;
constexpr int kLowPass = 37;
constexpr int kPresetName = 38;  // 38..53
constexpr int kReserved = 54;
constexpr int kPreset = 55;
}  // namespace transmit

using Bytes = std::string;  // frames and replies: any byte value, unchanged

// Reading a recalled block (positions from 1 as the protocol counts them;
// 0 beyond its end).
uint8_t BlockByte(const Bytes& block, int position);
// 16 bytes from `position`, trimmed of leading and trailing spaces.
std::string BlockName(const Bytes& block, int position);
// A name as the device keeps it and the program's forms show it: filtered,
// cut to 16 characters, trimmed.
std::string FormName(const std::string& text);

// Keeps space ! # $ % & ' ( ) - 0-9 @ A-Z ` ~ and turns every other
// character into a space.
char FilterNameChar(char c);
// Exactly 16 bytes: upper-cased (a to z only), filtered, space-padded, cut.
Bytes Name16(const std::string& text);

// Trace name of a frame's first byte; empty for codes outside the table.
std::string CommandName(uint8_t code);
// Frame length for a command code (what a device reads after the DT/ID),
// 0 for codes that are not sent with a handshake.
int FrameLength(uint8_t code);
// Reply data bytes N before the status byte.
int ReplyDataLength(uint8_t code);
bool IsValidDtId(uint8_t deviceType, uint8_t manufacturerId);

// Command frames.
Bytes RecallAllDataFrame(uint8_t preset);
Bytes TransmitAllDataFrame(const Bytes& block55);
Bytes ReprogramFromMemoryFrame(uint8_t preset);
Bytes MuteAllOutputsFrame();
Bytes UnmuteAllOutputsFrame();
Bytes BypassFrame(const std::string& password);
Bytes UnbypassFrame(const std::string& password);
Bytes SetDeviceNameFrame(const std::string& password, const std::string& name);
Bytes LockPresetFrame(uint8_t preset, const std::string& password);
Bytes UnlockPresetFrame(uint8_t preset, const std::string& password);
Bytes UpdateParameterFrame(uint8_t parameter, const std::string& password, uint8_t level);

// The settings a transmit block carries.
struct TransmitSettings {
  std::array<uint8_t, 30> levels{};  // bands 1..29, then the gain, as level bytes
  uint8_t highPass = 0;
  uint8_t lowPass = 0;
  std::string presetName;  // turned into name16
  uint8_t reserved = 0;
  uint8_t preset = 0;
};
// The 55-byte transmit block with the given password.
Bytes TransmitBlock(const std::string& password, const TransmitSettings& settings);

}  // namespace pa422
