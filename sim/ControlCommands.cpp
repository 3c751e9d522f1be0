#include "sim/ControlCommands.h"

#include <sstream>

#include "sim/BusCommands.h"
#include "sim/Hex.h"
#include "sim/MonotonicClock.h"

namespace {
std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

std::optional<bool> Level(const std::string& word) {
  if (word == "0") return false;
  if (word == "1") return true;
  return std::nullopt;
}

std::string StopText(uint8_t stopSize) {
  switch (stopSize) {
    case 2: return "2";
    case 3: return "1.5";
    default: return "1";
  }
}

std::string Ok(int64_t ns) { return "ok " + std::to_string(ns); }

// The longest `wait`: a day. Much longer ones would overflow the deadline
// (milliseconds) or the server's poll time-out (nanoseconds).
constexpr long kMaxWaitMs = 24L * 60 * 60 * 1000;

CommandResult Reply(std::string text) { return CommandResult{std::move(text), std::nullopt}; }
}  // namespace

CommandResult RunControlCommand(const std::string& line, ControlContext& context, int64_t nowMs) {
  const auto words = Words(line);
  if (words.empty()) return Reply("error empty command");
  const std::string& name = words[0];
  SimLine& sim = context.line;

  static const std::pair<const char*, uint8_t> kModemLines[] = {
      {"dsr", kSimDSR}, {"cts", kSimCTS}, {"dcd", kSimDCD}, {"ri", kSimRI}};
  for (const auto& [lineName, bit] : kModemLines) {
    if (name != lineName) continue;
    auto level = words.size() == 2 ? Level(words[1]) : std::nullopt;
    if (!level) return Reply("error usage: " + name + " 0|1");
    return Reply(Ok(sim.SetModemLine(bit, *level)));
  }

  if (name == "send") {
    auto bytes = words.size() == 2 ? FromHex(words[1])
                 : words.size() == 1 ? std::optional<std::vector<uint8_t>>(std::vector<uint8_t>{})
                                     : std::nullopt;
    if (!bytes) return Reply("error usage: send <hex>");
    return Reply(Ok(sim.Transmit(bytes->data(), bytes->size())));
  }
  if (name == "recv" && words.size() == 1) {
    ReceivedBytes::Taken taken = context.received.Take();
    std::string reply = "ok " + ToHex(taken.bytes.data(), taken.bytes.size());
    // Bytes that found the capture full came after the ones shown.
    if (taken.lost > 0) reply += " dropped=" + std::to_string(taken.lost);
    return Reply(reply);
  }
  if (name == "state" && words.size() == 1) {
    const SimLineSettings& s = sim.Settings();
    return Reply("ok dtr=" + std::to_string(sim.Dtr()) + " rts=" + std::to_string(sim.Rts()) +
                 " baud=" + std::to_string(s.baud) + " data=" + std::to_string(s.dataBits) +
                 " parity=" + std::string(1, s.parity) + " stop=" + StopText(s.stopSize) +
                 " client=" + std::to_string(sim.HasClient()));
  }
  if (name == "wait") {
    if (words.size() != 4 || (words[1] != "dtr" && words[1] != "rts") || !Level(words[2]))
      return Reply("error usage: wait dtr|rts 0|1 <timeout_ms>");
    long timeoutMs = 0;
    try {
      size_t used = 0;
      timeoutMs = std::stol(words[3], &used);
      if (used != words[3].size() || timeoutMs < 0 || timeoutMs > kMaxWaitMs)
        throw std::invalid_argument("out of range");
    } catch (const std::exception&) {
      return Reply("error bad timeout");
    }
    LineWait wait{words[1] == "dtr", *Level(words[2]), nowMs + timeoutMs};
    if (wait.Met(sim)) return Reply("ok");
    return CommandResult{"", wait};
  }
  if (name == "drop" && words.size() == 1) {
    context.dropClient();
    return Reply("ok");
  }
  if (name == "drop") {
    if (words.size() != 3 || words[1] != "at" || !context.bus.DropClientAt(words[2]))
      return Reply("error usage: drop [at dsr|dtid|frame|reply]");
    return Reply("ok");
  }
  if (name == "quit" && words.size() == 1) {
    context.quit();
    return Reply("ok");
  }
  if (auto reply = RunBusCommand(words, context.bus)) return Reply(*reply);
  return Reply("error unknown command: " + name);
}
