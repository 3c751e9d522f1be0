#pragma once
// Linked windows' groups in the settings file: a section "Group <n>" per
// group with the keys "Name", "Mode" ("Relative" or "Absolute"), "Follows"
// (any of "Bands", "Filters", "MuteBypass", comma-separated), "Members"
// (addresses, comma-separated) and "Offsets <address>" (30 numbers in
// steps: the bands, then the gain). Written without touching any other key.
#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct StoredGroup {
  int number = 0;  // n of "Group n", from 1
  std::string name;
  bool absolute = false;
  bool bands = true, filters = false, muteBypass = false;
  std::vector<int> members;                     // addresses, in order
  std::map<int, std::array<int, 30>> offsets;  // by address; missing: none
};

// The groups kept, by number; a section without members is none.
std::vector<StoredGroup> LoadGroups(const std::string& path);
// Writes the group's keys (and removes the offsets of addresses that left
// it); other keys stay. The same message as SaveSettings when the file
// cannot be written.
std::optional<std::string> SaveGroup(const std::string& path, const StoredGroup& group);
// Removes the group's keys.
std::optional<std::string> RemoveGroup(const std::string& path, int number);
