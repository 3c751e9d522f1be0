#pragma once
// What the benchmarks measure with: the clock, the time of one byte on the
// line, medians and maxima. No Qt here, so that the headless benchmarks
// share it with those that drive the program.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

namespace bench_figures {

using Clock = std::chrono::steady_clock;

// One byte at 19200 baud with start, parity and stop bits.
constexpr double kByteMs = 11.0 * 1000.0 / 19200.0;

inline int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

inline double Max(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

}  // namespace bench_figures
