#pragma once
#include <chrono>

using Clock = std::chrono::steady_clock;

// Milliseconds since `since`.
inline long ElapsedMs(Clock::time_point since) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}
