#include "settings/IniFile.h"

#include "settings/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {
constexpr size_t kMaxValueLength = 1023;
// Only this much of a line is looked at; the rest of a longer line is
// skipped, so a file without line breaks cannot make the reader hold it all.
constexpr size_t kMaxLineLength = 64 * 1024;

constexpr const char* kBlanks = " \t\r\n";

std::string_view Trim(std::string_view s) {
  size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  size_t last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// What one line of the file is to the reader. `line` is the line without its
// "\n" and cut to kMaxLineLength.
struct LineInfo {
  enum Kind { kOther, kSection, kKey } kind = kOther;
  bool closed = false;    // for a section: the header has its "]"
  std::string_view name;  // section name or key, blanks removed
  size_t equals = 0;      // for a key: offset of its "=" in the line
};

LineInfo Classify(std::string_view line) {
  LineInfo info;
  size_t start = line.find_first_not_of(kBlanks);
  if (start == std::string_view::npos || line[start] == ';') return info;
  if (line[start] == '[') {
    // A header without "]" still ends the section before it, and opens
    // one that matches no name.
    std::string_view text = Trim(line);
    size_t close = text.find(']');
    info.kind = LineInfo::kSection;
    info.closed = close != std::string_view::npos;
    if (info.closed) info.name = Trim(text.substr(1, close - 1));
    return info;
  }
  size_t eq = line.find('=');
  if (eq == std::string_view::npos) return info;
  info.kind = LineInfo::kKey;
  info.name = Trim(line.substr(0, eq));
  info.equals = eq;
  return info;
}

// Follows the lines of a file, one at a time, looking for one key. The
// first line that holds the key in any section of that name wins.
class KeyFinder {
 public:
  KeyFinder(const std::string& section, const std::string& key) : section_(section), key_(key) {}

  // True when the line described by info holds the key.
  bool Feed(const LineInfo& info) {
    if (info.kind == LineInfo::kSection) {
      inSection_ = info.closed && SameName(info.name, section_);
      return false;
    }
    return inSection_ && info.kind == LineInfo::kKey && SameName(info.name, key_);
  }
  bool InSection() const { return inSection_; }

  static std::string ValueOf(std::string_view line, const LineInfo& info) {
    return std::string(Trim(line.substr(info.equals + 1)).substr(0, kMaxValueLength));
  }

 private:
  const std::string& section_;
  const std::string& key_;
  bool inSection_ = false;
};

// Splits text into lines at "\n"; each line view excludes the "\n".
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    size_t end = nl == std::string_view::npos ? text.size() : nl;
    size_t next = nl == std::string_view::npos ? text.size() : nl + 1;
    if (!visit(text.substr(pos, std::min(end - pos, kMaxLineLength)), pos, end, next)) return;
    pos = next;
  }
}

bool ValidName(std::string_view name) {
  return !name.empty() && Trim(name) == name && name.find_first_of("\r\n") == std::string_view::npos;
}

// A file this large is no settings file; it is not loaded for rewriting.
constexpr size_t kMaxRewriteSize = 16 * 1024 * 1024;

// The whole file, or false when it cannot be read. A missing file reads as
// empty text.
bool ReadWholeFile(const std::string& path, std::string& contents) {
  contents.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  char buffer[8192];
  while (ok) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    contents.append(buffer, static_cast<size_t>(n));
    ok = contents.size() <= kMaxRewriteSize;
  }
  ::close(fd);
  return ok;
}

// The file a write to path really replaces: a symbolic link's target, so
// that the link stays a link.
std::string WriteTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved) return path;  // a dangling link is replaced by the file
  std::string target(resolved);
  std::free(resolved);
  return target;
}

// The line end new lines get: that of the file's first line, else "\n".
std::string_view LineEndOf(std::string_view text) {
  size_t nl = text.find('\n');
  return nl != std::string_view::npos && nl > 0 && text[nl - 1] == '\r' ? "\r\n" : "\n";
}
}  // namespace

std::optional<std::string> FindIniValue(std::string_view text, const std::string& section,
                                        const std::string& key) {
  KeyFinder finder(section, key);
  std::optional<std::string> found;
  ForEachLine(text, [&](std::string_view line, size_t, size_t, size_t) {
    LineInfo info = Classify(line);
    if (finder.Feed(info)) found = KeyFinder::ValueOf(line, info);
    return !found;
  });
  return found;
}

std::optional<std::string> IniFile::ReadValue(const std::string& section,
                                              const std::string& key) const {
  // Only a regular file of a settings file's size is read, without ever
  // waiting: a folder, a pipe or a device in its place reads as empty.
  std::string text;
  if (!ReadWholeFile(path_, text)) return std::nullopt;
  return FindIniValue(text, section, key);
}

std::string IniFile::Text() const {
  std::string text;
  return ReadWholeFile(path_, text) ? text : std::string();
}

