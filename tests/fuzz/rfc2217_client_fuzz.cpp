// The network line client's decoding of what a server sends, under
// libFuzzer. The input is a script: server output built from data, option
// commands, COM-PORT-OPTION answers and notifications, other and broken
// subnegotiations and raw bytes, fed to the client's ClientReceiver in
// chunks of any size, between the client's own steps (requesting options,
// awaiting answers, opening, reading).
//
// What is checked, whatever the server sends:
//  - no option is on at our end or the server's unless we support it, an
//    option that is on is never also marked refused, an answer is only
//    WILL/WONT/DO/DONT and an option we do not support is refused at most
//    once per side, so no flood of requests gets a flood of answers;
//  - modem lines and line changes use only the four line bits, events only
//    the receiving ones, and none come before the port is open;
//  - no subnegotiation longer than the parser's cap gets through.
// As long as the script holds no raw bytes (so the stream is well formed),
// also: the data reads back exactly once and in order, the commands and
// subnegotiations come out as built, over-long and broken-off
// subnegotiations are dropped and counted, the modem levels are those of
// the last report, and each awaited answer is the first one after its
// request.
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "serial/Rfc2217Receiver.h"
#include "serial/SerialDevice.h"
#include "serial/TelnetCodec.h"
#include "tests/fuzz/fuzz_input.h"

using namespace telnet;
using rfc2217::ClientReceiver;
using Side = OptionNegotiator::Side;
using Bytes = std::vector<uint8_t>;

namespace {

bool Supported(uint8_t option) {
  return option == kOptBinary || option == kOptSuppressGoAhead || option == kOptComPort;
}

// What a parser reports, with runs of data joined, so that two parses of
// the same stream compare equal however it was split.
struct Decoded : TelnetSink {
  struct Event {
    int kind;  // 0 data, 1 option command, 2 subnegotiation
    Bytes bytes;
    bool operator==(const Event&) const = default;
  };
  std::vector<Event> events;
  size_t longestSubnegotiation = 0;

  void Add(int kind, Bytes bytes) {
    if (kind == 0 && !events.empty() && events.back().kind == 0) {
      events.back().bytes.insert(events.back().bytes.end(), bytes.begin(), bytes.end());
      return;
    }
    if (kind == 0 && bytes.empty()) return;
    events.push_back({kind, std::move(bytes)});
  }
  void OnData(const uint8_t* data, size_t count) override { Add(0, Bytes(data, data + count)); }
  void OnOptionCommand(uint8_t command, uint8_t option) override { Add(1, {command, option}); }
  void OnSubnegotiation(uint8_t option, const uint8_t* payload, size_t count) override {
    if (count > longestSubnegotiation) longestSubnegotiation = count;
    Bytes bytes{option};
    bytes.insert(bytes.end(), payload, payload + count);
    Add(2, std::move(bytes));
  }
};

// What the client should hold after a well-formed stream, worked out from
// the script as it is built.
struct Model {
  Decoded built;              // the events the stream was built from
  std::deque<uint8_t> data;   // line data not read yet
  uint64_t dropped = 0;       // subnegotiations dropped
  uint8_t levels = 0;         // modem levels of the last report
  std::array<ClientReceiver::Reply, ClientReceiver::kReplyCodes> replies{};
  std::deque<uint8_t> expectedControl;
  bool opened = false;

  // A COM-PORT-OPTION subnegotiation the client keeps (not dropped).
  void ComPort(const Bytes& payload) {
    if (payload.empty() || payload[0] < kServerOffset) return;
    const uint8_t command = static_cast<uint8_t>(payload[0] - kServerOffset);
    const Bytes value(payload.begin() + 1, payload.end());
    if (command == kNotifyModemState) {
      if (!value.empty()) levels = value[0] & 0xF0;
      return;
    }
    if (command == kNotifyLineState || command == kFlowControlSuspend || command == kFlowControlResume ||
        command >= replies.size())
      return;
    if (command == kSetControl && !value.empty() && !expectedControl.empty()) expectedControl.pop_front();
    auto& reply = replies[command];
    if (!reply.awaited || reply.answered) return;
    reply.answered = true;
    reply.value = value;
  }
};

class Harness {
 public:
  Harness()
      : receiver_([this](const Bytes& frame) { answers_.insert(answers_.end(), frame.begin(), frame.end()); },
                  [](const std::string&) {}) {
    // As the device sets it up.
    receiver_.Options().Accept(kOptBinary, true, true);
    receiver_.Options().Accept(kOptSuppressGoAhead, true, true);
    receiver_.Options().Accept(kOptComPort, true, true);
  }

