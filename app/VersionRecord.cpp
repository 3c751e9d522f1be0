#include "app/VersionRecord.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <functional>

namespace {

uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// Reads n bytes at an offset of the image; false when they are not all
// there.
using ReadAt = std::function<bool(uint64_t offset, std::size_t n, uint8_t* out)>;

// offset + size <= limit, without overflow.
bool Fits(uint64_t offset, uint64_t size, uint64_t limit) {
  return offset <= limit && size <= limit - offset;
}

bool Overlaps(uint64_t aOffset, uint64_t aSize, uint64_t bOffset, uint64_t bSize) {
  return aOffset < bOffset + bSize && bOffset < aOffset + aSize;
}

// Decodes the few ELF header and section header fields the search needs,
// in the file's own byte order and word size.
struct ElfReader {
  bool is64 = true;
  bool little = true;

  uint64_t Get(const uint8_t* p, int width) const {
    uint64_t v = 0;
    for (int i = 0; i < width; ++i) {
      int shift = little ? 8 * i : 8 * (width - 1 - i);
      v |= uint64_t(p[i]) << shift;
    }
    return v;
  }
};

struct SectionHeader {
  uint32_t name = 0;
  uint32_t type = 0;
  uint64_t offset = 0;
  uint64_t size = 0;
  uint32_t link = 0;
};

constexpr uint32_t kSectionNoBits = 8;  // SHT_NOBITS: occupies no file space
constexpr uint32_t kSectionIndexEscape = 0xFFFF;  // SHN_XINDEX
// Far more sections than any real executable has; bounds the search.
constexpr uint64_t kMaxSections = 1 << 20;

std::optional<std::vector<uint8_t>> FindSection(uint64_t fileSize, const ReadAt& read) {
  uint8_t ident[16];
  if (fileSize < sizeof ident || !read(0, sizeof ident, ident)) return std::nullopt;
  if (ident[0] != 0x7F || ident[1] != 'E' || ident[2] != 'L' || ident[3] != 'F')
    return std::nullopt;
  ElfReader elf;
  if (ident[4] == 1) elf.is64 = false;
  else if (ident[4] != 2) return std::nullopt;
  if (ident[5] == 2) elf.little = false;
  else if (ident[5] != 1) return std::nullopt;

  const std::size_t headerSize = elf.is64 ? 64 : 52;
  uint8_t header[64];
  if (fileSize < headerSize || !read(0, headerSize, header)) return std::nullopt;
  const int word = elf.is64 ? 8 : 4;
  const uint64_t shoff = elf.Get(header + (elf.is64 ? 0x28 : 0x20), word);
  const uint64_t shentsize = elf.Get(header + (elf.is64 ? 0x3A : 0x2E), 2);
  uint64_t shnum = elf.Get(header + (elf.is64 ? 0x3C : 0x30), 2);
  uint64_t shstrndx = elf.Get(header + (elf.is64 ? 0x3E : 0x32), 2);
  const std::size_t entrySize = elf.is64 ? 64 : 40;
  if (shoff == 0 || shentsize < entrySize) return std::nullopt;

  auto readSection = [&](uint64_t index, SectionHeader& out) {
    uint8_t raw[64];
    const uint64_t at = shoff + index * shentsize;  // bounded by the table check
    if (!Fits(at, entrySize, fileSize) || !read(at, entrySize, raw)) return false;
    out.name = static_cast<uint32_t>(elf.Get(raw, 4));
    out.type = static_cast<uint32_t>(elf.Get(raw + 4, 4));
    out.offset = elf.Get(raw + (elf.is64 ? 24 : 16), word);
    out.size = elf.Get(raw + (elf.is64 ? 32 : 20), word);
    out.link = static_cast<uint32_t>(elf.Get(raw + (elf.is64 ? 40 : 24), 4));
    return true;
  };

  // Files with many sections keep the real count and string table index in
  // section 0.
  if (shnum == 0 || shstrndx == kSectionIndexEscape) {
    SectionHeader first;
    if (!readSection(0, first)) return std::nullopt;
    if (shnum == 0) shnum = first.size;
    if (shstrndx == kSectionIndexEscape) shstrndx = first.link;
  }
  if (shnum == 0 || shnum > kMaxSections || shstrndx >= shnum) return std::nullopt;
  if (shentsize > fileSize || !Fits(shoff, shnum * shentsize, fileSize)) return std::nullopt;

  SectionHeader names;
  if (!readSection(shstrndx, names) || names.type == kSectionNoBits ||
      !Fits(names.offset, names.size, fileSize))
    return std::nullopt;

  constexpr std::size_t wantedLength = sizeof kVersionSectionName;  // with its NUL
  for (uint64_t i = 1; i < shnum; ++i) {
    SectionHeader s;
    if (!readSection(i, s)) return std::nullopt;
    if (!Fits(s.name, wantedLength, names.size)) continue;
    char name[wantedLength];
    if (!read(names.offset + s.name, wantedLength, reinterpret_cast<uint8_t*>(name)))
      return std::nullopt;
    if (std::memcmp(name, kVersionSectionName, wantedLength) != 0) continue;

    // The record must lie wholly in the file, clear of the ELF header and
    // the section header table.
    if (s.type == kSectionNoBits || s.size == 0 || s.size > kVersionRecordMaxSize ||
        !Fits(s.offset, s.size, fileSize) || Overlaps(s.offset, s.size, 0, headerSize) ||
        Overlaps(s.offset, s.size, shoff, shnum * shentsize))
      return std::nullopt;
    std::vector<uint8_t> bytes(s.size);
    if (!read(s.offset, bytes.size(), bytes.data())) return std::nullopt;
    return bytes;
  }
  return std::nullopt;
}

}  // namespace

