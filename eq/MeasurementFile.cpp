#include "eq/MeasurementFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

namespace {
std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

std::string BaseName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The whole field as a number; a decimal comma is taken where allowed.
std::optional<double> Number(std::string field, bool decimalComma) {
  field = Trim(field);
  if (field.empty()) return std::nullopt;
  if (decimalComma) std::replace(field.begin(), field.end(), ',', '.');
  char* end = nullptr;
  const double value = std::strtod(field.c_str(), &end);
  if (end != field.c_str() + field.size()) return std::nullopt;
  return value;
}

// How the columns of a line are separated: semicolons allow a decimal
// comma, commas do not; without either, runs of blanks and tabs separate,
// with a decimal comma allowed.
struct Columns {
  char separator = 0;  // 0: runs of blanks
  bool decimalComma = true;
};

std::vector<std::string> Split(const std::string& line, const Columns& columns) {
  std::vector<std::string> fields;
  if (columns.separator == 0) {
    std::istringstream in(line);
    for (std::string f; in >> f;) fields.push_back(f);
    return fields;
  }
  std::string field;
  for (char c : line) {
    if (c == columns.separator) {
      fields.push_back(Trim(field));
      field.clear();
    } else {
      field += c;
    }
  }
  fields.push_back(Trim(field));
  return fields;
}

Columns ColumnsOf(const std::string& line) {
  if (line.find(';') != std::string::npos) return {';', true};
  if (line.find(',') != std::string::npos) {
    // "20.5, -3.1" separates by commas; "20,5 -3,1" has decimal commas.
    const Columns comma{',', false};
    const auto fields = Split(line, comma);
    const bool numbers = fields.size() >= 2 && std::all_of(fields.begin(), fields.end(), [](const std::string& f) {
                           return Number(f, false).has_value();
                         });
    const bool words = std::none_of(fields.begin(), fields.end(), [](const std::string& f) {
      return f.find_first_of(" \t") != std::string::npos;
    });
    if (numbers || words) return comma;
  }
  return {0, true};
}

// The frequency and level columns a header names; nothing when it names
// no frequency column.
std::optional<std::pair<size_t, size_t>> NamedColumns(const std::vector<std::string>& names) {
  std::optional<size_t> freq, level;
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string name = Lower(names[i]);
    if (!freq && (name.find("freq") != std::string::npos || name == "hz" || name.rfind("hz", 0) == 0)) {
      freq = i;
      continue;
    }
    if (!level && name.find("phase") == std::string::npos &&
        (name.find("spl") != std::string::npos || name.find("db") != std::string::npos ||
         name.find("mag") != std::string::npos || name.find("level") != std::string::npos ||
         name.find("raw") != std::string::npos || name.find("ampl") != std::string::npos))
      level = i;
  }
  if (!freq) return std::nullopt;
  return std::make_pair(*freq, level ? *level : (*freq == 0 ? 1 : 0));
}

std::string ReadWhole(const std::string& path, const std::string& name) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) throw MeasurementError(name + ": cannot be read");
  if (!S_ISREG(st.st_mode)) throw MeasurementError(name + ": not a regular file");
  if (st.st_size > kMaxMeasurementFileBytes) throw MeasurementError(name + ": larger than 8 MiB");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw MeasurementError(name + ": cannot be read");
  std::ostringstream text;
  text << in.rdbuf();
  std::string s = text.str();
  // It may have grown since it was looked at.
  if (static_cast<long long>(s.size()) > kMaxMeasurementFileBytes) throw MeasurementError(name + ": larger than 8 MiB");
  return s;
}

std::string LineError(const std::string& name, int line, const std::string& what) {
  return name + ", line " + std::to_string(line) + ": " + what;
}
}  // namespace

Measurement ParseMeasurement(const std::string& text, const std::string& name) {
  Measurement m;
  std::optional<std::pair<size_t, size_t>> columns;  // frequency, level
  std::optional<Columns> layout;
  std::string lastStarLine;
  std::istringstream in(text);
  int number = 0;
  for (std::string raw; std::getline(in, raw);) {
    ++number;
    const std::string line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '*') {
      lastStarLine = line.substr(1);
      continue;
    }
    if (!layout) layout = ColumnsOf(line);
    std::vector<std::string> fields = Split(line, *layout);
    const bool numeric = !fields.empty() && Number(fields[0], layout->decimalComma).has_value();
    if (!numeric && m.hz.empty() && !columns) {
      // A header row naming the columns.
      columns = NamedColumns(fields);
      if (!columns) throw MeasurementError(LineError(name, number, "no frequency column named"));
      layout.reset();  // the data's own separator counts
      continue;
    }
    if (!columns) {
      // The analyser's last header line names the columns, when it does.
      if (!lastStarLine.empty()) columns = NamedColumns(Split(Trim(lastStarLine), ColumnsOf(Trim(lastStarLine))));
      if (!columns) columns = std::make_pair(size_t{0}, size_t{1});
    }
    const auto [freqColumn, levelColumn] = *columns;
    if (fields.size() <= std::max(freqColumn, levelColumn))
      throw MeasurementError(LineError(name, number, "fewer columns than a frequency and a level"));
    const std::optional<double> hz = Number(fields[freqColumn], layout->decimalComma);
    const std::optional<double> db = Number(fields[levelColumn], layout->decimalComma);
    if (!hz || !db || !std::isfinite(*hz) || !std::isfinite(*db))
      throw MeasurementError(LineError(name, number, "not a finite number"));
    if (*hz <= 0) throw MeasurementError(LineError(name, number, "a frequency must be above 0 Hz"));
    if (!m.hz.empty() && *hz <= m.hz.back())
      throw MeasurementError(LineError(name, number, "frequencies must increase from line to line"));
    m.hz.push_back(*hz);
    m.db.push_back(*db);
  }
  if (m.hz.size() < 10)
    throw MeasurementError(name + ": " + std::to_string(m.hz.size()) + " points; at least 10 are needed");
  if (std::none_of(m.hz.begin(), m.hz.end(), [](double f) { return f >= 31.5 && f <= 8000; }))
    throw MeasurementError(name + ": no point between 31.5 Hz and 8 kHz");
  return m;
}

