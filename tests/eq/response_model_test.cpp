// The computed response against values worked out independently of this
// code: each expected level below was computed from the formulas in
// closed form (python3's math module, double precision), as noted beside
// it; the band centres and filter corners by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <regex>

#include "eq/ResponseChart.h"
#include "eq/ResponseExport.h"
#include "eq/ResponseModel.h"
#include "eq/ScaleLabels.h"

namespace {
constexpr int k1kHzBand = 17;
constexpr double k1kHz = 1000.0;
// The centre of the band above 1 kHz: 1000 · 10^0.1.
constexpr double kNextCentre = 1258.9254117941673;

TEqualizerDocument Flat() { return TEqualizerDocument{}; }

TEqualizerDocument WithBand(int band, double db) {
  TEqualizerDocument doc;
  doc.BandSteps[band - 1] = int(std::lround(db * 2));
  return doc;
}

double At(const TEqualizerDocument& doc, double hz, const ResponseModel& model = DefaultResponseModel()) {
  return TotalDbAt(model, doc, hz);
}
}  // namespace

TEST(ResponseModel, BandCentresAreExactBaseTenThirdOctaves) {
  // 1000 · 10^(n/10) for n = -16 and 12: 25.1189 Hz and 15 848.93 Hz.
  EXPECT_NEAR(BandCentreHz(1), 25.118864315, 1e-6);
  EXPECT_NEAR(BandCentreHz(k1kHzBand), 1000.0, 1e-9);
  EXPECT_NEAR(BandCentreHz(18), kNextCentre, 1e-9);
  EXPECT_NEAR(BandCentreHz(29), 15848.931925, 1e-5);
  // Equal steps of a tenth of a decade from band to band.
  for (int b = 2; b <= kBandCount; ++b)
    EXPECT_NEAR(BandCentreHz(b) / BandCentreHz(b - 1), std::pow(10.0, 0.1), 1e-12) << b;
  EXPECT_EQ(BandCentreHz(0), 0.0);
  EXPECT_EQ(BandCentreHz(30), 0.0);
}

TEST(ResponseModel, FilterCornersComeFromTheFilterTables) {
  EXPECT_FALSE(HighPassCornerHz(kHighPassOut));
  EXPECT_FALSE(LowPassCornerHz(kLowPassOut));
  EXPECT_FALSE(HighPassCornerHz(22));
  EXPECT_FALSE(LowPassCornerHz(-1));
  EXPECT_DOUBLE_EQ(*HighPassCornerHz(1), 20.0);
  EXPECT_DOUBLE_EQ(*HighPassCornerHz(2), 22.4);
  EXPECT_DOUBLE_EQ(*HighPassCornerHz(15), 100.0);
  EXPECT_DOUBLE_EQ(*HighPassCornerHz(21), 200.0);
  EXPECT_DOUBLE_EQ(*LowPassCornerHz(0), 2000.0);
  EXPECT_DOUBLE_EQ(*LowPassCornerHz(4), 3150.0);
  EXPECT_DOUBLE_EQ(*LowPassCornerHz(20), 20000.0);
  // Every entry but OUT is a corner, rising through the table.
  for (int i = 2; i < kFilterCount; ++i) EXPECT_GT(*HighPassCornerHz(i), *HighPassCornerHz(i - 1)) << i;
  for (int i = 1; i < kLowPassOut; ++i) EXPECT_GT(*LowPassCornerHz(i), *LowPassCornerHz(i - 1)) << i;
  EXPECT_FALSE(LabelHz("OUT"));
  EXPECT_FALSE(LabelHz("12 dB"));
}

