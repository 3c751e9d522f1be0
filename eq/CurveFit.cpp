#include "eq/CurveFit.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kStepDb = 0.5;
constexpr int kUnknowns = kBandCount + 1;  // the bands, then the offset

// Everything the fit leaves alone: the filters and the gain.
double FixedDb(const ResponseModel& model, const TEqualizerDocument& base, double hz) {
  TEqualizerDocument fixed = base;
  fixed.BandSteps.fill(0);
  return TotalDbAt(model, fixed, hz);
}

struct Problem {
  const ResponseModel& model;
  std::vector<double> hz, measured, target, fixed;
  double lowDb, highDb, smoothness, overshootWeight;

  double BandsDb(const double* levels, size_t i) const {
    double sum = 0;
    for (int b = 0; b < kBandCount; ++b)
      if (levels[b] != 0) sum += PeakingDb(hz[i], BandCentreHz(b + 1), levels[b], BandQ(model, levels[b]));
    return sum;
  }
  // measured + equalizer + offset - target at point i.
  double Error(const double* levels, double offset, size_t i) const {
    return measured[i] + fixed[i] + BandsDb(levels, i) + offset - target[i];
  }
  double Weight(double error) const { return error > 0 ? overshootWeight : 1.0; }
  // The best offset for these levels (weighted mean of the errors, by
  // Newton steps on the piecewise weights).
  double BestOffset(const double* levels) const {
    std::vector<double> base(hz.size());
    for (size_t i = 0; i < hz.size(); ++i) base[i] = Error(levels, 0, i);
    double offset = 0;
    for (int round = 0; round < 8; ++round) {
      double num = 0, den = 0;
      for (double e : base) {
        const double w = Weight(e + offset);
        num += w * (e + offset);
        den += w;
      }
      offset -= num / den;
    }
    return offset;
  }
};

// Solves A x = y (n × n, symmetric positive definite after the ridge) by
// Gaussian elimination with partial pivoting.
std::vector<double> Solve(std::vector<std::vector<double>> a, std::vector<double> y) {
  const size_t n = y.size();
  for (size_t c = 0; c < n; ++c) {
    size_t pivot = c;
    for (size_t r = c + 1; r < n; ++r)
      if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
    std::swap(a[c], a[pivot]);
    std::swap(y[c], y[pivot]);
    if (std::fabs(a[c][c]) < 1e-12) continue;
    for (size_t r = c + 1; r < n; ++r) {
      const double f = a[r][c] / a[c][c];
      for (size_t k = c; k < n; ++k) a[r][k] -= f * a[c][k];
      y[r] -= f * y[c];
    }
  }
  std::vector<double> x(n, 0.0);
  for (size_t c = n; c-- > 0;) {
    if (std::fabs(a[c][c]) < 1e-12) continue;
    double s = y[c];
    for (size_t k = c + 1; k < n; ++k) s -= a[c][k] * x[k];
    x[c] = s / a[c][c];
  }
  return x;
}

// One Gauss-Newton step at `levels` over the free bands (a band pinned at
// a bound stays there); returns the new levels within the bounds.
std::array<double, kBandCount> Step(const Problem& p, const std::array<double, kBandCount>& levels, double offset,
                                    const std::array<bool, kBandCount>& pinned) {
  const size_t n = p.hz.size();
  // Each band's contribution and its slope in its level, by a central
  // difference (the bell's shape changes with its level).
  std::vector<std::array<double, kUnknowns>> jacobian(n);
  for (int b = 0; b < kBandCount; ++b) {
    const double h = 0.01;
    for (size_t i = 0; i < n; ++i) {
      const double c = BandCentreHz(b + 1);
      jacobian[i][b] = pinned[b] ? 0.0
                                 : (PeakingDb(p.hz[i], c, levels[b] + h, BandQ(p.model, levels[b] + h)) -
                                    PeakingDb(p.hz[i], c, levels[b] - h, BandQ(p.model, levels[b] - h))) /
                                       (2 * h);
    }
  }
  for (size_t i = 0; i < n; ++i) jacobian[i][kBandCount] = 1.0;
  std::vector<std::vector<double>> a(kUnknowns, std::vector<double>(kUnknowns, 0.0));
  std::vector<double> y(kUnknowns, 0.0);
  for (size_t i = 0; i < n; ++i) {
    const double e = p.Error(levels.data(), offset, i);
    const double w = p.Weight(e);
    for (int r = 0; r < kUnknowns; ++r) {
      y[r] -= w * jacobian[i][r] * e;
      for (int c = 0; c < kUnknowns; ++c) a[r][c] += w * jacobian[i][r] * jacobian[i][c];
    }
  }
  // Neighbours kept together, and a small ridge that keeps the solve
  // defined for bands outside the range.
  const double s = p.smoothness * n;
  for (int b = 0; b + 1 < kBandCount; ++b) {
    const double d = levels[b] - levels[b + 1];
    a[b][b] += s;
    a[b + 1][b + 1] += s;
    a[b][b + 1] -= s;
    a[b + 1][b] -= s;
    y[b] -= s * d;
    y[b + 1] += s * d;
  }
  for (int b = 0; b < kBandCount; ++b) {
    a[b][b] += 1e-6 * n;
    if (pinned[b]) a[b][b] += 1.0;
  }
  const std::vector<double> dx = Solve(a, y);
  std::array<double, kBandCount> next = levels;
  for (int b = 0; b < kBandCount; ++b)
    if (!pinned[b]) next[b] = std::clamp(levels[b] + dx[b], p.lowDb, p.highDb);
  return next;
}
}  // namespace