  void Run(FuzzInput& in) {
    while (!in.Empty()) Step(in);
    Feed(0);
    for (int option = 0; option < 256; ++option) Touch(static_cast<uint8_t>(option));
    CheckState();
    Read(receiver_.Buffered());
    if (exact_) {
      FUZZ_CHECK(model_.data.empty());
      FUZZ_CHECK(decoded_.events == model_.built.events);
    }
  }

 private:
  void Step(FuzzInput& in) {
    switch (in.Byte() % 16) {
      case 0: {  // line data, escaped
        Bytes data = in.Bytes(in.Byte());
        AppendEscaped(pending_, data.data(), data.size());
        model_.built.Add(0, data);
        if (model_.opened) model_.data.insert(model_.data.end(), data.begin(), data.end());
        break;
      }
      case 1: {  // an option command, on its own to see its answer when asked
        const uint8_t command = static_cast<uint8_t>(kWILL + in.Byte() % 4);
        const uint8_t pick = in.Byte();
        static const uint8_t kOptions[] = {kOptBinary, kOptEcho, kOptSuppressGoAhead, kOptComPort};
        const uint8_t option = pick < 128 ? kOptions[pick % 4] : in.Byte();
        Bytes frame = OptionFrame(command, option);
        model_.built.Add(1, {command, option});
        if ((pick & 1) && exact_) {  // after raw bytes it may not parse as built
          Feed(0);
          pending_ = frame;
          CheckedOptionCommand(command, option);
        } else {
          pending_.insert(pending_.end(), frame.begin(), frame.end());
        }
        break;
      }
      case 2: {  // any COM-PORT-OPTION command, mostly server codes
        const uint8_t code = in.Byte();
        const uint8_t command = code < 224 ? static_cast<uint8_t>(kServerOffset + code % 16) : code;
        ComPort(command, in.Bytes(in.Byte() % 8));
        break;
      }
      case 3:  // NOTIFY-MODEMSTATE
        ComPort(kServerOffset + kNotifyModemState, {in.Byte()});
        break;
      case 4:  // NOTIFY-LINESTATE
        ComPort(kServerOffset + kNotifyLineState, {in.Byte()});
        break;
      case 5: {  // a subnegotiation of any length, past the cap too
        const uint8_t option = in.Byte();
        const size_t length = in.Word() % 400;
        Bytes pattern = in.Bytes(1 + in.Byte() % 16);
        if (pattern.empty()) pattern.push_back(0);
        Bytes payload;
        for (size_t i = 0; i < length; ++i) payload.push_back(pattern[i % pattern.size()]);
        Bytes frame = {kIAC, kSB, option};
        AppendEscaped(frame, payload.data(), payload.size());
        frame.insert(frame.end(), {kIAC, kSE});
        pending_.insert(pending_.end(), frame.begin(), frame.end());
        Kept(option, payload);
        break;
      }
      case 6: {  // a subnegotiation broken off by another command
        const uint8_t option = in.Byte();
        Bytes payload = in.Bytes(in.Byte() % 8);
        Bytes frame = {kIAC, kSB, option};
        AppendEscaped(frame, payload.data(), payload.size());
        frame.insert(frame.end(), {kIAC, static_cast<uint8_t>(241 + in.Byte() % 9)});  // NOP..GA
        pending_.insert(pending_.end(), frame.begin(), frame.end());
        ++model_.dropped;
        break;
      }
      case 7: {  // a command that carries nothing for a serial line (stray SE, NOP, GA ...)
        pending_.insert(pending_.end(), {kIAC, static_cast<uint8_t>(240 + in.Byte() % 10)});
        break;
      }
      case 8: {  // raw bytes: the stream may be anything from here on
        Bytes raw = in.Bytes(in.Byte());
        pending_.insert(pending_.end(), raw.begin(), raw.end());
        exact_ = false;
        break;
      }
      case 9:  // what has been built so far arrives, in pieces of this size
        Feed(1 + in.Byte());
        break;
      case 10: {  // our own option requests, as the connect sequence makes them
        static const std::pair<Side, uint8_t> kRequests[] = {
            {Side::Local, kOptComPort},         {Side::Local, kOptBinary}, {Side::Remote, kOptBinary},
            {Side::Local, kOptSuppressGoAhead}, {Side::Remote, kOptSuppressGoAhead}};
        const auto& [side, option] = kRequests[in.Byte() % 5];
        Feed(0);
        Bytes offer;
        receiver_.Options().Request(side, option, offer);
        break;
      }
      case 11: {  // a setting sent: its answer is awaited
        const uint8_t command = static_cast<uint8_t>(kSetBaudRate + in.Byte() % 5);  // 1..5
        Feed(0);
        receiver_.ExpectReply(command);
        model_.replies[command].awaited = true;
        model_.replies[command].answered = false;
        break;
      }
      case 12: {  // DTR or RTS changed: its SET-CONTROL answer is expected, not awaited
        static const uint8_t kValues[] = {kControlDtrOn, kControlDtrOff, kControlRtsOn, kControlRtsOff};
        const uint8_t value = kValues[in.Byte() % 4];
        Feed(0);
        receiver_.ExpectControl(value);
        if (model_.expectedControl.size() >= ClientReceiver::kMaxExpectedControl)
          model_.expectedControl.pop_front();
        model_.expectedControl.push_back(value);
        break;
      }
      case 13:  // the connect sequence is over
        Feed(0);
        receiver_.Open();
        model_.opened = true;
        break;
      case 14:  // the program reads
        Feed(0);
        Read(in.Byte());
        break;
      case 15:
        Feed(0);
        FUZZ_CHECK((receiver_.TakeLineChanges() & ~kLineStates) == 0);
        break;
    }
  }

