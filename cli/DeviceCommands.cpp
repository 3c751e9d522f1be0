#include "DeviceCommands.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "AtomicFile.h"
#include "BackupSet.h"
#include "CliArguments.h"
#include "DeviceSession.h"
#include "EqualizerDocument.h"
#include "Json.h"
#include "ScanProgress.h"

namespace fs = std::filesystem;
namespace all = pa422::all_data;
namespace tx = pa422::transmit;

namespace {
const std::set<std::string> kLineOptions = {"--port", "--device"};

std::set<std::string> With(std::set<std::string> options) {
  options.insert(kLineOptions.begin(), kLineOptions.end());
  return options;
}

LineChoice LineFrom(const Arguments& args) {
  if (args.options.count("--port") && args.options.count("--device"))
    throw UsageError("give --port or --device, not both");
  LineChoice line;
  if (auto it = args.options.find("--device"); it != args.options.end()) {
    if (it->second.empty()) throw UsageError("option --device needs a device path or address");
    line.device = it->second;
  }
  line.port = IntegerOption(args, "--port", 0, 1, 255);
  return line;
}

int RequiredAddress(const Arguments& args) {
  if (!args.options.count("--address")) throw UsageError("option --address N is required");
  return IntegerOption(args, "--address", 0, 1, kMaxAddress);
}

std::string RequiredPath(const Arguments& args, const std::string& name) {
  auto it = args.options.find(name);
  if (it == args.options.end() || it->second.empty())
    throw UsageError("option " + name + " DIR is required");
  return it->second;
}

void NoPositional(const Arguments& args, const std::string& command) {
  if (!args.positional.empty())
    throw UsageError(command + " takes no argument \"" + args.positional[0] + "\"");
}

// The engine's messages that mean nobody answered, rather than a device
// that answered with an error.
bool StoppedAnswering(const LinkResult& r) {
  return r.notFound || r.message == "Timeout - Waiting for DT/ID." ||
         r.message == "Timeout - Waiting for Data from ORB.";
}

std::string YesNo(bool value) { return value ? "yes" : "no"; }
std::string JsonBool(bool value) { return value ? "true" : "false"; }

std::string ListOfPresets(const std::vector<int>& presets) {
  std::string text;
  for (int p : presets) text += (text.empty() ? "" : ", ") + std::to_string(p);
  return text;
}

std::string UtcNow() {
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

// A name as the device keeps it (upper-cased, filtered), trimmed as shown.
std::string DeviceFormName(const std::string& text) { return BlockName(pa422::Name16(text), 1); }

std::string ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("cannot read " + path.string());
  return bytes;
}

// ---- devices ----

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
  Arguments args = ParseArguments(rawArgs, With({"--addresses"}), {"--json"});
  NoPositional(args, "devices");
  std::vector<int> addresses = ParseAddressRange(
      args.options.count("--addresses") ? args.options.at("--addresses") : "1-240", 1, kMaxAddress);
  DeviceSession session(LineFrom(args));

  std::vector<FoundDevice> found;
  int failures = 0;
  ScanProgress progress(static_cast<int>(addresses.size()));
  for (size_t i = 0; i < addresses.size(); ++i) {
    const int address = addresses[i];
    progress.Show(static_cast<int>(i), address, static_cast<int>(found.size()));
    LinkResult current = session.RecallAllData(address, 0);
    if (current.notFound) continue;
    FoundDevice device{address, current.block, {}};
    std::string failure = current.ok ? "" : current.message;
    for (int preset = 1; failure.empty() && preset <= kPresetCount; ++preset) {
      LinkResult r = session.RecallAllData(address, preset);
      if (r.ok)
        device.presets.push_back(r.block);
      else
        failure = "reading preset " + std::to_string(preset) + ": " + r.message;
    }
    if (failure.empty()) {
      found.push_back(std::move(device));
    } else {
      progress.Clear();
      std::cerr << "varlo-cli: address " << address << ": " << failure << "\n";
      ++failures;
    }
  }
  progress.Clear();
  std::cout << (args.flags.count("--json") ? DevicesJson(found) : DevicesTable(found));
  return failures ? 1 : 0;
}