TEST(ResponseModel, OneBandAtTwelveDecibels) {
  const TEqualizerDocument doc = WithBand(k1kHzBand, 12);
  // At its centre the bell is exactly its level: |H(j)| = A² = 10^(12/20).
  EXPECT_NEAR(At(doc, k1kHz), 12.0, 1e-9);
  // Its neighbours' centres, a tenth of a decade away on either side:
  // 10·log10(((1-w²)² + (w·A/Q)²) / ((1-w²)² + (w/(A·Q))²)) with
  // w = 10^±0.1, A = 10^(12/40), Q = 4.32 gives 2.722071 dB (python3).
  EXPECT_NEAR(At(doc, kNextCentre), 2.722071, 1e-5);
  EXPECT_NEAR(At(doc, k1kHz / std::pow(10.0, 0.1)), 2.722071, 1e-5);
  // A cut is the mirror image of the boost.
  EXPECT_NEAR(At(WithBand(k1kHzBand, -12), kNextCentre), -2.722071, 1e-5);
  // Far away the band does nothing.
  EXPECT_NEAR(At(doc, 20.0), 0.0, 0.01);
  EXPECT_NEAR(At(doc, 20000.0), 0.0, 0.01);
}

TEST(ResponseModel, TwoAdjacentBandsAtSixDecibels) {
  TEqualizerDocument doc = WithBand(k1kHzBand, 6);
  doc.BandSteps[18 - 1] = 12;
  // Each centre: 6 dB of its own band plus 1.238046 dB of the other's
  // (the formula above with A = 10^(6/40), w = 10^0.1; python3).
  EXPECT_NEAR(At(doc, k1kHz), 7.238046, 1e-5);
  EXPECT_NEAR(At(doc, kNextCentre), 7.238046, 1e-5);
  // Half way between them on the log axis, w = 10^±0.05 for each:
  // 6.017831 dB in all (python3).
  EXPECT_NEAR(At(doc, k1kHz * std::pow(10.0, 0.05)), 6.017831, 1e-5);
}

TEST(ResponseModel, AFlatCurveWithTheFiltersOutIsZeroEverywhere) {
  const ResponseModel& model = DefaultResponseModel();
  const ResponseCurve curve = ComputeResponse(model, Flat(), DrawnFrequencies(model), true);
  ASSERT_GE(curve.hz.size(), 512u);
  for (double db : curve.totalDb) EXPECT_EQ(db, 0.0);
  for (const auto& band : curve.bandDb)
    for (double db : band) EXPECT_EQ(db, 0.0);
  EXPECT_FALSE(curve.highPassHz);
  EXPECT_FALSE(curve.lowPassHz);
}

TEST(ResponseModel, FiltersAreSecondOrderButterworthByDefault) {
  TEqualizerDocument doc;
  doc.HighPassIndex = 15;  // 100 Hz
  // |H|² = x⁴ / (1 + x⁴), x = f / fc: 10·log10(1/2) = -3.010300 dB at the
  // corner, 10·log10(1/17) = -12.304489 dB an octave below (by hand).
  EXPECT_NEAR(At(doc, 100.0), -3.010300, 1e-6);
  EXPECT_NEAR(At(doc, 50.0), -12.304489, 1e-6);
  EXPECT_NEAR(At(doc, 10000.0), 0.0, 1e-6);
  doc.HighPassIndex = kHighPassOut;
  doc.LowPassIndex = 14;  // 10 kHz: the same, mirrored
  EXPECT_NEAR(At(doc, 10000.0), -3.010300, 1e-6);
  EXPECT_NEAR(At(doc, 20000.0), -12.304489, 1e-6);
  EXPECT_NEAR(At(doc, 100.0), 0.0, 1e-6);

  // Linkwitz-Riley of order 2: two first-order filters in series,
  // -20·log10(1 + x²): -6.020600 dB at the corner, -13.979400 dB an octave
  // above for the low-pass (x = 2; by hand).
  ResponseModel lr;
  lr.filterAlignment = FilterAlignment::LinkwitzRiley;
  EXPECT_NEAR(At(doc, 10000.0, lr), -6.020600, 1e-6);
  EXPECT_NEAR(At(doc, 20000.0, lr), -13.979400, 1e-6);
  // A fourth order Butterworth: 10·log10(1/(1+2⁸)) = -24.099331 dB an
  // octave out (python3).
  ResponseModel fourth;
  fourth.filterOrder = 4;
  EXPECT_NEAR(At(doc, 20000.0, fourth), -24.099331, 1e-6);
}

