// Measured responses in the formats analysers and spreadsheets write, the
// files that are refused (with the file and line named), and the target
// curves a fit aims for.
#include "eq/MeasurementFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <functional>

#include "testsupport/TempDir.h"

namespace {
// n points a third of an octave apart from 20 Hz, each line made by `row`.
std::string Rows(int n, const std::function<std::string(double hz, double db)>& row) {
  std::string text;
  for (int i = 0; i < n; ++i) text += row(20 * std::pow(2.0, i / 3.0), -i * 0.5) + "\n";
  return text;
}

std::string Fixed(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  return buf;
}

std::string Comma(double v) {
  std::string s = Fixed(v);
  s[s.find('.')] = ',';
  return s;
}

std::string RefusalOf(const std::string& text) {
  try {
    ParseMeasurement(text, "room.txt");
  } catch (const MeasurementError& e) {
    return e.what();
  }
  return "";
}
}  // namespace

TEST(MeasurementFile, EachFormatGivesTheSamePoints) {
  const std::string analyser =
      "* Measurement data measured by an analyser\n* Source: pink noise\n* Freq(Hz), SPL(dB), Phase(degrees)\n" +
      Rows(20, [](double hz, double db) { return Fixed(hz) + ", " + Fixed(db) + ", 12.5"; });
  const std::string frd = "* FRD file\n" + Rows(20, [](double hz, double db) {
                            return Fixed(hz) + "  " + Fixed(db) + "\t-30";
                          });
  const std::string semicolons = "Freq;SPL\n" + Rows(20, [](double hz, double db) { return Comma(hz) + ";" + Comma(db); });
  const std::string spaces = "# exported\n" + Rows(20, [](double hz, double db) { return Comma(hz) + "   " + Comma(db); });
  // The header names the columns: the level is the third one here.
  const std::string named = "phase,frequency,raw\n" + Rows(20, [](double hz, double db) {
                              return "7," + Fixed(hz) + "," + Fixed(db);
                            });
  const Measurement expected = ParseMeasurement(frd, "room.frd");
  ASSERT_EQ(expected.hz.size(), 20u);
  EXPECT_NEAR(expected.hz[3], 40.0, 0.01);
  EXPECT_NEAR(expected.db[3], -1.5, 1e-9);
  for (const std::string& text : {analyser, semicolons, spaces, named}) {
    const Measurement m = ParseMeasurement(text, "room.txt");
    EXPECT_EQ(m.hz, expected.hz) << text.substr(0, 60);
    EXPECT_EQ(m.db, expected.db) << text.substr(0, 60);
  }
}

TEST(MeasurementFile, RefusalsNameTheFileAndTheLine) {
  const std::string good = Rows(12, [](double hz, double db) { return Fixed(hz) + "," + Fixed(db); });
  EXPECT_EQ(RefusalOf("20,1\n30,2\n"), "room.txt: 2 points; at least 10 are needed");
  std::string bad = good;
  bad.insert(bad.find('\n') + 1, "25,inf\n");
  EXPECT_EQ(RefusalOf(bad), "room.txt, line 2: not a finite number");
  bad = good + "20000,x\n";
  EXPECT_EQ(RefusalOf(bad), "room.txt, line 13: not a finite number");
  bad = good + Fixed(20 * std::pow(2.0, 11 / 3.0)) + ",1\n";  // the last frequency again
  EXPECT_EQ(RefusalOf(bad), "room.txt, line 13: frequencies must increase from line to line");
  std::string high;
  for (int i = 0; i < 10; ++i) high += std::to_string(9000 + i * 100) + ",0\n";
  EXPECT_EQ(RefusalOf(high), "room.txt: no point between 31.5 Hz and 8 kHz");

  TempDir dir;
  EXPECT_THROW(ReadMeasurementFile(dir.Path()), MeasurementError);  // a folder
  WriteText(dir / "big.txt", std::string(kMaxMeasurementFileBytes + 1, '#'));
  try {
    ReadMeasurementFile(dir / "big.txt");
    ADD_FAILURE();
  } catch (const MeasurementError& e) {
    EXPECT_EQ(e.what(), dir / "big.txt" + ": larger than 8 MiB");
  }
  WriteText(dir / "room.txt", good);
  EXPECT_EQ(ReadMeasurementFile(dir / "room.txt").hz.size(), 12u);
}

TEST(TargetCurve, BuiltInCurvesAndAHouseCurveFile) {
  EXPECT_EQ(TargetCurve::FromSpec("flat").At(63), 0);
  const TargetCurve tilt = TargetCurve::FromSpec("tilt:-1.0");
  EXPECT_NEAR(tilt.At(250), 2.0, 1e-9);
  EXPECT_NEAR(tilt.At(4000), -2.0, 1e-9);
  const TargetCurve x = TargetCurve::FromSpec("x-curve");
  EXPECT_EQ(x.At(1000), 0);
  EXPECT_NEAR(x.At(8000), -6.0, 1e-9);
  EXPECT_THROW(TargetCurve::FromSpec("tilt:steep"), MeasurementError);

  TempDir dir;
  WriteText(dir / "house.txt", "House curve\n100 4\n1000 0\n# note\n10000 -2\n");
  const TargetCurve house = TargetCurve::FromSpec(dir / "house.txt");
  EXPECT_EQ(house.Description(), "house.txt");
  // In words for the operator.
  EXPECT_EQ(TargetCurve::Tilt(1.25).Words(), "tilt +1.25 dB per octave about 1 kHz");
  EXPECT_EQ(x.Words(), "the X-curve");
  EXPECT_EQ(house.At(20), 4);  // the ends hold
  EXPECT_NEAR(house.At(std::sqrt(100.0 * 1000.0)), 2.0, 1e-9);  // halfway on the log axis
  EXPECT_EQ(house.At(20000), -2);
  EXPECT_THROW(TargetCurve::FromHouseCurveText("1000 0\n100 1\n", "h.txt"), MeasurementError);
  EXPECT_THROW(TargetCurve::FromHouseCurveText("no numbers\n", "h.txt"), MeasurementError);
}
