#include "eq/EqualizerDocument.h"

#include <cstdlib>

namespace {
const char* const kSlotLabels[] = {
    "25 Hz",   "31.5 Hz",  "40 Hz",   "50 Hz",   "63 Hz",    "80 Hz",   "100 Hz",  "125 Hz",
    "160 Hz",  "200 Hz",   "250 Hz",  "315 Hz",  "400 Hz",   "500 Hz",  "630 Hz",  "800 Hz",
    "1 kHz",   "1.25 kHz", "1.6 kHz", "2 kHz",   "2.5 kHz",  "3.15 kHz", "4 kHz",  "5 kHz",
    "6.3 kHz", "8 kHz",    "10 kHz",  "12.5 kHz", "16 kHz",  "Gain",    "Low Pass", "Preset Name"};

const char* const kHighPassLabels[kFilterCount] = {
    "OUT",   "20 Hz", "22.4 Hz", "25 Hz", "28 Hz", "31.5 Hz", "35.5 Hz", "40 Hz",
    "45 Hz", "50 Hz", "56 Hz",   "63 Hz", "71 Hz", "80 Hz",   "90 Hz",   "100 Hz",
    "112 Hz", "125 Hz", "140 Hz", "160 Hz", "180 Hz", "200 Hz"};

const char* const kLowPassLabels[kFilterCount] = {
    "2 kHz",    "2.2 kHz", "2.5 kHz", "2.8 kHz",  "3.15 kHz", "3.55 kHz", "4 kHz",  "4.5 kHz",
    "5 kHz",    "5.6 kHz", "6.3 kHz", "7.1 kHz",  "8 kHz",    "9 kHz",    "10 kHz", "11.2 kHz",
    "12.5 kHz", "14 kHz",  "16 kHz",  "18 kHz",   "20 kHz",   "OUT"};

// Half of `steps` in the shortest decimal form.
std::string HalfSteps(int steps, const std::string& separator) {
  std::string text = std::to_string(steps / 2);
  if (steps % 2 == 0) return text;
  if (steps < 0 && steps / 2 == 0) text = "-0";  // -1 step is -0.5
  return text + separator + "5";
}
}  // namespace

double LevelDb(int steps) { return steps * 0.5; }

std::string LevelText(int steps, const std::string& decimalSeparator) {
  return HalfSteps(steps, decimalSeparator);
}

uint8_t DeviceGainCode(int steps) { return static_cast<uint8_t>(pa422::kFlatLevel - steps); }
int StepsFromDeviceGainCode(uint8_t code) { return pa422::kFlatLevel - code; }
uint8_t MacFileByte(int steps) { return DeviceGainCode(steps); }
uint8_t EquFileByte(int steps) { return static_cast<uint8_t>(24 - steps); }
int StepsFromMacFileByte(uint8_t byte) { return StepsFromDeviceGainCode(byte); }
int StepsFromEquFileByte(uint8_t byte) { return 24 - byte; }
uint8_t DeviceGainCodeFromEquByte(uint8_t byte) { return static_cast<uint8_t>(byte + 2); }

int DeviceBandNumber(int slot) { return slot == kGainSlot ? pa422::kGainParameter : slot + 1; }

std::string TickLabel(int steps) {
  std::string text = HalfSteps(steps, ".");
  return steps > 0 ? "+" + text : text;
}

std::string RangeText(int sliderRange) { return std::to_string(sliderRange / 2); }

std::string HighPassLabel(int index) {
  return index >= 0 && index < kFilterCount ? kHighPassLabels[index] : "";
}

std::string LowPassLabel(int index) {
  return index >= 0 && index < kFilterCount ? kLowPassLabels[index] : "";
}

std::string SlotLabel(int slot) {
  return slot >= 1 && slot <= kPresetNameSlot ? kSlotLabels[slot - 1] : "";
}

std::string HighPassBoxLabel() { return "High Pass"; }

std::string AddressText(int address) { return std::to_string(address); }

std::string NameForDevice(const std::string& text) { return pa422::Name16(text); }

std::string TrimBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}
