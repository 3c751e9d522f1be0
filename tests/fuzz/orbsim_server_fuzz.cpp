// orbsim's RFC 2217 server under libFuzzer: what a client sends, reaching
// the simulated bus. The real ClientSession, SimLine, wires, handshake and
// devices run in-process in simulated time; the client's end of the
// session's socket is ours. The input is a script of client output (line
// data, PA-422 frames and whole transactions, option commands,
// COM-PORT-OPTION commands, other and raw Telnet), moves of the clock,
// faults switched on as the control channel would, and reconnections.
//
// What is checked, whatever the client sends:
//  - the session's output is well-formed Telnet: no subnegotiation a client
//    would have to drop, and every one a COM-PORT-OPTION server code;
//  - an option the server does not support is refused at most once per side;
//  - every frame the bus records has the length its code gives it and a
//    device address;
//  - every device keeps levels 2..50, filters 0..21, a current preset 0..8
//    and 16-byte names;
//  - once the clock has run on until nothing is pending, and again after
//    the client went away, the bus is idle: no timer left, DSR down;
// and, as long as the script holds no raw bytes, every data byte the client
// sent escaped reaches the line exactly once and in order.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "link/PA422Messages.h"
#include "serial/TelnetCodec.h"
#include "sim/BusCommands.h"
#include "sim/ClientSession.h"
#include "sim/DeviceBus.h"
#include "sim/Hex.h"
#include "sim/SimLine.h"
#include "sim/TimerQueue.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/simulated_clock.h"

using namespace telnet;
using Bytes = std::vector<uint8_t>;


namespace {

constexpr int64_t kMs = 1'000'000;

// The server's output as a client decodes it.
struct ServerOutput : TelnetSink {
  std::array<int, 512> refusals{};  // WONT, then DONT, by option
  void OnData(const uint8_t*, size_t) override {}
  void OnOptionCommand(uint8_t command, uint8_t option) override {
    const bool supported = option == kOptBinary || option == kOptSuppressGoAhead || option == kOptComPort;
    if (!supported && (command == kWONT || command == kDONT))
      FUZZ_CHECK(++refusals[(command == kWONT ? 0 : 256) + option] == 1);
  }
  void OnSubnegotiation(uint8_t option, const uint8_t* payload, size_t count) override {
    FUZZ_CHECK(option == kOptComPort);
    FUZZ_CHECK(count >= 1 && payload[0] >= kServerOffset && payload[0] <= kServerOffset + kPurgeData);
  }
};

class Harness {
 public:
  explicit Harness(const BusConfig& config) : bus_(line_, timers_, config), addresses_(config.addresses) {
    line_.OnBytesFromClient([this](const uint8_t* data, size_t count) {
      onLine_.insert(onLine_.end(), data, data + count);
    });
    Connect();
  }

  ~Harness() {
    session_.reset();
    if (peer_ >= 0) close(peer_);
  }

  void Run(FuzzInput& in) {
    while (!in.Empty()) Step(in);
    Deliver(0);
    RunUntilQuiet();
    Disconnect();
    CheckData();
  }

 private:
  void Connect() {
    int fds[2];
    FUZZ_CHECK(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0);
    fcntl(fds[1], F_SETFL, O_NONBLOCK);
    peer_ = fds[1];
    session_ = std::make_unique<ClientSession>(fds[0], line_);
    output_ = ServerOutput{};
    parser_.Reset();
    Pump();
  }

  // The client goes away: the bus must be left idle at once.
  void Disconnect() {
    Pump();
    session_.reset();
    close(peer_);
    peer_ = -1;
    FUZZ_CHECK(!line_.HasClient() && !line_.Dtr() && !line_.Rts());
    FUZZ_CHECK(timers_.Empty());
    FUZZ_CHECK((line_.ModemLevels() & kSimDSR) == 0);
    CheckBus();
  }

