// The version record: as the build embeds it in an executable, and as the
// reader copes with ELF files and records that are damaged or hostile.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include "app/VersionRecord.h"
#include "tests/app/ElfImage.h"
#include "testsupport/TempDir.h"

namespace {
std::optional<VersionRecord> FromImage(const std::vector<uint8_t>& image) {
  auto section = FindVersionSection(image);
  if (!section) return std::nullopt;
  return VersionRecord::Parse(*section);
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
}  // namespace

TEST(VersionRecord, BuiltRecordIsFoundInTheExecutable) {
  auto record = ReadVersionRecord(VERSION_PROBE_PATH);
  ASSERT_TRUE(record);
  EXPECT_EQ(VersionRecordSize(VERSION_PROBE_PATH), record->Size());
  EXPECT_GT(record->Size(), kVersionHeaderSize);
  const VersionFixedPart& fixed = record->FixedPart();
  EXPECT_EQ(fixed.FileVersionMS, (2u << 16) | 5u);
  EXPECT_EQ(fixed.FileVersionLS, (7u << 16) | 1234u);
  EXPECT_EQ(fixed.FileFlags, 34u);
  EXPECT_EQ(fixed.FileFlagsMask, 63u);

  const std::string block = "\\StringFileInfo\\040904E4\\";
  EXPECT_EQ(record->Query(block + "ProductName"), "Varlo 95");
  EXPECT_EQ(record->Query(block + "FileVersion"), "2.5.7.1234");
  EXPECT_EQ(record->Query(block + "ProductVersion"), "2.5");
  EXPECT_EQ(record->Query(block + "Comments"), "Probe build");
  for (const char* name : {"FileDescription", "InternalName", "LegalCopyright", "CompanyName"})
    EXPECT_FALSE(record->Query(block + name).value_or("").empty()) << name;
  // Paths are matched without regard to case; other blocks and names are
  // missing.
  EXPECT_EQ(record->Query("\\stringfileinfo\\040904e4\\productname"), "Varlo 95");
  EXPECT_FALSE(record->Query("\\StringFileInfo\\040704E4\\ProductName"));
  EXPECT_FALSE(record->Query(block + "PrivateBuild"));
  EXPECT_FALSE(record->Query("ProductName"));
}

TEST(VersionRecord, FilesWithoutARecordHaveSizeZero) {
  TempDir dir;
  const std::string empty = dir / "empty", text = dir / "text";
  std::ofstream(empty).close();
  std::ofstream(text) << "\x7F" "ELF is what this file says, but it is text\n";
  for (const std::string& path :
       {std::string(ORBSIM_PATH), empty, text, dir.Path(), dir / "missing"}) {
    EXPECT_EQ(VersionRecordSize(path), 0u) << path;
    EXPECT_FALSE(ReadVersionRecord(path)) << path;
  }
}

TEST(VersionRecord, AllFourElfFormsAreRead) {
  RecordFields fields;
  fields.flags = 8;
  fields.flagsMask = 0x3F;
  for (bool is64 : {false, true})
    for (bool little : {false, true}) {
      ElfImage elf = MakeElf({{".text", {1, 2, 3}},
                              {".varlo_versio", MakeRecord()},  // a name that only starts alike
                              {".varlo_version", MakeRecord(fields)}},
                             is64, little);
      auto record = FromImage(elf.bytes);
      ASSERT_TRUE(record) << is64 << little;
      EXPECT_EQ(record->FixedPart().FileFlags, 8u);
      EXPECT_EQ(record->Query("\\StringFileInfo\\040904E4\\Comments"), "Hi");
    }
}

TEST(VersionRecord, ManySectionsCountedInSectionZero) {
  ElfImage elf = MakeElf({{".varlo_version", MakeRecord()}});
  elf.SetSectionSize(0, elf.sectionCount);
  elf.SetSectionLink(0, static_cast<uint32_t>(elf.sectionCount - 1));
  elf.SetShnum(0);
  elf.SetShstrndx(0xFFFF);
  EXPECT_TRUE(FromImage(elf.bytes));
}

TEST(VersionRecord, DamagedElfFilesGiveNoRecord) {
  const ElfImage good = MakeElf({{".data", std::vector<uint8_t>(100, 7)},
                                 {".varlo_version", MakeRecord()}});
  ASSERT_TRUE(FromImage(good.bytes));
  const std::size_t version = 2;
  const uint64_t versionOffset = good.HeaderSize() + 100;

  // Every truncation of the file, at every length.
  for (std::size_t n = 0; n < good.bytes.size(); ++n)
    EXPECT_FALSE(FromImage({good.bytes.begin(), good.bytes.begin() + n})) << n;

  std::vector<std::pair<const char*, std::function<void(ElfImage&)>>> damage = {
      {"not ELF", [](ElfImage& e) { e.bytes[1] = 'X'; }},
      {"unknown class", [](ElfImage& e) { e.bytes[4] = 3; }},
      {"unknown byte order", [](ElfImage& e) { e.bytes[5] = 0; }},
      {"no section table", [](ElfImage& e) { e.SetShoff(0); }},
      {"table past the end", [](ElfImage& e) { e.SetShoff(e.bytes.size() - 8); }},
      {"table offset wraps", [](ElfImage& e) { e.SetShoff(~uint64_t(0) - 8); }},
      {"entries too small", [](ElfImage& e) { e.SetShentsize(16); }},
      {"too many entries", [](ElfImage& e) { e.SetShnum(200); }},
      {"name table index out of range", [](ElfImage& e) { e.SetShstrndx(9); }},
      {"name table past the end",
       [](ElfImage& e) { e.SetSectionSize(e.sectionCount - 1, e.bytes.size()); }},
      {"name past the name table", [&](ElfImage& e) { e.SetSectionName(version, 5000); }},
      {"record occupies no file space", [&](ElfImage& e) { e.SetSectionType(version, 8); }},
      {"record past the end",
       [&](ElfImage& e) { e.SetSectionSize(version, e.bytes.size() - versionOffset + 1); }},
      {"record offset wraps",
       [&](ElfImage& e) { e.SetSectionOffset(version, ~uint64_t(0) - 16); }},
      {"record overlaps the ELF header", [&](ElfImage& e) { e.SetSectionOffset(version, 0); }},
      {"record overlaps the section table",
       [&](ElfImage& e) {
         e.SetSectionOffset(version, e.shoff);
         e.SetSectionSize(version, 64);
       }},
      {"record larger than any real one",
       [&](ElfImage& e) {
         e.SetSectionOffset(version, 0);
         e.SetSectionSize(version, kVersionRecordMaxSize + 1);
         e.bytes.resize(kVersionRecordMaxSize + 4096);
       }},
  };
  for (auto& [what, change] : damage) {
    ElfImage bad = good;
    change(bad);
    EXPECT_FALSE(FromImage(bad.bytes)) << what;
  }
}

TEST(VersionRecord, MalformedRecordsAreRefused) {
  const std::vector<uint8_t> good = MakeRecord();
  ASSERT_TRUE(VersionRecord::Parse(good));
  // Padding after the record (section alignment) is allowed.
  std::vector<uint8_t> padded = good;
  padded.resize(good.size() + 12, 0);
  ASSERT_TRUE(VersionRecord::Parse(padded));
  EXPECT_EQ(VersionRecord::Parse(padded)->Size(), good.size());

  auto with = [&](std::size_t at, uint32_t v) {
    std::vector<uint8_t> b = good;
    PutLe32(b, at, v);
    return b;
  };
  const uint32_t size = static_cast<uint32_t>(good.size());
  const uint32_t textSize = size - kVersionHeaderSize;
  std::vector<std::pair<const char*, std::vector<uint8_t>>> bad = {
      {"shorter than the fixed part", {good.begin(), good.begin() + kVersionHeaderSize - 1}},
      {"truncated text", {good.begin(), good.end() - 1}},
      {"wrong magic", with(4, 0x31524556 + 1)},
      {"size below the fixed part", with(8, kVersionHeaderSize - 1)},
      {"size beyond the bytes", with(8, size + 1)},
      {"text beyond the record", with(40, textSize + 1)},
      {"text offset and size wrap", with(36, 0xFFFFFFF0)},
      {"empty text", with(40, 0)},
      {"text without its final NUL", with(40, textSize - 1)},
  };
  // A text table starting inside the fixed part, at its own offset field:
  // the bytes there read as a well-formed table, so only the overlap is
  // wrong.
  std::vector<uint8_t> overlapping = with(36, 36);
  PutLe32(overlapping, 40, size - 36);
  bad.push_back({"text overlapping the fixed part", overlapping});
  RecordFields missingValue;
  missingValue.text = {"040904E4", "ProductName"};
  bad.push_back({"name without value", MakeRecord(missingValue)});
  RecordFields noLanguage;
  noLanguage.text = {"", "ProductName", "Varlo 95"};
  bad.push_back({"empty language block", MakeRecord(noLanguage)});
  for (const auto& [what, bytes] : bad) EXPECT_FALSE(VersionRecord::Parse(bytes)) << what;
}

// Random damage to header, section table and record alike: the reader
// either finds a record that fits the section or none (the sanitizer build
// checks that nothing is read out of bounds).
TEST(VersionRecord, RandomDamageIsSurvived) {
  const ElfImage good = MakeElf({{".text", {1, 2, 3, 4}}, {".varlo_version", MakeRecord()}});
  std::mt19937 random(95);
  for (int round = 0; round < 20000; ++round) {
    std::vector<uint8_t> image = good.bytes;
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < changes; ++i) image[random() % image.size()] = static_cast<uint8_t>(random());
    if (auto section = FindVersionSection(image)) {
      ASSERT_LE(section->size(), image.size());
      if (auto record = VersionRecord::Parse(*section)) {
        ASSERT_LE(record->Size(), section->size());
        record->Query("\\StringFileInfo\\040904E4\\Comments");
      }
    }
  }
}

TEST(VersionRecord, FileReadsAgreeWithMemoryReads) {
  const std::vector<uint8_t> image = FileBytes(VERSION_PROBE_PATH);
  auto fromMemory = FindVersionSection(image);
  ASSERT_TRUE(fromMemory);
  EXPECT_EQ(ReadVersionSection(VERSION_PROBE_PATH), fromMemory);

  // A file cut short just inside the record loses it.
  TempDir dir;
  ElfImage elf = MakeElf({{".varlo_version", MakeRecord()}});
  const std::string cut = dir / "cut";
  std::ofstream(cut, std::ios::binary)
      .write(reinterpret_cast<const char*>(elf.bytes.data()), elf.HeaderSize() + 10);
  EXPECT_EQ(VersionRecordSize(cut), 0u);
}
