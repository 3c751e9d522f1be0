#pragma once
// The receiving half of the network serial line client: decodes what the
// RFC 2217 server sends (data, option negotiation, COM-PORT-OPTION answers
// and notifications) and keeps what the device reports from it: received
// data, modem lines, option states and the answers the device waits for.
// It touches no socket and no thread: the device feeds it what it read,
// with the device's lock held, and sends the frames it hands back.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "serial/Rfc2217ModemState.h"
#include "serial/Rfc2217Options.h"
#include "serial/TelnetCodec.h"

namespace rfc2217 {

class ClientReceiver final : private telnet::TelnetSink {
 public:
  // Queues a control frame (an answer to the server's option request).
  using SendControl = std::function<void(const std::vector<uint8_t>& frame)>;
  using LogLine = std::function<void(const std::string& text)>;

  // Received data kept for Read(); when full the device leaves the socket
  // unread, so TCP holds the server back instead of us buffering without end.
  static constexpr size_t kReceiveCapacity = 64 * 1024;
  // SET-CONTROL answers we still expect (DTR/RTS changes are not waited for).
  static constexpr size_t kMaxExpectedControl = 64;
  // Answers are kept by command code, 0..12.
  static constexpr size_t kReplyCodes = 13;

  // The answer to a command we wait for. Only the first answer after the
  // request counts; unasked-for answers are ignored.
  struct Reply {
    bool awaited = false;
    bool answered = false;
    std::vector<uint8_t> value;
  };

  ClientReceiver(SendControl send, LogLine log);

  // Takes bytes read from the server; returns the device events they raise
  // (kEventRxChar, kEventModem, kEventLineError), none before Open().
  unsigned Feed(const uint8_t* bytes, size_t count);

  telnet::OptionNegotiator& Options() { return options_; }
  const telnet::OptionNegotiator& Options() const { return options_; }

  // Awaits the answer to `command` (below kReplyCodes), forgetting an earlier one.
  void ExpectReply(uint8_t command);
  const Reply& ReplyTo(uint8_t command) const { return replies_[command]; }
  // A SET-CONTROL we send without waiting; its answer is checked when it comes.
  void ExpectControl(uint8_t value);
  size_t ExpectedControls() const { return expectedControl_.size(); }

  // The connect sequence finished: data and events count from now on.
  void Open() { opened_ = true; }
  bool Opened() const { return opened_; }

  const ModemStateTracker& Modem() const { return modem_; }
  uint8_t TakeLineChanges() { return modem_.TakeChanges(); }

  // Takes up to `max` received bytes.
  size_t Read(uint8_t* buffer, size_t max);
  size_t Buffered() const { return received_.size(); }
  // Room left for received data.
  size_t Room() const { return kReceiveCapacity - std::min(received_.size(), kReceiveCapacity); }

  uint64_t DroppedSubnegotiations() const { return parser_.DroppedSubnegotiations(); }

 private:
  // TelnetSink
  void OnData(const uint8_t* data, size_t count) override;
  void OnOptionCommand(uint8_t command, uint8_t option) override;
  void OnSubnegotiation(uint8_t option, const uint8_t* payload, size_t count) override;
  void OnComPortAnswer(uint8_t command, const uint8_t* value, size_t count);

  SendControl send_;
  LogLine log_;
  telnet::TelnetParser parser_;
  telnet::OptionNegotiator options_;
  std::deque<uint8_t> received_;
  ModemStateTracker modem_;
  std::array<Reply, kReplyCodes> replies_;
  std::deque<uint8_t> expectedControl_;
  unsigned events_ = 0;  // raised by the Feed under way
  bool opened_ = false;
  bool loggedControlMismatch_ = false;
};

}  // namespace rfc2217
