#pragma once
// The settings of one preset of one ORB device as an equalizer window edits
// them, the fixed tables that name slots, bands and filters, and every
// conversion between slider steps, decibels, device gain codes and file
// bytes. One slider step is 0.5 dB; positive steps boost.
#include <array>
#include <cstdint>
#include <string>

#include "link/PA422Messages.h"

constexpr int kBandCount = 29;
constexpr int kSliderCount = 30;  // the 29 bands, then the gain
constexpr int kGainSlot = 30;
constexpr int kHighPassSlot = 30;  // shares its slot with the gain
constexpr int kLowPassSlot = 31;
constexpr int kPresetNameSlot = 32;
constexpr int kMaxAddress = 240;
constexpr int kPresetCount = 8;
constexpr int kFilterCount = 22;
constexpr int kHighPassOut = 0;
constexpr int kLowPassOut = 21;
constexpr int kDefaultSliderRange = 24;

struct TEqualizerDocument {
  int Address = 0;        // 0 to 240; 0: no device
  int CurrentPreset = 1;  // 1 to 8
  std::array<std::string, kPresetCount> PresetNames = {
      "Preset Name 1", "Preset Name 2", "Preset Name 3",  "Preset Name 4",
      "Preset Name 5 ", "Preset Name 6", "Preset Name 7", "Preset Name 8"};
  std::string PresetName = "Preset Name 1";
  std::string DeviceName = "ORB Name";
  std::array<int, kBandCount> BandSteps{};
  int GainSteps = 0;
  int HighPassIndex = kHighPassOut;
  int LowPassIndex = kLowPassOut;
  bool Mute = false;
  bool Lock = false;
  bool Bypass = false;
  std::string FileName;

  // Slider steps by slot: 1 to 29 the bands, 30 the gain.
  int SliderSteps(int slot) const { return slot == kGainSlot ? GainSteps : BandSteps[slot - 1]; }
  void SetSliderSteps(int slot, int steps) {
    (slot == kGainSlot ? GainSteps : BandSteps[slot - 1]) = steps;
  }
};

// Conversions; nothing else computes these values.
double LevelDb(int steps);
// Steps × 0.5 in the shortest decimal form with the given decimal
// separator: -3.5, 0, 1.5, 12.
std::string LevelText(int steps, const std::string& decimalSeparator = ".");
uint8_t DeviceGainCode(int steps);  // 26 − steps, as one byte
int StepsFromDeviceGainCode(uint8_t code);
uint8_t MacFileByte(int steps);  // the device gain code
uint8_t EquFileByte(int steps);  // 24 − steps, as one byte
int StepsFromMacFileByte(uint8_t byte);
int StepsFromEquFileByte(uint8_t byte);
uint8_t DeviceGainCodeFromEquByte(uint8_t byte);  // byte + 2
int DeviceBandNumber(int slot);                   // slot + 1; 32 for the gain
// "+3", "0", "-3": steps × 0.5 for a multiple of 6 steps.
std::string TickLabel(int steps);
// The range panel: SliderRange div 2, truncated toward zero.
std::string RangeText(int sliderRange);
// The table entries; empty for an index outside 0 to 21.
std::string HighPassLabel(int index);
std::string LowPassLabel(int index);
// The hint of a slot's control: "25 Hz" ... "16 kHz", "Gain", "Low Pass", "Preset Name".
std::string SlotLabel(int slot);
// The high-pass box's label ("High Pass"), which shares slot 30 with the gain.
std::string HighPassBoxLabel();
// The address list's texts "0" to "240".
std::string AddressText(int address);
// A name as shown: leading and trailing blanks removed.
std::string TrimBlanks(const std::string& text);
// 16 bytes for the device: upper-cased, filtered, blank-padded, cut.
std::string NameForDevice(const std::string& text);
