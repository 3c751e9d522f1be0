#pragma once
// Byte-level Telnet codec for serial lines carried over Telnet (RFC 2217),
// used by both the network line client and the simulator's server.
// TelnetParser splits an incoming byte stream into data, option commands and
// subnegotiations; the encoders frame the outgoing direction.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace telnet {

// Telnet command bytes.
constexpr uint8_t kIAC = 255;
constexpr uint8_t kDONT = 254;
constexpr uint8_t kDO = 253;
constexpr uint8_t kWONT = 252;
constexpr uint8_t kWILL = 251;
constexpr uint8_t kSB = 250;
constexpr uint8_t kSE = 240;

// Telnet options that matter for a serial line.
constexpr uint8_t kOptBinary = 0;
constexpr uint8_t kOptEcho = 1;
constexpr uint8_t kOptSuppressGoAhead = 3;
constexpr uint8_t kOptComPort = 44;

// COM-PORT-OPTION commands as the client sends them; the server answers and
// notifies with the same code plus kServerOffset.
enum ComPortCommand : uint8_t {
  kSignature = 0,
  kSetBaudRate = 1,
  kSetDataSize = 2,
  kSetParity = 3,
  kSetStopSize = 4,
  kSetControl = 5,
  kNotifyLineState = 6,
  kNotifyModemState = 7,
  kFlowControlSuspend = 8,
  kFlowControlResume = 9,
  kSetLineStateMask = 10,
  kSetModemStateMask = 11,
  kPurgeData = 12,
};
constexpr uint8_t kServerOffset = 100;

// SET-CONTROL values used here.
enum ControlValue : uint8_t {
  kControlFlowQuery = 0,
  kControlNoFlow = 1,
  kControlXonXoff = 2,
  kControlHardwareFlow = 3,
  kControlBreakQuery = 4,
  kControlBreakOn = 5,
  kControlBreakOff = 6,
  kControlDtrQuery = 7,
  kControlDtrOn = 8,
  kControlDtrOff = 9,
  kControlRtsQuery = 10,
  kControlRtsOn = 11,
  kControlRtsOff = 12,
  kControlInboundFlowQuery = 13,
  kControlInboundNoFlow = 14,
  kControlInboundXonXoff = 15,
  kControlInboundHardwareFlow = 16,
  kControlDcdFlow = 17,
  kControlDtrFlow = 18,  // inbound
  kControlDsrFlow = 19,
};

// PURGE-DATA values.
constexpr uint8_t kPurgeReceive = 1;
constexpr uint8_t kPurgeTransmit = 2;
constexpr uint8_t kPurgeBoth = 3;

// Receives what the parser finds in the stream.
class TelnetSink {
 public:
  virtual ~TelnetSink() = default;
  // A run of data bytes, already unescaped.
  virtual void OnData(const uint8_t* data, size_t count) = 0;
  // WILL, WONT, DO or DONT for an option.
  virtual void OnOptionCommand(uint8_t command, uint8_t option) = 0;
  // A complete subnegotiation: its option and the unescaped bytes after it.
  virtual void OnSubnegotiation(uint8_t option, const uint8_t* payload, size_t count) = 0;
};

// Parser state machine. Keeps its state between Feed calls, so a command
// split across two reads is still recognised.
class TelnetParser {
 public:
  // Longest subnegotiation payload kept. A longer one is dropped whole, so a
  // peer that never ends its subnegotiation cannot make us buffer without end.
  static constexpr size_t kMaxSubnegotiation = 256;

  void Feed(const uint8_t* bytes, size_t count, TelnetSink& sink);
  void Reset();

  // Subnegotiations dropped because they were too long or broken off.
  uint64_t DroppedSubnegotiations() const { return dropped_; }

 private:
  enum class State : uint8_t {
    Data,        // plain data
    Iac,         // IAC seen in data
    OptionCode,  // WILL/WONT/DO/DONT seen, option byte next
    SbOption,    // IAC SB seen, option byte next
    SbPayload,   // inside a subnegotiation
    SbIac,       // IAC seen inside a subnegotiation
  };

  // Handles the byte after an IAC (outside a subnegotiation).
  void Command(uint8_t byte, TelnetSink& sink);
  void DropSubnegotiation();

  State state_ = State::Data;
  uint8_t command_ = 0;
  uint8_t sbOption_ = 0;
  bool sbOverflow_ = false;
  std::vector<uint8_t> sb_;
  uint64_t dropped_ = 0;
};

// Appends data with every 0xFF doubled.
void AppendEscaped(std::vector<uint8_t>& out, const uint8_t* data, size_t count);
std::vector<uint8_t> EscapeData(const uint8_t* data, size_t count);

// IAC <command> <option>, command being WILL, WONT, DO or DONT.
std::vector<uint8_t> OptionFrame(uint8_t command, uint8_t option);

// IAC SB COM-PORT-OPTION <command> <value, escaped> IAC SE.
std::vector<uint8_t> ComPortFrame(uint8_t command, const uint8_t* value, size_t count);
std::vector<uint8_t> ComPortFrame(uint8_t command, std::initializer_list<uint8_t> value);

// Baud rates travel as four bytes, most significant first.
std::vector<uint8_t> BaudBytes(uint32_t baud);
uint32_t BaudFromBytes(const uint8_t* bytes);  // reads four bytes

// Cisco IOS sends SET-BAUDRATE as a one-byte index instead (10 = 19200).
uint32_t CiscoBaudFromIndex(uint8_t index);  // 0 for an unknown index
int CiscoIndexFromBaud(uint32_t baud);       // -1 when the rate has none

}  // namespace telnet
