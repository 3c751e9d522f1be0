// What a window draws of its measurement: laid on the target by the mean
// over 200 Hz to 5 kHz until a fit gives its offset, gaps where it has no
// point, the prediction as measurement plus equalizer; the fit's curves
// cover the whole range; the program's limits and question.
#include "eq/MeasurementOverlay.h"

#include <gtest/gtest.h>

#include <cmath>

#include "testsupport/SampledMeasurement.h"

TEST(MeasurementOverlay, LaidOnTheTargetUntilAFitGivesItsOffset) {
  Measurement partial;  // 80 dB from 100 Hz to 10 kHz
  for (double hz = 100; hz <= 10000; hz *= 1.1) {
    partial.hz.push_back(hz);
    partial.db.push_back(80);
  }
  WindowMeasurement m;
  m.Load(partial, "a.txt");
  EXPECT_NEAR(AlignmentOffsetDb(m), -80, 1e-9);
  const std::vector<double> hz{50, 1000}, equalizer{1, 2};
  OverlayCurves curves = ComputeOverlay(m, hz, &equalizer);
  EXPECT_TRUE(std::isnan(curves.measuredDb[0]) && std::isnan(curves.predictedDb[0]));
  EXPECT_NEAR(curves.measuredDb[1], 0, 1e-9);
  EXPECT_NEAR(curves.predictedDb[1], 2, 1e-9);
  EXPECT_TRUE(std::isnan(ComputeOverlay(m, hz, nullptr).predictedDb[1]));  // muted

  m.fitOffsetDb = -79;
  EXPECT_EQ(ComputeOverlay(m, hz, &equalizer).measuredDb[1], 1);
  // A new target or measurement: the fit no longer counts.
  m.SetTarget(TargetCurve::Tilt(-1));
  EXPECT_FALSE(m.fitOffsetDb);
  EXPECT_NEAR(ComputeOverlay(m, {2000}, nullptr).targetDb[0], -1, 1e-9);
  m.Clear();
  EXPECT_FALSE(m.Loaded());
  EXPECT_TRUE(std::isnan(ComputeOverlay(m, hz, &equalizer).measuredDb[1]));
}

TEST(MeasurementOverlay, FitCurvesCoverTheRangeAndTheWindowKeepsItsLimits) {
  Measurement partial = SampledMeasurement([](double hz) { return 70 + 3 * std::sin(std::log2(hz)); });
  const size_t from = 100;  // about 84 Hz
  partial.hz.erase(partial.hz.begin(), partial.hz.begin() + from);
  partial.db.erase(partial.db.begin(), partial.db.begin() + from);
  const FitOptions options = WindowFitOptions(8);  // sliders of ±4 dB
  EXPECT_EQ(options.maxBoostDb, 4);
  EXPECT_EQ(options.maxCutDb, 4);
  const FitResult fit = FitBands(partial, TargetCurve::Flat(), options, TEqualizerDocument());
  ASSERT_EQ(fit.hz.size(), FitGrid(options.lowHz, options.highHz).size());
  EXPECT_TRUE(std::isnan(fit.measuredDb.front()) && std::isnan(fit.predictedDb.front()));
  EXPECT_TRUE(std::isfinite(fit.equalizerDb.front()) && std::isfinite(fit.predictedDb.back()));
  for (int steps : fit.bandSteps) EXPECT_TRUE(steps >= -8 && steps <= 8);

  FitResult pinned;
  pinned.bandSteps[0] = 8;
  pinned.pinned = {1};
  const std::string question = FitQuestion(pinned, options, "flat");
  EXPECT_NE(question.find("Bands at a limit (-4.0 dB to +4.0 dB): 25 Hz +4.0 dB."), std::string::npos) << question;
  EXPECT_NE(FitQuestion(FitResult(), options, "flat").find("No band is at a limit."), std::string::npos);
}
