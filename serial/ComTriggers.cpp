#include "serial/ComTriggers.h"

#include <algorithm>
#include <chrono>

uint32_t MillisecondClock() {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<uint32_t>(ms.count());
}

bool TimerExpired(uint32_t now, uint32_t start, uint32_t expiry) {
  uint64_t current = now;
  if (now < start) current += kTicksPerClockWrap;
  return current > expiry;
}

void TriggerLists::Reset() {
  timers_.clear();
  statuses_.clear();
  counter_ = 1;
}

std::optional<uint16_t> TriggerLists::NextHandle() {
  if (counter_ > kMaxHandles) return std::nullopt;
  return static_cast<uint16_t>(counter_++ * 8);
}

std::optional<uint16_t> TriggerLists::AddTimer() {
  auto handle = NextHandle();
  if (handle) timers_.push_back(TimerTrigger{*handle});
  return handle;
}

std::optional<uint16_t> TriggerLists::AddStatus(uint16_t kind) {
  auto handle = NextHandle();
  if (!handle) return handle;
  StatusTrigger t;
  t.handle = static_cast<uint16_t>(*handle + kind);
  t.kind = kind;
  statuses_.push_back(t);
  return t.handle;
}

TimerTrigger* TriggerLists::FindTimer(uint16_t handle) {
  auto it = std::find_if(timers_.begin(), timers_.end(),
                         [&](const TimerTrigger& t) { return (t.handle & ~7) == (handle & ~7); });
  return it == timers_.end() ? nullptr : &*it;
}

StatusTrigger* TriggerLists::FindStatus(uint16_t handle) {
  auto it = std::find_if(statuses_.begin(), statuses_.end(), [&](const StatusTrigger& t) {
    return (t.handle & ~7) == (handle & ~7);
  });
  return it == statuses_.end() ? nullptr : &*it;
}

void TriggerLists::SetTimer(TimerTrigger& t, uint32_t ticks, bool activate, uint32_t nowTick) {
  if (!activate) {
    t.armed = false;
    return;
  }
  if (ticks != 0) t.ticks = std::min(ticks, kMaxTimerTicks);
  t.startTick = nowTick;
  t.expiryTick = nowTick + t.ticks;
  t.armed = true;
}

void TriggerLists::SetStatus(StatusTrigger& t, uint16_t value, bool activate,
                             uint8_t modemStatus) {
  if (!activate) {
    t.armed = false;
    return;
  }
  if (t.kind == stModem) {
    t.mask = static_cast<uint8_t>(value & 0xFF);
    t.snapshot = t.mask & modemStatus;
  }
  t.changedSinceArmed = 0;
  t.armed = true;
}

void TriggerLists::NoteLineChanges(uint8_t changedLines) {
  for (auto& t : statuses_)
    if (t.armed) t.changedSinceArmed |= changedLines;
}

std::optional<uint16_t> TriggerLists::TakeFiredStatus(uint8_t modemStatus) {
  for (auto& t : statuses_) {
    if (t.armed && t.kind == stModem &&
        (((t.snapshot ^ modemStatus) | t.changedSinceArmed) & t.mask) != 0) {
      t.armed = false;
      return t.handle;
    }
  }
  return std::nullopt;
}

std::optional<uint16_t> TriggerLists::TakeExpiredTimer(uint32_t nowTick) {
  for (auto& t : timers_) {
    if (t.armed && TimerExpired(nowTick, t.startTick, t.expiryTick)) {
      t.armed = false;
      return t.handle;
    }
  }
  return std::nullopt;
}
