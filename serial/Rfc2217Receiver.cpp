#include "serial/Rfc2217Receiver.h"

#include "serial/SerialDevice.h"

namespace rfc2217 {

ClientReceiver::ClientReceiver(SendControl send, LogLine log) : send_(std::move(send)), log_(std::move(log)) {}

unsigned ClientReceiver::Feed(const uint8_t* bytes, size_t count) {
  events_ = 0;
  parser_.Feed(bytes, count, *this);
  return events_;
}

void ClientReceiver::ExpectReply(uint8_t command) {
  replies_[command].awaited = true;
  replies_[command].answered = false;
}

void ClientReceiver::ExpectControl(uint8_t value) {
  if (expectedControl_.size() >= kMaxExpectedControl) expectedControl_.pop_front();
  expectedControl_.push_back(value);
}

size_t ClientReceiver::Read(uint8_t* buffer, size_t max) {
  size_t n = std::min(max, received_.size());
  std::copy_n(received_.begin(), n, buffer);
  received_.erase(received_.begin(), received_.begin() + static_cast<ptrdiff_t>(n));
  return n;
}

void ClientReceiver::OnData(const uint8_t* data, size_t count) {
  // Anything before the port is open (a server's banner) is not line data.
  if (!opened_) return;
  received_.insert(received_.end(), data, data + std::min(count, Room()));
  events_ |= kEventRxChar;
}

void ClientReceiver::OnOptionCommand(uint8_t command, uint8_t option) {
  std::vector<uint8_t> answer;
  options_.Receive(command, option, answer);
  if (!answer.empty()) send_(answer);
}

void ClientReceiver::OnSubnegotiation(uint8_t option, const uint8_t* payload, size_t count) {
  if (option != telnet::kOptComPort || count == 0) return;
  const uint8_t code = payload[0];
  if (code < telnet::kServerOffset) return;  // only server codes come this way
  OnComPortAnswer(static_cast<uint8_t>(code - telnet::kServerOffset), payload + 1, count - 1);
}

void ClientReceiver::OnComPortAnswer(uint8_t command, const uint8_t* value, size_t count) {
  switch (command) {
    case telnet::kNotifyModemState:
      if (count >= 1 && modem_.Update(value[0]) && opened_) events_ |= kEventModem;
      return;
    case telnet::kNotifyLineState:
      // Overrun, parity, framing or break (only with a line-state mask set).
      if (count >= 1 && (value[0] & 0x1E) != 0 && opened_) events_ |= kEventLineError;
      return;
    case telnet::kFlowControlSuspend:
    case telnet::kFlowControlResume:
      // The data path has TCP flow control; the server's own is not honoured.
      return;
    default:
      break;
  }
  if (command >= replies_.size()) return;
  if (command == telnet::kSetControl && count >= 1 && !expectedControl_.empty()) {
    uint8_t expected = expectedControl_.front();
    expectedControl_.pop_front();
    if (value[0] != expected && !loggedControlMismatch_) {
      loggedControlMismatch_ = true;
      log_("server answered SET-CONTROL " + std::to_string(expected) + " with " + std::to_string(value[0]));
    }
  }
  Reply& reply = replies_[command];
  if (!reply.awaited || reply.answered) return;
  reply.answered = true;
  reply.value.assign(value, value + count);
}

}  // namespace rfc2217
