#pragma once
// Line settings as the client puts them on the wire, and back.
#include <cstdint>
#include <optional>

#include "serial/SerialDevice.h"

namespace rfc2217 {

// Parity: none, odd, even, mark, space travel as 1 to 5.
inline uint8_t ParityCode(ParityKind parity) { return static_cast<uint8_t>(static_cast<int>(parity) + 1); }
inline std::optional<ParityKind> ParityFromCode(uint8_t code) {
  if (code < 1 || code > 5) return std::nullopt;
  return static_cast<ParityKind>(code - 1);
}

// Stop bits: 1 is 1 and 2 is 2, except that two stop bits with five data
// bits are one and a half on a real UART, which travels as 3.
inline uint8_t StopSizeCode(int stopBits, int dataBits) {
  if (stopBits == 2) return dataBits == 5 ? 3 : 2;
  return 1;
}
inline std::optional<int> StopBitsFromCode(uint8_t code) {
  if (code == 1) return 1;
  if (code == 2 || code == 3) return 2;
  return std::nullopt;
}

}  // namespace rfc2217