int BackupCommand(const std::vector<std::string>& rawArgs) {
  Arguments args = ParseArguments(rawArgs, With({"--address", "--out"}));
  NoPositional(args, "backup");
  const int address = RequiredAddress(args);
  const fs::path dir = RequiredPath(args, "--out");
  DeviceSession session(LineFrom(args));

  // Everything is read before anything is written, so that a device that
  // stops answering leaves an earlier backup in the folder as it was.
  std::vector<pa422::Bytes> blocks;
  for (int preset = 1; preset <= kPresetCount; ++preset) {
    LinkResult r = session.RecallAllData(address, preset);
    if (r.ok) {
      blocks.push_back(r.block);
      continue;
    }
    if (preset == 1 && r.notFound)
      throw std::runtime_error("no device answers at address " + std::to_string(address) + " on " +
                               session.DeviceName() + " (" + r.message + ")");
    throw std::runtime_error("device at address " + std::to_string(address) +
                             (StoppedAnswering(r) ? " stopped answering" : " failed") +
                             " while reading preset " + std::to_string(preset) + " (" +
                             r.message + "); nothing was written to " + dir.string());
  }

  BackupManifest manifest;
  manifest.address = address;
  manifest.created = UtcNow();
  manifest.deviceName = DeviceFormName(blocks[0].substr(all::kDeviceName - 1, pa422::kNameLength));
  manifest.mute = BlockByte(blocks[0], all::kMute) != 0;
  manifest.bypass = BlockByte(blocks[0], all::kBypass) != 0;
  std::error_code error;
  fs::create_directories(dir, error);
  if (error) throw std::runtime_error("cannot create " + dir.string() + ": " + error.message());
  for (int preset = 1; preset <= kPresetCount; ++preset) {
    const pa422::Bytes& block = blocks[preset - 1];
    BackupPreset entry;
    entry.preset = preset;
    entry.file = PresetFileName(preset);
    const std::string file = MacFileFromBlock(address, preset, block);
    entry.name = DeviceFormName(file.substr(35, pa422::kNameLength));
    entry.locked = BlockByte(block, all::kLock) != 0;
    entry.crc32 = Crc32(file);
    WriteFileAtomically((dir / entry.file).string(), file);
    manifest.presets.push_back(entry);
    std::cout << "preset " << preset << "  " << entry.name << (entry.locked ? " (locked)" : "")
              << "  -> " << (dir / entry.file).string() << "\n";
  }
  // The manifest last: a folder whose manifest lists a preset holds its file.
  WriteFileAtomically((dir / kManifestName).string(), ManifestJson(manifest));
  std::cout << "backup of address " << address << " (" << manifest.deviceName << ") in "
            << (dir / kManifestName).string() << "\n";
  return 0;
}

namespace {
// What a restore has done so far, for the message when it stops.
struct RestoreProgress {
  int address = 0;
  std::vector<int> written;  // written and read back the same
  int current = 0;
  bool sent = false;      // the current preset's block went out
  bool unlocked = false;  // the current preset was unlocked for it

  std::string Summary() const {
    std::string text = written.empty() ? "no preset was written"
                                       : "written and verified: presets " + ListOfPresets(written);
    if (current && sent) text += "; preset " + std::to_string(current) + " may be partly written";
    if (current && unlocked && !sent)
      text += "; preset " + std::to_string(current) + " was left unlocked";
    return text;
  }
  [[noreturn]] void Stop(const std::string& step, const LinkResult& r) const {
    throw std::runtime_error("device at address " + std::to_string(address) +
                             (StoppedAnswering(r) ? " stopped answering" : " failed") + " while " +
                             step + " preset " + std::to_string(current) + " (" + r.message +
                             "); " + Summary());
  }
};
}  // namespace

