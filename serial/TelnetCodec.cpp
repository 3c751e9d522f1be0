#include "serial/TelnetCodec.h"

namespace telnet {

void TelnetParser::Reset() {
  state_ = State::Data;
  sb_.clear();
  sbOverflow_ = false;
}

void TelnetParser::DropSubnegotiation() {
  ++dropped_;
  sb_.clear();
  sbOverflow_ = false;
}

void TelnetParser::Command(uint8_t byte, TelnetSink& sink) {
  switch (byte) {
    case kIAC: {
      static const uint8_t kEscapedIac = kIAC;
      sink.OnData(&kEscapedIac, 1);
      state_ = State::Data;
      break;
    }
    case kSB:
      state_ = State::SbOption;
      break;
    case kWILL:
    case kWONT:
    case kDO:
    case kDONT:
      command_ = byte;
      state_ = State::OptionCode;
      break;
    default:
      // NOP, GA, BRK, a stray SE and the like carry nothing for a serial line.
      state_ = State::Data;
      break;
  }
}

void TelnetParser::Feed(const uint8_t* bytes, size_t count, TelnetSink& sink) {
  size_t i = 0;
  while (i < count) {
    switch (state_) {
      case State::Data: {
        // Hand over the whole run of plain data at once.
        size_t start = i;
        while (i < count && bytes[i] != kIAC) ++i;
        if (i > start) sink.OnData(bytes + start, i - start);
        if (i < count) {
          state_ = State::Iac;
          ++i;
        }
        break;
      }
      case State::Iac:
        Command(bytes[i++], sink);
        break;
      case State::OptionCode:
        state_ = State::Data;
        sink.OnOptionCommand(command_, bytes[i++]);
        break;
      case State::SbOption:
        sbOption_ = bytes[i++];
        sb_.clear();
        sbOverflow_ = false;
        state_ = State::SbPayload;
        break;
      case State::SbPayload: {
        uint8_t b = bytes[i++];
        if (b == kIAC) {
          state_ = State::SbIac;
        } else if (sb_.size() < kMaxSubnegotiation) {
          sb_.push_back(b);
        } else {
          sbOverflow_ = true;
        }
        break;
      }
      case State::SbIac: {
        uint8_t b = bytes[i++];
        if (b == kIAC) {
          if (sb_.size() < kMaxSubnegotiation)
            sb_.push_back(kIAC);
          else
            sbOverflow_ = true;
          state_ = State::SbPayload;
        } else if (b == kSE) {
          state_ = State::Data;
          if (sbOverflow_) {
            DropSubnegotiation();
          } else {
            sink.OnSubnegotiation(sbOption_, sb_.data(), sb_.size());
            sb_.clear();
          }
        } else {
          // Any other command inside a subnegotiation means the peer broke
          // it off: drop it and take the command as such, which also lets
          // the stream recover from a subnegotiation that never ends.
          DropSubnegotiation();
          Command(b, sink);
        }
        break;
      }
    }
  }
}

void AppendEscaped(std::vector<uint8_t>& out, const uint8_t* data, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    out.push_back(data[i]);
    if (data[i] == kIAC) out.push_back(kIAC);
  }
}

std::vector<uint8_t> EscapeData(const uint8_t* data, size_t count) {
  std::vector<uint8_t> out;
  out.reserve(count + count / 8);
  AppendEscaped(out, data, count);
  return out;
}

std::vector<uint8_t> OptionFrame(uint8_t command, uint8_t option) {
  return {kIAC, command, option};
}

std::vector<uint8_t> ComPortFrame(uint8_t command, const uint8_t* value, size_t count) {
  std::vector<uint8_t> out = {kIAC, kSB, kOptComPort, command};
  AppendEscaped(out, value, count);
  out.push_back(kIAC);
  out.push_back(kSE);
  return out;
}

std::vector<uint8_t> ComPortFrame(uint8_t command, std::initializer_list<uint8_t> value) {
  return ComPortFrame(command, value.begin(), value.size());
}

std::vector<uint8_t> BaudBytes(uint32_t baud) {
  return {static_cast<uint8_t>(baud >> 24), static_cast<uint8_t>(baud >> 16),
          static_cast<uint8_t>(baud >> 8), static_cast<uint8_t>(baud)};
}

uint32_t BaudFromBytes(const uint8_t* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         uint32_t{bytes[3]};
}

namespace {
struct CiscoRate {
  uint8_t index;
  uint32_t baud;
};
constexpr CiscoRate kCiscoRates[] = {{3, 300},    {4, 600},    {5, 1200},    {6, 2400},
                                     {7, 4800},   {8, 9600},   {10, 19200},  {11, 38400},
                                     {12, 57600}, {13, 115200}, {14, 230400}};
}  // namespace

uint32_t CiscoBaudFromIndex(uint8_t index) {
  for (const auto& r : kCiscoRates)
    if (r.index == index) return r.baud;
  return 0;
}

int CiscoIndexFromBaud(uint32_t baud) {
  for (const auto& r : kCiscoRates)
    if (r.baud == baud) return r.index;
  return -1;
}

}  // namespace telnet
