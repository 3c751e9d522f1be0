#pragma once
// CLOCK_MONOTONIC in nanoseconds: the control channel's time stamps, which
// tests and benchmarks compare with their own steady clock.
//
// Built with ORBSIM_SIMULATED_CLOCK, orbsim takes its time from a
// MonotonicNs() that the program linking it supplies: the fuzzers drive the
// server, its wires and its devices in simulated time, moving the clock on
// themselves, so that time-outs and byte times happen at once and the same
// input always runs the same way.
#include <time.h>

#include <cstdint>

#ifdef ORBSIM_SIMULATED_CLOCK
int64_t MonotonicNs();
#else
inline int64_t MonotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}
#endif

inline int64_t MonotonicMs() { return MonotonicNs() / 1000000; }