  // IAC SB COM-PORT-OPTION <command> <value> IAC SE, the value escaped (the
  // command too, in the one case where it is an IAC).
  void ComPort(uint8_t command, const Bytes& value) {
    Bytes payload{command};
    payload.insert(payload.end(), value.begin(), value.end());
    Bytes frame;
    if (command != kIAC) {
      frame = ComPortFrame(command, value.data(), value.size());
    } else {
      frame = {kIAC, kSB, kOptComPort};
      AppendEscaped(frame, payload.data(), payload.size());
      frame.insert(frame.end(), {kIAC, kSE});
    }
    pending_.insert(pending_.end(), frame.begin(), frame.end());
    Kept(kOptComPort, payload);
  }

  // A whole subnegotiation: kept up to the cap, dropped beyond it.
  void Kept(uint8_t option, const Bytes& payload) {
    if (payload.size() > TelnetParser::kMaxSubnegotiation) {
      ++model_.dropped;
      return;
    }
    Bytes bytes{option};
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    model_.built.Add(2, bytes);
    if (option == kOptComPort) model_.ComPort(payload);
  }

  // Hands the pending bytes to the client in pieces of `piece` bytes (all at
  // once for 0), and to a second parser that records what it finds.
  void Feed(size_t piece) {
    size_t at = 0;
    while (at < pending_.size()) {
      const size_t n = piece == 0 ? pending_.size() - at : std::min(piece, pending_.size() - at);
      for (size_t i = at; i < at + n; ++i) Touch(pending_[i]);
      const unsigned events = receiver_.Feed(pending_.data() + at, n);
      reference_.Feed(pending_.data() + at, n, decoded_);
      FUZZ_CHECK((events & ~(kEventRxChar | kEventModem | kEventLineError)) == 0);
      if (!receiver_.Opened()) FUZZ_CHECK(events == 0);
      at += n;
    }
    if (pending_.empty()) return;
    pending_.clear();
    CheckState();
  }

