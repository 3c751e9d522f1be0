#pragma once
// The response picture's axes, grid and texts, the same for the frame's
// panel and for the SVG file: a log frequency axis over the model's span
// with the band labels as grid, a level axis that covers the slider range,
// and the numbers as the picture and the exports write them.
#include <functional>
#include <string>
#include <vector>

#include "eq/ResponseModel.h"

// What the picture and every export say of where the numbers come from.
inline constexpr const char* kComputedNote = "Computed response (no measurement)";

struct ResponseAxes {
  double lowestHz = 20.0;
  double highestHz = 20000.0;
  double topDb = 12.0;
  double bottomDb = -12.0;

  // Where a frequency lies across the axis: 0 at lowestHz, 1 at highestHz
  // (log scale); and back.
  double XFraction(double hz) const;
  double HzAt(double fraction) const;
  // Where a level lies down the axis: 0 at topDb, 1 at bottomDb; and back.
  double YFraction(double db) const;
  double DbAt(double fraction) const;
};

// The level axis covers plus and minus the slider range (steps × 0.5 dB),
// at least ±12 dB, and grows in 6 dB steps to the curve's peak excursion
// of bands and gain (ResponseCurve::PeakExcursionDb), so a peak is never
// cut. Below, it also reaches 3 dB under the lowest level of the curve
// (lowestDb, the filters' roll-off among it), in 3 dB steps, but not past
// -36 dB: a filter's skirt shows down to there and leaves the plot below.
ResponseAxes AxesFor(const ResponseModel& model, int sliderRange, double peakExcursionDb,
                     double lowestDb = 0.0);
// The axes for a computed curve: its peak excursion and its lowest total.
ResponseAxes AxesFor(const ResponseModel& model, int sliderRange, const ResponseCurve& curve);

// The spacing of the level grid: 3, 6 or 12 dB, the finest whose lines
// stay at least minSpacing apart on a plot plotHeight high.
double DbGridStep(const ResponseAxes& axes, double plotHeight, double minSpacing);
// The levels of the grid lines from top to bottom, 0 dB among them.
std::vector<double> DbGridLevels(const ResponseAxes& axes, double step);
// The levels that carry a label on a plot plotHeight high, from top to
// bottom: the axis' ends, 0 dB, and between them every 3, 6, 12 ... dB,
// the finest spacing at which no two labels come closer than gap (see
// ThinnedScaleLabels). labelTop gives a label's top for a level (its
// place may be held inside the plot), labelHeight its height.
std::vector<double> LabelledDbLevels(const ResponseAxes& axes,
                                     const std::function<double(double db)>& labelTop,
                                     double labelHeight, double gap);
// "+6", "0", "-6".
std::string DbGridLabel(double db);

// A band's nominal label in short: "25", "31.5", "800", "1k", "1.25k", "16k".
std::string CompactBandLabel(int band);
// The bands whose labels are written below the grid on a plot plotWidth
// wide: every band, else every second, third, sixth or twelfth (always
// 1 kHz among them), the first spacing at which no two labels, as wide as
// textWidth says plus gap, touch.
std::vector<int> LabelledBands(const ResponseAxes& axes, double plotWidth,
                               const std::function<double(const std::string&)>& textWidth,
                               double gap);

// "63.1 Hz", "999 Hz", "1.02 kHz", "15.8 kHz": three significant figures.
std::string HzText(double hz);
// A filter's corner as the filter tables write it: "22.4 Hz", "100 Hz",
// "2 kHz", "3.15 kHz".
std::string CornerText(double hz);
// "+3.4 dB", "-12.0 dB", "0.0 dB" (never "-0.0").
std::string DbText(double db);

// One sentence on the curve: the highest and lowest computed level and
// their frequencies (or that it is flat), and whether the unit is bypassed
// or muted.
std::string ResponseSummary(const ResponseCurve& curve);
