#pragma once
// Fits the 29 bands to a measured response so that measurement plus
// equalizer follows a target curve: a bounded, regularised least-squares
// solve on the response model (the same one the response panel draws),
// re-linearised at the found levels until it settles, then each band
// rounded to the device's 0.5 dB steps and improved step by step while the
// error falls. The measurement's absolute level is arbitrary: a constant
// offset is solved with the bands and reported, never sent.
#include <array>
#include <limits>
#include <vector>

#include "eq/EqualizerDocument.h"
#include "eq/MeasurementFile.h"
#include "eq/ResponseModel.h"

struct FitOptions {
  // Half a band beyond the outer centres.
  double lowHz = 22.4;
  double highHz = 17800;
  double maxBoostDb = 6;   // at most 12
  double maxCutDb = 12;    // at most 12
  // Width of the measurement's smoothing in octaves (0: none).
  double smoothingOctaves = 1.0 / 6;
  // Keeps neighbouring bands together (0: none).
  double smoothness = 0.02;
  // Error where the prediction lies above the target weighs this much more:
  // deep, narrow dips are not chased with full boost.
  double overshootWeight = 2;
};

struct FitResult {
  std::array<int, kBandCount> bandSteps{};  // 0.5 dB steps, lowest band first
  double levelOffsetDb = 0;
  double rmsErrorDb = 0;
  double maxErrorDb = 0;
  std::vector<int> pinned;  // bands (1 to 29) at a bound
  // Per 1/24 octave over the range; measuredDb and predictedDb hold
  // kNoPoint where the measurement has no point.
  std::vector<double> hz, measuredDb, targetDb, predictedDb, equalizerDb;
};

// A level where the measurement has no point.
inline constexpr double kNoPoint = std::numeric_limits<double>::quiet_NaN();

// The measurement at hz, interpolated on the log-frequency axis; false
// outside its points.
bool MeasuredDbAt(const Measurement& measurement, double hz, double& db);
// Every 1/24 octave from lowHz up to highHz.
std::vector<double> FitGrid(double lowHz, double highHz);
// The measurement on that grid where it has points, each the mean over
// smoothingOctaves about it (0: as measured): what the fit works on and
// the response panel draws.
Measurement SmoothedMeasurement(const Measurement& measurement, double lowHz, double highHz,
                                double smoothingOctaves);

// `base` gives the filters and the gain, which stay as they are and are
// part of the prediction. Throws MeasurementError when the measurement has
// no point within the range.
FitResult FitBands(const Measurement& measurement, const TargetCurve& target, const FitOptions& options,
                   const TEqualizerDocument& base, const ResponseModel& model = DefaultResponseModel());
