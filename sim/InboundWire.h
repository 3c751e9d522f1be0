#pragma once
// The wire from the client to the devices: each byte the client writes
// reaches the devices only once it has crossed the wire, one byte time
// after the one before it. Bytes sent while the line is not set the way the
// devices listen (19200 baud, 8 data bits, even parity) are noise to them
// and never reach them.
#include <cstdint>
#include <deque>
#include <functional>

#include "sim/SimLine.h"
#include "sim/TimerQueue.h"
#include "sim/WireTiming.h"

class InboundWire {
 public:
  using Deliver = std::function<void(uint8_t byte)>;

  InboundWire(const SimLine& line, TimerQueue& timers, WireTiming timing, Deliver deliver);
  ~InboundWire();
  InboundWire(const InboundWire&) = delete;
  InboundWire& operator=(const InboundWire&) = delete;

  void Accept(const uint8_t* data, size_t count);
  // The client went away: what it sent and has not arrived is lost.
  void Reset();

  // Bytes in flight beyond this are lost, like a receive overrun: a client
  // flooding the line cannot make orbsim hold more.
  static constexpr size_t kMaxInFlight = 64 * 1024;

 private:
  struct InFlight {
    int64_t arrivesNs;
    uint8_t byte;
  };
  void Arm();
  void Arrive();
  bool DevicesCanRead() const;

  const SimLine& line_;
  TimerQueue& timers_;
  const WireTiming timing_;
  Deliver deliver_;
  std::deque<InFlight> inFlight_;
  int64_t lastArrivalNs_ = 0;
  TimerQueue::Id timer_ = 0;
  bool toldNoise_ = false;
  bool toldOverrun_ = false;
};
