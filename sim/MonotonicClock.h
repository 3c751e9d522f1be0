#pragma once
// CLOCK_MONOTONIC in nanoseconds: the control channel's time stamps, which
// tests and benchmarks compare with their own steady clock.
#include <time.h>

#include <cstdint>

inline int64_t MonotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

inline int64_t MonotonicMs() { return MonotonicNs() / 1000000; }
