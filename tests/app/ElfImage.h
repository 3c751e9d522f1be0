#pragma once
// Builds small ELF images and version records byte by byte, so tests can
// read well-formed ones and damage them field by field.
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/VersionRecord.h"

struct RecordFields {
  uint32_t versionMS = 1 << 16 | 0, versionLS = 31 << 16 | 41;
  uint32_t productMS = 1 << 16 | 0, productLS = 31 << 16 | 41;
  uint32_t flagsMask = 0, flags = 0;
  std::vector<std::string> text = {"040904E4", "ProductName", "Varlo 95", "Comments", "Hi"};
};

inline void PutLe32(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline std::vector<uint8_t> MakeRecord(const RecordFields& f = {}) {
  std::vector<uint8_t> text;
  for (const auto& s : f.text) {
    text.insert(text.end(), s.begin(), s.end());
    text.push_back(0);
  }
  std::vector<uint8_t> b(kVersionHeaderSize + text.size());
  std::memcpy(b.data(), kVersionRecordMagic, 8);
  PutLe32(b, 8, static_cast<uint32_t>(b.size()));
  PutLe32(b, 12, f.versionMS);
  PutLe32(b, 16, f.versionLS);
  PutLe32(b, 20, f.productMS);
  PutLe32(b, 24, f.productLS);
  PutLe32(b, 28, f.flagsMask);
  PutLe32(b, 32, f.flags);
  PutLe32(b, 36, kVersionHeaderSize);
  PutLe32(b, 40, static_cast<uint32_t>(text.size()));
  std::memcpy(b.data() + kVersionHeaderSize, text.data(), text.size());
  return b;
}

// An ELF file: header, each section's bytes, the section name table, then
// the section header table (null entry, the sections, the name table).
struct ElfImage {
  bool is64 = true;
  bool little = true;
  std::vector<uint8_t> bytes;
  uint64_t shoff = 0;
  std::size_t sectionCount = 0;  // with the null entry and the name table

  std::size_t HeaderSize() const { return is64 ? 64 : 52; }
  std::size_t EntrySize() const { return is64 ? 64 : 40; }

  void Put(std::size_t at, uint64_t v, int width) {
    for (int i = 0; i < width; ++i) {
      int shift = little ? 8 * i : 8 * (width - 1 - i);
      bytes.at(at + i) = static_cast<uint8_t>(v >> shift);
    }
  }
  // Section header fields of entry index.
  std::size_t Entry(std::size_t index) const { return shoff + index * EntrySize(); }
  void SetSectionName(std::size_t i, uint32_t v) { Put(Entry(i), v, 4); }
  void SetSectionType(std::size_t i, uint32_t v) { Put(Entry(i) + 4, v, 4); }
  void SetSectionOffset(std::size_t i, uint64_t v) { Put(Entry(i) + (is64 ? 24 : 16), v, is64 ? 8 : 4); }
  void SetSectionSize(std::size_t i, uint64_t v) { Put(Entry(i) + (is64 ? 32 : 20), v, is64 ? 8 : 4); }
  void SetSectionLink(std::size_t i, uint32_t v) { Put(Entry(i) + (is64 ? 40 : 24), v, 4); }
  // ELF header fields.
  void SetShoff(uint64_t v) { Put(is64 ? 0x28 : 0x20, v, is64 ? 8 : 4); }
  void SetShentsize(uint16_t v) { Put(is64 ? 0x3A : 0x2E, v, 2); }
  void SetShnum(uint16_t v) { Put(is64 ? 0x3C : 0x30, v, 2); }
  void SetShstrndx(uint16_t v) { Put(is64 ? 0x3E : 0x32, v, 2); }
};

inline ElfImage MakeElf(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& sections,
                        bool is64 = true, bool little = true) {
  ElfImage e;
  e.is64 = is64;
  e.little = little;
  e.bytes.assign(e.HeaderSize(), 0);
  const uint8_t ident[] = {0x7F, 'E', 'L', 'F', uint8_t(is64 ? 2 : 1), uint8_t(little ? 1 : 2), 1};
  std::memcpy(e.bytes.data(), ident, sizeof ident);

  std::vector<std::pair<uint64_t, uint64_t>> places;  // offset, size
  std::string names(1, '\0');
  std::vector<uint32_t> nameAt;
  for (const auto& [name, data] : sections) {
    places.emplace_back(e.bytes.size(), data.size());
    e.bytes.insert(e.bytes.end(), data.begin(), data.end());
    nameAt.push_back(static_cast<uint32_t>(names.size()));
    names += name + '\0';
  }
  const uint32_t namesName = static_cast<uint32_t>(names.size());
  names += std::string(".shstrtab") + '\0';
  places.emplace_back(e.bytes.size(), names.size());
  nameAt.push_back(namesName);
  e.bytes.insert(e.bytes.end(), names.begin(), names.end());
  while (e.bytes.size() % 8) e.bytes.push_back(0);

  e.shoff = e.bytes.size();
  e.sectionCount = places.size() + 1;
  e.bytes.resize(e.bytes.size() + e.sectionCount * e.EntrySize(), 0);
  for (std::size_t i = 0; i < places.size(); ++i) {
    e.SetSectionName(i + 1, nameAt[i]);
    e.SetSectionType(i + 1, i + 1 == places.size() ? 3 : 1);  // STRTAB, PROGBITS
    e.SetSectionOffset(i + 1, places[i].first);
    e.SetSectionSize(i + 1, places[i].second);
  }
  e.SetShoff(e.shoff);
  e.SetShentsize(static_cast<uint16_t>(e.EntrySize()));
  e.SetShnum(static_cast<uint16_t>(e.sectionCount));
  e.SetShstrndx(static_cast<uint16_t>(e.sectionCount - 1));
  return e;
}
