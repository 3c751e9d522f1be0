#pragma once
// The wire from the devices to the client. One device write reaches the
// client in one piece once its last byte has crossed the wire; writes queue
// behind each other. Modem line changes queue with the data, so a DSR
// change never overtakes bytes sent before it.
#include <cstdint>
#include <deque>
#include <string>

#include "sim/SimLine.h"
#include "sim/TimerQueue.h"
#include "sim/WireTiming.h"

class OutboundWire {
 public:
  OutboundWire(SimLine& line, TimerQueue& timers, WireTiming timing);
  ~OutboundWire();
  OutboundWire(const OutboundWire&) = delete;
  OutboundWire& operator=(const OutboundWire&) = delete;

  void Write(const std::string& bytes);
  void SetModemLine(uint8_t line, bool on);
  // The client went away: queued modem changes take effect now (the line
  // keeps its levels for the next client), queued data is dropped.
  void Reset();
  // When everything queued so far will have reached the client.
  int64_t DrainedAtNs() const;
  // Data bytes queued that have not reached the client yet.
  size_t QueuedBytes() const { return queuedBytes_; }

 private:
  struct Item {
    int64_t dueNs;
    std::string bytes;  // empty for a modem change
    uint8_t modemLine = 0;
    bool on = false;
  };
  void Arm();
  void Fire();
  void Put(const Item& item);

  SimLine& line_;
  TimerQueue& timers_;
  const WireTiming timing_;
  std::deque<Item> items_;
  int64_t lastDueNs_ = 0;
  size_t queuedBytes_ = 0;
  TimerQueue::Id timer_ = 0;
};
