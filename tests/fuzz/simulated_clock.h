#pragma once
// orbsim in simulated time for a fuzzer: built with ORBSIM_SIMULATED_CLOCK,
// orbsim reads the clock from MonotonicNs(), which returns what the harness
// set in simulatedNow. Include once, in the harness.
#include <cstdint>
#include <cstdio>

namespace {
int64_t simulatedNow = 0;
}  // namespace

int64_t MonotonicNs() { return simulatedNow; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // orbsim tells on stderr, once per wire or session, that the devices
  // ignore bytes at the wrong line settings and the like; millions of runs
  // would bury the fuzzer's own output. Its reports and ours go to fd 2.
  if (FILE* sink = std::fopen("/dev/null", "w")) stderr = sink;
  return 0;
}
