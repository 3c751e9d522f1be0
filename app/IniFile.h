#pragma once
// The settings file: sectioned "key=value" text. Section and key names are
// matched without regard to case; the file is read one key at a time.
#include <optional>
#include <string>

class IniFile {
 public:
  explicit IniFile(std::string path) : path_(std::move(path)) {}
  const std::string& Path() const { return path_; }

  // The value of a key (blanks around it removed, at most 1023 characters),
  // or nothing when the file, the section or the key is missing.
  std::optional<std::string> ReadValue(const std::string& section, const std::string& key) const;
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  // Decimal, or hexadecimal after "0x"/"0X" (more than two characters) or
  // "$"; a missing, empty or unparsable value gives the default.
  int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;
  // An integer that is true when not 0.
  bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;

 private:
  std::string path_;
};

// The integer a settings value stands for, or nothing when it does not parse.
std::optional<int> ParseIniInteger(const std::string& value);
