#include "settings/GroupSettings.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "settings/IniFile.h"
#include "settings/Settings.h"

namespace {
constexpr int kMaxGroups = 120;  // two members each at the most
constexpr int kMaxAddress = 240;
constexpr int kMaxOffset = 96;  // steps: twice the widest slider range

std::string Section(int number) { return "Group " + std::to_string(number); }
std::string OffsetsKey(int address) { return "Offsets " + std::to_string(address); }

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) {
    const size_t first = part.find_first_not_of(" \t"), last = part.find_last_not_of(" \t");
    parts.push_back(first == std::string::npos ? std::string() : part.substr(first, last - first + 1));
  }
  return parts;
}

std::optional<int> Number(const std::string& text, int low, int high) {
  if (text.empty() || text.size() > 4) return std::nullopt;
  size_t used = 0;
  int value = 0;
  try {
    value = std::stoi(text, &used);
  } catch (const std::exception&) {
    return std::nullopt;
  }
  if (used != text.size() || value < low || value > high) return std::nullopt;
  return value;
}

std::vector<int> Members(const std::string& contents, int number) {
  std::vector<int> members;
  for (const std::string& part : Split(FindIniValue(contents, Section(number), "Members").value_or(""), ','))
    if (std::optional<int> address = Number(part, 1, kMaxAddress))
      if (std::find(members.begin(), members.end(), *address) == members.end()) members.push_back(*address);
  return members;
}

std::optional<std::string> Write(const std::string& path, int number,
                                 const std::vector<std::pair<std::string, std::optional<std::string>>>& keys) {
  if (!IniFile(path).WriteKeys(Section(number), keys)) return UnableToWriteMessage(path);
  return std::nullopt;
}
}  // namespace

std::vector<StoredGroup> LoadGroups(const std::string& path) {
  std::vector<StoredGroup> groups;
  const std::string contents = IniFile(path).Text();
  for (int number = 1; number <= kMaxGroups; ++number) {
    StoredGroup group;
    group.number = number;
    group.members = Members(contents, number);
    if (group.members.size() < 2) continue;
    const std::string section = Section(number);
    group.name = FindIniValue(contents, section, "Name").value_or(section);
    group.absolute = FindIniValue(contents, section, "Mode").value_or("") == "Absolute";
    if (std::optional<std::string> follows = FindIniValue(contents, section, "Follows")) {
      group.bands = group.filters = group.muteBypass = false;
      for (const std::string& part : Split(*follows, ',')) {
        group.bands |= part == "Bands";
        group.filters |= part == "Filters";
        group.muteBypass |= part == "MuteBypass";
      }
    }
    for (int address : group.members) {
      const std::vector<std::string> parts =
          Split(FindIniValue(contents, section, OffsetsKey(address)).value_or(""), ',');
      std::array<int, 30> offsets{};
      bool whole = parts.size() == offsets.size();
      for (size_t i = 0; whole && i < parts.size(); ++i) {
        const std::optional<int> steps = Number(parts[i], -kMaxOffset, kMaxOffset);
        whole = steps.has_value();
        if (whole) offsets[i] = *steps;
      }
      // Offsets that do not read back whole are none: the member is
      // then out of step, and the operator resyncs it.
      if (whole) group.offsets[address] = offsets;
    }
    groups.push_back(std::move(group));
  }
  return groups;
}

std::optional<std::string> SaveGroup(const std::string& path, const StoredGroup& group) {
  std::vector<std::pair<std::string, std::optional<std::string>>> keys;
  std::string follows, members;
  const auto add = [](std::string& list, const std::string& item) { list += (list.empty() ? "" : ",") + item; };
  if (group.bands) add(follows, "Bands");
  if (group.filters) add(follows, "Filters");
  if (group.muteBypass) add(follows, "MuteBypass");
  for (int address : group.members) add(members, std::to_string(address));
  keys.emplace_back("Name", group.name);
  keys.emplace_back("Mode", group.absolute ? "Absolute" : "Relative");
  keys.emplace_back("Follows", follows);
  keys.emplace_back("Members", members);
  for (int address : Members(IniFile(path).Text(), group.number))
    if (std::find(group.members.begin(), group.members.end(), address) == group.members.end())
      keys.emplace_back(OffsetsKey(address), std::nullopt);
  for (int address : group.members) {
    const auto found = group.offsets.find(address);
    if (found == group.offsets.end()) {
      keys.emplace_back(OffsetsKey(address), std::nullopt);
      continue;
    }
    std::string list;
    for (int steps : found->second) add(list, std::to_string(steps));
    keys.emplace_back(OffsetsKey(address), list);
  }
  return Write(path, group.number, keys);
}

std::optional<std::string> RemoveGroup(const std::string& path, int number) {
  std::vector<std::pair<std::string, std::optional<std::string>>> keys;
  for (const char* key : {"Name", "Mode", "Follows", "Members"}) keys.emplace_back(key, std::nullopt);
  for (int address : Members(IniFile(path).Text(), number)) keys.emplace_back(OffsetsKey(address), std::nullopt);
  return Write(path, number, keys);
}