TEST(ResponseModel, TotalIsTheSumOfBandsGainAndFilters) {
  TEqualizerDocument doc = WithBand(7, 12);  // 100 Hz band (99.5 Hz)
  doc.HighPassIndex = 15;                    // 100 Hz
  doc.GainSteps = -6;                        // -3 dB
  const double f = BandCentreHz(7);
  const ResponseModel& model = DefaultResponseModel();
  EXPECT_NEAR(At(doc, f),
              PeakingDb(f, f, 12, model.q) + HighPassDb(model, f, 100.0) - 3.0, 1e-12);
  EXPECT_NEAR(At(doc, f), 12.0 - 3.0 + HighPassDb(model, f, 100.0), 1e-9);
  // The gain alone lifts everything by the same amount.
  TEqualizerDocument gain;
  gain.GainSteps = 12;
  for (double hz : {20.0, 1000.0, 20000.0}) EXPECT_NEAR(At(gain, hz), 6.0, 1e-12);
}

TEST(ResponseModel, TheQLawIsAnEntryOfTheTable) {
  ResponseModel proportional;
  proportional.qLaw = QLaw::Proportional;
  // +6 dB with Q = 4.32 · 6/12 = 2.16 is broader: 2.989830 dB at the
  // neighbour's centre against 1.238046 dB for the constant law (python3).
  EXPECT_DOUBLE_EQ(BandQ(proportional, 6.0), 2.16);
  EXPECT_DOUBLE_EQ(BandQ(proportional, -12.0), 4.32);
  EXPECT_DOUBLE_EQ(BandQ(proportional, 0.5), proportional.minimumQ);
  EXPECT_NEAR(At(WithBand(k1kHzBand, 6), kNextCentre, proportional), 2.989830, 1e-5);
  EXPECT_NEAR(At(WithBand(k1kHzBand, 6), kNextCentre), 1.238046, 1e-5);
  // The peak stays exactly the band's level whatever the Q.
  EXPECT_NEAR(At(WithBand(k1kHzBand, 6), k1kHz, proportional), 6.0, 1e-9);
}

TEST(ResponseModel, CurvesCarryTheirPointsStateAndExtremes) {
  const ResponseModel& model = DefaultResponseModel();
  const std::vector<double> drawn = DrawnFrequencies(model);
  EXPECT_EQ(drawn.size(), size_t(model.drawnPoints + kBandCount));
  EXPECT_DOUBLE_EQ(drawn.front(), 20.0);
  EXPECT_NEAR(drawn.back(), 20000.0, 1e-9);
  EXPECT_TRUE(std::is_sorted(drawn.begin(), drawn.end()));
  // 1/24 octave from 20 Hz: 20 · 2^(k/24) for k = 0 .. 239 (the next one,
  // 20.5 kHz, is beyond the span; by hand: 24 · log2(1000) = 239.2).
  const std::vector<double> text = TextFrequencies(model);
  ASSERT_EQ(text.size(), 240u);
  EXPECT_NEAR(text[24], 40.0, 1e-9);
  EXPECT_NEAR(text.back(), 19896.974155, 1e-5);

  TEqualizerDocument doc = WithBand(k1kHzBand, 12);
  doc.HighPassIndex = 21;  // 200 Hz: the lowest point is at 20 Hz
  doc.Bypass = true;
  const ResponseCurve curve = ComputeResponse(model, doc, drawn);
  EXPECT_TRUE(curve.bypass);
  EXPECT_FALSE(curve.mute);
  EXPECT_NEAR(curve.hz[curve.Highest()], 1000.0, 1e-9);
  EXPECT_NEAR(curve.totalDb[curve.Highest()], 12.0, 0.01);
  EXPECT_DOUBLE_EQ(curve.hz[curve.Lowest()], 20.0);
  // Ten times below the corner, 10·log10(10⁻⁴ / (1 + 10⁻⁴)) = -40.000434
  // dB, and the 1 kHz band still adds 0.000347 dB there: -40.000087 dB
  // (python3).
  EXPECT_NEAR(curve.totalDb[curve.Lowest()], -40.000087, 1e-6);
  // The filters do not count for the axis, the bands and gain do.
  EXPECT_NEAR(curve.PeakExcursionDb(), 12.0, 1e-9);
}

