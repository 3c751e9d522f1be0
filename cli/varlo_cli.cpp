// varlo-cli: preset files from the command line.
//
//   varlo-cli show FILE [--format mac|equ] [--preset N]
//   varlo-cli convert IN OUT [--format mac|equ] [--address A] [--preset P]
//                            [--device-name NAME]
//   varlo-cli settings-file DIR
//   varlo-cli setting FILE SECTION KEY [VALUE]
//
// `show` prints what the program's reader takes from a file as one JSON
// object; `convert` writes the file the program would save for a window
// holding that curve. `settings-file` prints the settings file that a
// program installed in DIR reads; `setting` prints one key of a settings
// file or writes it, keeping every other line. Errors are one line on stderr and exit status 1.
#include <charconv>
#include <cstdio>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "DeviceBlock.h"
#include "IniFile.h"
#include "PresetFiles.h"
#include "SettingsLocation.h"

namespace {
const char* const kUsage =
    "usage: varlo-cli show FILE [--format mac|equ] [--preset N]\n"
    "       varlo-cli convert IN OUT [--format mac|equ] [--address A] [--preset P] "
    "[--device-name NAME]\n"
    "       varlo-cli settings-file DIR\n"
    "       varlo-cli setting FILE SECTION KEY [VALUE]\n";

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Arguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // "--name" -> value
};

// Options take one value, as "--name value" or "--name=value"; "--" ends
// the options so that file names may start with a dash.
Arguments ParseArguments(const std::vector<std::string>& args, const std::set<std::string>& known) {
  Arguments parsed;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = arg, value;
    size_t equals = arg.find('=');
    if (equals != std::string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
    }
    if (!known.count(name)) throw UsageError("unknown option " + name);
    if (equals == std::string::npos) {
      if (i + 1 >= args.size()) throw UsageError("option " + name + " needs a value");
      value = args[++i];
    }
    if (parsed.options.count(name)) throw UsageError("option " + name + " given twice");
    parsed.options[name] = value;
  }
  return parsed;
}

int IntegerOption(const Arguments& args, const std::string& name, int fallback, int min, int max) {
  auto it = args.options.find(name);
  if (it == args.options.end()) return fallback;
  const std::string& text = it->second;
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < min || value > max)
    throw UsageError("option " + name + " needs a number from " + std::to_string(min) + " to " +
                     std::to_string(max) + ", not \"" + text + "\"");
  return value;
}

PresetFormat InputFormat(const Arguments& args, const std::string& path) {
  auto it = args.options.find("--format");
  if (it == args.options.end()) return PresetFormatForPath(path);
  if (it->second == "mac") return PresetFormat::Mac;
  if (it->second == "equ") return PresetFormat::Equ;
  throw UsageError("option --format needs mac or equ, not \"" + it->second + "\"");
}

// A JSON string; bytes below 32 and above 126 are written as \u00XX so that
// any name prints as plain ASCII.
std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c > 0x7E) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 0xF];
  }
  return out;
}

int Show(const std::vector<std::string>& rawArgs) {
  Arguments args = ParseArguments(rawArgs, {"--format", "--preset"});
  if (args.positional.size() != 1) throw UsageError("show needs exactly one FILE");
  const std::string& path = args.positional[0];
  PresetFormat format = InputFormat(args, path);
  int preset = IntegerOption(args, "--preset", 1, 1, kPresetCount);

  PresetFileContents contents = ReadPresetFile(path, format);
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
  json += ",\"payload\":\"" + Hex(contents.Payload(preset)) + "\"}";
  std::cout << json << "\n";
  return 0;
}

int Convert(const std::vector<std::string>& rawArgs) {
  Arguments args =
      ParseArguments(rawArgs, {"--format", "--address", "--preset", "--device-name"});
  if (args.positional.size() != 2) throw UsageError("convert needs IN and OUT");
  const std::string& in = args.positional[0];
  const std::string& out = args.positional[1];
  PresetFormat inFormat = InputFormat(args, in);

  // A new window at that address and preset, with the program's default
  // slider range, opens IN and is saved as OUT.
  TEqualizerDocument doc;
  doc.Address = IntegerOption(args, "--address", 0, 0, kMaxAddress);
  doc.CurrentPreset = IntegerOption(args, "--preset", 1, 1, kPresetCount);
  if (auto it = args.options.find("--device-name"); it != args.options.end())
    doc.DeviceName = it->second;

  PresetFileContents contents = ReadPresetFile(in, inFormat);
  ApplyPresetContents(doc, contents, SliderPolicy{});
  WritePresetFile(out, PresetFormatForPath(out), doc);
  return 0;
}
}  // namespace

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

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (args.empty()) throw UsageError("no command given");
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "show") return Show(args);
    if (command == "convert") return Convert(args);
    if (command == "settings-file") return SettingsFileCommand(args);
    if (command == "setting") return SettingCommand(args);
    if (command == "--help" || command == "-h" || command == "help") {
      std::cout << kUsage;
      return 0;
    }
    throw UsageError("unknown command \"" + command + "\"");
  } catch (const std::exception& e) {
    // One line, whatever the file names hold.
    std::string message = e.what();
    for (char& c : message)
      if (c == '\n' || c == '\r') c = ' ';
    std::cerr << "varlo-cli: " << message << "\n";
    return 1;
  }
}