std::optional<VersionRecord> VersionRecord::Parse(std::span<const uint8_t> bytes) {
  if (bytes.size() < kVersionHeaderSize) return std::nullopt;
  const uint8_t* p = bytes.data();
  if (std::memcmp(p, kVersionRecordMagic, sizeof kVersionRecordMagic) != 0) return std::nullopt;
  const uint32_t size = Le32(p + 8);
  if (size < kVersionHeaderSize || size > bytes.size() || size > kVersionRecordMaxSize)
    return std::nullopt;
  const uint32_t textOffset = Le32(p + 36);
  const uint32_t textSize = Le32(p + 40);
  // The text table lies after the fixed part and inside the record.
  if (textOffset < kVersionHeaderSize || !Fits(textOffset, textSize, size) || textSize == 0)
    return std::nullopt;
  const char* text = reinterpret_cast<const char*>(p + textOffset);
  if (text[textSize - 1] != '\0') return std::nullopt;

  std::vector<std::string> strings;
  for (std::size_t at = 0; at < textSize;) {
    std::size_t length = std::strlen(text + at);  // stops at the final NUL at the latest
    strings.emplace_back(text + at, length);
    at += length + 1;
  }
  if (strings.empty() || strings[0].empty() || strings.size() % 2 != 1) return std::nullopt;

  VersionRecord record;
  record.size_ = size;
  record.fixed_.FileVersionMS = Le32(p + 12);
  record.fixed_.FileVersionLS = Le32(p + 16);
  record.fixed_.ProductVersionMS = Le32(p + 20);
  record.fixed_.ProductVersionLS = Le32(p + 24);
  record.fixed_.FileFlagsMask = Le32(p + 28);
  record.fixed_.FileFlags = Le32(p + 32);
  record.language_ = strings[0];
  for (std::size_t i = 1; i + 1 < strings.size(); i += 2)
    record.entries_.emplace_back(std::move(strings[i]), std::move(strings[i + 1]));
  return record;
}

std::optional<std::string> VersionRecord::Query(std::string_view path) const {
  constexpr std::string_view prefix = "\\StringFileInfo\\";
  if (path.size() < prefix.size() || !EqualNoCase(path.substr(0, prefix.size()), prefix))
    return std::nullopt;
  path.remove_prefix(prefix.size());
  const auto slash = path.find('\\');
  if (slash == std::string_view::npos || !EqualNoCase(path.substr(0, slash), language_))
    return std::nullopt;
  const std::string_view name = path.substr(slash + 1);
  for (const auto& [key, value] : entries_)
    if (EqualNoCase(key, name)) return value;
  return std::nullopt;
}

std::optional<std::vector<uint8_t>> FindVersionSection(std::span<const uint8_t> image) {
  return FindSection(image.size(), [&](uint64_t offset, std::size_t n, uint8_t* out) {
    if (!Fits(offset, n, image.size())) return false;
    std::memcpy(out, image.data() + offset, n);
    return true;
  });
}

std::optional<std::vector<uint8_t>> ReadVersionSection(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<std::vector<uint8_t>> found;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    found = FindSection(static_cast<uint64_t>(st.st_size),
                        [fd](uint64_t offset, std::size_t n, uint8_t* out) {
                          std::size_t done = 0;
                          while (done < n) {
                            ssize_t got = ::pread(fd, out + done, n - done,
                                                  static_cast<off_t>(offset + done));
                            if (got < 0 && errno == EINTR) continue;
                            if (got <= 0) return false;  // error, or the file shrank
                            done += static_cast<std::size_t>(got);
                          }
                          return true;
                        });
  }
  ::close(fd);
  return found;
}

std::optional<VersionRecord> ReadVersionRecord(const std::string& path) {
  auto section = ReadVersionSection(path);
  if (!section) return std::nullopt;
  return VersionRecord::Parse(*section);
}

std::size_t VersionRecordSize(const std::string& path) {
  auto record = ReadVersionRecord(path);
  return record ? record->Size() : 0;
}
