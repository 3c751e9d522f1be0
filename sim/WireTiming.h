#pragma once
// How long a byte occupies the simulated wire: 11 bit times (start bit,
// 8 data bits, parity, stop bit) at the baud rate the client set, or no
// time at all when pacing is off.
#include <cstdint>

class WireTiming {
 public:
  explicit WireTiming(bool pacing) : pacing_(pacing) {}
  bool Pacing() const { return pacing_; }
  int64_t ByteNs(uint32_t baud) const {
    if (!pacing_ || baud == 0) return 0;
    return kBitsPerByte * 1000000000LL / baud;
  }

  static constexpr int64_t kBitsPerByte = 11;

 private:
  bool pacing_;
};
