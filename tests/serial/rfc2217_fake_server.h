#pragma once
// A scripted server for testing the network line client against peers that
// misbehave: listens on loopback, accepts one connection and runs a script
// on it in its own thread.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "serial/TelnetCodec.h"

class FakeConnection : private telnet::TelnetSink {
 public:
  explicit FakeConnection(int fd) : fd_(fd) {}
  int Fd() const { return fd_; }

  // Sends everything, waiting at most timeoutMs; returns the bytes sent.
  size_t Send(const std::vector<uint8_t>& bytes, int timeoutMs = 2000) {
    size_t done = 0;
    auto deadline = Now() + std::chrono::milliseconds(timeoutMs);
    while (done < bytes.size() && Now() < deadline) {
      pollfd p{fd_, POLLOUT, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      ssize_t n = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0 && errno != EAGAIN) break;
      if (n > 0) done += static_cast<size_t>(n);
    }
    return done;
  }

  // Reads and parses until `done` holds, answering like a plain RFC 2217
  // server if `answer` is set; false on time-out or when the client closed.
  bool ServeUntil(const std::function<bool()>& done, int timeoutMs, bool answer = true) {
    answer_ = answer;
    auto deadline = Now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
      if (Now() >= deadline) return false;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      uint8_t buf[4096];
      ssize_t n = recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) return false;
      parser_.Feed(buf, static_cast<size_t>(n), *this);
    }
    return true;
  }

  // Takes the client through its connect sequence (up to SET-CONTROL).
  bool Accept() {
    return ServeUntil([&] { return sawSetControl_; }, 5000);
  }

  std::vector<uint8_t> data;              // serial data the client sent
  std::vector<std::vector<uint8_t>> sbs;  // COM-PORT-OPTION payloads the client sent
  std::vector<uint8_t> baudReply;         // if set, answered instead of the real rate
  bool refuseComPort = false;             // answer WILL COM-PORT-OPTION with DONT

 private:
  static std::chrono::steady_clock::time_point Now() { return std::chrono::steady_clock::now(); }
  void OnData(const uint8_t* d, size_t n) override { data.insert(data.end(), d, d + n); }
  void OnOptionCommand(uint8_t command, uint8_t option) override {
    if (command == telnet::kWILL && option == telnet::kOptComPort && (answer_ || refuseComPort))
      Send(telnet::OptionFrame(refuseComPort ? telnet::kDONT : telnet::kDO, telnet::kOptComPort));
  }
  void OnSubnegotiation(uint8_t option, const uint8_t* p, size_t n) override {
    if (option != telnet::kOptComPort || n == 0) return;
    sbs.emplace_back(p, p + n);
    if (p[0] == telnet::kSetControl) sawSetControl_ = true;
    if (!answer_ || p[0] > telnet::kSetControl) return;
    if (p[0] == telnet::kSetBaudRate && !baudReply.empty())
      Send(telnet::ComPortFrame(101, baudReply.data(), baudReply.size()));
    else
      Send(telnet::ComPortFrame(static_cast<uint8_t>(p[0] + 100), p + 1, n - 1));
  }

  int fd_;
  telnet::TelnetParser parser_;
  bool answer_ = true;
  bool sawSetControl_ = false;
};

class FakeServer {
 public:
  explicit FakeServer(std::function<void(FakeConnection&)> script) {
    listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(listen_, 4);
    socklen_t len = sizeof addr;
    getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this, script] {
      pollfd p{listen_, POLLIN, 0};
      if (poll(&p, 1, 10000) <= 0) return;
      int fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) return;
      FakeConnection connection(fd);
      script(connection);
      close(fd);
    });
  }
  ~FakeServer() {
    thread_.join();
    close(listen_);
  }
  std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  int listen_ = -1;
  int port_ = 0;
  std::thread thread_;
};