TEST(ResponseChart, TheLevelAxisCoversTheSliderRangeAndThePeaks) {
  const ResponseModel& model = DefaultResponseModel();
  ResponseAxes axes = AxesFor(model, 24, 3.0);
  EXPECT_EQ(axes.topDb, 12.0);
  EXPECT_EQ(axes.bottomDb, -12.0);
  // A narrower slider range keeps ±12 dB; a peak beyond grows the axis in
  // 6 dB steps (all 29 bands at +12 dB peak at 20.79 dB: python3).
  EXPECT_EQ(AxesFor(model, 6, 0).topDb, 12.0);
  EXPECT_EQ(AxesFor(model, 24, 20.79).topDb, 24.0);
  EXPECT_EQ(AxesFor(model, 24, 18.0).topDb, 18.0);
  EXPECT_EQ(AxesFor(model, 24, 18.01).bottomDb, -24.0);
  EXPECT_EQ(AxesFor(model, 60, 0).topDb, 30.0);
  // The log axis: 20 Hz at 0, 20 kHz at 1, 632 Hz (20 · 10^1.5) half way.
  EXPECT_NEAR(axes.XFraction(20.0), 0.0, 1e-12);
  EXPECT_NEAR(axes.XFraction(20000.0), 1.0, 1e-12);
  EXPECT_NEAR(axes.XFraction(20.0 * std::pow(10.0, 1.5)), 0.5, 1e-12);
  EXPECT_NEAR(axes.HzAt(axes.XFraction(1234.5)), 1234.5, 1e-9);
  EXPECT_NEAR(axes.YFraction(12), 0.0, 1e-12);
  EXPECT_NEAR(axes.YFraction(-6), 0.75, 1e-12);
  EXPECT_NEAR(axes.DbAt(0.75), -6.0, 1e-12);

  // Grid: the finest of 3, 6 and 12 dB that keeps lines apart.
  EXPECT_EQ(DbGridStep(axes, 240, 20), 3.0);   // 10 px per dB
  EXPECT_EQ(DbGridStep(axes, 120, 20), 6.0);   // 5 px per dB
  EXPECT_EQ(DbGridStep(axes, 50, 20), 12.0);
  EXPECT_EQ(DbGridLevels(axes, 6), (std::vector<double>{12, 6, 0, -6, -12}));
  EXPECT_EQ(DbGridLabel(6), "+6");
  EXPECT_EQ(DbGridLabel(0), "0");
  EXPECT_EQ(DbGridLabel(-12), "-12");
}

TEST(ResponseChart, TheLevelAxisReachesBelowAFiltersRollOffToMinus36) {
  const ResponseModel& model = DefaultResponseModel();
  // 3 dB below the lowest level, in 3 dB steps, never above today's -12.
  EXPECT_EQ(AxesFor(model, 24, 0, -9).bottomDb, -12.0);
  EXPECT_EQ(AxesFor(model, 24, 0, -9.5).bottomDb, -15.0);
  EXPECT_EQ(AxesFor(model, 24, 0, -28).bottomDb, -33.0);
  EXPECT_EQ(AxesFor(model, 24, 0, -80).bottomDb, -36.0);
  EXPECT_EQ(AxesFor(model, 24, 0, -80).topDb, 12.0);
  // A wider slider range reaches further by itself.
  EXPECT_EQ(AxesFor(model, 80, 0, -80).bottomDb, -40.0);
  // The high-pass at 100 Hz takes about 28 dB at 20 Hz: all of it shows.
  TEqualizerDocument doc;
  doc.HighPassIndex = 15;
  const ResponseCurve curve = ComputeResponse(model, doc, DrawnFrequencies(model));
  const ResponseAxes axes = AxesFor(model, 24, curve);
  EXPECT_LE(axes.bottomDb, curve.totalDb[curve.Lowest()] - 3);
  EXPECT_GT(axes.bottomDb, curve.totalDb[curve.Lowest()] - 6);
}

