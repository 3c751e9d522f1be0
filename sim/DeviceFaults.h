#pragma once
// The fault a test switched on for one device address. It stays until
// cleared or replaced by the next fault set for that address.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct DeviceFaults {
  bool absent = false;                         // nobody answers the address
  std::optional<std::array<uint8_t, 2>> dtId;  // sent instead of the real DT/ID
  bool splitDtId = false;                      // DT/ID as two writes 30 ms apart
  std::optional<uint8_t> status;               // replaces the real status byte
  bool longReply = false;                      // a data reply gets one extra byte
  bool shortReply = false;                     // a data reply loses its status byte
  bool muteFrame = false;                      // the frame is read but never answered

  bool Any() const;
  // "absent dtid=0102 split-dtid status=5 ..." for the transaction log.
  std::string Describe() const;
  // The reply bytes for a command with this code, faults applied: data,
  // then status; a long one gets a 0x00 after the status, a short one no
  // status. Length faults only touch replies that carry data.
  std::string Shape(uint8_t code, const std::string& data, uint8_t status) const;
};

// Applies the words after `fault <addr>`: absent, dtid <b1> <b2>,
// split-dtid, status <n>, long-reply, short-reply, mute-frame, clear. A
// fault replaces the one set before. Returns an error text (and changes
// nothing), or nothing when applied.
std::optional<std::string> ApplyFaultWords(DeviceFaults& faults, const std::vector<std::string>& words);
