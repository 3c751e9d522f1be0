#pragma once
// The settings file: sectioned "key=value" text. Section and key names are
// matched without regard to case; the file is read and written one key at a
// time, so keys of other versions and hand-written lines stay in the file.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class IniFile {
 public:
  explicit IniFile(std::string path) : path_(std::move(path)) {}
  const std::string& Path() const { return path_; }

  // The value of a key (blanks around it removed, at most 1023 characters),
  // or nothing when the file, the section or the key is missing.
  std::optional<std::string> ReadValue(const std::string& section, const std::string& key) const;
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  // The whole text, as the readers take it: empty when the file is missing
  // or cannot be read as a settings file (never waits on it).
  std::string Text() const;
  // Decimal, or hexadecimal after "0x"/"0X" (more than two characters) or
  // "$"; a missing, empty or unparsable value gives the default.
  int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;
  // An integer that is true when not 0.
  bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;

  // Sets one key. The line the reader would find for it is rewritten with
  // the new value (its key spelling and line end kept); a missing key is
  // added at the end of its section, a missing section at the end of the
  // file. Every other byte of the file stays as it was. The file is replaced
  // as a whole (temporary file, then rename), so it is never left half
  // written. False when the file cannot be read or written, and when a name
  // or the value would not read back as written (line breaks, a "=" in a
  // key, a "]" in a section, blanks around a name, empty names).
  bool WriteString(const std::string& section, const std::string& key, const std::string& value);
  // Integers are written in decimal, flags as "1" and "0".
  bool WriteInteger(const std::string& section, const std::string& key, int value);
  bool WriteBool(const std::string& section, const std::string& key, bool value);
  // Sets the keys of one section that have a value and removes those that
  // have none, by the rules above, and replaces the file once for all.
  bool WriteKeys(const std::string& section,
                 const std::vector<std::pair<std::string, std::optional<std::string>>>& keys);

 private:
  std::string path_;
};

// Why the file at path cannot be read as a settings file ("it is not a
// regular file", "it is larger than 16 MiB ...", or the system's reason),
// or nothing when it can; a missing file can (it reads as empty). Reading
// such a file gives every key its default, and never waits.
std::optional<std::string> IniFileProblem(const std::string& path);

// The integer a settings value stands for, or nothing when it does not parse.
std::optional<int> ParseIniInteger(const std::string& value);

// The value of a key in settings text held in memory (the same rules as
// IniFile::ReadValue, which reads the file through it).
std::optional<std::string> FindIniValue(std::string_view text, const std::string& section,
                                        const std::string& key);

// The settings text with one key set, by the rules of IniFile::WriteString,
// or nothing when a name or the value is not accepted.
std::optional<std::string> SetIniValue(std::string_view text, const std::string& section,
                                       const std::string& key, const std::string& value);
// The settings text without the key's lines in the sections of that name
// (every other byte kept), so that the reader no longer finds it.
std::string RemoveIniKey(std::string_view text, const std::string& section, const std::string& key);

// Replaces the file at path with contents: a temporary file in the same
// directory is written, flushed to disk and renamed over the target, so
// readers see the old or the new file and never a partial one. An existing
// file keeps its permissions and owner; a symbolic link keeps pointing at
// the replaced file. False (and the old file untouched) on any failure,
// including an existing file that is not a regular file or that this user
// may not write.
bool ReplaceFileContents(const std::string& path, std::string_view contents);
