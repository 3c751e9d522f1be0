#include "serial/Rfc2217Options.h"

#include "serial/TelnetCodec.h"

namespace telnet {

void OptionNegotiator::Accept(uint8_t option, bool local, bool remote) {
  acceptLocal_[option] = local;
  acceptRemote_[option] = remote;
}

uint8_t& OptionNegotiator::State(Side side, uint8_t option) {
  return side == Side::Local ? local_[option] : remote_[option];
}

uint8_t OptionNegotiator::State(Side side, uint8_t option) const {
  return side == Side::Local ? local_[option] : remote_[option];
}

bool OptionNegotiator::Refused(Side side, uint8_t option) const {
  return side == Side::Local ? refusedLocal_[option] : refusedRemote_[option];
}

void OptionNegotiator::Reset() {
  local_.fill(Off);
  remote_.fill(Off);
  refusedLocal_.fill(false);
  refusedRemote_.fill(false);
}

void OptionNegotiator::Request(Side side, uint8_t option, std::vector<uint8_t>& out) {
  uint8_t& state = State(side, option);
  if (state != Off) return;
  state = Requested;
  (side == Side::Local ? refusedLocal_ : refusedRemote_)[option] = false;
  uint8_t command = side == Side::Local ? kWILL : kDO;
  out.insert(out.end(), {kIAC, command, option});
}

void OptionNegotiator::Receive(uint8_t command, uint8_t option, std::vector<uint8_t>& out) {
  // DO/DONT speak about our end, WILL/WONT about the peer's.
  const bool aboutLocal = command == kDO || command == kDONT;
  const bool positive = command == kDO || command == kWILL;
  const Side side = aboutLocal ? Side::Local : Side::Remote;
  const bool accepted = aboutLocal ? acceptLocal_[option] : acceptRemote_[option];
  bool& refused = aboutLocal ? refusedLocal_[option] : refusedRemote_[option];
  const uint8_t yes = aboutLocal ? kWILL : kDO;
  const uint8_t no = aboutLocal ? kWONT : kDONT;
  uint8_t& state = State(side, option);

  if (positive) {
    if (state == On) return;
    if (state == Requested) {  // the answer to our own request
      state = On;
      return;
    }
    if (accepted) {
      state = On;
      refused = false;
      out.insert(out.end(), {kIAC, yes, option});
    } else if (!refused) {
      refused = true;
      out.insert(out.end(), {kIAC, no, option});
    }
    return;
  }

  // WONT / DONT: the option is (or stays) off.
  if (state == Requested) {  // the peer turned our request down
    state = Off;
    refused = true;
    return;
  }
  if (state == On) {  // the peer turns it off; confirm
    state = Off;
    refused = true;
    out.insert(out.end(), {kIAC, no, option});
  }
}

}  // namespace telnet
