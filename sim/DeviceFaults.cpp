#include "sim/DeviceFaults.h"

#include "link/PA422Messages.h"
#include "sim/Hex.h"

namespace {
// A byte value as decimal, or hex with 0x.
std::optional<uint8_t> ByteValue(const std::string& word) {
  try {
    size_t used = 0;
    long v = std::stol(word, &used, 0);
    if (used != word.size() || v < 0 || v > 255) return std::nullopt;
    return static_cast<uint8_t>(v);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}
}  // namespace

bool DeviceFaults::Any() const {
  return absent || dtId || splitDtId || status || longReply || shortReply || muteFrame;
}

std::string DeviceFaults::Describe() const {
  std::string text;
  auto add = [&](const std::string& word) { text += (text.empty() ? "" : " ") + word; };
  if (absent) add("absent");
  if (dtId) add("dtid=" + ToHex(dtId->data(), 2));
  if (splitDtId) add("split-dtid");
  if (status) add("status=" + std::to_string(*status));
  if (longReply) add("long-reply");
  if (shortReply) add("short-reply");
  if (muteFrame) add("mute-frame");
  return text;
}

std::string DeviceFaults::Shape(uint8_t code, const std::string& data, uint8_t realStatus) const {
  const char statusByte = static_cast<char>(status ? *status : realStatus);
  const bool carriesData = pa422::ReplyDataLength(code) > 0;
  if (carriesData && shortReply) return data;
  std::string reply = data + statusByte;
  if (carriesData && longReply) reply += '\0';
  return reply;
}

std::optional<std::string> ApplyFaultWords(DeviceFaults& faults, const std::vector<std::string>& words) {
  const std::string kind = words.empty() ? "" : words[0];
  const size_t args = words.empty() ? 0 : words.size() - 1;
  DeviceFaults next;  // the new fault replaces the old one
  if (kind == "dtid") {
    auto b1 = args == 2 ? ByteValue(words[1]) : std::nullopt;
    auto b2 = args == 2 ? ByteValue(words[2]) : std::nullopt;
    if (!b1 || !b2) return "error usage: fault <addr> dtid <byte> <byte>";
    next.dtId = std::array<uint8_t, 2>{*b1, *b2};
  } else if (kind == "status") {
    auto n = args == 1 ? ByteValue(words[1]) : std::nullopt;
    if (!n) return "error usage: fault <addr> status <byte>";
    next.status = *n;
  } else {
    bool* flag = kind == "absent"        ? &next.absent
                 : kind == "split-dtid"  ? &next.splitDtId
                 : kind == "long-reply"  ? &next.longReply
                 : kind == "short-reply" ? &next.shortReply
                 : kind == "mute-frame"  ? &next.muteFrame
                                         : nullptr;
    if (!flag && kind != "clear") return "error unknown fault: " + kind;
    if (args != 0) return "error usage: fault <addr> " + kind;
    if (flag) *flag = true;
  }
  faults = next;
  return std::nullopt;
}
