#pragma once
// Measured frequency responses as room-acoustics analysers, FRD files and
// spreadsheets write them as text, and the target curves a fit aims for.
// Phase columns are read past and ignored.
#include <stdexcept>
#include <string>
#include <vector>

// One measured response: frequencies strictly increasing, in Hz, and their
// levels in dB (at an arbitrary absolute level).
struct Measurement {
  std::vector<double> hz;
  std::vector<double> db;
};

// A file that cannot be taken; the message names the file, and the line
// where one is to blame.
class MeasurementError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The largest measurement file read.
constexpr long long kMaxMeasurementFileBytes = 8LL * 1024 * 1024;

// Reads a measurement file: not a regular file, larger than 8 MiB, fewer
// than 10 points, a value that is not a finite number, frequencies not
// strictly increasing, or no point between 31.5 Hz and 8 kHz are refused.
Measurement ReadMeasurementFile(const std::string& path);
// The same for text already read; `name` names it in messages.
Measurement ParseMeasurement(const std::string& text, const std::string& name);

// What a fit aims for, in dB at a frequency (0 dB at 1 kHz for all but a
// house curve, whose own levels count).
class TargetCurve {
 public:
  // "flat", "tilt:D" (D dB per octave about 1 kHz), "x-curve" (flat to
  // 2 kHz, then -3 dB per octave), or the path of a house-curve file.
  static TargetCurve FromSpec(const std::string& spec);
  static TargetCurve Flat() { return TargetCurve(); }
  static TargetCurve Tilt(double dbPerOctave);
  static TargetCurve XCurve();
  // Pairs of frequency and dB, one per line; lines that do not start with
  // a number are ignored.
  static TargetCurve FromHouseCurveText(const std::string& text, const std::string& name);

  double At(double hz) const;
  // "flat", "tilt:-1.0", "x-curve" or the house curve's file name.
  const std::string& Description() const { return description_; }
  // The same in words, for the operator: "flat", "tilt −1.0 dB per octave
  // about 1 kHz", "the X-curve", "the house curve in house.txt".
  std::string Words() const;

 private:
  enum class Kind { Flat, Tilt, XCurve, House };
  Kind kind_ = Kind::Flat;
  double slope_ = 0;
  std::vector<double> hz_, db_;
  std::string description_ = "flat";
};
