#include "eq/PresetFormats.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

namespace {
constexpr uint8_t kBlank = ' ';

// Mac format offsets.
namespace mac {
constexpr size_t kAddress = 0;
constexpr size_t kPreset = 1;
constexpr size_t kFirstLevel = 2;  // slot n at n + 1; the gain at 31
constexpr size_t kHighPass = 33;
constexpr size_t kLowPass = 34;
constexpr size_t kPresetName = 35;
constexpr size_t kLock = 51;
constexpr size_t kDeviceName = 52;
constexpr int kFlatByte = 26;
}  // namespace mac

// .equ format offsets.
namespace equ {
constexpr size_t kFirstLevel = 1;  // slot n at n; the gain at 30
constexpr size_t kPresetName = 47;
constexpr size_t kLowPass = 98;
constexpr size_t kHighPass = 99;
constexpr int kFlatByte = 24;
}  // namespace equ

uint8_t At(std::string_view bytes, size_t offset) { return static_cast<uint8_t>(bytes[offset]); }

void RequireSize(PresetFormat format, std::string_view bytes) {
  size_t needed = PresetFileSize(format);
  if (bytes.size() < needed)
    throw PresetFileError("", "too short: " + std::to_string(bytes.size()) + " bytes, the " +
                                  (format == PresetFormat::Mac ? "Mac" : ".equ") +
                                  " format has " + std::to_string(needed));
}

// The 16 name characters at `offset`, upper-cased and filtered as names are
// for the device.
std::string FilteredName(std::string_view bytes, size_t offset) {
  return pa422::Name16(std::string(bytes.substr(offset, pa422::kNameLength)));
}

// A name cut to 16 characters and placed over the blanks at `offset`.
void PutName(std::string& buffer, size_t offset, const std::string& name) {
  buffer.replace(offset, std::min(name.size(), size_t{pa422::kNameLength}), name, 0,
                 pa422::kNameLength);
}

void RequireFits(PresetFormat format, const TEqualizerDocument& doc) {
  for (int slot = 1; slot <= kSliderCount; ++slot) {
    int steps = doc.SliderSteps(slot);
    if (!FitsPresetFormat(format, steps))
      throw PresetFileError("", SlotLabel(slot) + " at " + std::to_string(steps) +
                                    " steps does not fit the " +
                                    (format == PresetFormat::Mac ? "Mac" : ".equ") + " format");
  }
}
}  // namespace

size_t PresetFileSize(PresetFormat format) {
  return format == PresetFormat::Mac ? kMacFileSize : kEquFileSize;
}

const char* PresetFormatName(PresetFormat format) {
  return format == PresetFormat::Mac ? "mac" : "equ";
}

PresetFormat PresetFormatForPath(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename().string();
  const size_t dot = name.rfind('.');
  std::string ext = dot == std::string::npos ? "" : name.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".v95" || ext == ".vrl" ? PresetFormat::Mac : PresetFormat::Equ;
}

PresetFormat PresetFormatForFile(const std::string& path, uint64_t size) {
  if (size == kMacFileSize) return PresetFormat::Mac;
  if (size == kEquFileSize) return PresetFormat::Equ;
  return PresetFormatForPath(path);
}

std::optional<std::string> RefusedPresetValue(const PresetFileContents& contents) {
  // The file's own level byte, as the operator would find it in the file.
  const int flat = contents.format == PresetFormat::Mac ? mac::kFlatByte : equ::kFlatByte;
  for (int slot = 1; slot <= kSliderCount; ++slot) {
    const int steps = contents.sliderSteps[slot - 1];
    if (steps >= -kDefaultSliderRange && steps <= kDefaultSliderRange) continue;
    const std::string what = slot == kGainSlot ? "the gain" : "band " + std::to_string(slot) +
                                                                  " (" + SlotLabel(slot) + ")";
    return what + " holds level byte " + std::to_string(flat - steps) +
           ", beyond the levels the device accepts (-12 dB to +12 dB: bytes " +
           std::to_string(flat - kDefaultSliderRange) + " to " +
           std::to_string(flat + kDefaultSliderRange) + ")";
  }
  auto filter = [](const char* name, int index) -> std::optional<std::string> {
    if (index >= 0 && index < kFilterCount) return std::nullopt;
    return std::string("the ") + name + " filter index " + std::to_string(index) +
           " is beyond the device's filters (0 to " + std::to_string(kFilterCount - 1) + ")";
  };
  if (auto refused = filter("high-pass", contents.highPassIndex)) return refused;
  return filter("low-pass", contents.lowPassIndex);
}

PresetFormat WriterForSaveFilterIndex(int filterIndex) {
  return filterIndex == 2 ? PresetFormat::Equ : PresetFormat::Mac;
}

