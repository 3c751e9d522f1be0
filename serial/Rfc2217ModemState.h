#pragma once
// Turns the server's NOTIFY-MODEMSTATE values into line levels and tells
// when a report is worth an event.
#include <cstdint>

namespace rfc2217 {

class ModemStateTracker {
 public:
  // Takes one reported value; true when the levels changed or a change bit
  // reports a pulse (the line went both ways between two reports). Change
  // bits in the first report are ignored: servers compute them against an
  // all-off state, or not at all.
  bool Update(uint8_t value) {
    const uint8_t levels = value & kLevels;
    const bool first = !haveReport_;
    haveReport_ = true;
    const bool levelChanged = levels != levels_;
    if (!first)
      changes_ |= static_cast<uint8_t>((levels ^ levels_) | ((value & kChangeBits) << 4));
    levels_ = levels;
    if (first) return levelChanged;
    return levelChanged || (value & kChangeBits) != 0;
  }

  // Lines (level bits) that changed by level or change bit since the last
  // call; a fall and a rise reported one after the other both count.
  uint8_t TakeChanges() {
    const uint8_t changes = changes_;
    changes_ = 0;
    return changes;
  }

  // Latest line levels (CD, RI, DSR, CTS bits), all off before the first report.
  uint8_t Levels() const { return levels_; }
  bool HaveReport() const { return haveReport_; }

 private:
  static constexpr uint8_t kLevels = 0xF0;
  static constexpr uint8_t kChangeBits = 0x0F;
  uint8_t levels_ = 0;
  uint8_t changes_ = 0;
  bool haveReport_ = false;
};

}  // namespace rfc2217
