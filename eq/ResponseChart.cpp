#include "eq/ResponseChart.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "eq/ScaleLabels.h"

namespace {
// 1 kHz: every choice of labelled bands keeps it.
constexpr int kReferenceBand = 17;
constexpr double kLeastAxisDb = 12.0;
constexpr double kAxisStepDb = 6.0;
// How far the axis reaches below the curve's lowest level, in steps of
// the same size, and the lowest it goes for that.
constexpr double kBelowLowestDb = 3.0;
constexpr double kDeepestAxisDb = -36.0;
// The finest spacing of the level labels.
constexpr double kLabelStepDb = 3.0;
}  // namespace

double ResponseAxes::XFraction(double hz) const {
  return std::log(hz / lowestHz) / std::log(highestHz / lowestHz);
}

double ResponseAxes::HzAt(double fraction) const {
  return lowestHz * std::pow(highestHz / lowestHz, fraction);
}

double ResponseAxes::YFraction(double db) const { return (topDb - db) / (topDb - bottomDb); }

double ResponseAxes::DbAt(double fraction) const { return topDb - fraction * (topDb - bottomDb); }

ResponseAxes AxesFor(const ResponseModel& model, int sliderRange, double peakExcursionDb,
                     double lowestDb) {
  double extent = std::max(kLeastAxisDb, LevelDb(std::abs(sliderRange)));
  if (peakExcursionDb > extent)
    // A hair of tolerance: a peak of exactly 18 dB keeps an 18 dB axis.
    extent = kAxisStepDb * std::ceil(peakExcursionDb / kAxisStepDb - 1e-9);
  ResponseAxes axes;
  axes.lowestHz = model.lowestHz;
  axes.highestHz = model.highestHz;
  axes.topDb = extent;
  axes.bottomDb = -extent;
  if (std::isfinite(lowestDb)) {
    const double reach = kBelowLowestDb * std::floor((lowestDb - kBelowLowestDb) / kBelowLowestDb + 1e-9);
    axes.bottomDb = std::min(axes.bottomDb, std::max(kDeepestAxisDb, reach));
  }
  return axes;
}

ResponseAxes AxesFor(const ResponseModel& model, int sliderRange, const ResponseCurve& curve) {
  const double lowest = curve.totalDb.empty() ? 0.0 : curve.totalDb[curve.Lowest()];
  return AxesFor(model, sliderRange, curve.PeakExcursionDb(), lowest);
}

double DbGridStep(const ResponseAxes& axes, double plotHeight, double minSpacing) {
  const double pixelsPerDb = plotHeight / (axes.topDb - axes.bottomDb);
  for (double step : {3.0, 6.0, 12.0})
    if (step * pixelsPerDb >= minSpacing) return step;
  return 24.0;
}

std::vector<double> DbGridLevels(const ResponseAxes& axes, double step) {
  std::vector<double> levels;
  for (double db = step * std::floor(axes.topDb / step); db >= axes.bottomDb - 1e-9; db -= step)
    levels.push_back(std::abs(db) < 1e-9 ? 0.0 : db);
  return levels;
}

std::vector<double> LabelledDbLevels(const ResponseAxes& axes,
                                     const std::function<double(double db)>& labelTop,
                                     double labelHeight, double gap) {
  return ThinnedScaleLabels(axes.bottomDb, axes.topDb, kLabelStepDb, [&](double db) {
    const double top = labelTop(db);
    return LabelSpan{top, top + labelHeight};
  }, gap);
}

std::string DbGridLabel(double db) {
  const long rounded = std::lround(db);
  // GCC 12 at -O3 takes a one-character literal put before a temporary
  // string for an overlapping copy (GCC bug 105329); nothing overlaps.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
  return rounded > 0 ? "+" + std::to_string(rounded) : std::to_string(rounded);
#pragma GCC diagnostic pop
}

std::string CompactBandLabel(int band) {
  std::string label = SlotLabel(band);
  for (const std::string unit : {" kHz", " Hz"}) {
    const size_t at = label.find(unit);
    if (at != std::string::npos) return label.substr(0, at) + (unit == " kHz" ? "k" : "");
  }
  return label;
}

std::vector<int> LabelledBands(const ResponseAxes& axes, double plotWidth,
                               const std::function<double(const std::string&)>& textWidth,
                               double gap) {
  std::vector<int> bands;
  for (int step : {1, 2, 3, 6, 12}) {
    bands.clear();
    for (int b = 1; b <= kBandCount; ++b)
      if ((b - kReferenceBand) % step == 0) bands.push_back(b);
    // Labels are centred on their lines: neighbours must leave a gap.
    bool fits = true;
    for (size_t i = 1; i < bands.size() && fits; ++i) {
      const double distance = plotWidth * (axes.XFraction(BandCentreHz(bands[i])) -
                                           axes.XFraction(BandCentreHz(bands[i - 1])));
      const double room = (textWidth(CompactBandLabel(bands[i])) +
                           textWidth(CompactBandLabel(bands[i - 1]))) / 2 + gap;
      fits = distance >= room;
    }
    if (fits) return bands;
  }
  return bands;
}

std::string HzText(double hz) {
  char text[32];
  if (hz >= 999.5)
    std::snprintf(text, sizeof text, hz >= 9995 ? "%.1f kHz" : "%.2f kHz", hz / 1000.0);
  else
    std::snprintf(text, sizeof text, hz >= 99.95 ? "%.0f Hz" : "%.1f Hz", hz);
  return text;
}

std::string CornerText(double hz) {
  char text[32];
  if (hz >= 1000)
    std::snprintf(text, sizeof text, "%g kHz", hz / 1000.0);
  else
    std::snprintf(text, sizeof text, "%g Hz", hz);
  return text;
}

std::string DbText(double db) {
  char text[32];
  std::snprintf(text, sizeof text, "%+.1f dB", db);
  std::string s = text;
  if (s == "-0.0 dB" || s == "+0.0 dB") s = "0.0 dB";
  return s;
}

std::string ResponseSummary(const ResponseCurve& curve) {
  if (curve.totalDb.empty()) return "";
  const size_t high = curve.Highest(), low = curve.Lowest();
  const std::string highest = DbText(curve.totalDb[high]), lowest = DbText(curve.totalDb[low]);
  // Flat to the tenth of a decibel written: no place stands out.
  std::string shape = highest == lowest ? "flat, " + highest + " at every frequency"
                                        : "highest " + highest + " at " + HzText(curve.hz[high]) +
                                              ", lowest " + lowest + " at " + HzText(curve.hz[low]);
  if (curve.mute) return "Muted: no sound passes. Unmuted, " + shape + ".";
  if (curve.bypass) return "Bypassed: the sound passes unchanged (0.0 dB). The curve held: " + shape + ".";
  shape[0] = char(std::toupper(static_cast<unsigned char>(shape[0])));
  return shape + ".";
}
