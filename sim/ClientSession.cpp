#include "sim/ClientSession.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "sim/MonotonicClock.h"

namespace {
using Side = telnet::OptionNegotiator::Side;
using Kind = telnet::OutputQueue::Kind;

// Answers and notifications queued beyond this mean the client is not
// reading: stop reading its requests until it catches up.
constexpr size_t kControlBacklog = 64 * 1024;
// Serial data queued beyond this is lost, like a receive buffer overrun.
constexpr size_t kDataBacklog = 1024 * 1024;
// Upper bound for everything queued; only reached by a client that does not read.
constexpr size_t kControlLimit = 1024 * 1024;

constexpr uint32_t kMinBaud = 50;
constexpr uint32_t kMaxBaud = 4000000;

// "Transmit holding register empty" and "shift register empty": an idle UART.
constexpr uint8_t kIdleLineState = 0x60;

char ParityLetter(uint8_t code) { return "NOEMS"[code - 1]; }
uint8_t ParityCode(char letter) {
  switch (letter) {
    case 'O': return 2;
    case 'E': return 3;
    case 'M': return 4;
    case 'S': return 5;
    default: return 1;
  }
}
}  // namespace

ClientSession::ClientSession(int fd, SimLine& line) : fd_(fd), line_(line) {
  using telnet::kOptBinary, telnet::kOptComPort, telnet::kOptSuppressGoAhead;
  options_.Accept(kOptBinary, true, true);
  options_.Accept(kOptSuppressGoAhead, true, true);
  options_.Accept(kOptComPort, true, true);
  line_.Attach(this);
  // An 8-bit clean path both ways and no go-aheads. COM-PORT-OPTION is the
  // client's to offer; a client asking DO is answered as well.
  std::vector<uint8_t> offer;
  options_.Request(Side::Local, kOptBinary, offer);
  options_.Request(Side::Remote, kOptBinary, offer);
  options_.Request(Side::Local, kOptSuppressGoAhead, offer);
  QueueControl(offer);
  Flush();
}

ClientSession::~ClientSession() {
  line_.Detach(this);
  close(fd_);
}

short ClientSession::PollEvents() const {
  if (closed_) return 0;
  short events = 0;
  if (out_.ControlBytes() < kControlBacklog) events |= POLLIN;
  if (!out_.Empty()) events |= POLLOUT;
  return events;
}

void ClientSession::OnReadable() {
  if (closed_) return;
  uint8_t buffer[4096];
  ssize_t n = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  if (n <= 0) {
    closed_ = true;
    return;
  }
  parser_.Feed(buffer, static_cast<size_t>(n), *this);
  Flush();
}

void ClientSession::OnWritable() { Flush(); }

void ClientSession::Flush() {
  if (closed_ || out_.Empty()) return;
  if (out_.Flush(fd_) == telnet::OutputQueue::FlushResult::Failed) closed_ = true;
}

void ClientSession::QueueControl(const std::vector<uint8_t>& frame) {
  if (closed_ || frame.empty()) return;
  if (out_.ControlBytes() + frame.size() > kControlLimit) return;
  out_.Push(Kind::Control, frame);
}

// ---------------------------------------------------------------- towards the client

int64_t ClientSession::SendSerialData(const uint8_t* data, size_t count) {
  if (closed_) return MonotonicNs();
  if (out_.DataBytes() + count > kDataBacklog) {
    if (!loggedDrop_) std::fprintf(stderr, "orbsim: client is not reading; serial data lost\n");
    loggedDrop_ = true;
    return MonotonicNs();
  }
  out_.Push(Kind::Data, telnet::EscapeData(data, count));
  int64_t at = MonotonicNs();
  Flush();
  return at;
}

int64_t ClientSession::NotifyModemState(uint8_t levels, uint8_t changeBits, uint8_t levelDelta) {
  // Tell the client when a line it watches changed, by level or change bit.
  // The value may come out 0 (a falling DSR under a mask without change
  // bits): it is sent all the same, or that fall would go unnoticed.
  if (closed_ || ((levelDelta | changeBits) & modemMask_) == 0) return -1;
  const uint8_t value = static_cast<uint8_t>((levels | changeBits) & modemMask_);
  QueueControl(telnet::ComPortFrame(telnet::kServerOffset + telnet::kNotifyModemState, {value}));
  int64_t at = MonotonicNs();
  Flush();
  return at;
}

// ---------------------------------------------------------------- from the client

void ClientSession::OnData(const uint8_t* data, size_t count) { line_.ReceiveFromClient(data, count); }

void ClientSession::OnOptionCommand(uint8_t command, uint8_t option) {
  std::vector<uint8_t> answer;
  options_.Receive(command, option, answer);
  QueueControl(answer);
  if (!comPortActive_ && (options_.Enabled(Side::Remote, telnet::kOptComPort) ||
                          options_.Enabled(Side::Local, telnet::kOptComPort))) {
    comPortActive_ = true;
    // Clients read the modem lines from our notifications: give them the
    // current state at once.
    const uint8_t value = line_.ModemLevels() & modemMask_;
    QueueControl(telnet::ComPortFrame(telnet::kServerOffset + telnet::kNotifyModemState, {value}));
  }
}

void ClientSession::OnSubnegotiation(uint8_t option, const uint8_t* payload, size_t count) {
  if (option != telnet::kOptComPort || count == 0) return;
  HandleCommand(payload[0], payload + 1, count - 1);
}

