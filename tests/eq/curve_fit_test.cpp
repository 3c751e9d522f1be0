// The fit of the 29 bands: a curve the equalizer can reach comes back band
// for band at any level, and a room's deep dip is not chased past the
// bounds; the level offset is solved with them.
#include "eq/CurveFit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "testsupport/SampledMeasurement.h"

TEST(CurveFit, AReachableCurveComesBackBandForBandWithItsLevel) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> steps(-12, 12);
  FitOptions exact;
  exact.smoothingOctaves = 0;
  exact.smoothness = 0;
  for (int run = 0; run < 3; ++run) {
    TEqualizerDocument wanted;
    for (int& s : wanted.BandSteps) s = steps(random);
    const Measurement m = SampledMeasurement([&](double hz) { return 70 - TotalDbAt(DefaultResponseModel(), wanted, hz); });
    const FitResult fit = FitBands(m, TargetCurve::Flat(), exact, TEqualizerDocument());
    EXPECT_EQ(fit.bandSteps, wanted.BandSteps) << "run " << run;
    EXPECT_NEAR(fit.levelOffsetDb, -70, 0.01);
    EXPECT_LT(fit.rmsErrorDb, 0.01);
  }
}

TEST(CurveFit, BoundsHoldAfterRoundingAndDipsAreNotChased) {
  // A room: a broad bass hump, a deep narrow dip at 200 Hz, a falling top.
  const Measurement room = SampledMeasurement([](double hz) {
    const double o = std::log2(hz / 1000);
    return 80 + 8 * std::exp(-std::pow(std::log2(hz / 60), 2) * 2) - 25 * std::exp(-std::pow(std::log2(hz / 200) * 8, 2)) -
           (o > 2 ? 3 * (o - 2) : 0);
  });
  FitOptions options;
  options.maxBoostDb = 4.5;
  options.maxCutDb = 7.5;
  const FitResult fit = FitBands(room, TargetCurve::Flat(), options, TEqualizerDocument());
  for (int steps : fit.bandSteps) {
    EXPECT_LE(steps, 9);
    EXPECT_GE(steps, -15);
  }
  // The narrow dip at 200 Hz takes the band to its bound, no further; the
  // hump is cut and the falling top raised.
  EXPECT_EQ(fit.pinned, std::vector<int>{10});
  EXPECT_EQ(fit.bandSteps[9], 9);
  EXPECT_LT(fit.bandSteps[4], -10);
  EXPECT_GT(fit.bandSteps[28], 0);
  ASSERT_FALSE(fit.hz.empty());
  EXPECT_NEAR(fit.hz.front(), 22.4, 0.01);
  EXPECT_LT(fit.rmsErrorDb, 3.0);
  EXPECT_THROW(FitBands(SampledMeasurement([](double) { return 0.0; }), TargetCurve::Flat(), [] {
                 FitOptions above;
                 above.lowHz = 30000;
                 above.highHz = 40000;
                 return above;
               }(), TEqualizerDocument()), MeasurementError);
}