bool MeasuredDbAt(const Measurement& m, double hz, double& db) {
  if (m.hz.empty() || hz < m.hz.front() || hz > m.hz.back()) return false;
  const auto above = std::lower_bound(m.hz.begin(), m.hz.end(), hz);
  const size_t i = static_cast<size_t>(above - m.hz.begin());
  if (i == 0 || m.hz[i] == hz) {
    db = m.db[i];
    return true;
  }
  const double share = std::log(hz / m.hz[i - 1]) / std::log(m.hz[i] / m.hz[i - 1]);
  db = m.db[i - 1] + share * (m.db[i] - m.db[i - 1]);
  return true;
}

std::vector<double> FitGrid(double lowHz, double highHz) {
  std::vector<double> grid;
  for (int k = 0;; ++k) {
    const double hz = lowHz * std::pow(2.0, k / 24.0);
    if (hz > highHz * (1 + 1e-9)) break;
    grid.push_back(hz);
  }
  return grid;
}

Measurement SmoothedMeasurement(const Measurement& measurement, double lowHz, double highHz,
                                double smoothingOctaves) {
  constexpr double fine = 1.0 / 24;
  const double half = std::max(0.0, smoothingOctaves) / 2;
  const double reach = std::floor(half / fine + 1e-9);
  Measurement smoothed;
  for (double hz : FitGrid(lowHz, highHz)) {
    double db = 0;
    if (!MeasuredDbAt(measurement, hz, db)) continue;
    double sum = 0;
    int count = 0;
    for (double k = -reach; k <= reach; ++k) {
      double v = 0;
      if (MeasuredDbAt(measurement, hz * std::pow(2.0, k * fine), v)) {
        sum += v;
        ++count;
      }
    }
    smoothed.hz.push_back(hz);
    smoothed.db.push_back(count ? sum / count : db);
  }
  return smoothed;
}

