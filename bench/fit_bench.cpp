// The fit of the 29 bands on 20 room-like measurements (random smooth
// bumps and dips) and 20 reachable ones (the negated model response of
// random 0.5 dB settings within +/-6 dB, at a random level): the median and
// worst fit time, how many reachable cases come back band for band (with
// smoothing and smoothness 0, as a reachable curve needs), and the median
// RMS error on the room-like ones beside that of inverting the measurement
// at each band centre.
//
//   fit_bench [--cases N] [--seed S]
//
// Last line: "fit median_ms=X worst_ms=Y exact=N/C rms_db=R naive_rms_db=Q"
// (goal: worst under 150 ms, every reachable case exact).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "bench/BenchOptions.h"
#include "eq/CurveFit.h"
#include "testsupport/SampledMeasurement.h"

namespace {
using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// The RMS error over the range when each band takes minus the measurement
// (about its mean) at its centre, rounded to the device's steps.
double NaiveRms(const Measurement& m, const FitOptions& options) {
  const Measurement grid = SmoothedMeasurement(m, options.lowHz, options.highHz, options.smoothingOctaves);
  double mean = 0;
  for (double v : grid.db) mean += v;
  mean /= static_cast<double>(grid.db.size());
  TEqualizerDocument naive;
  for (int b = 0; b < kBandCount; ++b) {
    const double centre = BandCentreHz(b + 1);
    const auto at = std::lower_bound(grid.hz.begin(), grid.hz.end(), centre * 0.999);
    const double measured = at == grid.hz.end() ? mean : grid.db[at - grid.hz.begin()];
    naive.BandSteps[b] = std::clamp(static_cast<int>(std::lround((mean - measured) / 0.5)),
                                    -static_cast<int>(options.maxCutDb * 2), static_cast<int>(options.maxBoostDb * 2));
  }
  double squares = 0;
  for (size_t i = 0; i < grid.hz.size(); ++i) {
    const double e = grid.db[i] - mean + TotalDbAt(DefaultResponseModel(), naive, grid.hz[i]);
    squares += e * e;
  }
  return std::sqrt(squares / static_cast<double>(grid.hz.size()));
}
}  // namespace

int main(int argc, char** argv) {
  int cases = 20;
  int seed = 1;
  BenchOptions("fit_bench", "usage: fit_bench [--cases N] [--seed S]\n")
      .Integer("--cases", cases, 1)
      .Integer("--seed", seed, 0)
      .Parse(argc, argv);
  std::mt19937 random(static_cast<unsigned>(seed));
  std::vector<double> times, rms, naiveRms;
  int exact = 0;
  auto timed = [&](auto&& fit) {
    const auto start = Clock::now();
    FitResult r = fit();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    return r;
  };

  const FitOptions room;
  std::uniform_real_distribution<double> octave(std::log2(30.0), std::log2(12000.0)), size(-9, 9), width(0.15, 1.2);
  for (int c = 0; c < cases; ++c) {
    struct Bump {
      double centre, db, width;
    };
    std::vector<Bump> bumps;
    for (int k = 0; k < 6; ++k) bumps.push_back({octave(random), size(random), width(random)});
    const Measurement m = SampledMeasurement([&](double hz) {
      double db = 85;
      for (const Bump& b : bumps) db += b.db * std::exp(-std::pow((std::log2(hz) - b.centre) / b.width, 2));
      return db;
    });
    const FitResult r = timed([&] { return FitBands(m, TargetCurve::Flat(), room, TEqualizerDocument()); });
    rms.push_back(r.rmsErrorDb);
    naiveRms.push_back(NaiveRms(m, room));
  }

  FitOptions reach;
  reach.smoothingOctaves = 0;
  reach.smoothness = 0;
  std::uniform_int_distribution<int> steps(-12, 12);
  std::uniform_real_distribution<double> level(60, 100);
  for (int c = 0; c < cases; ++c) {
    TEqualizerDocument wanted;
    for (int& s : wanted.BandSteps) s = steps(random);
    const double at = level(random);
    const Measurement m = SampledMeasurement([&](double hz) { return at - TotalDbAt(DefaultResponseModel(), wanted, hz); });
    const FitResult r = timed([&] { return FitBands(m, TargetCurve::Flat(), reach, TEqualizerDocument()); });
    if (r.bandSteps == wanted.BandSteps) ++exact;
  }

  std::printf("%d room-like fits: median RMS error %.2f dB (per-centre inversion %.2f dB)\n", cases, Median(rms),
              Median(naiveRms));
  std::printf("%d reachable fits: %d came back band for band\n", cases, exact);
  std::printf("fit median_ms=%.1f worst_ms=%.1f exact=%d/%d rms_db=%.2f naive_rms_db=%.2f\n", Median(times),
              *std::max_element(times.begin(), times.end()), exact, cases, Median(rms), Median(naiveRms));
  return 0;
}