  // Feeds one option command alone and checks its answer: one is sent only
  // when the option changed state, or to refuse an unsupported option the
  // first time, and it tells the state the option is in now.
  void CheckedOptionCommand(uint8_t command, uint8_t option) {
    const Side side = command == kDO || command == kDONT ? Side::Local : Side::Remote;
    const bool before = receiver_.Options().Enabled(side, option);
    const size_t answered = answers_.size();
    Feed(0);
    const bool after = receiver_.Options().Enabled(side, option);
    if (answers_.size() == answered) return;
    FUZZ_CHECK(answers_.size() == answered + 3);
    const uint8_t verb = answers_[answered + 1];
    const bool yes = verb == kWILL || verb == kDO;
    FUZZ_CHECK(answers_[answered + 2] == option);
    FUZZ_CHECK((side == Side::Local) == (verb == kWILL || verb == kWONT));
    FUZZ_CHECK(yes == after);
    FUZZ_CHECK(before != after || (!Supported(option) && !after));
  }

  void Read(size_t max) {
    Bytes got(max);
    got.resize(receiver_.Read(got.data(), got.size()));
    if (!exact_) return;
    FUZZ_CHECK(got.size() == std::min(max, model_.data.size()));
    for (uint8_t b : got) {
      FUZZ_CHECK(b == model_.data.front());
      model_.data.pop_front();
    }
  }

  void Touch(uint8_t option) {
    if (touched_[option]) return;
    touched_[option] = true;
    touchedList_.push_back(option);
  }

  void CheckState() {
    // The options whose number was among the bytes fed since the last
    // check (any byte may turn out to be an option number).
    const OptionNegotiator& options = receiver_.Options();
    for (uint8_t option : touchedList_) {
      touched_[option] = false;
      for (Side side : {Side::Local, Side::Remote}) {
        if (!options.Enabled(side, option)) continue;
        FUZZ_CHECK(Supported(option));
        FUZZ_CHECK(!options.Refused(side, option));
      }
    }
    touchedList_.clear();
    // Every answer is a whole option command; unsupported options are
    // refused once per side at most.
    FUZZ_CHECK(answers_.size() % 3 == 0);
    for (; answersChecked_ < answers_.size(); answersChecked_ += 3) {
      const size_t i = answersChecked_;
      FUZZ_CHECK(answers_[i] == kIAC);
      const uint8_t verb = answers_[i + 1], option = answers_[i + 2];
      FUZZ_CHECK(verb == kWILL || verb == kWONT || verb == kDO || verb == kDONT);
      if (!Supported(option)) {
        FUZZ_CHECK(verb == kWONT || verb == kDONT);
        FUZZ_CHECK(++refusals_[(verb == kWONT ? 0 : 256) + option] == 1);
      }
    }
    FUZZ_CHECK((receiver_.Modem().Levels() & ~kLineStates) == 0);
    FUZZ_CHECK(decoded_.longestSubnegotiation <= TelnetParser::kMaxSubnegotiation);
    FUZZ_CHECK(receiver_.Buffered() <= ClientReceiver::kReceiveCapacity);
    FUZZ_CHECK(receiver_.ExpectedControls() <= ClientReceiver::kMaxExpectedControl);
    if (!exact_) return;
    FUZZ_CHECK(receiver_.DroppedSubnegotiations() == model_.dropped);
    FUZZ_CHECK(reference_.DroppedSubnegotiations() == model_.dropped);
    FUZZ_CHECK(receiver_.Modem().Levels() == model_.levels);
    FUZZ_CHECK(receiver_.ExpectedControls() == model_.expectedControl.size());
    for (size_t command = 0; command < model_.replies.size(); ++command) {
      const auto& got = receiver_.ReplyTo(static_cast<uint8_t>(command));
      const auto& want = model_.replies[command];
      FUZZ_CHECK(got.awaited == want.awaited && got.answered == want.answered);
      if (want.answered) FUZZ_CHECK(got.value == want.value);
    }
  }

  Bytes answers_;  // what the client sent back
  size_t answersChecked_ = 0;
  std::array<int, 512> refusals_{};  // WONT, then DONT, by option
  std::array<bool, 256> touched_{};
  std::vector<uint8_t> touchedList_;
  ClientReceiver receiver_;
  TelnetParser reference_;
  Decoded decoded_;
  Bytes pending_;  // built, not fed yet
  Model model_;
  bool exact_ = true;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  Harness harness;
  harness.Run(in);
  return 0;
}
