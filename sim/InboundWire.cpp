#include "sim/InboundWire.h"

#include <algorithm>
#include <cstdio>

#include "sim/MonotonicClock.h"

namespace {
constexpr uint32_t kDeviceBaud = 19200;
}

InboundWire::InboundWire(const SimLine& line, TimerQueue& timers, WireTiming timing, Deliver deliver)
    : line_(line), timers_(timers), timing_(timing), deliver_(std::move(deliver)) {}

InboundWire::~InboundWire() { timers_.Cancel(timer_); }

bool InboundWire::DevicesCanRead() const {
  const SimLineSettings& s = line_.Settings();
  return s.baud == kDeviceBaud && s.dataBits == 8 && s.parity == 'E';
}

void InboundWire::Accept(const uint8_t* data, size_t count) {
  if (count == 0) return;
  if (!DevicesCanRead()) {
    if (!toldNoise_) {
      const SimLineSettings& s = line_.Settings();
      std::fprintf(stderr,
                   "orbsim: the devices ignore bytes sent at %u baud %u%c (they listen at 19200 8E1)\n",
                   s.baud, s.dataBits, s.parity);
      toldNoise_ = true;
    }
    return;
  }
  const int64_t byteNs = timing_.ByteNs(line_.Settings().baud);
  int64_t at = std::max(MonotonicNs(), lastArrivalNs_);
  for (size_t i = 0; i < count; ++i) {
    if (inFlight_.size() >= kMaxInFlight) {
      if (!toldOverrun_) std::fprintf(stderr, "orbsim: the client floods the line; bytes lost\n");
      toldOverrun_ = true;
      break;
    }
    at += byteNs;
    inFlight_.push_back({at, data[i]});
    lastArrivalNs_ = at;
  }
  Arm();
}

void InboundWire::Reset() {
  inFlight_.clear();
  timers_.Cancel(timer_);
  timer_ = 0;
  lastArrivalNs_ = 0;
  toldNoise_ = toldOverrun_ = false;
}

void InboundWire::Arm() {
  if (timer_ != 0 || inFlight_.empty()) return;
  timer_ = timers_.At(inFlight_.front().arrivesNs, [this] {
    timer_ = 0;
    Arrive();
  });
}

void InboundWire::Arrive() {
  // Everything that has crossed by now, in order; a device may react to a
  // byte by resetting this wire (never by adding to it), so re-check.
  const int64_t now = MonotonicNs();
  while (!inFlight_.empty() && inFlight_.front().arrivesNs <= now) {
    uint8_t byte = inFlight_.front().byte;
    inFlight_.pop_front();
    deliver_(byte);
  }
  Arm();
}
