// Feeds arbitrary bytes to the settings reader as a settings file, checks
// that the streaming file reader and the in-memory reader agree, and that
// setting one key reads back as written while leaving other keys alone.
#include <sys/mman.h>
#include <unistd.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "settings/IniFile.h"

namespace {
const char* const kSections[] = {"Scaling", "workspace SIZE", "Edit", "", "a]", " x", "[S"};
const char* const kKeys[] = {"SliderRange", "height", "Com Port", "k", "k=", ";k", "[k", ""};
const char* const kValues[] = {"0x18", "", "  7  ", "$1F", "abc", "1\n[S]", "-2147483648"};

template <size_t N>
const char* Pick(const char* const (&names)[N], uint8_t byte) {
  return names[byte % N];
}

void Check(bool condition) {
  if (!condition) std::abort();
}

std::string Trimmed(std::string_view s) {
  size_t first = s.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return "";
  size_t last = s.find_last_not_of(" \t\r\n");
  return std::string(s.substr(first, last - first + 1)).substr(0, 1023);
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// The file reader, reading the bytes through an in-memory file.
std::optional<std::string> ReadThroughFile(std::string_view text, const std::string& section,
                                           const std::string& key) {
  int fd = ::memfd_create("settings", MFD_CLOEXEC);
  if (fd < 0) std::abort();
  size_t written = 0;
  while (written < text.size()) {
    ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n <= 0) std::abort();
    written += static_cast<size_t>(n);
  }
  auto value = IniFile("/proc/self/fd/" + std::to_string(fd)).ReadValue(section, key);
  ::close(fd);
  return value;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const std::string section = Pick(kSections, data[0]);
  const std::string key = Pick(kKeys, data[1]);
  const std::string value = Pick(kValues, data[2]);
  const std::string otherSection = Pick(kSections, data[0] >> 4);
  const std::string otherKey = Pick(kKeys, data[1] >> 4);
  const std::string_view text(reinterpret_cast<const char*>(data) + 3, size - 3);

  std::optional<std::string> found = FindIniValue(text, section, key);
  Check(ReadThroughFile(text, section, key) == found);
  if (found) {
    Check(found->size() <= 1023);
    (void)ParseIniInteger(*found);
  }

  std::optional<std::string> updated = SetIniValue(text, section, key, value);
  if (!updated) return 0;
  Check(FindIniValue(*updated, section, key) == Trimmed(value));
  if (!(SameNameIgnoringCase(section, otherSection) && SameNameIgnoringCase(key, otherKey)))
    Check(FindIniValue(*updated, otherSection, otherKey) == FindIniValue(text, otherSection, otherKey));
  return 0;
}