std::optional<std::string> IniFileProblem(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return std::nullopt;
    return std::string(std::strerror(errno));
  }
  if (!S_ISREG(st.st_mode)) return std::string("it is not a regular file");
  if (uint64_t(st.st_size) > kMaxRewriteSize)
    return "it is larger than " + std::to_string(kMaxRewriteSize / (1024 * 1024)) +
           " MiB, more than any settings file";
  std::string text;
  if (!ReadWholeFile(path, text)) return std::string(std::strerror(errno ? errno : EIO));
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

std::optional<std::string> SetIniValue(std::string_view text, const std::string& section,
                                       const std::string& key, const std::string& value) {
  if (!ValidName(section) || section.find(']') != std::string::npos || !ValidName(key) ||
      key.find('=') != std::string::npos || key[0] == ';' || key[0] == '[' ||
      value.find_first_of("\r\n") != std::string::npos)
    return std::nullopt;

  KeyFinder finder(section, key);
  // The key's line: the part kept before the value, and where the value ends.
  std::optional<std::pair<size_t, size_t>> keyLine;
  // Where a missing key goes: after the header or the last key line of the
  // first section of that name.
  bool sectionSeen = false, inFirstSection = false;
  size_t anchorEnd = 0, anchorNext = 0;
  ForEachLine(text, [&](std::string_view line, size_t pos, size_t end, size_t next) {
    LineInfo info = Classify(line);
    if (finder.Feed(info)) {
      size_t valueEnd = end;
      if (valueEnd > pos + info.equals + 1 && text[valueEnd - 1] == '\r') --valueEnd;
      keyLine.emplace(pos + info.equals + 1, valueEnd);
      return false;
    }
    if (info.kind == LineInfo::kSection) {
      inFirstSection = !sectionSeen && finder.InSection();
      sectionSeen = sectionSeen || inFirstSection;
      if (inFirstSection) anchorEnd = end, anchorNext = next;
    } else if (inFirstSection && info.kind == LineInfo::kKey) {
      anchorEnd = end, anchorNext = next;
    }
    return true;
  });

  std::string out;
  out.reserve(text.size() + section.size() + key.size() + value.size() + 8);
  if (keyLine) {
    out.append(text.substr(0, keyLine->first)).append(value).append(text.substr(keyLine->second));
    return out;
  }
  std::string_view eol = LineEndOf(text);
  if (sectionSeen) {
    // After the anchor line and its line end; a last line without one gets it.
    out.append(text.substr(0, anchorNext));
    if (anchorNext == anchorEnd) out.append(anchorEnd > 0 && text[anchorEnd - 1] == '\r' ? "\n" : eol);
    else eol = anchorEnd > 0 && text[anchorEnd - 1] == '\r' ? "\r\n" : "\n";
    out.append(key).append("=").append(value).append(eol).append(text.substr(anchorNext));
    return out;
  }
  // A new section at the end, set off by a blank line.
  out.append(text);
  if (!out.empty() && out.back() != '\n') out.append(out.back() == '\r' ? "\n" : eol);
  if (!out.empty()) {
    size_t lastStart = out.find_last_of('\n', out.size() - 2);
    lastStart = lastStart == std::string::npos ? 0 : lastStart + 1;
    if (!Trim(std::string_view(out).substr(lastStart)).empty()) out.append(eol);
  }
  out.append("[").append(section).append("]").append(eol);
  out.append(key).append("=").append(value).append(eol);
  return out;
}

bool ReplaceFileContents(const std::string& path, std::string_view contents) {
  try {
    WriteFileAtomically(path, contents);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  std::string target = WriteTarget(path_);
  std::string text;
  if (!ReadWholeFile(target, text)) return false;
  std::optional<std::string> updated = SetIniValue(text, section, key, value);
  return updated && ReplaceFileContents(target, *updated);
}

std::string RemoveIniKey(std::string_view text, const std::string& section, const std::string& key) {
  KeyFinder finder(section, key);
  std::string out;
  size_t kept = 0;
  ForEachLine(text, [&](std::string_view line, size_t pos, size_t, size_t next) {
    if (finder.Feed(Classify(line))) {
      out.append(text.substr(kept, pos - kept));
      kept = next;
    }
    return true;
  });
  out.append(text.substr(kept));
  return out;
}

bool IniFile::WriteKeys(const std::string& section,
                        const std::vector<std::pair<std::string, std::optional<std::string>>>& keys) {
  std::string target = WriteTarget(path_);
  std::string text;
  if (!ReadWholeFile(target, text)) return false;
  for (const auto& [key, value] : keys) {
    if (!value) {
      text = RemoveIniKey(text, section, key);
      continue;
    }
    std::optional<std::string> updated = SetIniValue(text, section, key, *value);
    if (!updated) return false;
    text = std::move(*updated);
  }
  return ReplaceFileContents(target, text);
}

bool IniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  return WriteString(section, key, std::to_string(value));
}

bool IniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  return WriteString(section, key, value ? "1" : "0");
}