FitResult FitBands(const Measurement& measurement, const TargetCurve& target, const FitOptions& options,
                   const TEqualizerDocument& base, const ResponseModel& model) {
  Problem p{model, {}, {}, {}, {}, 0, 0, 0, 0};
  p.lowDb = -std::clamp(options.maxCutDb, 0.0, 12.0);
  p.highDb = std::clamp(options.maxBoostDb, 0.0, 12.0);
  p.smoothness = std::max(0.0, options.smoothness);
  p.overshootWeight = std::max(1.0, options.overshootWeight);
  // The measurement at 1/24 octave over the range, smoothed over the
  // given width where it has points.
  const Measurement smoothed =
      SmoothedMeasurement(measurement, options.lowHz, options.highHz, options.smoothingOctaves);
  for (size_t i = 0; i < smoothed.hz.size(); ++i) {
    const double hz = smoothed.hz[i];
    p.hz.push_back(hz);
    p.measured.push_back(smoothed.db[i]);
    p.target.push_back(target.At(hz));
    p.fixed.push_back(FixedDb(model, base, hz));
  }
  if (p.hz.empty()) throw MeasurementError("the measurement has no point within the fit's range");

  // The continuous solve, re-linearised until it settles; a band that
  // keeps running into a bound is pinned there.
  std::array<double, kBandCount> levels{};
  std::array<bool, kBandCount> pinned{};
  double offset = p.BestOffset(levels.data());
  for (int round = 0; round < 30; ++round) {
    const std::array<double, kBandCount> next = Step(p, levels, offset, pinned);
    double moved = 0;
    for (int b = 0; b < kBandCount; ++b) moved = std::max(moved, std::fabs(next[b] - levels[b]));
    levels = next;
    offset = p.BestOffset(levels.data());
    if (moved < 1e-4) break;
  }

  // Rounded to the device's steps, then improved a step at a time.
  std::array<double, kBandCount> stepped{};
  for (int b = 0; b < kBandCount; ++b)
    stepped[b] = std::clamp(std::round(levels[b] / kStepDb) * kStepDb, p.lowDb, p.highDb);
  // Bounds that are not whole steps: the nearest step within them.
  const double lowStep = std::ceil(p.lowDb / kStepDb - 1e-9) * kStepDb;
  const double highStep = std::floor(p.highDb / kStepDb + 1e-9) * kStepDb;
  for (double& l : stepped) l = std::clamp(l, lowStep, highStep);
  // Each band's contribution at every point is kept, so that trying a
  // step of one band recomputes that band alone.
  const size_t n = p.hz.size();
  auto contributionOf = [&](int b, double level) {
    std::vector<double> c(n, 0.0);
    if (level != 0)
      for (size_t i = 0; i < n; ++i) c[i] = PeakingDb(p.hz[i], BandCentreHz(b + 1), level, BandQ(model, level));
    return c;
  };
  std::vector<std::vector<double>> contribution(kBandCount);
  std::vector<double> errors(n);  // without the offset
  for (size_t i = 0; i < n; ++i) errors[i] = p.measured[i] + p.fixed[i] - p.target[i];
  for (int b = 0; b < kBandCount; ++b) {
    contribution[b] = contributionOf(b, stepped[b]);
    for (size_t i = 0; i < n; ++i) errors[i] += contribution[b][i];
  }
  // The cost of these errors at their best offset.
  auto costOf = [&](const std::vector<double>& e, double& bestOffset) {
    double off = 0;
    for (int round = 0; round < 8; ++round) {
      double num = 0, den = 0;
      for (double v : e) {
        const double w = p.Weight(v + off);
        num += w * (v + off);
        den += w;
      }
      off -= num / den;
    }
    double cost = 0;
    for (double v : e) cost += p.Weight(v + off) * (v + off) * (v + off);
    for (int b = 0; b + 1 < kBandCount; ++b)
      cost += p.smoothness * std::pow(stepped[b] - stepped[b + 1], 2) * static_cast<double>(n);
    bestOffset = off;
    return cost;
  };
  double cost = costOf(errors, offset);
  std::vector<double> trial(n);
  for (bool improved = true; improved;) {
    improved = false;
    for (int b = 0; b < kBandCount; ++b) {
      for (double delta : {kStepDb, -kStepDb}) {
        const double was = stepped[b];
        const double now = was + delta;
        if (now < lowStep || now > highStep) continue;
        std::vector<double> moved = contributionOf(b, now);
        for (size_t i = 0; i < n; ++i) trial[i] = errors[i] - contribution[b][i] + moved[i];
        stepped[b] = now;
        double tryOffset = 0;
        const double tryCost = costOf(trial, tryOffset);
        if (tryCost < cost - 1e-12) {
          cost = tryCost;
          offset = tryOffset;
          errors.swap(trial);
          contribution[b] = std::move(moved);
          improved = true;
          break;
        }
        stepped[b] = was;
      }
    }
  }

  FitResult result;
  result.levelOffsetDb = offset;
  for (int b = 0; b < kBandCount; ++b) {
    result.bandSteps[b] = static_cast<int>(std::lround(stepped[b] / kStepDb));
    if (stepped[b] <= lowStep || stepped[b] >= highStep) result.pinned.push_back(b + 1);
  }
  double squares = 0;
  for (size_t i = 0; i < p.hz.size(); ++i) {
    const double error = p.measured[i] + offset + p.fixed[i] + p.BandsDb(stepped.data(), i) - p.target[i];
    squares += error * error;
    result.maxErrorDb = std::max(result.maxErrorDb, std::fabs(error));
  }
  // The curves over the whole range; measured and predicted are NaN where
  // the measurement has no point.
  TEqualizerDocument fitted = base;
  fitted.BandSteps = result.bandSteps;
  size_t next = 0;
  for (double hz : FitGrid(options.lowHz, options.highHz)) {
    const bool measured = next < p.hz.size() && std::fabs(p.hz[next] - hz) <= hz * 1e-9;
    const double eq = TotalDbAt(model, fitted, hz);
    result.hz.push_back(hz);
    result.targetDb.push_back(target.At(hz));
    result.equalizerDb.push_back(eq);
    result.measuredDb.push_back(measured ? p.measured[next] : kNoPoint);
    result.predictedDb.push_back(measured ? p.measured[next] + offset + eq : kNoPoint);
    if (measured) ++next;
  }
  result.rmsErrorDb = std::sqrt(squares / static_cast<double>(p.hz.size()));
  return result;
}
