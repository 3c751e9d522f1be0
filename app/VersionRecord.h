#pragma once
// The program's version record: a small binary record that the build places
// in the ELF section ".varlo_version" of the executable (see
// VersionRecordData.cpp), and the reader the about box uses to find it again
// in a file on disk.
//
// Record layout, all numbers little-endian:
//   0  char[8]  magic "VRLOVER1"
//   8  u32      record size in bytes (header and text table)
//  12  u32      file version, most significant word (major << 16 | minor)
//  16  u32      file version, least significant word (release << 16 | build)
//  20  u32      product version, most significant word
//  24  u32      product version, least significant word
//  28  u32      flags mask
//  32  u32      flags word
//  36  u32      offset of the text table from the start of the record
//  40  u32      size of the text table in bytes
//  44           text table: NUL-terminated strings, first the language block
//               name ("040904E4"), then name and value pairs
//
// The reader trusts nothing in the file: every offset and size is checked
// against what precedes it, and a record that does not fit is treated as no
// record at all.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

inline constexpr char kVersionSectionName[] = ".varlo_version";
inline constexpr char kVersionRecordMagic[8] = {'V', 'R', 'L', 'O', 'V', 'E', 'R', '1'};
inline constexpr std::size_t kVersionHeaderSize = 44;
// Larger records are refused; the real one is a few hundred bytes.
inline constexpr std::size_t kVersionRecordMaxSize = 64 * 1024;

// Flag bits of the flags word.
enum : uint32_t {
  kVersionFlagDebug = 1,
  kVersionFlagPreRelease = 2,
  kVersionFlagPatched = 4,
  kVersionFlagPrivateBuild = 8,
  kVersionFlagInfoInferred = 16,
  kVersionFlagSpecialBuild = 32,
};

struct VersionFixedPart {
  uint32_t FileVersionMS = 0;
  uint32_t FileVersionLS = 0;
  uint32_t ProductVersionMS = 0;
  uint32_t ProductVersionLS = 0;
  uint32_t FileFlagsMask = 0;
  uint32_t FileFlags = 0;
};

class VersionRecord {
 public:
  // Checks and decodes a record; nothing when it is malformed.
  static std::optional<VersionRecord> Parse(std::span<const uint8_t> bytes);

  // Size of the record in bytes as it was found.
  std::size_t Size() const { return size_; }
  const VersionFixedPart& FixedPart() const { return fixed_; }
  const std::string& Language() const { return language_; }

  // A text entry by its path "\StringFileInfo\<language>\<name>" (language
  // and name matched without regard to case); nothing when missing.
  std::optional<std::string> Query(std::string_view path) const;

 private:
  std::size_t size_ = 0;
  VersionFixedPart fixed_;
  std::string language_;
  std::vector<std::pair<std::string, std::string>> entries_;
};

// The bytes of the ".varlo_version" section of an ELF file (32 or 64 bit,
// either byte order), bounded by kVersionRecordMaxSize; nothing when the
// file cannot be read, is not ELF, or has no such section.
std::optional<std::vector<uint8_t>> ReadVersionSection(const std::string& path);
// The same search in an ELF image held in memory.
std::optional<std::vector<uint8_t>> FindVersionSection(std::span<const uint8_t> image);

// Size of the version record of a file, 0 when it has none or it is
// malformed.
std::size_t VersionRecordSize(const std::string& path);
// The version record of a file.
std::optional<VersionRecord> ReadVersionRecord(const std::string& path);