// Refusals name the file as it was given: a bare name would not tell
// /dev/zero from ./zero, nor one folder from another of the same name.
Measurement ReadMeasurementFile(const std::string& path) {
  return ParseMeasurement(ReadWhole(path, path), path);
}

// --- Target curves ------------------------------------------------------------

TargetCurve TargetCurve::Tilt(double dbPerOctave) {
  TargetCurve t;
  t.kind_ = Kind::Tilt;
  t.slope_ = dbPerOctave;
  std::ostringstream d;
  d.precision(2);
  d << "tilt:" << std::fixed << dbPerOctave;
  t.description_ = d.str();
  return t;
}

TargetCurve TargetCurve::XCurve() {
  TargetCurve t;
  t.kind_ = Kind::XCurve;
  t.description_ = "x-curve";
  return t;
}

TargetCurve TargetCurve::FromHouseCurveText(const std::string& text, const std::string& name) {
  TargetCurve t;
  t.kind_ = Kind::House;
  t.description_ = name;
  std::istringstream in(text);
  int number = 0;
  for (std::string raw; std::getline(in, raw);) {
    ++number;
    std::string line = Trim(raw);
    if (line.empty() || !(std::isdigit(static_cast<unsigned char>(line[0])) || line[0] == '.')) continue;
    const Columns layout = ColumnsOf(line);
    const auto fields = Split(line, layout);
    const std::optional<double> hz = fields.size() >= 2 ? Number(fields[0], layout.decimalComma) : std::nullopt;
    const std::optional<double> db = fields.size() >= 2 ? Number(fields[1], layout.decimalComma) : std::nullopt;
    if (!hz || !db || !std::isfinite(*hz) || !std::isfinite(*db) || *hz <= 0)
      throw MeasurementError(LineError(name, number, "not a frequency and a level"));
    if (!t.hz_.empty() && *hz <= t.hz_.back())
      throw MeasurementError(LineError(name, number, "frequencies must increase from line to line"));
    t.hz_.push_back(*hz);
    t.db_.push_back(*db);
  }
  if (t.hz_.empty()) throw MeasurementError(name + ": no frequency and level in it");
  return t;
}

TargetCurve TargetCurve::FromSpec(const std::string& spec) {
  if (spec == "flat") return Flat();
  if (spec == "x-curve") return XCurve();
  if (spec.rfind("tilt:", 0) == 0) {
    const std::optional<double> slope = Number(spec.substr(5), false);
    if (!slope || !std::isfinite(*slope) || std::fabs(*slope) > 12)
      throw MeasurementError("tilt: needs a slope in dB per octave, e.g. tilt:-1.0");
    return Tilt(*slope);
  }
  TargetCurve t = FromHouseCurveText(ReadWhole(spec, spec), spec);
  t.description_ = BaseName(spec);
  return t;
}

std::string TargetCurve::Words() const {
  switch (kind_) {
    case Kind::Flat:
      return "flat";
    case Kind::XCurve:
      return "the X-curve";
    case Kind::House:
      return "the house curve in " + description_;
    case Kind::Tilt:
      break;
  }
  char digits[32];
  std::snprintf(digits, sizeof digits, "%.2f", std::fabs(slope_));
  std::string number = digits;
  if (number.back() == '0') number.pop_back();  // -1.0, -1.5, -1.25
  const char* sign = number == "0.0" ? "" : slope_ < 0 ? "\u2212" : "+";
  return std::string("tilt ") + sign + number + " dB per octave about 1 kHz";
}

double TargetCurve::At(double hz) const {
  switch (kind_) {
    case Kind::Flat:
      return 0;
    case Kind::Tilt:
      return slope_ * std::log2(hz / 1000.0);
    case Kind::XCurve:
      return hz <= 2000 ? 0 : -3.0 * std::log2(hz / 2000.0);
    case Kind::House:
      break;
  }
  // Interpolated on a log-frequency axis; the end values hold beyond the ends.
  if (hz <= hz_.front()) return db_.front();
  if (hz >= hz_.back()) return db_.back();
  const auto above = std::upper_bound(hz_.begin(), hz_.end(), hz);
  const size_t i = static_cast<size_t>(above - hz_.begin());
  const double share = std::log(hz / hz_[i - 1]) / std::log(hz_[i] / hz_[i - 1]);
  return db_[i - 1] + share * (db_[i] - db_[i - 1]);
}
