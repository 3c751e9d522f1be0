#include "IniFile.h"

#include <cctype>
#include <charconv>
#include <fstream>

namespace {
constexpr size_t kMaxValueLength = 1023;

std::string Trim(const std::string& s) {
  size_t first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  size_t last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}
}  // namespace

std::optional<std::string> IniFile::ReadValue(const std::string& section,
                                              const std::string& key) const {
  std::ifstream in(path_, std::ios::binary);
  if (!in) return std::nullopt;
  std::string line;
  bool inSection = false;
  while (std::getline(in, line)) {
    std::string text = Trim(line);
    if (text.empty() || text[0] == ';') continue;
    if (text.front() == '[') {
      auto close = text.find(']');
      inSection = close != std::string::npos && SameName(Trim(text.substr(1, close - 1)), section);
      continue;
    }
    if (!inSection) continue;
    auto eq = text.find('=');
    if (eq == std::string::npos || !SameName(Trim(text.substr(0, eq)), key)) continue;
    return Trim(text.substr(eq + 1)).substr(0, kMaxValueLength);
  }
  return std::nullopt;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
  return ReadValue(section, key).value_or(defaultValue);
}

std::optional<int> ParseIniInteger(const std::string& value) {
  std::string digits = value;
  int base = 10;
  if (digits.size() > 2 && (digits.rfind("0x", 0) == 0 || digits.rfind("0X", 0) == 0)) {
    digits = digits.substr(2);
    base = 16;
  } else if (!digits.empty() && digits[0] == '$') {
    digits = digits.substr(1);
    base = 16;
  }
  if (digits.empty()) return std::nullopt;
  int result = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), result, base);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return result;
}

int IniFile::ReadInteger(const std::string& section, const std::string& key,
                         int defaultValue) const {
  auto value = ReadValue(section, key);
  if (!value) return defaultValue;
  return ParseIniInteger(*value).value_or(defaultValue);
}

bool IniFile::ReadBool(const std::string& section, const std::string& key,
                       bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}
