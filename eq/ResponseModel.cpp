#include "eq/ResponseModel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
// The band whose centre is 1 kHz.
constexpr int kReferenceBand = 17;

// |N|² / |D|² of the peaking prototype at w = f / f0: the power ratio.
double PeakingPowerRatio(double w, double a, double q) {
  const double real = 1.0 - w * w;
  const double numerator = real * real + (w * a / q) * (w * a / q);
  const double denominator = real * real + (w / (a * q)) * (w / (a * q));
  return numerator / denominator;
}

// |H|² of a Butterworth high-pass or low-pass of order n at x = f / fc.
double ButterworthPower(double x, int order, bool highPass) {
  const double xn = std::pow(x, 2.0 * order);
  return highPass ? xn / (1.0 + xn) : 1.0 / (1.0 + xn);
}

double FilterDb(const ResponseModel& model, double hz, double cornerHz, bool highPass) {
  if (!(hz > 0) || !(cornerHz > 0)) return 0;
  const double x = hz / cornerHz;
  const int order = std::max(1, model.filterOrder);
  double power;
  if (model.filterAlignment == FilterAlignment::LinkwitzRiley) {
    // Two Butterworth filters of half the order, one after the other.
    const double half = ButterworthPower(x, std::max(1, order / 2), highPass);
    power = half * half;
  } else {
    power = ButterworthPower(x, order, highPass);
  }
  return 10.0 * std::log10(power);
}

// The band levels, gain and filters of a document as the model uses them.
struct Settings {
  double bandDb[kBandCount];
  double bandA[kBandCount];  // 10^(dB/40)
  double bandQ[kBandCount];
  double gainDb;
  std::optional<double> highPassHz, lowPassHz;
};

Settings SettingsOf(const ResponseModel& model, const TEqualizerDocument& doc) {
  Settings s;
  for (int b = 0; b < kBandCount; ++b) {
    s.bandDb[b] = LevelDb(doc.BandSteps[b]);
    s.bandA[b] = std::pow(10.0, s.bandDb[b] / 40.0);
    s.bandQ[b] = BandQ(model, s.bandDb[b]);
  }
  s.gainDb = LevelDb(doc.GainSteps);
  s.highPassHz = HighPassCornerHz(doc.HighPassIndex);
  s.lowPassHz = LowPassCornerHz(doc.LowPassIndex);
  return s;
}

// Bands and gain at one frequency: one logarithm for all the bands, as
// the sum of their levels in dB is the log of the product of their power
// ratios. Bands at 0 dB are flat and skipped.
double BandsAndGainDb(const Settings& s, double hz) {
  double ratio = 1.0;
  for (int b = 0; b < kBandCount; ++b)
    if (s.bandDb[b] != 0)
      ratio *= PeakingPowerRatio(hz / BandCentreHz(b + 1), s.bandA[b], s.bandQ[b]);
  return 10.0 * std::log10(ratio) + s.gainDb;
}

double FiltersDb(const ResponseModel& model, const Settings& s, double hz) {
  double db = 0;
  if (s.highPassHz) db += HighPassDb(model, hz, *s.highPassHz);
  if (s.lowPassHz) db += LowPassDb(model, hz, *s.lowPassHz);
  return db;
}
}  // namespace

const ResponseModel& DefaultResponseModel() {
  static const ResponseModel model;
  return model;
}

double BandCentreHz(int band) {
  // The centres are used at every point of every curve: computed once.
  static const auto centres = [] {
    std::vector<double> c(kBandCount + 1);
    for (int b = 1; b <= kBandCount; ++b) c[b] = 1000.0 * std::pow(10.0, (b - kReferenceBand) / 10.0);
    return c;
  }();
  return band >= 1 && band <= kBandCount ? centres[band] : 0.0;
}

std::optional<double> LabelHz(const std::string& label) {
  const char* text = label.c_str();
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (end == text || !(value > 0)) return std::nullopt;
  const std::string unit = end;
  if (unit == " Hz") return value;
  if (unit == " kHz") return value * 1000.0;
  return std::nullopt;
}

std::optional<double> HighPassCornerHz(int index) {
  if (index == kHighPassOut) return std::nullopt;
  return LabelHz(HighPassLabel(index));
}

std::optional<double> LowPassCornerHz(int index) {
  if (index == kLowPassOut) return std::nullopt;
  return LabelHz(LowPassLabel(index));
}

