#include "sim/OutboundWire.h"

#include <algorithm>

#include "sim/MonotonicClock.h"

OutboundWire::OutboundWire(SimLine& line, TimerQueue& timers, WireTiming timing)
    : line_(line), timers_(timers), timing_(timing) {}

OutboundWire::~OutboundWire() { timers_.Cancel(timer_); }

void OutboundWire::Write(const std::string& bytes) {
  if (bytes.empty()) return;
  const int64_t start = std::max(MonotonicNs(), lastDueNs_);
  const int64_t wireNs = timing_.ByteNs(line_.Settings().baud) * static_cast<int64_t>(bytes.size());
  lastDueNs_ = start + wireNs;
  queuedBytes_ += bytes.size();
  items_.push_back({lastDueNs_, bytes});
  Arm();
}

void OutboundWire::SetModemLine(uint8_t modemLine, bool on) {
  lastDueNs_ = std::max(MonotonicNs(), lastDueNs_);
  items_.push_back({lastDueNs_, {}, modemLine, on});
  Arm();
}

int64_t OutboundWire::DrainedAtNs() const { return std::max(MonotonicNs(), lastDueNs_); }

void OutboundWire::Reset() {
  timers_.Cancel(timer_);
  timer_ = 0;
  std::deque<Item> pending;
  pending.swap(items_);
  queuedBytes_ = 0;
  for (const Item& item : pending)
    if (item.bytes.empty()) line_.SetModemLine(item.modemLine, item.on);
  lastDueNs_ = 0;
}

void OutboundWire::Put(const Item& item) {
  if (item.bytes.empty()) {
    line_.SetModemLine(item.modemLine, item.on);
  } else {
    line_.Transmit(reinterpret_cast<const uint8_t*>(item.bytes.data()), item.bytes.size());
  }
}

void OutboundWire::Arm() {
  if (timer_ != 0 || items_.empty()) return;
  timer_ = timers_.At(items_.front().dueNs, [this] {
    timer_ = 0;
    Fire();
  });
}

void OutboundWire::Fire() {
  const int64_t now = MonotonicNs();
  while (!items_.empty() && items_.front().dueNs <= now) {
    Item item = std::move(items_.front());
    items_.pop_front();
    queuedBytes_ -= item.bytes.size();
    Put(item);
  }
  Arm();
}
