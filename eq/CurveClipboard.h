#pragma once
// The application's copy buffer of curves, shared by every equalizer
// window; not the system clipboard. Slots use the windows' slot numbers:
// 1 to 29 band steps, 30 the high-pass index, 31 the low-pass index, 33 the
// preset name, 34 the gain steps (the gain shares slot 30 with the
// high-pass box on the window, so it is kept apart here).
#include <array>
#include <cstdint>
#include <string>

struct TCurveClipboard {
  static constexpr int kHighPassSlot = 30;
  static constexpr int kLowPassSlot = 31;
  static constexpr int kNameSlot = 33;
  static constexpr int kGainSlot = 34;

  // Index = slot number; slots 0, 32 and 33 are unused as numbers.
  std::array<int32_t, 35> Slots{};
  std::string Name;  // slot 33

  int32_t Band(int band) const { return Slots[band]; }  // band 1 to 29
};