TEST(ScaleLabels, BothEndsZeroAndEvenlySpacedMarksThatFit) {
  // Labels 10 pixels high centred on their marks, `pixels` apart per unit.
  const auto labels = [](double low, double high, double pixels) {
    return ThinnedScaleLabels(low, high, 6, [&](double v) {
      return LabelSpan{-v * pixels - 5, -v * pixels + 5};
    }, 0);
  };
  using V = std::vector<double>;
  EXPECT_EQ(labels(-24, 24, 4), (V{24, 18, 12, 6, 0, -6, -12, -18, -24}));
  EXPECT_EQ(labels(-24, 24, 1), (V{24, 12, 0, -12, -24}));  // 6 apart would be 6 px
  EXPECT_EQ(labels(-24, 24, 0.5), (V{24, 0, -24}));
  // Ends that are not marks: the mark next to an end gives way.
  EXPECT_EQ(labels(-15, 15, 2), (V{15, 6, 0, -6, -15}));
  EXPECT_EQ(labels(-4, 4, 4), (V{4, 0, -4}));
  // Far too little room: the ends still.
  EXPECT_EQ(labels(-24, 24, 0.1), (V{24, -24}));
  // The level axis: ends held inside the plot push their neighbours away
  // evenly rather than one at a time (no "+12, +6, +3" with +9 missing).
  const ResponseAxes axes = AxesFor(DefaultResponseModel(), 24, 0);
  const auto top = [&](double height) {
    return [=](double db) { return std::clamp(height * axes.YFraction(db) - 6, 0.0, height - 12); };
  };
  EXPECT_EQ(LabelledDbLevels(axes, top(300), 12, 1), (V{12, 9, 6, 3, 0, -3, -6, -9, -12}));
  EXPECT_EQ(LabelledDbLevels(axes, top(150), 12, 1), (V{12, 6, 0, -6, -12}));
  EXPECT_EQ(LabelledDbLevels(axes, top(40), 12, 1), (V{12, 0, -12}));
}

TEST(ResponseChart, BandLabelsThinOutOnNarrowPlotsAndKeepOneKilohertz) {
  const ResponseAxes axes = AxesFor(DefaultResponseModel(), 24, 0);
  EXPECT_EQ(CompactBandLabel(1), "25");
  EXPECT_EQ(CompactBandLabel(2), "31.5");
  EXPECT_EQ(CompactBandLabel(16), "800");
  EXPECT_EQ(CompactBandLabel(17), "1k");
  EXPECT_EQ(CompactBandLabel(18), "1.25k");
  EXPECT_EQ(CompactBandLabel(29), "16k");
  const auto width = [](const std::string& s) { return 7.0 * double(s.size()); };
  // Bands lie 1/30 of the plot apart: 3000 px leave 100 px each.
  EXPECT_EQ(LabelledBands(axes, 3000, width, 4).size(), size_t(kBandCount));
  const std::vector<int> half = LabelledBands(axes, 900, width, 4);  // 30 px each
  EXPECT_EQ(half.front(), 1);
  EXPECT_EQ(half.size(), 15u);
  const std::vector<int> octaves = LabelledBands(axes, 400, width, 4);  // 13 px each
  EXPECT_EQ(octaves, (std::vector<int>{2, 5, 8, 11, 14, 17, 20, 23, 26, 29}));
  EXPECT_EQ(LabelledBands(axes, 60, width, 4), (std::vector<int>{5, 17, 29}));
}

