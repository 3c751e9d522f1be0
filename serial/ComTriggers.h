#pragma once
// Trigger lists of an open port: timer triggers and status triggers, with
// the handle scheme (multiples of 8 from a counter that restarts at every
// open; a status trigger's kind sits in the low three bits).
#include <cstdint>
#include <optional>
#include <vector>

// The tick clock: the system's millisecond clock (32 bits, wrapping after
// about 49.7 days) divided by 55.
constexpr uint32_t kTickMs = 55;
constexpr uint32_t kMaxTimerTicks = 39045157;
// Ticks in one full turn of the 32-bit millisecond clock.
constexpr uint32_t kTicksPerClockWrap = static_cast<uint32_t>(0x100000000ULL / kTickMs);
uint32_t MillisecondClock();
inline uint32_t TickClock() { return MillisecondClock() / kTickMs; }

// Whether a timer armed at `start` with `expiry` has expired at tick `now`.
// After the millisecond clock wrapped (now below start), the current tick is
// taken one full clock turn further on.
bool TimerExpired(uint32_t now, uint32_t start, uint32_t expiry);

enum StatusTriggerKind : uint16_t {
  stModem = 1, stLine = 2, stOutBuffFree = 3, stOutBuffUsed = 4, stOutSent = 5
};

struct TimerTrigger {
  uint16_t handle = 0;
  uint32_t ticks = 0;
  uint32_t startTick = 0;
  uint32_t expiryTick = 0;
  bool armed = false;
};

struct StatusTrigger {
  uint16_t handle = 0;
  uint16_t kind = stModem;
  uint8_t mask = 0;
  uint8_t snapshot = 0;
  // Lines seen changing since the trigger was armed, including a change
  // that went both ways before the lines were read.
  uint8_t changedSinceArmed = 0;
  bool armed = false;
};

class TriggerLists {
 public:
  static constexpr uint16_t kMaxHandles = 8191;

  // Empties the lists and restarts the handle counter.
  void Reset();
  // New disarmed triggers; nullopt when the counter is exhausted.
  std::optional<uint16_t> AddTimer();
  std::optional<uint16_t> AddStatus(uint16_t kind);

  // The first trigger whose handle matches, ignoring the low three bits.
  TimerTrigger* FindTimer(uint16_t handle);
  StatusTrigger* FindStatus(uint16_t handle);

  // Arms (ticks 0 keeps the stored length) or disarms a timer.
  static void SetTimer(TimerTrigger& t, uint32_t ticks, bool activate, uint32_t nowTick);
  // Arms a status trigger against the current modem status byte, or disarms it.
  static void SetStatus(StatusTrigger& t, uint16_t value, bool activate, uint8_t modemStatus);

  // Records lines (state bits) that changed in one reading of the lines.
  void NoteLineChanges(uint8_t changedLines);
  // Disarms and returns the first armed modem-status trigger that fires on
  // this modem status byte, or on a masked line that changed since arming
  // and is back at its armed state, if any.
  std::optional<uint16_t> TakeFiredStatus(uint8_t modemStatus);
  // Disarms and returns the first armed timer that has expired, in creation order.
  std::optional<uint16_t> TakeExpiredTimer(uint32_t nowTick);

  // Saved at close and installed at the next open, unchanged.
  struct Saved {
    std::vector<TimerTrigger> timers;
    std::vector<StatusTrigger> statuses;
  };
  Saved Save() const { return {timers_, statuses_}; }
  void Install(const Saved& saved) {
    timers_ = saved.timers;
    statuses_ = saved.statuses;
  }

 private:
  std::optional<uint16_t> NextHandle();
  std::vector<TimerTrigger> timers_;
  std::vector<StatusTrigger> statuses_;
  uint16_t counter_ = 1;
};