void ClientSession::Answer(uint8_t command, const uint8_t* value, size_t count) {
  QueueControl(telnet::ComPortFrame(static_cast<uint8_t>(command + telnet::kServerOffset), value, count));
}

void ClientSession::HandleCommand(uint8_t command, const uint8_t* value, size_t count) {
  SimLineSettings settings = line_.Settings();
  const uint8_t v = count >= 1 ? value[0] : 0;  // 0: a query
  switch (command) {
    case telnet::kSignature:
      if (count == 0) {  // a request for ours; a client's own signature needs no answer
        static const char kSignature[] = "orbsim";
        Answer(command, reinterpret_cast<const uint8_t*>(kSignature), sizeof kSignature - 1);
      }
      return;
    case telnet::kSetBaudRate:
      HandleBaudRate(value, count);
      return;
    case telnet::kSetDataSize:
      if (v >= 5 && v <= 8 && v != settings.dataBits) {
        settings.dataBits = v;
        line_.SetSettings(settings);
      }
      Answer(command, line_.Settings().dataBits);
      return;
    case telnet::kSetParity:
      if (v >= 1 && v <= 5 && ParityLetter(v) != settings.parity) {
        settings.parity = ParityLetter(v);
        line_.SetSettings(settings);
      }
      Answer(command, ParityCode(line_.Settings().parity));
      return;
    case telnet::kSetStopSize:
      if (v >= 1 && v <= 3 && v != settings.stopSize) {
        settings.stopSize = v;
        line_.SetSettings(settings);
      }
      Answer(command, line_.Settings().stopSize);
      return;
    case telnet::kSetControl:
      if (count >= 1) HandleSetControl(v);
      return;
    case telnet::kNotifyLineState:  // a poll
      Answer(command, kIdleLineState & lineMask_);
      return;
    case telnet::kNotifyModemState:  // a poll
      Answer(command, line_.ModemLevels() & modemMask_);
      return;
    case telnet::kFlowControlSuspend:
    case telnet::kFlowControlResume:
      // Not acknowledged: 108/109 would ask the client to pause instead.
      // TCP already paces the data we send.
      return;
    case telnet::kSetLineStateMask:
      if (count >= 1) lineMask_ = v;
      Answer(command, lineMask_);
      return;
    case telnet::kSetModemStateMask:
      if (count >= 1) modemMask_ = v;
      Answer(command, modemMask_);
      return;
    case telnet::kPurgeData:
      // The simulated line sends at once and keeps no buffers to purge.
      if (v >= telnet::kPurgeReceive && v <= telnet::kPurgeBoth) Answer(command, v);
      return;
    default:
      return;
  }
}

void ClientSession::HandleBaudRate(const uint8_t* value, size_t count) {
  SimLineSettings settings = line_.Settings();
  uint32_t wanted = 0;
  bool cisco = count == 1;  // Cisco IOS sends an index byte instead of the rate
  if (count == 4) wanted = telnet::BaudFromBytes(value);
  if (cisco) wanted = telnet::CiscoBaudFromIndex(value[0]);
  if (wanted >= kMinBaud && wanted <= kMaxBaud && wanted != settings.baud) {
    settings.baud = wanted;
    line_.SetSettings(settings);
  }
  const uint32_t now = line_.Settings().baud;
  int index = telnet::CiscoIndexFromBaud(now);
  if (cisco && index >= 0) {
    Answer(telnet::kSetBaudRate, static_cast<uint8_t>(index));
  } else {
    auto bytes = telnet::BaudBytes(now);
    Answer(telnet::kSetBaudRate, bytes.data(), bytes.size());
  }
}

void ClientSession::HandleSetControl(uint8_t v) {
  using namespace telnet;
  SimLineSettings settings = line_.Settings();
  auto store = [&] { line_.SetSettings(settings); };
  switch (v) {
    case kControlFlowQuery:
      Answer(kSetControl, settings.flowOut);
      return;
    case kControlNoFlow:
    case kControlXonXoff:
    case kControlHardwareFlow:
    case kControlDcdFlow:
    case kControlDsrFlow:
      settings.flowOut = v;
      store();
      Answer(kSetControl, v);
      return;
    case kControlBreakQuery:
      Answer(kSetControl, settings.breakOn ? kControlBreakOn : kControlBreakOff);
      return;
    case kControlBreakOn:
    case kControlBreakOff:
      settings.breakOn = v == kControlBreakOn;
      store();
      Answer(kSetControl, v);
      return;
    case kControlDtrQuery:
      Answer(kSetControl, line_.Dtr() ? kControlDtrOn : kControlDtrOff);
      return;
    case kControlDtrOn:
    case kControlDtrOff:
      line_.SetDtr(v == kControlDtrOn);
      Answer(kSetControl, v);
      return;
    case kControlRtsQuery:
      Answer(kSetControl, line_.Rts() ? kControlRtsOn : kControlRtsOff);
      return;
    case kControlRtsOn:
    case kControlRtsOff:
      line_.SetRts(v == kControlRtsOn);
      Answer(kSetControl, v);
      return;
    case kControlInboundFlowQuery:
      Answer(kSetControl, settings.flowIn);
      return;
    case kControlInboundNoFlow:
    case kControlInboundXonXoff:
    case kControlInboundHardwareFlow:
    case kControlDtrFlow:
      settings.flowIn = v;
      store();
      Answer(kSetControl, v);
      return;
    default:
      return;  // reserved values: nothing to put in force
  }
}