pa422::Bytes PresetFileContents::Payload(int preset) const {
  pa422::TransmitSettings settings;
  settings.levels = deviceLevels;
  settings.highPass = static_cast<uint8_t>(highPassIndex);
  settings.lowPass = static_cast<uint8_t>(lowPassIndex);
  settings.presetName = payloadName;
  settings.reserved = lockByte.value_or(0);
  settings.preset = static_cast<uint8_t>(preset);
  return pa422::TransmitBlock(pa422::kDevicePassword, settings);
}

PresetFileContents ParseMacPreset(std::string_view bytes) {
  RequireSize(PresetFormat::Mac, bytes);
  PresetFileContents c;
  c.format = PresetFormat::Mac;
  for (int slot = 1; slot <= kSliderCount; ++slot) {
    uint8_t level = At(bytes, mac::kFirstLevel + slot - 1);
    c.sliderSteps[slot - 1] = StepsFromMacFileByte(level);
    c.deviceLevels[slot - 1] = level;
    c.maxExcursion = std::max(c.maxExcursion, std::abs(level - mac::kFlatByte));
  }
  c.highPassIndex = At(bytes, mac::kHighPass);
  c.lowPassIndex = At(bytes, mac::kLowPass);
  c.payloadName = FilteredName(bytes, mac::kPresetName);
  c.presetName = TrimBlanks(c.payloadName);
  c.lockByte = At(bytes, mac::kLock);
  return c;
}

PresetFileContents ParseEquPreset(std::string_view bytes) {
  RequireSize(PresetFormat::Equ, bytes);
  PresetFileContents c;
  c.format = PresetFormat::Equ;
  for (int slot = 1; slot <= kSliderCount; ++slot) {
    uint8_t level = At(bytes, equ::kFirstLevel + slot - 1);
    c.sliderSteps[slot - 1] = StepsFromEquFileByte(level);
    c.deviceLevels[slot - 1] = DeviceGainCodeFromEquByte(level);
    // The gain byte does not count towards the range.
    if (slot != kGainSlot) c.maxExcursion = std::max(c.maxExcursion, std::abs(level - equ::kFlatByte));
  }
  c.highPassIndex = At(bytes, equ::kHighPass);
  c.lowPassIndex = At(bytes, equ::kLowPass);
  c.payloadName = FilteredName(bytes, equ::kPresetName);
  c.presetName = c.payloadName;  // not trimmed
  return c;
}

PresetFileContents ParsePreset(PresetFormat format, std::string_view bytes) {
  return format == PresetFormat::Mac ? ParseMacPreset(bytes) : ParseEquPreset(bytes);
}

bool FitsPresetFormat(PresetFormat format, int steps) {
  int flat = format == PresetFormat::Mac ? mac::kFlatByte : equ::kFlatByte;
  int byte = flat - steps;
  return byte >= 0 && byte <= 255;
}

std::string BuildMacPreset(const TEqualizerDocument& doc) {
  RequireFits(PresetFormat::Mac, doc);
  std::string buffer(kMacFileSize, static_cast<char>(kBlank));
  buffer[mac::kAddress] = static_cast<char>(doc.Address & 0xFF);
  buffer[mac::kPreset] = static_cast<char>(doc.CurrentPreset);
  for (int slot = 1; slot <= kSliderCount; ++slot)
    buffer[mac::kFirstLevel + slot - 1] = static_cast<char>(MacFileByte(doc.SliderSteps(slot)));
  buffer[mac::kHighPass] = static_cast<char>(doc.HighPassIndex);
  buffer[mac::kLowPass] = static_cast<char>(doc.LowPassIndex);
  // Both names are cut, upper-cased and filtered; a short name leaves the blanks.
  PutName(buffer, mac::kPresetName, pa422::Name16(doc.PresetName));
  buffer[mac::kLock] = 0;
  PutName(buffer, mac::kDeviceName, pa422::Name16(doc.DeviceName));
  return buffer;
}

std::string BuildEquPreset(const TEqualizerDocument& doc) {
  RequireFits(PresetFormat::Equ, doc);
  std::string buffer(kEquFileSize, static_cast<char>(kBlank));
  for (int slot = 1; slot <= kSliderCount; ++slot)
    buffer[equ::kFirstLevel + slot - 1] = static_cast<char>(EquFileByte(doc.SliderSteps(slot)));
  buffer[equ::kHighPass] = static_cast<char>(doc.HighPassIndex);
  buffer[equ::kLowPass] = static_cast<char>(doc.LowPassIndex);
  // The name as typed, cut to 16 characters.
  PutName(buffer, equ::kPresetName, doc.PresetName);
  return buffer;
}

std::string BuildPreset(PresetFormat format, const TEqualizerDocument& doc) {
  return format == PresetFormat::Mac ? BuildMacPreset(doc) : BuildEquPreset(doc);
}
