#pragma once
// The computed response of an equalizer curve: what the 29 bands, the gain
// and the two filters do to the level of a sine wave at each frequency,
// magnitude only, from the filters' analog prototypes (no sample rate is
// assumed). Nothing here is measured.
//
// Every choice the computation makes (the bands' Q law and value, the
// filters' alignment and order, the frequency span and the points drawn or
// written) is an entry of ResponseModel, the one table; the functions take
// it as it is given.
#include <optional>
#include <string>
#include <vector>

#include "eq/EqualizerDocument.h"

// How a band's Q follows its level: the same for every level, or growing
// with the level's size (Q = value × |dB| / reference dB), so that small
// boosts are broad and full ones narrow.
enum class QLaw { Constant, Proportional };

// The filters' magnitude: Butterworth of the given order, or Linkwitz-Riley
// (two Butterworth filters of half the order in series, −6 dB at the
// corner).
enum class FilterAlignment { Butterworth, LinkwitzRiley };

struct ResponseModel {
  QLaw qLaw = QLaw::Constant;
  // One-third octave: the bandwidth of a one-third-octave band's bell.
  double q = 4.32;
  // For QLaw::Proportional: the level at which a band has Q = q.
  double proportionalReferenceDb = 12.0;
  // The least Q a band takes under the proportional law.
  double minimumQ = 0.3;
  FilterAlignment filterAlignment = FilterAlignment::Butterworth;
  // 2: 12 dB per octave.
  int filterOrder = 2;
  // The span shown and written.
  double lowestHz = 20.0;
  double highestHz = 20000.0;
  // Points of a drawn curve over the span, spaced evenly on the log axis
  // (the band centres are added to them).
  int drawnPoints = 640;
  // Points per octave of the curve copied as text or written as CSV.
  int textPointsPerOctave = 24;
};

// The model the program uses.
const ResponseModel& DefaultResponseModel();

// The exact base-10 one-third-octave centre of a band (1 to 29):
// 1000 × 10^(n/10), n = band − 17 (25.12 Hz to 15 849 Hz). The labels stay
// the nominal ones (SlotLabel).
double BandCentreHz(int band);

// A frequency label of the filter tables ("22.4 Hz", "3.15 kHz") in hertz;
// nothing for "OUT" or any other text.
std::optional<double> LabelHz(const std::string& label);
// The corner frequency of a high-pass or low-pass index; nothing for the
// index "OUT" (0 for the high-pass, 21 for the low-pass) or one outside
// the tables.
std::optional<double> HighPassCornerHz(int index);
std::optional<double> LowPassCornerHz(int index);

// The Q a band takes at this level under the model's law.
double BandQ(const ResponseModel& model, double levelDb);

// The level in dB of a peaking (bell) filter at f: the prototype
// H(s) = (s² + s·A/Q + 1) / (s² + s/(A·Q) + 1), s = j·f/f0, A = 10^(dB/40).
// It is exactly levelDb at f0 and 0 dB far from it.
double PeakingDb(double hz, double centreHz, double levelDb, double q);
// The filters' levels in dB at f for a corner fc (−3.01 dB at fc for the
// Butterworth alignment).
double HighPassDb(const ResponseModel& model, double hz, double cornerHz);
double LowPassDb(const ResponseModel& model, double hz, double cornerHz);

// The frequencies of a drawn curve: model.drawnPoints spaced evenly on the
// log axis from lowestHz to highestHz, with the 29 band centres added, in
// ascending order.
std::vector<double> DrawnFrequencies(const ResponseModel& model);
// The frequencies of a curve written as text: lowestHz × 2^(k / points per
// octave) for every k that stays within highestHz.
std::vector<double> TextFrequencies(const ResponseModel& model);

// A computed curve: the total at each frequency and, when asked for, what
// each band, the gain and the two filters contribute to it.
struct ResponseCurve {
  std::vector<double> hz;
  // The sum in dB of the bands, the gain and the filters: what the settings
  // do to the sound, whether or not the unit is muted or bypassed.
  std::vector<double> totalDb;
  // The bands and the gain alone, without the filters.
  std::vector<double> bandsAndGainDb;
  // bandDb[b][i]: band b + 1 at hz[i]; empty unless asked for.
  std::vector<std::vector<double>> bandDb;
  double gainDb = 0;
  std::optional<double> highPassHz;
  std::optional<double> lowPassHz;
  bool mute = false;
  bool bypass = false;

  // The point of the highest and of the lowest total (the first of equals).
  size_t Highest() const;
  size_t Lowest() const;
  // The highest |bands + gain| of the curve (bandsAndGainDb): what the
  // level axis must cover.
  double PeakExcursionDb() const;
};

// The curve the document's settings make at these frequencies: band levels
// are the slider steps × 0.5 dB, the gain a flat offset, the filters those
// the document selects (none for OUT).
ResponseCurve ComputeResponse(const ResponseModel& model, const TEqualizerDocument& doc,
                              const std::vector<double>& hz, bool withBands = false);
// The total alone at one frequency.
double TotalDbAt(const ResponseModel& model, const TEqualizerDocument& doc, double hz);
