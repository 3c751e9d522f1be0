#include "sim/OrbSimOptions.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace {
constexpr int kMaxAddress = 240;
constexpr int kMaxLatencyMs = 60000;

std::optional<int> Whole(const std::string& text, int low, int high) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  int value = std::stoi(text);
  if (value < low || value > high) return std::nullopt;
  return value;
}

// Milliseconds, fractions allowed ("2.5"), as nanoseconds.
std::optional<int64_t> Milliseconds(const std::string& text, double high) {
  if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) return std::nullopt;
  try {
    size_t used = 0;
    double ms = std::stod(text, &used);
    if (used != text.size() || !std::isfinite(ms) || ms < 0 || ms > high) return std::nullopt;
    return static_cast<int64_t>(std::llround(ms * 1e6));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}
}  // namespace

std::optional<std::vector<uint8_t>> ParseDeviceList(const std::string& text) {
  std::vector<uint8_t> addresses;
  if (text == "none") return addresses;
  std::istringstream in(text);
  for (std::string item; std::getline(in, item, ',');) {
    auto address = Whole(item, 1, kMaxAddress);
    if (!address) return std::nullopt;
    if (std::find(addresses.begin(), addresses.end(), *address) != addresses.end()) return std::nullopt;
    addresses.push_back(static_cast<uint8_t>(*address));
  }
  if (addresses.empty() || text.back() == ',') return std::nullopt;
  return addresses;
}

std::optional<OrbSimOptions> ParseOrbSimOptions(const std::vector<std::string>& args, std::string& error) {
  OrbSimOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--no-pacing") {
      options.bus.pacing = false;
      continue;
    }
    if (arg == "--store-moves") {
      options.bus.storeMoves = true;
      continue;
    }
    if (i + 1 >= args.size()) {
      error = "unknown option or missing value: " + arg;
      return std::nullopt;
    }
    const std::string& value = args[++i];
    if (arg == "--listen") {
      options.listen = value;
    } else if (arg == "--control") {
      options.control = value;
    } else if (arg == "--state") {
      options.bus.statePath = value;
    } else if (arg == "--log") {
      options.bus.logPath = value;
    } else if (arg == "--devices") {
      auto addresses = ParseDeviceList(value);
      if (!addresses) {
        error = "--devices takes addresses 1..240, each once, separated by commas, or none";
        return std::nullopt;
      }
      options.bus.addresses = *addresses;
    } else if (arg == "--latency-ms") {
      auto ns = Milliseconds(value, kMaxLatencyMs);
      if (!ns) {
        error = "--latency-ms takes 0.." + std::to_string(kMaxLatencyMs) + " (fractions allowed)";
        return std::nullopt;
      }
      options.bus.latencyNs = *ns;
    } else {
      error = "unknown option: " + arg;
      return std::nullopt;
    }
  }
  return options;
}