  void Step(FuzzInput& in) {
    switch (in.Byte() % 14) {
      case 0:  // line data, escaped
        Data(in.Bytes(in.Byte()));
        break;
      case 1: {  // raw bytes: the stream may be anything from here on
        Bytes raw = in.Bytes(in.Byte());
        pending_.insert(pending_.end(), raw.begin(), raw.end());
        exact_ = false;
        break;
      }
      case 2: {  // an option command
        const uint8_t command = static_cast<uint8_t>(kWILL + in.Byte() % 4);
        const uint8_t pick = in.Byte();
        static const uint8_t kOptions[] = {kOptBinary, kOptEcho, kOptSuppressGoAhead, kOptComPort};
        Bytes frame = OptionFrame(command, pick < 192 ? kOptions[pick % 4] : in.Byte());
        pending_.insert(pending_.end(), frame.begin(), frame.end());
        break;
      }
      case 3: {  // any COM-PORT-OPTION command with any value
        const uint8_t command = in.Byte();
        ComPort(command < 240 ? command % 16 : command, in.Bytes(in.Byte() % 8));
        break;
      }
      case 4:  // the line set up as the devices listen, or nearly
        DeviceLine(in.Byte());
        break;
      case 5: {  // DTR or RTS
        static const uint8_t kValues[] = {kControlDtrOn, kControlDtrOff, kControlRtsOn, kControlRtsOff};
        ComPort(kSetControl, {kValues[in.Byte() % 4]});
        break;
      }
      case 6: {  // a command frame alone, as line data
        const std::string frame = Frame(in);
        Data(Bytes(frame.begin(), frame.end()));
        break;
      }
      case 7:  // a whole transaction, with the host's waits
        Transaction(in);
        break;
      case 8:  // the clock moves on
        Advance(Delay(in.Byte()));
        break;
      case 9:  // what the control channel does to the bus meanwhile
        BusCommand(in);
        break;
      case 10:  // a command that carries nothing (NOP, GA, a stray SE ...)
        pending_.insert(pending_.end(), {kIAC, static_cast<uint8_t>(240 + in.Byte() % 10)});
        break;
      case 11: {  // a subnegotiation of any option and length, past the cap too
        const uint8_t option = in.Byte();
        const size_t length = in.Word() % 400;
        const uint8_t fill = in.Byte();
        Bytes frame = {kIAC, kSB, option};
        Bytes payload(length, fill);
        if (!payload.empty()) payload[0] = in.Byte();
        AppendEscaped(frame, payload.data(), payload.size());
        frame.insert(frame.end(), {kIAC, kSE});
        pending_.insert(pending_.end(), frame.begin(), frame.end());
        break;
      }
      case 12:  // what was built so far arrives, in pieces of this size
        Deliver(1 + in.Byte() * 16);
        break;
      case 13:  // the client reconnects
        Deliver(0);
        Disconnect();
        CheckData();
        Connect();
        break;
    }
  }

