#pragma once
// The program-wide options: one record, owned by the options dialog and read
// by the frame and every equalizer window.
#include <cstdint>

struct TProgramOptions {
  // Sizes of the equalizer window laid out last; shown by the options
  // dialog, never stored in the settings file.
  int32_t SliderHeight = 0;
  int32_t SliderWidth = 0;
  // Band and gain sliders run from -SliderRange to +SliderRange steps of
  // 0.5 dB (24 is +/-12 dB).
  int32_t SliderRange = 24;
  // What SliderRange may be: the options dialog offers +/-1 to +/-12 dB,
  // and no file the device accepts needs more.
  static constexpr int32_t kMinSliderRange = 2;
  static constexpr int32_t kMaxSliderRange = 24;
  int32_t ChildWindowHeight = 0;
  int32_t ChildWindowWidth = 0;
  // Kept and written back only; the options dialog's OK sets it.
  bool AutoScale = true;
  // Tool tips on the tool bar and the sliders.
  bool HintsOnPage = true;
  // Each equalizer window shows its status bar.
  bool TaskBarEnabled = true;
  // 0 "All on Screen", 1 "Two on Screen", 2 "Three on Screen ".
  int32_t TileOptions = 1;
  // What paste takes from the copy buffer.
  bool CopyBands1_29 = true;
  bool CopyHPLP = false;
  bool CopyPresetName = false;
  bool CopyMasterGain = false;

  bool operator==(const TProgramOptions&) const = default;
};
