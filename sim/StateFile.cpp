#include "sim/StateFile.h"

#include <fcntl.h>
#include <libgen.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "link/PA422Messages.h"
#include "sim/Hex.h"

// One line per device and one per preset:
//   orbsim-state 1
//   device <addr> current=<n> mute=<0|1> bypass=<0|1> name=<hex>
//   preset <addr> <0..8> levels=<hex of 30 bytes> hp=<n> lp=<n> lock=<0|1> name=<hex>
//   end
// The closing "end" tells a complete file from a cut one.
namespace {
constexpr const char* kHeader = "orbsim-state 1";

std::string Flag(bool on) { return on ? "1" : "0"; }
std::string NameHex(const std::string& name) {
  return ToHex(reinterpret_cast<const uint8_t*>(name.data()), name.size());
}

// The words of a line as "key=value" pairs after `fixed` plain words.
struct Fields {
  std::vector<std::string> plain;
  std::map<std::string, std::string> keyed;
};

bool SplitLine(const std::string& line, size_t fixed, Fields& out) {
  std::istringstream in(line);
  for (std::string word; in >> word;) {
    if (out.plain.size() < fixed) {
      out.plain.push_back(word);
      continue;
    }
    auto eq = word.find('=');
    if (eq == std::string::npos || !out.keyed.emplace(word.substr(0, eq), word.substr(eq + 1)).second)
      return false;
  }
  return out.plain.size() == fixed;
}

bool Number(const std::string& text, int low, int high, int& value) {
  if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  value = std::stoi(text);
  return value >= low && value <= high;
}

bool Bytes(const std::string& hex, size_t count, std::string& out) {
  auto bytes = FromHex(hex);
  if (!bytes || bytes->size() != count) return false;
  out.assign(bytes->begin(), bytes->end());
  return true;
}

bool ParseDevice(const Fields& f, DeviceMemory& m) {
  int current = 0, mute = 0, bypass = 0;
  if (f.keyed.size() != 4 || !f.keyed.count("current") || !f.keyed.count("mute") ||
      !f.keyed.count("bypass") || !f.keyed.count("name"))
    return false;
  if (!Number(f.keyed.at("current"), 0, DeviceMemory::kStoredPresets, current) ||
      !Number(f.keyed.at("mute"), 0, 1, mute) || !Number(f.keyed.at("bypass"), 0, 1, bypass) ||
      !Bytes(f.keyed.at("name"), pa422::kNameLength, m.name))
    return false;
  m.currentPreset = static_cast<uint8_t>(current);
  m.mute = mute;
  m.bypass = bypass;
  return true;
}

bool ParsePreset(const Fields& f, PresetMemory& p) {
  int hp = 0, lp = 0, lock = 0;
  std::string levels;
  if (f.keyed.size() != 5 || !f.keyed.count("levels") || !f.keyed.count("hp") || !f.keyed.count("lp") ||
      !f.keyed.count("lock") || !f.keyed.count("name"))
    return false;
  if (!Bytes(f.keyed.at("levels"), p.levels.size(), levels) ||
      !Number(f.keyed.at("hp"), 0, pa422::kMaxFilterIndex, hp) ||
      !Number(f.keyed.at("lp"), 0, pa422::kMaxFilterIndex, lp) || !Number(f.keyed.at("lock"), 0, 1, lock) ||
      !Bytes(f.keyed.at("name"), pa422::kNameLength, p.name))
    return false;
  for (size_t i = 0; i < p.levels.size(); ++i) {
    p.levels[i] = static_cast<uint8_t>(levels[i]);
    if (p.levels[i] < pa422::kMinLevel || p.levels[i] > pa422::kMaxLevel) return false;
  }
  p.highPass = static_cast<uint8_t>(hp);
  p.lowPass = static_cast<uint8_t>(lp);
  p.locked = lock;
  return true;
}

bool SyncFolderOf(const std::string& path) {
  std::vector<char> copy(path.begin(), path.end());
  copy.push_back('\0');
  int dir = open(dirname(copy.data()), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return false;
  bool ok = fsync(dir) == 0;
  close(dir);
  return ok;
}
}  // namespace

std::string StateText(const DeviceMemories& memories) {
  std::string text = std::string(kHeader) + "\n";
  for (const auto& [address, m] : memories) {
    const std::string addr = std::to_string(address);
    text += "device " + addr + " current=" + std::to_string(m.currentPreset) + " mute=" + Flag(m.mute) +
            " bypass=" + Flag(m.bypass) + " name=" + NameHex(m.name) + "\n";
    for (int i = 0; i <= DeviceMemory::kStoredPresets; ++i) {
      const PresetMemory& p = m.presets[i];
      text += "preset " + addr + " " + std::to_string(i) + " levels=" + ToHex(p.levels.data(), p.levels.size()) +
              " hp=" + std::to_string(p.highPass) + " lp=" + std::to_string(p.lowPass) +
              " lock=" + Flag(p.locked) + " name=" + NameHex(p.name) + "\n";
    }
  }
  return text + "end\n";
}

bool ParseStateText(const std::string& text, DeviceMemories& memories, std::string& why) {
  memories.clear();
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != kHeader) {
    why = "it does not start with \"" + std::string(kHeader) + "\"";
    return false;
  }
  std::map<uint8_t, std::set<int>> presetsSeen;
  int number = 1;
  bool ended = false;
  auto fail = [&](const std::string& what) {
    why = "line " + std::to_string(number) + ": " + what;
    memories.clear();
    return false;
  };
  while (std::getline(in, line)) {
    ++number;
    if (ended) return fail("text after the end");
    if (line == "end") {
      ended = true;
      continue;
    }
    const bool isDevice = line.rfind("device ", 0) == 0;
    const bool isPreset = line.rfind("preset ", 0) == 0;
    Fields f;
    int address = 0, preset = 0;
    if ((!isDevice && !isPreset) || !SplitLine(line, isDevice ? 2 : 3, f) ||
        !Number(f.plain[1], 1, 240, address))
      return fail("not a device or preset line");
    if (isDevice) {
      DeviceMemory m;
      if (!ParseDevice(f, m) || memories.count(address)) return fail("bad or repeated device");
      memories[address] = m;
      continue;
    }
    auto device = memories.find(address);
    if (device == memories.end() || !Number(f.plain[2], 0, DeviceMemory::kStoredPresets, preset) ||
        !presetsSeen[address].insert(preset).second || !ParsePreset(f, device->second.presets[preset]))
      return fail("bad, repeated or orphan preset");
  }
  if (!ended) return fail("the file is cut short");
  for (const auto& [address, m] : memories)
    if (presetsSeen[address].size() != m.presets.size()) return fail("a device lacks presets");
  return true;
}

