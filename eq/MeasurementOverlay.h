#pragma once
// What an equalizer window holds of a measurement (the measured response,
// the target a fit aims for, the last fit's level offset) and what the
// response panel draws of it next to the computed equalizer: the
// measurement laid on the target, the target, and the prediction
// (measurement plus equalizer).
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "eq/CurveFit.h"
#include "eq/MeasurementFile.h"

struct WindowMeasurement {
  // As read; null while none is loaded. Shared: the panel takes it with
  // every drawing.
  std::shared_ptr<const Measurement> measured;
  // Smoothed as the fit sees it, at 1/24 octave: what is drawn.
  std::shared_ptr<const Measurement> drawn;
  // The file's name, without its folder.
  std::string name;
  TargetCurve target;
  // The level offset of the last fit to this measurement and target.
  std::optional<double> fitOffsetDb;
  // Counts the measurements and targets loaded, chosen or cleared: a fit's
  // offset belongs to the one it was made for.
  unsigned generation = 0;

  bool Loaded() const { return measured != nullptr; }
  // A new measurement (the target stays); an earlier fit no longer counts.
  void Load(Measurement measurement, std::string fileName);
  void SetTarget(TargetCurve curve);
  void Clear();
};

// Where the drawn measurement's level is laid: the last fit's offset, else
// the mean difference between target and measurement over 200 Hz–5 kHz
// (over all its points when none lies there).
double AlignmentOffsetDb(const WindowMeasurement& m);

// The three curves at each of hz; measuredDb and predictedDb hold
// kNoPoint where the measurement has no point, predictedDb everywhere when
// no equalizer levels are given (a muted unit passes nothing).
struct OverlayCurves {
  double offsetDb = 0;
  std::vector<double> measuredDb, targetDb, predictedDb;
};
OverlayCurves ComputeOverlay(const WindowMeasurement& m, const std::vector<double>& hz,
                             const std::vector<double>* equalizerDb);

// One sentence each on the measurement, the target and the prediction, for
// the panel's description.
std::string OverlaySummary(const WindowMeasurement& m, const std::vector<double>& hz,
                           const OverlayCurves& curves);

// The fit's limits for a window whose sliders reach sliderRange steps:
// the defaults, never beyond the sliders.
FitOptions WindowFitOptions(int sliderRange);
// What the operator is asked before a fit changes the window: its errors,
// the bands at a limit, the offset; `target` in words (TargetCurve::Words).
std::string FitQuestion(const FitResult& fit, const FitOptions& options, const std::string& target);