int RestoreCommand(const std::vector<std::string>& rawArgs) {
  Arguments args = ParseArguments(rawArgs, With({"--address", "--from", "--preset"}));
  NoPositional(args, "restore");
  const int address = RequiredAddress(args);
  const fs::path dir = RequiredPath(args, "--from");
  const int only = IntegerOption(args, "--preset", 0, 1, kPresetCount);

  // Every file to be sent is read and checked before the line is opened.
  const BackupManifest manifest = ParseManifest(ReadWholeFile(dir / kManifestName));
  struct Planned {
    BackupPreset entry;
    pa422::Bytes block;
  };
  std::vector<Planned> plan;
  for (int preset = 1; preset <= kPresetCount; ++preset) {
    if (only && preset != only) continue;
    const BackupPreset* entry = manifest.Find(preset);
    if (!entry) {
      if (only) throw std::runtime_error(dir.string() + " holds no preset " + std::to_string(only));
      continue;
    }
    plan.push_back({*entry, CheckedPresetBlock(*entry, ReadWholeFile(dir / entry->file))});
  }
  if (plan.empty()) throw std::runtime_error(dir.string() + " holds no presets");

  DeviceSession session(LineFrom(args));
  RestoreProgress progress;
  progress.address = address;
  const std::string wantedName = DeviceFormName(manifest.deviceName);
  bool renamed = false;
  for (const Planned& step : plan) {
    const int preset = step.entry.preset;
    progress.current = preset;
    progress.sent = progress.unlocked = false;
    LinkResult before = session.RecallAllData(address, preset);
    if (!before.ok) {
      if (progress.written.empty() && before.notFound)
        throw std::runtime_error("no device answers at address " + std::to_string(address) +
                                 " on " + session.DeviceName() + " (" + before.message +
                                 "); nothing was sent");
      progress.Stop("reading", before);
    }
    // A whole restore gives a replaced unit the device name of the backup.
    if (!only && !renamed && BlockName(before.block, all::kDeviceName) != wantedName) {
      LinkResult r = session.SetDeviceName(address, manifest.deviceName);
      if (!r.ok) progress.Stop("naming the device before", r);
      renamed = true;
    }
    if (BlockByte(before.block, all::kLock)) {
      LinkResult r = session.UnlockPreset(address, preset);
      if (!r.ok) progress.Stop("unlocking", r);
      progress.unlocked = true;
    }
    progress.sent = true;
    LinkResult sent = session.TransmitAllData(address, preset, step.block);
    if (!sent.ok) progress.Stop("writing", sent);
    if (step.entry.locked) {
      LinkResult r = session.LockPreset(address, preset);
      if (!r.ok) progress.Stop("locking", r);
    }
    LinkResult after = session.RecallAllData(address, preset);
    if (!after.ok) progress.Stop("reading back", after);
    std::string difference = DifferenceFromSent(after.block, step.block);
    if (difference.empty() && (BlockByte(after.block, all::kLock) != 0) != step.entry.locked)
      difference = step.entry.locked ? "the preset is not locked" : "the preset is still locked";
    if (difference.empty() && !only && BlockName(after.block, all::kDeviceName) != wantedName)
      difference = "the device name is \"" + BlockName(after.block, all::kDeviceName) + "\"";
    if (!difference.empty())
      throw std::runtime_error("preset " + std::to_string(preset) + " read back different from " +
                               (dir / step.entry.file).string() + " (" + difference + "); " +
                               progress.Summary());
    progress.written.push_back(preset);
    progress.current = 0;
    std::cout << "preset " << preset << "  "
              << DeviceFormName(step.block.substr(tx::kPresetName - 1, pa422::kNameLength))
              << (step.entry.locked ? " (locked)" : "") << "  written and verified\n";
  }
  std::cout << "restored " << plan.size() << (plan.size() == 1 ? " preset" : " presets")
            << " to address " << address << "\n";
  return 0;
}
