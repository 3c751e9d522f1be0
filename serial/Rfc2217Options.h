#pragma once
// Telnet option negotiation for both ends of a network serial line.
// Keeps, for every option, whether it is on at our end (we WILL) and at the
// peer's end (the peer WILL), and works out the answers to the peer's
// commands. It answers only requests that change a state, never an answer to
// one of our own requests, so two ends cannot keep each other talking; a
// request for an option we do not support is refused once and then ignored,
// so a flood of option commands cannot produce a flood of answers.
#include <array>
#include <cstdint>
#include <vector>

namespace telnet {

class OptionNegotiator {
 public:
  enum class Side : uint8_t { Local, Remote };

  // Options this end agrees to enable when asked: at our end (answering DO
  // with WILL) and at the peer's end (answering WILL with DO).
  void Accept(uint8_t option, bool local, bool remote);

  // Our own request to enable an option (WILL for Local, DO for Remote).
  // Appends the command to `out`, unless the option is on or already asked for.
  void Request(Side side, uint8_t option, std::vector<uint8_t>& out);

  // Handles the peer's WILL/WONT/DO/DONT; appends our answer, if any, to `out`.
  void Receive(uint8_t command, uint8_t option, std::vector<uint8_t>& out);

  bool Enabled(Side side, uint8_t option) const { return State(side, option) == On; }
  // The peer turned down our request for this option (DONT to our WILL or
  // WONT to our DO), or turned it off.
  bool Refused(Side side, uint8_t option) const;

  // Back to everything off, keeping what we accept.
  void Reset();

 private:
  enum : uint8_t { Off, Requested, On };
  uint8_t& State(Side side, uint8_t option);
  uint8_t State(Side side, uint8_t option) const;

  std::array<uint8_t, 256> local_{};
  std::array<uint8_t, 256> remote_{};
  std::array<bool, 256> acceptLocal_{};
  std::array<bool, 256> acceptRemote_{};
  // Set once we refused an unsupported request, or the peer refused ours.
  std::array<bool, 256> refusedLocal_{};
  std::array<bool, 256> refusedRemote_{};
};

}  // namespace telnet