double BandQ(const ResponseModel& model, double levelDb) {
  if (model.qLaw == QLaw::Constant || !(model.proportionalReferenceDb > 0)) return model.q;
  return std::max(model.minimumQ, model.q * std::abs(levelDb) / model.proportionalReferenceDb);
}

double PeakingDb(double hz, double centreHz, double levelDb, double q) {
  if (levelDb == 0 || !(centreHz > 0) || !(q > 0)) return 0;
  return 10.0 * std::log10(PeakingPowerRatio(hz / centreHz, std::pow(10.0, levelDb / 40.0), q));
}

double HighPassDb(const ResponseModel& model, double hz, double cornerHz) {
  return FilterDb(model, hz, cornerHz, true);
}

double LowPassDb(const ResponseModel& model, double hz, double cornerHz) {
  return FilterDb(model, hz, cornerHz, false);
}

std::vector<double> DrawnFrequencies(const ResponseModel& model) {
  const int n = std::max(2, model.drawnPoints);
  const double low = std::log10(model.lowestHz), high = std::log10(model.highestHz);
  std::vector<double> hz;
  hz.reserve(n + kBandCount);
  for (int i = 0; i < n; ++i) hz.push_back(std::pow(10.0, low + (high - low) * i / (n - 1)));
  // The ends exactly as given, not as the logarithms round them.
  hz.front() = model.lowestHz;
  hz.back() = model.highestHz;
  for (int b = 1; b <= kBandCount; ++b)
    if (BandCentreHz(b) >= model.lowestHz && BandCentreHz(b) <= model.highestHz)
      hz.push_back(BandCentreHz(b));
  std::sort(hz.begin(), hz.end());
  return hz;
}

std::vector<double> TextFrequencies(const ResponseModel& model) {
  std::vector<double> hz;
  const int perOctave = std::max(1, model.textPointsPerOctave);
  // A hair of tolerance, so that a span of whole steps keeps its last point.
  for (int k = 0;; ++k) {
    const double f = model.lowestHz * std::pow(2.0, double(k) / perOctave);
    if (f > model.highestHz * (1 + 1e-9)) break;
    hz.push_back(f);
  }
  return hz;
}

size_t ResponseCurve::Highest() const {
  return totalDb.empty() ? 0 : size_t(std::max_element(totalDb.begin(), totalDb.end()) - totalDb.begin());
}

size_t ResponseCurve::Lowest() const {
  return totalDb.empty() ? 0 : size_t(std::min_element(totalDb.begin(), totalDb.end()) - totalDb.begin());
}

double ResponseCurve::PeakExcursionDb() const {
  double peak = 0;
  for (double db : bandsAndGainDb) peak = std::max(peak, std::abs(db));
  return peak;
}

ResponseCurve ComputeResponse(const ResponseModel& model, const TEqualizerDocument& doc,
                              const std::vector<double>& hz, bool withBands) {
  const Settings s = SettingsOf(model, doc);
  ResponseCurve curve;
  curve.hz = hz;
  curve.gainDb = s.gainDb;
  curve.highPassHz = s.highPassHz;
  curve.lowPassHz = s.lowPassHz;
  curve.mute = doc.Mute;
  curve.bypass = doc.Bypass;
  curve.totalDb.resize(hz.size());
  curve.bandsAndGainDb.resize(hz.size());
  for (size_t i = 0; i < hz.size(); ++i) {
    curve.bandsAndGainDb[i] = BandsAndGainDb(s, hz[i]);
    curve.totalDb[i] = curve.bandsAndGainDb[i] + FiltersDb(model, s, hz[i]);
  }
  if (withBands) {
    curve.bandDb.assign(kBandCount, std::vector<double>(hz.size(), 0.0));
    for (int b = 0; b < kBandCount; ++b)
      if (s.bandDb[b] != 0)
        for (size_t i = 0; i < hz.size(); ++i)
          curve.bandDb[b][i] = PeakingDb(hz[i], BandCentreHz(b + 1), s.bandDb[b], s.bandQ[b]);
  }
  return curve;
}

double TotalDbAt(const ResponseModel& model, const TEqualizerDocument& doc, double hz) {
  const Settings s = SettingsOf(model, doc);
  return BandsAndGainDb(s, hz) + FiltersDb(model, s, hz);
}
