#pragma once
// A bare Telnet client for testing orbsim's server byte by byte: sends
// frames, parses what comes back and records it.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "serial/TelnetCodec.h"
#include "testsupport/ChildProcess.h"

class TelnetTestClient : private telnet::TelnetSink {
 public:
  using Bytes = std::vector<uint8_t>;
  explicit TelnetTestClient(int port) : fd_(ConnectLoopbackTcp(port)) {}
  ~TelnetTestClient() {
    if (fd_ >= 0) close(fd_);
  }
  bool Connected() const { return fd_ >= 0; }
  int Fd() const { return fd_; }

  void Send(const Bytes& bytes) { send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
  void SendComPort(uint8_t command, std::initializer_list<uint8_t> value) {
    Send(telnet::ComPortFrame(command, value));
  }

  // Reads until `done` holds; false on time-out or end of connection.
  bool ReadUntil(const std::function<bool()>& done, int timeoutMs = 2000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      uint8_t buf[4096];
      ssize_t n = recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) {
        closed = true;
        return false;
      }
      parser_.Feed(buf, static_cast<size_t>(n), *this);
    }
    return true;
  }

  // Waits for the next COM-PORT-OPTION from the server with this code (not
  // taken before) and gives its value; false on time-out.
  bool NextComPort(uint8_t code, Bytes& value, int timeoutMs = 2000) {
    size_t& cursor = cursor_[code];
    return ReadUntil([&] {
      for (; cursor < sbs.size(); ++cursor)
        if (sbs[cursor][0] == code) {
          value.assign(sbs[cursor].begin() + 1, sbs[cursor].end());
          ++cursor;
          return true;
        }
      return false;
    }, timeoutMs);
  }

  Bytes data;
  std::vector<Bytes> sbs;              // COM-PORT-OPTION payloads received
  std::vector<std::pair<uint8_t, uint8_t>> options;  // option commands received
  bool closed = false;

 private:
  void OnData(const uint8_t* d, size_t n) override { data.insert(data.end(), d, d + n); }
  void OnOptionCommand(uint8_t command, uint8_t option) override { options.emplace_back(command, option); }
  void OnSubnegotiation(uint8_t option, const uint8_t* p, size_t n) override {
    if (option == telnet::kOptComPort && n > 0) sbs.emplace_back(p, p + n);
  }

  int fd_;
  telnet::TelnetParser parser_;
  std::array<size_t, 256> cursor_{};
};
