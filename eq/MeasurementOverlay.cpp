#include "eq/MeasurementOverlay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "eq/ResponseChart.h"

namespace {
// The span the drawn measurement covers, and the one its level is laid
// by before a fit.
constexpr double kDrawnLowHz = 20, kDrawnHighHz = 20000;
constexpr double kAlignLowHz = 200, kAlignHighHz = 5000;

std::string Fixed(const char* format, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}
}  // namespace

void WindowMeasurement::Load(Measurement measurement, std::string fileName) {
  const FitOptions defaults;
  drawn = std::make_shared<const Measurement>(
      SmoothedMeasurement(measurement, kDrawnLowHz, kDrawnHighHz, defaults.smoothingOctaves));
  measured = std::make_shared<const Measurement>(std::move(measurement));
  name = std::move(fileName);
  fitOffsetDb.reset();
  ++generation;
}

void WindowMeasurement::SetTarget(TargetCurve curve) {
  target = std::move(curve);
  fitOffsetDb.reset();
  ++generation;
}

void WindowMeasurement::Clear() {
  measured.reset();
  drawn.reset();
  name.clear();
  fitOffsetDb.reset();
  ++generation;
}

double AlignmentOffsetDb(const WindowMeasurement& m) {
  if (m.fitOffsetDb) return *m.fitOffsetDb;
  if (!m.drawn || m.drawn->hz.empty()) return 0;
  const Measurement& d = *m.drawn;
  for (bool everywhere : {false, true}) {
    double sum = 0;
    int count = 0;
    for (size_t i = 0; i < d.hz.size(); ++i)
      if (everywhere || (d.hz[i] >= kAlignLowHz && d.hz[i] <= kAlignHighHz)) {
        sum += m.target.At(d.hz[i]) - d.db[i];
        ++count;
      }
    if (count) return sum / count;
  }
  return 0;
}

OverlayCurves ComputeOverlay(const WindowMeasurement& m, const std::vector<double>& hz,
                             const std::vector<double>* equalizerDb) {
  OverlayCurves curves;
  curves.offsetDb = AlignmentOffsetDb(m);
  for (size_t i = 0; i < hz.size(); ++i) {
    double db = 0;
    const bool has = m.drawn && MeasuredDbAt(*m.drawn, hz[i], db);
    const double measured = has ? db + curves.offsetDb : kNoPoint;
    curves.measuredDb.push_back(measured);
    curves.targetDb.push_back(m.target.At(hz[i]));
    curves.predictedDb.push_back(has && equalizerDb ? measured + (*equalizerDb)[i] : kNoPoint);
  }
  return curves;
}

std::string OverlaySummary(const WindowMeasurement& m, const std::vector<double>& hz,
                           const OverlayCurves& curves) {
  std::string text = "Measured: " + m.name + ", its level laid on the target by " + DbText(curves.offsetDb) +
                     (m.fitOffsetDb ? " (the fit's offset)." : " (the mean over 200 Hz to 5 kHz).");
  text += " Target: " + m.target.Words() + ".";
  const FitOptions range;
  double squares = 0, largest = 0;
  int count = 0;
  for (size_t i = 0; i < hz.size(); ++i) {
    if (hz[i] < range.lowHz || hz[i] > range.highHz || !std::isfinite(curves.predictedDb[i])) continue;
    const double error = curves.predictedDb[i] - curves.targetDb[i];
    squares += error * error;
    largest = std::max(largest, std::fabs(error));
    ++count;
  }
  if (count)
    text += " Predicted: " + Fixed("%.1f", std::sqrt(squares / count)) + " dB RMS from the target, " +
            Fixed("%.1f", largest) + " dB at most.";
  else
    text += " No prediction.";
  return text;
}

FitOptions WindowFitOptions(int sliderRange) {
  FitOptions options;
  const double reach = std::abs(sliderRange) * 0.5;
  options.maxBoostDb = std::min(options.maxBoostDb, reach);
  options.maxCutDb = std::min(options.maxCutDb, reach);
  return options;
}

std::string FitQuestion(const FitResult& fit, const FitOptions& options,
                        const std::string& target) {
  std::string text = "The fit to the target, " + target + ", leaves " +
                     Fixed("%.2f", fit.rmsErrorDb) + " dB RMS error, " +
                     Fixed("%.2f", fit.maxErrorDb) + " dB at most, from " +
                     CornerText(options.lowHz) + " to " + CornerText(options.highHz) +
                     " (the measurement's level offset " + DbText(fit.levelOffsetDb) + ").\n";
  if (fit.pinned.empty()) {
    text += "No band is at a limit.";
  } else {
    text += "Bands at a limit (" + DbText(-options.maxCutDb) + " to " + DbText(options.maxBoostDb) + "):";
    for (size_t i = 0; i < fit.pinned.size(); ++i)
      text += (i ? ", " : " ") + SlotLabel(fit.pinned[i]) + " " + DbText(fit.bandSteps[fit.pinned[i] - 1] * 0.5);
    text += ".";
  }
  return text + "\n\nSet the 29 bands to the fitted levels?";
}
