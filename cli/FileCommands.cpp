// The varlo-cli commands that work on files: show and convert preset
// files on the program's own readers and writers, find and edit the
// settings file.
#include "cli/FileCommands.h"

#include <iostream>
#include <optional>
#include <stdexcept>

#include "cli/CliArguments.h"
#include "link/Json.h"
#include "eq/DeviceBlock.h"
#include "eq/PresetFiles.h"
#include "settings/IniFile.h"
#include "settings/SettingsLocation.h"

PresetFormat FormatOption(const Arguments& args, const std::string& path) {
  auto it = args.options.find("--format");
  if (it == args.options.end()) return PresetFormatForPath(path);
  if (it->second == "mac") return PresetFormat::Mac;
  if (it->second == "equ") return PresetFormat::Equ;
  throw UsageError("option --format needs mac or equ, not \"" + it->second + "\"");
}

int ShowCommand(const std::vector<std::string>& rawArgs) {
  Arguments args = ParseArguments(rawArgs, {"--format", "--preset"});
  if (args.positional.size() != 1) throw UsageError("show needs exactly one FILE");
  const std::string& path = args.positional[0];
  PresetFormat format = FormatOption(args, path);
  int preset = IntegerOption(args, "--preset", 1, 1, kPresetCount);

  PresetFileContents contents = ReadExactPresetFile(path, format);
  std::string json = "{\"format\":\"" + std::string(PresetFormatName(format)) + "\",\"bands\":[";
  for (int band = 1; band <= kBandCount; ++band) {
    if (band > 1) json += ",";
    json += std::to_string(contents.BandSteps(band));
  }
  json += "],\"gain\":" + std::to_string(contents.GainSteps());
  json += ",\"highPass\":" + std::to_string(contents.highPassIndex);
  json += ",\"lowPass\":" + std::to_string(contents.lowPassIndex);
  json += ",\"presetName\":" + JsonString(contents.presetName);
  json += ",\"lock\":" + (contents.lockByte ? std::to_string(*contents.lockByte) : "null");
  json += ",\"maxExcursion\":" + std::to_string(contents.maxExcursion);
  json += ",\"payload\":\"" + HexText(contents.Payload(preset)) + "\"}";
  std::cout << json << "\n";
  return 0;
}

int ConvertCommand(const std::vector<std::string>& rawArgs) {
  Arguments args =
      ParseArguments(rawArgs, {"--format", "--address", "--preset", "--device-name"});
  if (args.positional.size() != 2) throw UsageError("convert needs IN and OUT");
  const std::string& in = args.positional[0];
  const std::string& out = args.positional[1];
  PresetFormat inFormat = FormatOption(args, in);

  // A new window at that address and preset, with the program's default
  // slider range, opens IN and is saved as OUT.
  TEqualizerDocument doc;
  doc.Address = IntegerOption(args, "--address", 0, 0, kMaxAddress);
  doc.CurrentPreset = IntegerOption(args, "--preset", 1, 1, kPresetCount);
  if (auto it = args.options.find("--device-name"); it != args.options.end())
    doc.DeviceName = it->second;

  PresetFileContents contents = ReadExactPresetFile(in, inFormat);
  ApplyPresetContents(doc, contents, SliderPolicy{});
  WritePresetFile(out, PresetFormatForPath(out), doc);
  return 0;
}

int SettingsFileCommand(const std::vector<std::string>& args) {
  if (args.size() != 1) throw UsageError("settings-file takes one folder");
  std::string dir = args[0];
  if (!dir.empty() && dir.back() != '/') dir += '/';
  std::cout << SettingsFilePath(dir) << "\n";
  return 0;
}

int SettingCommand(const std::vector<std::string>& args) {
  if (args.size() != 3 && args.size() != 4)
    throw UsageError("setting takes FILE SECTION KEY and, to write, VALUE");
  if (auto problem = IniFileProblem(args[0]))
    throw std::runtime_error("cannot read " + args[0] + ": " + *problem);
  IniFile ini(args[0]);
  if (args.size() == 3) {
    const std::optional<std::string> value = ini.ReadValue(args[1], args[2]);
    if (!value) throw std::runtime_error("no key \"" + args[2] + "\" in [" + args[1] + "]");
    std::cout << *value << "\n";
    return 0;
  }
  if (!ini.WriteString(args[1], args[2], args[3]))
    throw std::runtime_error("cannot write " + args[0]);
  return 0;
}

