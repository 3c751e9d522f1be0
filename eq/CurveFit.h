#pragma once
// Fits the 29 bands to a measured response so that measurement plus
// equalizer follows a target curve: a bounded, regularised least-squares
// solve on the response model (the same one the response panel draws),
// re-linearised at the found levels until it settles, then each band
// rounded to the device's 0.5 dB steps and improved step by step while the
// error falls. The measurement's absolute level is arbitrary: a constant
// offset is solved with the bands and reported, never sent.
#include <array>
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
  // Per 1/24 octave over the range, where the measurement has points.
  std::vector<double> hz, measuredDb, targetDb, predictedDb, equalizerDb;
};

// `base` gives the filters and the gain, which stay as they are and are
// part of the prediction. Throws MeasurementError when the measurement has
// no point within the range.
FitResult FitBands(const Measurement& measurement, const TargetCurve& target, const FitOptions& options,
                   const TEqualizerDocument& base, const ResponseModel& model = DefaultResponseModel());
