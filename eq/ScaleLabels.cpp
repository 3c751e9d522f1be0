#include "eq/ScaleLabels.h"

#include <algorithm>
#include <cmath>

namespace {
// Values closer than this are the same mark.
constexpr double kSame = 1e-9;

bool Touch(const LabelSpan& a, const LabelSpan& b, double gap) {
  const double aLow = std::min(a.from, a.to), aHigh = std::max(a.from, a.to);
  const double bLow = std::min(b.from, b.to), bHigh = std::max(b.from, b.to);
  return aLow < bHigh + gap && bLow < aHigh + gap;
}
}  // namespace

std::vector<double> ThinnedScaleLabels(double low, double high, double base,
                                       const std::function<LabelSpan(double value)>& span,
                                       double gap) {
  if (high < low) std::swap(low, high);
  std::vector<double> kept = {high};
  if (high - low > kSame) kept.push_back(low);
  const auto clearOfKept = [&](double value) {
    const LabelSpan s = span(value);
    return std::none_of(kept.begin(), kept.end(), [&](double k) { return Touch(s, span(k), gap); });
  };
  const bool zeroInside = low < -kSame && high > kSame;
  if (zeroInside && clearOfKept(0.0)) kept.push_back(0.0);

  // The finest spacing whose marks (0 among them) stay clear of each other.
  if (base > 0 && std::isfinite(base))
    for (double step = base; step < high - low; step *= 2) {
      std::vector<double> marks;
      for (double k = std::ceil(low / step); k * step <= high + kSame; ++k) marks.push_back(k * step);
      bool apart = true;
      for (size_t i = 1; i < marks.size() && apart; ++i)
        apart = !Touch(span(marks[i - 1]), span(marks[i]), gap);
      if (!apart) continue;
      for (double m : marks)
        if (std::abs(m) > kSame && m - low > kSame && high - m > kSame && clearOfKept(m))
          kept.push_back(m);
      break;
    }
  std::sort(kept.begin(), kept.end(), std::greater<double>());
  return kept;
}
