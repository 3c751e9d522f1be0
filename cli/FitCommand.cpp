// varlo-cli fit: the 29 bands fitted to a measured response and a target,
// printed as a table or one JSON line, optionally written as a preset file
// and as a CSV of the curves.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>

#include "cli/CliArguments.h"
#include "cli/FileCommands.h"
#include "eq/CurveFit.h"
#include "eq/DeviceBlock.h"
#include "eq/PresetFiles.h"
#include "eq/ResponseExport.h"

namespace {
std::string Num(double v, int decimals = 2) {
  // No point: an empty field.
  if (!std::isfinite(v)) return {};
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

// A positive number of dB, octaves or a weight, from min to max.
double RealOption(const Arguments& args, const std::string& name, double fallback, double min, double max) {
  auto it = args.options.find(name);
  if (it == args.options.end()) return fallback;
  std::string text = it->second;
  double value = 0;
  size_t used = 0;
  try {
    if (const auto slash = text.find('/'); slash != std::string::npos) {
      // "1/6"
      const double a = std::stod(text.substr(0, slash), &used);
      if (used != slash) throw UsageError("");
      size_t usedB = 0;
      const double b = std::stod(text.substr(slash + 1), &usedB);
      if (usedB != text.size() - slash - 1 || b == 0) throw UsageError("");
      value = a / b;
    } else {
      value = std::stod(text, &used);
      if (used != text.size()) throw UsageError("");
    }
  } catch (const std::exception&) {
    throw UsageError("option " + name + " needs a number, not \"" + text + "\"");
  }
  if (!std::isfinite(value) || value < min || value > max)
    throw UsageError("option " + name + " needs a number from " + Num(min, 0) + " to " + Num(max, 0));
  return value;
}

// "40-16k": hertz, a k suffix allowed.
double Hertz(std::string text) {
  double factor = 1;
  if (!text.empty() && (text.back() == 'k' || text.back() == 'K')) {
    factor = 1000;
    text.pop_back();
  }
  size_t used = 0;
  const double v = std::stod(text, &used);
  if (used != text.size()) throw std::invalid_argument(text);
  return v * factor;
}

void RangeOption(const Arguments& args, FitOptions& options) {
  auto it = args.options.find("--range");
  if (it == args.options.end()) return;
  const std::string& text = it->second;
  const auto dash = text.find('-', 1);
  try {
    if (dash == std::string::npos) throw std::invalid_argument(text);
    options.lowHz = Hertz(text.substr(0, dash));
    options.highHz = Hertz(text.substr(dash + 1));
  } catch (const std::exception&) {
    throw UsageError("option --range needs LO-HI in Hz, e.g. 40-16k, not \"" + text + "\"");
  }
  if (!(options.lowHz > 0) || !(options.highHz > options.lowHz) || options.highHz > 100000)
    throw UsageError("option --range needs 0 < LO < HI, not \"" + text + "\"");
}
}  // namespace

int FitCommand(const std::vector<std::string>& rawArgs) {
  const Arguments args = ParseArguments(rawArgs,
                                        {"--target", "--range", "--max-boost", "--max-cut", "--smoothing",
                                         "--smoothness", "--overshoot-weight", "--base", "--out", "--csv"},
                                        {"--json"});
  if (args.positional.size() != 1) throw UsageError("fit needs one MEASUREMENT file");
  FitOptions options;
  RangeOption(args, options);
  options.maxBoostDb = RealOption(args, "--max-boost", options.maxBoostDb, 0, 12);
  options.maxCutDb = RealOption(args, "--max-cut", options.maxCutDb, 0, 12);
  options.smoothingOctaves = RealOption(args, "--smoothing", options.smoothingOctaves, 0, 2);
  options.smoothness = RealOption(args, "--smoothness", options.smoothness, 0, 100);
  options.overshootWeight = RealOption(args, "--overshoot-weight", options.overshootWeight, 1, 100);
  for (const char* option : {"--out", "--csv", "--base"})
    if (args.Has(option) && args.options.at(option).empty())
      throw UsageError(std::string("option ") + option + " needs a file name");

  // The filters and gain that stay: flat with the filters OUT, or a file's.
  TEqualizerDocument base;
  if (args.Has("--base")) {
    const std::string& path = args.options.at("--base");
    ApplyPresetContents(base, ReadExactPresetFile(path, PresetFormatForPath(path)), SliderPolicy{});
  }
  const Measurement measurement = ReadMeasurementFile(args.positional[0]);
  const TargetCurve target = TargetCurve::FromSpec(args.Has("--target") ? args.options.at("--target") : "flat");
  const FitResult fit = FitBands(measurement, target, options, base);

  if (args.Has("--out")) {
    TEqualizerDocument out = base;
    out.BandSteps = fit.bandSteps;
    const std::string& path = args.options.at("--out");
    WritePresetFile(path, PresetFormatForPath(path), out);
  }
  if (args.Has("--csv")) {
    std::string csv = "frequency_hz,measured_db,target_db,predicted_db,equalizer_db\n";
    for (size_t i = 0; i < fit.hz.size(); ++i)
      csv += Num(fit.hz[i], 2) + "," + Num(fit.measuredDb[i], 3) + "," + Num(fit.targetDb[i], 3) + "," +
             Num(fit.predictedDb[i], 3) + "," + Num(fit.equalizerDb[i], 3) + "\n";
    WriteResponseFile(args.options.at("--csv"), csv);
  }
  if (args.Has("--json")) {
    std::string json = "{\"bands\":[";
    for (int b = 0; b < kBandCount; ++b) json += (b ? "," : "") + Num(fit.bandSteps[b] * 0.5, 1);
    json += "],\"levelOffsetDb\":" + Num(fit.levelOffsetDb) + ",\"rmsErrorDb\":" + Num(fit.rmsErrorDb) +
            ",\"maxErrorDb\":" + Num(fit.maxErrorDb) + ",\"pinned\":[";
    for (size_t i = 0; i < fit.pinned.size(); ++i) json += (i ? "," : "") + std::to_string(fit.pinned[i]);
    json += "],\"rangeHz\":[" + Num(options.lowHz, 1) + "," + Num(options.highHz, 1) + "]}";
    std::cout << json << "\n";
    return 0;
  }
  std::cout << "band  centre Hz   level dB\n";
  for (int b = 0; b < kBandCount; ++b) {
    char line[64];
    std::snprintf(line, sizeof line, "%4d  %9.1f  %+9.1f%s\n", b + 1, BandCentreHz(b + 1), fit.bandSteps[b] * 0.5,
                  std::find(fit.pinned.begin(), fit.pinned.end(), b + 1) != fit.pinned.end() ? "  (at a bound)" : "");
    std::cout << line;
  }
  std::cout << "level offset " << Num(fit.levelOffsetDb) << " dB, error " << Num(fit.rmsErrorDb) << " dB RMS, "
            << Num(fit.maxErrorDb) << " dB largest, target " << target.Words() << "\n";
  return 0;
}
