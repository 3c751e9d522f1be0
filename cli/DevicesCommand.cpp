// varlo-cli devices: which devices answer on the line, as a table or JSON.
#include <cstdio>
#include <iostream>

#include "cli/DeviceCommands.h"
#include "cli/DeviceCommandSupport.h"
#include "link/Json.h"
#include "cli/ScanProgress.h"
#include "eq/EqualizerDocument.h"

namespace all = pa422::all_data;

namespace {
std::string YesNo(bool value) { return value ? "yes" : "no"; }
std::string JsonBool(bool value) { return value ? "true" : "false"; }

struct FoundDevice {
  int address = 0;
  pa422::Bytes current;                   // block of preset 0
  std::vector<pa422::Bytes> presets;      // blocks of presets 1 to 8
};

std::string DevicesJson(const std::vector<FoundDevice>& found) {
  std::string json = "[";
  for (size_t i = 0; i < found.size(); ++i) {
    const FoundDevice& d = found[i];
    json += i ? ",\n " : "\n ";
    json += "{\"address\": " + std::to_string(d.address) +
            ", \"deviceName\": " + JsonString(BlockName(d.current, all::kDeviceName)) +
            ", \"currentPreset\": " + std::to_string(BlockByte(d.current, all::kPreset)) +
            ", \"mute\": " + JsonBool(BlockByte(d.current, all::kMute) != 0) +
            ", \"bypass\": " + JsonBool(BlockByte(d.current, all::kBypass) != 0) +
            ", \"lock\": " + JsonBool(BlockByte(d.current, all::kLock) != 0) + ", \"presets\": [";
    for (size_t p = 0; p < d.presets.size(); ++p)
      json += std::string(p ? ", " : "") + "{\"preset\": " + std::to_string(p + 1) +
              ", \"name\": " + JsonString(BlockName(d.presets[p], all::kPresetName)) +
              ", \"locked\": " + JsonBool(BlockByte(d.presets[p], all::kLock) != 0) + "}";
    json += "]}";
  }
  return json + (found.empty() ? "]\n" : "\n]\n");
}

std::string DevicesTable(const std::vector<FoundDevice>& found) {
  if (found.empty()) return "no device answered\n";
  std::string table = "ADDR  DEVICE NAME       PRESET  MUTE  BYPASS  LOCK  PRESET NAMES (* locked)\n";
  for (const FoundDevice& d : found) {
    char row[96];
    std::snprintf(row, sizeof row, "%4d  %-16s  %6d  %-4s  %-6s  %-4s  ", d.address,
                  BlockName(d.current, all::kDeviceName).c_str(), BlockByte(d.current, all::kPreset),
                  YesNo(BlockByte(d.current, all::kMute)).c_str(),
                  YesNo(BlockByte(d.current, all::kBypass)).c_str(),
                  YesNo(BlockByte(d.current, all::kLock)).c_str());
    table += row;
    for (size_t p = 0; p < d.presets.size(); ++p) {
      table += (p ? "  " : "") + std::to_string(p + 1) + ":" +
               BlockName(d.presets[p], all::kPresetName);
      if (BlockByte(d.presets[p], all::kLock)) table += "*";
    }
    table += "\n";
  }
  return table;
}
}  // namespace

int DevicesCommand(const std::vector<std::string>& rawArgs) {
  Arguments args = ParseArguments(rawArgs, WithLineOptions({"--addresses"}), {"--json"});
  NoPositional(args, "devices");
  std::vector<int> addresses = ParseAddressRange(
      args.options.count("--addresses") ? args.options.at("--addresses") : "1-240", 1, kMaxAddress);
  DeviceSession session(LineFrom(args));

  std::vector<FoundDevice> found;
  int failures = 0;
  // Set when the line went away: nothing further can answer, so the scan
  // stops rather than waiting out every address left.
  std::string lineGone;
  ScanProgress progress(static_cast<int>(addresses.size()));
  for (size_t i = 0; i < addresses.size(); ++i) {
    const int address = addresses[i];
    progress.Show(static_cast<int>(i), address, static_cast<int>(found.size()));
    LinkResult current = session.RecallAllData(address, 0);
    if (current.lineGone) {
      lineGone = current.message + " while asking address " + std::to_string(address);
      break;
    }
    if (current.notFound) continue;
    FoundDevice device{address, current.block, {}};
    std::string failure = current.ok ? "" : current.message;
    for (int preset = 1; failure.empty() && preset <= kPresetCount; ++preset) {
      LinkResult r = session.RecallAllData(address, preset);
      if (r.ok)
        device.presets.push_back(r.block);
      else if (r.lineGone)
        lineGone = FailedWhile(address, r, "reading preset " + std::to_string(preset));
      else
        failure = "reading preset " + std::to_string(preset) + ": " + r.message;
      if (!lineGone.empty()) break;
    }
    if (!lineGone.empty()) break;
    if (failure.empty()) {
      found.push_back(std::move(device));
    } else {
      progress.Clear();
      std::cerr << "varlo-cli: address " << address << ": " << failure << "\n";
      ++failures;
    }
  }
  progress.Clear();
  if (args.flags.count("--json"))
    std::cout << DevicesJson(found);
  else if (!found.empty() || lineGone.empty())  // not "no device answered" when none could
    std::cout << DevicesTable(found);
  if (!lineGone.empty()) {
    std::cout.flush();
    std::cerr << "varlo-cli: " << lineGone << "; the scan stopped there\n";
    return 1;
  }
  return failures ? 1 : 0;
}