StateLoad LoadStateFile(const std::string& path, DeviceMemories& memories, std::string& why) {
  memories.clear();
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 && errno == ENOENT) return StateLoad::Missing;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    why = "cannot be read";
    return StateLoad::Corrupt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    why = "read error";
    return StateLoad::Corrupt;
  }
  return ParseStateText(text.str(), memories, why) ? StateLoad::Loaded : StateLoad::Corrupt;
}

bool SaveStateFile(const std::string& path, const DeviceMemories& memories, std::string& error) {
  const std::string text = StateText(memories);
  std::vector<char> name(path.begin(), path.end());
  const std::string suffix = ".XXXXXX";
  name.insert(name.end(), suffix.begin(), suffix.end());
  name.push_back('\0');
  int fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    error = "cannot create a file beside " + path + ": " + std::strerror(errno);
    return false;
  }
  const std::string temp = name.data();
  size_t done = 0;
  bool ok = true;
  while (ok && done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  // The data must be on disk before the rename makes it the state file.
  ok = ok && fchmod(fd, 0644) == 0 && fsync(fd) == 0;
  int failure = ok ? 0 : errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    failure = errno;
  }
  if (ok && rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    failure = errno;
  }
  if (!ok) {
    error = "cannot write " + path + ": " + std::strerror(failure ? failure : EIO);
    unlink(temp.c_str());
    return false;
  }
  SyncFolderOf(path);  // makes the rename itself durable
  return true;
}