TEST(ResponseChart, NumbersAndTheSummaryReadAsTheProgramWritesThem) {
  EXPECT_EQ(HzText(20.0), "20.0 Hz");
  EXPECT_EQ(HzText(63.0957), "63.1 Hz");
  EXPECT_EQ(HzText(99.96), "100 Hz");
  EXPECT_EQ(HzText(999.4), "999 Hz");
  EXPECT_EQ(HzText(999.6), "1.00 kHz");
  EXPECT_EQ(HzText(1258.9), "1.26 kHz");
  EXPECT_EQ(HzText(15848.9), "15.8 kHz");
  // Corners read as the filter tables write them.
  EXPECT_EQ(CornerText(22.4), "22.4 Hz");
  EXPECT_EQ(CornerText(2000), "2 kHz");
  for (int i = 1; i < kFilterCount; ++i) EXPECT_EQ(CornerText(*HighPassCornerHz(i)), HighPassLabel(i));
  for (int i = 0; i < kLowPassOut; ++i) EXPECT_EQ(CornerText(*LowPassCornerHz(i)), LowPassLabel(i));
  EXPECT_EQ(DbText(3.44), "+3.4 dB");
  EXPECT_EQ(DbText(-0.04), "0.0 dB");
  EXPECT_EQ(DbText(-12), "-12.0 dB");

  const ResponseModel& model = DefaultResponseModel();
  TEqualizerDocument doc = WithBand(k1kHzBand, 12);
  doc.HighPassIndex = 21;  // 200 Hz: -40.0 dB at 20 Hz, 12 - 0.007 dB at 1 kHz (python3)
  ResponseCurve curve = ComputeResponse(model, doc, DrawnFrequencies(model));
  EXPECT_EQ(ResponseSummary(curve), "Highest +12.0 dB at 1.00 kHz, lowest -40.0 dB at 20.0 Hz.");
  curve.bypass = true;
  EXPECT_EQ(ResponseSummary(curve).rfind("Bypassed: ", 0), 0u);
  EXPECT_EQ(ResponseSummary(ComputeResponse(model, Flat(), DrawnFrequencies(model))),
            "Flat, 0.0 dB at every frequency.");
  curve.mute = true;
  EXPECT_EQ(ResponseSummary(curve).rfind("Muted: ", 0), 0u);
  EXPECT_NE(ResponseSummary(curve).find("+12.0 dB at 1.00 kHz"), std::string::npos);
}

TEST(ResponseExport, TextAndCsvHoldOneLinePerTwentyFourthOfAnOctave) {
  const ResponseModel& model = DefaultResponseModel();
  TEqualizerDocument doc = WithBand(k1kHzBand, 12);
  const ResponseCurve curve = ComputeResponse(model, doc, TextFrequencies(model));
  const std::string text = ResponseText(curve, "RIDE");
  // The grid's highest point is the one nearest below 1 kHz.
  EXPECT_EQ(text.rfind("# Computed response (no measurement) of RIDE\n"
                       "# Highest +11.8 dB at 987 Hz, lowest 0.0 dB at 20.0 Hz.\n",
                       0),
            0u)
      << text.substr(0, 200);
  // 20 and 40 Hz are far below the band; 1 kHz is not a point of the
  // grid, 20 · 2^(135/24) = 987.0 Hz is the nearest below it (by hand).
  EXPECT_NE(text.find("\n20.00\t0.00\n"), std::string::npos);
  EXPECT_NE(text.find("\n40.00\t0.00\n"), std::string::npos);
  size_t lines = 0, comments = 0;
  for (size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) {
    ++lines;
    comments += text[at] == '#';
  }
  EXPECT_EQ(comments, 3u);
  EXPECT_EQ(lines - comments, 240u);

  const std::string csv = ResponseCsv(curve);
  EXPECT_EQ(csv.rfind("frequency_hz,computed_db\n20.00,0.00\n", 0), 0u);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 241);
  // The level at 987.0 Hz in both (the text's tab is the CSV's comma).
  const size_t row = csv.find("\n987.01,");
  ASSERT_NE(row, std::string::npos);
  const std::string line = csv.substr(row + 1, csv.find('\n', row + 1) - row - 1);
  std::string tabbed = line;
  tabbed[tabbed.find(',')] = '\t';
  EXPECT_NE(text.find("\n" + tabbed + "\n"), std::string::npos) << line;
  EXPECT_GT(std::stod(line.substr(line.find(',') + 1)), 11.0);
}

