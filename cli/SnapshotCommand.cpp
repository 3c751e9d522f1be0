// varlo-cli snapshot capture|diff|recall: the whole bus captured into a
// snapshot folder, compared with one, and recalled from one.
#include <iostream>
#include <stdexcept>

#include "cli/DeviceCommands.h"
#include "cli/DeviceCommandSupport.h"
#include "cli/HeldStopSignals.h"
#include "eq/EqualizerDocument.h"
#include "eq/SnapshotCapture.h"
#include "eq/SnapshotCompare.h"
#include "eq/SnapshotFolder.h"
#include "eq/SnapshotRecall.h"
#include "link/AddressList.h"
#include "link/JsonText.h"

namespace fs = std::filesystem;

namespace {
std::vector<int> AddressesOption(const Arguments& args, std::vector<int> fallback) {
  const auto found = args.options.find("--addresses");
  if (found == args.options.end()) return fallback;
  try {
    return ParseAddressList(found->second);
  } catch (const std::invalid_argument& e) {
    throw UsageError(std::string("--addresses: ") + e.what());
  }
}

// The one folder the diff and the recall take.
fs::path SnapshotDir(const Arguments& args, const std::string& command) {
  if (args.positional.size() != 1) throw UsageError("snapshot " + command + " takes one snapshot folder");
  return args.positional[0];
}

// Runs `run` on the session until it finishes; a stop signal stops it
// between devices. Returns the signal's name when one came.
std::string RunToEnd(DeviceSession& session, SnapshotRun& run, const HeldStopSignals* signals) {
  bool finished = false;
  run.OnFinished = [&](bool) { finished = true; };
  std::string signal;
  const bool ended = session.RunUntil([&] {
    if (signals && signal.empty() && !(signal = signals->Came()).empty()) run.Stop();
    return finished;
  });
  if (!ended) throw std::runtime_error("no end of the transaction within 30 s; the line is closed");
  return signal;
}

// The failure text of a transaction, in the session's words; a line that
// went away ends the run.
void UseSessionWords(DeviceSession& session, SnapshotRun& run, bool& lineGone) {
  run.WhyFailed = [&session, &lineGone](const LineOutcome& outcome, bool read) {
    const LinkResult result = session.ResultOf(outcome, read);
    if (result.lineGone) lineGone = true;
    return result.ok ? std::string() : result.message;
  };
}

void PrintVerdict(const SnapshotVerdict& v) {
  std::cout << "address " << v.address << "  " << v.verdict << "\n";
  for (const std::string& line : v.differences) std::cout << "  " << line << "\n";
  std::cout.flush();
}

std::string VerdictsJson(const std::vector<SnapshotVerdict>& verdicts) {
  std::string json = "[";
  for (size_t i = 0; i < verdicts.size(); ++i) {
    const SnapshotVerdict& v = verdicts[i];
    json += i ? ",\n " : "\n ";
    json += "{\"address\": " + std::to_string(v.address) + ", \"verdict\": " + JsonTextString(v.verdict) +
            ", \"differences\": [";
    for (size_t k = 0; k < v.differences.size(); ++k) json += (k ? ", " : "") + JsonTextString(v.differences[k]);
    json += "]}";
  }
  return json + (verdicts.empty() ? "]\n" : "\n]\n");
}

bool AllMatch(const std::vector<SnapshotVerdict>& verdicts) {
  for (const SnapshotVerdict& v : verdicts)
    if (!v.Matches()) return false;
  return true;
}

int Capture(const std::vector<std::string>& rawArgs) {
  Arguments args = ParseArguments(rawArgs, WithLineOptions({"--out", "--addresses"}), {"--working-only"});
  NoPositional(args, "snapshot capture");
  const fs::path dir = RequiredPath(args, "--out");
  std::vector<int> all;
  for (int address = 1; address <= kMaxAddress; ++address) all.push_back(address);
  SnapshotCapture::Options options;
  options.addresses = AddressesOption(args, all);
  options.presets = !args.Has("--working-only");
  CheckSnapshotFolder(dir);
  const HeldStopSignals signals;
  DeviceSession session(LineFrom(args));
  options.line = session.DeviceName();
  SnapshotCapture capture(session.Line());
  bool lineGone = false;
  UseSessionWords(session, capture, lineGone);
  capture.OnDevice = [](const SnapshotDevice& d, const std::string& error) {
    std::cout << "address " << d.address;
    if (d.state == SnapshotDevice::State::Absent)
      std::cout << "  absent";
    else if (d.state == SnapshotDevice::State::Error)
      std::cout << "  error: " << error;
    else
      std::cout << "  " << d.deviceName << "  preset " << d.currentPreset << (d.mute ? "  muted" : "")
                << (d.bypass ? "  bypassed" : "");
    std::cout << std::endl;
  };
  capture.Start(options);
  const std::string signal = RunToEnd(session, capture, &signals);
  if (!signal.empty())
    throw std::runtime_error("capture stopped by " + signal + " after " + std::to_string(capture.DevicesDone()) +
                             " of " + std::to_string(capture.DevicesInAll()) + " addresses; nothing was written");
  if (lineGone || capture.LineClosed())
    throw std::runtime_error("the line went away after " + std::to_string(capture.DevicesDone()) + " of " +
                             std::to_string(capture.DevicesInAll()) + " addresses; nothing was written");
  Snapshot snapshot = capture.Result();
  const std::string warning = WriteSnapshotFolder(dir, snapshot, capture.Presets());
  int present = 0, absent = 0, errors = 0;
  for (const SnapshotDevice& d : snapshot.devices)
    (d.state == SnapshotDevice::State::Present ? present : d.state == SnapshotDevice::State::Absent ? absent : errors)++;
  std::cout << "snapshot of " << present << (present == 1 ? " device" : " devices") << " (" << absent << " absent, "
            << errors << (errors == 1 ? " error" : " errors") << ") in " << (dir / kSnapshotName).string() << "\n";
  if (!warning.empty()) std::cerr << "varlo-cli: warning: " << warning << "\n";
  return capture.AnyError() ? 1 : 0;
}

int Diff(const std::vector<std::string>& rawArgs) {
  Arguments args = ParseArguments(rawArgs, WithLineOptions({"--addresses"}), {"--presets", "--json"});
  const fs::path dir = SnapshotDir(args, "diff");
  SnapshotCompare::Options options;
  options.addresses = AddressesOption(args, {});
  options.presets = args.Has("--presets");
  LoadedSnapshot loaded = LoadSnapshotFolder(dir);
  DeviceSession session(LineFrom(args));
  SnapshotCompare compare(session.Line());
  bool lineGone = false;
  UseSessionWords(session, compare, lineGone);
  const bool json = args.Has("--json");
  if (!json) compare.OnVerdict = PrintVerdict;
  compare.Start(std::move(loaded), options);
  RunToEnd(session, compare, nullptr);
  if (lineGone || compare.LineClosed())
    throw std::runtime_error("the line went away after " + std::to_string(compare.DevicesDone()) + " of " +
                             std::to_string(compare.DevicesInAll()) + " devices");
  if (json) std::cout << VerdictsJson(compare.Verdicts());
  return AllMatch(compare.Verdicts()) ? 0 : 1;
}

int Recall(const std::vector<std::string>& rawArgs) {
  Arguments args = ParseArguments(rawArgs, WithLineOptions({"--addresses"}), {"--presets", "--mute-bypass", "--names"});
  const fs::path dir = SnapshotDir(args, "recall");
  SnapshotRecall::Options options;
  options.addresses = AddressesOption(args, {});
  options.presets = args.Has("--presets");
  options.muteBypass = args.Has("--mute-bypass");
  options.names = args.Has("--names");
  // Every file is read and checked before the line is opened.
  LoadedSnapshot loaded = LoadSnapshotFolder(dir);
  const HeldStopSignals signals;
  DeviceSession session(LineFrom(args));
  SnapshotRecall recall(session.Line());
  bool lineGone = false;
  UseSessionWords(session, recall, lineGone);
  recall.OnDevice = [](const SnapshotVerdict& v, bool) {
    std::cout << "address " << v.address << "  "
              << (v.verdict == "match" ? "recalled: match" : v.verdict == "differs" ? "recalled: differs" : v.verdict)
              << "\n";
    for (const std::string& line : v.differences) std::cout << "  " << line << "\n";
    std::cout.flush();
  };
  recall.Start(std::move(loaded), options);
  const std::string signal = RunToEnd(session, recall, &signals);
  const int done = recall.DevicesDone(), inAll = recall.DevicesInAll();
  if (!signal.empty() && done < inAll)
    throw std::runtime_error("recall stopped by " + signal + " after " + std::to_string(done) + " of " +
                             std::to_string(inAll) + " devices; the rest were not recalled");
  if ((lineGone || recall.LineClosed()) && done < inAll)
    throw std::runtime_error("the line went away after " + std::to_string(done) + " of " + std::to_string(inAll) +
                             " devices; the rest were not recalled");
  int matched = 0;
  for (const SnapshotVerdict& v : recall.Verdicts()) matched += v.Matches();
  std::cout << "recalled " << matched << " of " << inAll << (inAll == 1 ? " device" : " devices")
            << " as captured\n";
  return matched == inAll ? 0 : 1;
}
}  // namespace

int SnapshotCommand(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError("snapshot needs capture, diff or recall");
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "capture") return Capture(rest);
  if (args[0] == "diff") return Diff(rest);
  if (args[0] == "recall") return Recall(rest);
  throw UsageError("unknown snapshot command \"" + args[0] + "\"");
}
