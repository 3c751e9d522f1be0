#pragma once
// The RFC 2217 server side of one connected client: Telnet negotiation,
// COM-PORT-OPTION commands against the SimLine, data both ways. Runs in the
// server's single-threaded poll loop on a non-blocking socket.
#include <cstdint>

#include "serial/Rfc2217Options.h"
#include "serial/Rfc2217OutputQueue.h"
#include "serial/TelnetCodec.h"
#include "sim/SimLine.h"

class ClientSession final : public SimLinePeer, private telnet::TelnetSink {
 public:
  ClientSession(int fd, SimLine& line);
  ~ClientSession() override;
  ClientSession(const ClientSession&) = delete;
  ClientSession& operator=(const ClientSession&) = delete;

  int Fd() const { return fd_; }
  // poll() events wanted now. Reading pauses while the client leaves our
  // answers unread, so a client that only sends cannot grow our queue.
  short PollEvents() const;
  void OnReadable();
  void OnWritable();
  // The connection ended (closed by the client, or failed).
  bool Closed() const { return closed_; }

  // SimLinePeer
  int64_t SendSerialData(const uint8_t* data, size_t count) override;
  int64_t NotifyModemState(uint8_t levels, uint8_t changeBits, uint8_t levelDelta) override;

 private:
  // TelnetSink
  void OnData(const uint8_t* data, size_t count) override;
  void OnOptionCommand(uint8_t command, uint8_t option) override;
  void OnSubnegotiation(uint8_t option, const uint8_t* payload, size_t count) override;

  void HandleCommand(uint8_t command, const uint8_t* value, size_t count);
  void HandleBaudRate(const uint8_t* value, size_t count);
  void HandleSetControl(uint8_t value);
  void Answer(uint8_t command, const uint8_t* value, size_t count);
  void Answer(uint8_t command, uint8_t value) { Answer(command, &value, 1); }
  void QueueControl(const std::vector<uint8_t>& frame);
  void Flush();

  const int fd_;
  SimLine& line_;
  telnet::TelnetParser parser_;
  telnet::OptionNegotiator options_;
  telnet::OutputQueue out_;
  // Masks start at their standard values in every session.
  uint8_t modemMask_ = 0xFF;
  uint8_t lineMask_ = 0;
  bool comPortActive_ = false;
  bool closed_ = false;
  bool loggedDrop_ = false;
};