  // 1 µs to 63 s, spread so that byte times, latencies and time-outs all occur.
  static int64_t Delay(uint8_t b) {
    static const int64_t kUnits[] = {1'000, 100'000, 10 * kMs, 1'000 * kMs};
    return (b & 0x3F) * kUnits[b >> 6];
  }

  void Data(const Bytes& data) {
    AppendEscaped(pending_, data.data(), data.size());
    sentData_.insert(sentData_.end(), data.begin(), data.end());
  }

  void ComPort(uint8_t command, const Bytes& value) {
    Bytes frame;
    if (command != kIAC) {
      frame = ComPortFrame(command, value.data(), value.size());
    } else {
      Bytes payload{command};
      payload.insert(payload.end(), value.begin(), value.end());
      frame = {kIAC, kSB, kOptComPort};
      AppendEscaped(frame, payload.data(), payload.size());
      frame.insert(frame.end(), {kIAC, kSE});
    }
    pending_.insert(pending_.end(), frame.begin(), frame.end());
  }

  // 19200 baud, 8 data bits, even parity, one stop bit: what the devices
  // listen to. One setting in four of the variants is off.
  void DeviceLine(uint8_t variant) {
    const bool off = (variant & 3) == 3;
    ComPort(kSetBaudRate, BaudBytes(off && (variant & 4) ? 9600 : 19200));
    ComPort(kSetDataSize, {static_cast<uint8_t>(off && (variant & 8) ? 7 : 8)});
    ComPort(kSetParity, {static_cast<uint8_t>(off && (variant & 16) ? 1 : 3)});
    ComPort(kSetStopSize, {1});
    if (variant & 32) ComPort(kSetBaudRate, {10});  // the Cisco index for 19200
  }

  uint8_t Address(uint8_t pick) const {
    if (addresses_.empty() || pick >= 240) return pick;
    return addresses_[pick % addresses_.size()];
  }

  // A PA-422 command frame: mostly well-formed with the right password,
  // sometimes with a wrong one or values out of range, or any code at all.
  static std::string Frame(FuzzInput& in) {
    const uint8_t kind = in.Byte();
    const uint8_t flags = in.Byte();
    const std::string password = flags & 1 ? "KOBO" : pa422::kDevicePassword;
    auto value = [&](int low, int high) {
      const uint8_t b = in.Byte();
      return flags & 2 ? b : static_cast<uint8_t>(low + b % (high - low + 1));
    };
    switch (kind % 12) {
      case 0: return pa422::RecallAllDataFrame(value(0, 8));
      case 1: {
        pa422::TransmitSettings s;
        for (auto& level : s.levels) level = value(pa422::kMinLevel, pa422::kMaxLevel);
        s.highPass = value(0, pa422::kMaxFilterIndex);
        s.lowPass = value(0, pa422::kMaxFilterIndex);
        s.presetName = "FUZZ";
        s.reserved = in.Byte();
        s.preset = value(0, 8);
        std::string block = pa422::TransmitBlock(password, s);
        if (flags & 4) block[0] = static_cast<char>(in.Byte());  // the channel
        return pa422::TransmitAllDataFrame(block);
      }
      case 2: return pa422::ReprogramFromMemoryFrame(value(0, 8));
      case 3: return pa422::MuteAllOutputsFrame();
      case 4: return pa422::UnmuteAllOutputsFrame();
      case 5: return pa422::BypassFrame(password);
      case 6: return pa422::UnbypassFrame(password);
      case 7: {
        Bytes name = in.Bytes(16);
        return pa422::SetDeviceNameFrame(password, std::string(name.begin(), name.end()));
      }
      case 8: return pa422::LockPresetFrame(value(1, 8), password);
      case 9: return pa422::UnlockPresetFrame(value(1, 8), password);
      case 10: {
        const uint8_t parameter = flags & 8 ? in.Byte() : (in.Byte() & 1 ? pa422::kGainParameter : value(2, 30));
        return pa422::UpdateParameterFrame(parameter, password, value(pa422::kMinLevel, pa422::kMaxLevel));
      }
      default: {  // any code, with bytes after it
        Bytes bytes = in.Bytes(1 + in.Byte() % 8);
        return std::string(bytes.begin(), bytes.end());
      }
    }
  }

  // Address, DTR up once DSR had time to rise, the frame once the DT/ID had
  // time to come, DTR down after the reply; the waits come from the input.
  void Transaction(FuzzInput& in) {
    Data({Address(in.Byte())});
    Deliver(0);
    Advance(Delay(in.Byte()));
    ComPort(kSetControl, {kControlDtrOn});
    Deliver(0);
    Advance(Delay(in.Byte()));
    const std::string frame = Frame(in);
    Data(Bytes(frame.begin(), frame.end()));
    Deliver(0);
    Advance(Delay(in.Byte()));
    ComPort(kSetControl, {kControlDtrOff});
  }

  void BusCommand(FuzzInput& in) {
    const std::string address = std::to_string(Address(in.Byte()));
    static const char* const kFaults[] = {"absent",      "dtid 1 2",    "split-dtid", "status 5",
                                          "long-reply",  "short-reply", "mute-frame", "clear"};
    const uint8_t pick = in.Byte();
    std::string command;
    switch (pick % 4) {
      case 0:
      case 1:
        command = "fault " + address + " " + kFaults[in.Byte() % 8];
        break;
      case 2:
        command = "fault " + address + " after " + std::to_string(1 + in.Byte() % 3) + " " +
                  kFaults[in.Byte() % 8];
        break;
      default:
        if (pick & 4) {
          command = "fault clear";
        } else {
          Bytes bytes = in.Bytes(1 + in.Byte() % 4);
          command = "stray " + ToHex(bytes.data(), bytes.size());
        }
        break;
    }
    std::vector<std::string> words;
    for (size_t at = 0; at < command.size();) {
      size_t end = command.find(' ', at);
      if (end == std::string::npos) end = command.size();
      words.push_back(command.substr(at, end - at));
      at = end + 1;
    }
    auto reply = RunBusCommand(words, bus_);
    FUZZ_CHECK(reply && (reply->rfind("ok", 0) == 0 || reply->rfind("error", 0) == 0));
  }

  // Sends the pending bytes to the session in pieces of `piece` bytes (all
  // at once for 0), reading each as the server loop would.
  void Deliver(size_t piece) {
    size_t at = 0;
    while (at < pending_.size()) {
      const size_t n = piece == 0 ? pending_.size() - at : std::min(piece, pending_.size() - at);
      size_t written = 0;
      for (int tries = 0; written < n; ++tries) {
        // The socket holds far more than one input; full, the session must
        // be reading again once we have read its answers.
        FUZZ_CHECK(tries < 1000);
        ssize_t w = send(peer_, pending_.data() + at + written, n - written, MSG_NOSIGNAL);
        if (w > 0) written += static_cast<size_t>(w);
        FUZZ_CHECK(w > 0 || errno == EAGAIN || errno == EINTR);
        Pump();
      }
      at += n;
    }
    pending_.clear();
    Pump();
  }

  // One turn of the server loop for the session: it reads what it wants
  // and sends what it can, and we read its output, until nothing moves.
  void Pump() {
    if (!session_) return;
    for (int turn = 0; turn < 1000; ++turn) {
      const short events = session_->PollEvents();
      if (events & POLLOUT) session_->OnWritable();
      bool moved = ReadOutput();
      int waiting = 0;
      if ((events & POLLIN) && ioctl(session_->Fd(), FIONREAD, &waiting) == 0 && waiting > 0) {
        session_->OnReadable();
        moved = true;
      }
      FUZZ_CHECK(!session_->Closed());
      if (!moved) return;
    }
  }

  bool ReadOutput() {
    return DrainSocket(peer_, [this](const uint8_t* data, size_t count) {
      parser_.Feed(data, count, output_);
      FUZZ_CHECK(parser_.DroppedSubnegotiations() == 0);
    });
  }

  // Runs the timers due by now + delay, each at its own time.
  void Advance(int64_t delay) {
    Deliver(0);
    const int64_t target = simulatedNow + delay;
    for (;;) {
      const int64_t next = timers_.NextDueNs();
      if (next < 0 || next > target) break;
      simulatedNow = std::max(simulatedNow, next);
      timers_.RunDue(simulatedNow);
    }
    simulatedNow = target;
    Pump();
    CheckBus();
  }

  // Lets every pending step and time-out happen: the bus ends idle.
  void RunUntilQuiet() {
    for (int step = 0; step < 1'000'000 && !timers_.Empty(); ++step) {
      simulatedNow = std::max(simulatedNow, timers_.NextDueNs());
      timers_.RunDue(simulatedNow);
      if (step % 256 == 255) Pump();
    }
    Pump();
    FUZZ_CHECK(timers_.Empty());
    FUZZ_CHECK((line_.ModemLevels() & kSimDSR) == 0);
    CheckBus();
  }

  void CheckBus() {
    for (const std::string& entry : bus_.TakeFrames().entries) {
      if (entry.front() == '<') {
        FUZZ_CHECK(entry == "<253>" || entry == "<254>");
        continue;
      }
      const size_t colon = entry.find(':');
      FUZZ_CHECK(colon != std::string::npos);
      const int address = std::stoi(entry.substr(0, colon));
      FUZZ_CHECK(std::count(addresses_.begin(), addresses_.end(), address) == 1);
      auto frame = FromHex(entry.substr(colon + 1));
      FUZZ_CHECK(frame && !frame->empty());
      const int length = pa422::FrameLength((*frame)[0]);
      FUZZ_CHECK(static_cast<int>(frame->size()) == (length == 0 ? 1 : length));
    }
    for (uint8_t address : addresses_) {
      const OrbDevice* device = bus_.Device(address);
      FUZZ_CHECK(device != nullptr);
      const DeviceMemory& m = device->Memory();
      FUZZ_CHECK(m.currentPreset <= DeviceMemory::kStoredPresets);
      FUZZ_CHECK(m.name.size() == pa422::kNameLength);
      for (const PresetMemory& p : m.presets) {
        for (uint8_t level : p.levels) FUZZ_CHECK(level >= pa422::kMinLevel && level <= pa422::kMaxLevel);
        FUZZ_CHECK(p.highPass <= pa422::kMaxFilterIndex && p.lowPass <= pa422::kMaxFilterIndex);
        FUZZ_CHECK(p.name.size() == pa422::kNameLength);
      }
    }
  }

  void CheckData() {
    if (exact_) FUZZ_CHECK(onLine_ == sentData_);
  }

  SimLine line_;
  TimerQueue timers_;
  DeviceBus bus_;
  const std::vector<uint8_t> addresses_;
  std::unique_ptr<ClientSession> session_;
  int peer_ = -1;
  TelnetParser parser_;
  ServerOutput output_;
  Bytes pending_;   // built, not sent yet
  Bytes sentData_;  // line data sent escaped
  Bytes onLine_;    // what reached the line
  bool exact_ = true;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const uint8_t setup = in.Byte();
  static const std::vector<uint8_t> kBuses[] = {{1}, {1, 2}, {3, 7, 240}, {}};
  BusConfig config;
  config.addresses = kBuses[setup & 3];
  config.pacing = (setup & 4) == 0;
  static const int64_t kLatencies[] = {0, 0, kMs, 50 * kMs};
  config.latencyNs = kLatencies[(setup >> 3) & 3];
  if (setup & 32) config.logPath = "/dev/null";  // the transaction log's lines are made too
  simulatedNow = 1'000'000 * kMs;
  Harness harness(config);
  harness.Run(in);
  return 0;
}