TEST(ResponseExport, SvgCutsTheCurveAtThePlotsEdges) {
  // Both filters far in: the curve leaves the plot at its bottom on either
  // side, and the file draws only what lies inside (no clip path, which
  // some renderers follow only in part).
  const ResponseModel& model = DefaultResponseModel();
  TEqualizerDocument doc;
  doc.HighPassIndex = 21;  // 200 Hz
  doc.LowPassIndex = 0;    // 2 kHz
  const std::string svg = ResponseSvg(model, ComputeResponse(model, doc, DrawnFrequencies(model)), "");
  EXPECT_EQ(svg.find("clip"), std::string::npos);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(svg, m, std::regex(
      "<rect id=\"plot\" x=\"([0-9.]+)\" y=\"([0-9.]+)\" width=\"([0-9.]+)\" height=\"([0-9.]+)\"")));
  const double left = std::stod(m[1]), top = std::stod(m[2]);
  const double right = left + std::stod(m[3]), bottom = top + std::stod(m[4]);
  const size_t from = svg.find("<g id=\"total\""), to = svg.find("</g>", from);
  ASSERT_NE(from, std::string::npos);
  const std::string total = svg.substr(from, to - from);
  std::vector<std::pair<double, double>> points;
  const std::regex point("(-?[0-9.]+),(-?[0-9.]+)");
  for (auto i = std::sregex_iterator(total.begin(), total.end(), point); i != std::sregex_iterator(); ++i)
    points.emplace_back(std::stod((*i)[1]), std::stod((*i)[2]));
  ASSERT_GT(points.size(), 100u);
  for (const auto& [x, y] : points) {
    EXPECT_TRUE(x >= left && x <= right && y >= top && y <= bottom) << x << "," << y;
  }
  // One stretch, from the bottom edge up and back to it.
  EXPECT_EQ(std::count(total.begin(), total.end(), '<'), 2);
  EXPECT_DOUBLE_EQ(points.front().second, bottom);
  EXPECT_DOUBLE_EQ(points.back().second, bottom);
  EXPECT_GT(points.front().first, left);
  EXPECT_LT(points.back().first, right);
}

TEST(ResponseExport, SvgNamesItselfSafelyAndDrawsTheStates) {
  const ResponseModel& model = DefaultResponseModel();
  TEqualizerDocument doc = WithBand(5, 6);
  doc.HighPassIndex = 15;
  ResponseCurve curve = ComputeResponse(model, doc, DrawnFrequencies(model), true);
  std::string svg = ResponseSvg(model, curve, "A<B & \"C\"\x01\xff", SvgPicture{});
  EXPECT_EQ(svg.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg ", 0), 0u);
  EXPECT_NE(svg.find("of A&lt;B &amp; &quot;C&quot;?" "?</title>"), std::string::npos);
  EXPECT_NE(svg.find("HP 100 Hz"), std::string::npos);
  EXPECT_EQ(svg.find("LP "), std::string::npos);
  EXPECT_EQ(svg.find("id=\"band-5\""), std::string::npos);  // bands only on request
  EXPECT_EQ(svg.find("Muted"), std::string::npos);
  EXPECT_NE(svg.find(kComputedNote), std::string::npos);
  // Valid UTF-8 is kept as it is.
  EXPECT_NE(ResponseSvg(model, curve, "Gr\xc3\xbcn").find("Gr\xc3\xbcn</title>"), std::string::npos);

  SvgPicture withBands;
  withBands.bands = true;
  curve.mute = true;
  svg = ResponseSvg(model, curve, "", withBands);
  EXPECT_NE(svg.find("id=\"band-5\""), std::string::npos);
  EXPECT_NE(svg.find("id=\"muted\""), std::string::npos);
  curve.mute = false;
  curve.bypass = true;
  EXPECT_NE(ResponseSvg(model, curve, "").find("id=\"bypassed\""), std::string::npos);
}
