#pragma once
// A PA-422 host written by hand for testing the simulated devices: an RFC
// 2217 client at 19200 8E1 that writes bytes, drives DTR, watches DSR and
// reads what the devices send, one step at a time.
#include <algorithm>
#include <chrono>
#include <string>

#include "tests/sim/telnet_test_client.h"

class Pa422TestHost : public TelnetTestClient {
 public:
  using Steady = std::chrono::steady_clock;

  explicit Pa422TestHost(int port, uint32_t baud = 19200, uint8_t parity = 3 /* even */)
      : TelnetTestClient(port) {
    using namespace telnet;
    Send(OptionFrame(kWILL, kOptComPort));
    auto rate = BaudBytes(baud);
    Send(ComPortFrame(kSetBaudRate, rate.data(), rate.size()));
    SendComPort(kSetDataSize, {8});
    SendComPort(kSetParity, {parity});
    Bytes answer;
    NextComPort(kServerOffset + kSetParity, answer);  // the settings are in force
  }

  void Dtr(bool on) { SendComPort(telnet::kSetControl, {on ? telnet::kControlDtrOn : telnet::kControlDtrOff}); }
  void Write(const std::string& bytes) {
    Send(telnet::EscapeData(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
  }
  void Write(uint8_t byte) { Write(std::string(1, static_cast<char>(byte))); }

  // Takes DSR notifications in order until one shows `level`.
  bool WaitDsr(bool level, int timeoutMs = 2000) {
    Bytes value;
    auto deadline = Steady::now() + std::chrono::milliseconds(timeoutMs);
    while (Steady::now() < deadline) {
      int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                      deadline - Steady::now()).count());
      if (!NextComPort(telnet::kServerOffset + telnet::kNotifyModemState, value, left)) return false;
      if (!value.empty() && ((value[0] & 0x20) != 0) == level) return true;
    }
    return false;
  }

  // The next `count` bytes the devices sent; fewer when they do not come.
  std::string Read(size_t count, int timeoutMs = 2000) {
    ReadUntil([&] { return data.size() - taken_ >= count; }, timeoutMs);
    return Take(count);
  }
  // Whatever arrives within `ms`.
  std::string ReadFor(int ms) {
    ReadUntil([] { return false; }, ms);
    return Take(data.size() - taken_);
  }

  // A whole transaction: address, DSR, DTR, DT/ID, frame, reply of
  // `replyLength` bytes, DTR off, DSR off. Empty DT/ID when DSR never rose.
  struct Exchange {
    std::string dtId;
    std::string reply;
    bool dsrDropped = false;
  };
  Exchange Transact(uint8_t address, const std::string& frame, size_t replyLength) {
    Exchange x;
    Write(address);
    if (!WaitDsr(true)) return x;
    Dtr(true);
    x.dtId = Read(2);
    Write(frame);
    x.reply = Read(replyLength);
    Dtr(false);
    x.dsrDropped = WaitDsr(false);
    return x;
  }

 private:
  std::string Take(size_t count) {
    count = std::min(count, data.size() - taken_);
    std::string out(data.begin() + static_cast<long>(taken_), data.begin() + static_cast<long>(taken_ + count));
    taken_ += count;
    return out;
  }

  size_t taken_ = 0;
};
