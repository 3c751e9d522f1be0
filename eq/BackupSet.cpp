#include "eq/BackupSet.h"

#include <array>
#include <cstdio>
#include <optional>
#include <stdexcept>

#include "link/Json.h"
#include "link/JsonFields.h"
#include "eq/PresetFormats.h"

namespace {
namespace all = pa422::all_data;
namespace tx = pa422::transmit;

uint8_t At(const pa422::Bytes& bytes, int position) {
  return position >= 1 && static_cast<size_t>(position) <= bytes.size()
             ? static_cast<uint8_t>(bytes[position - 1])
             : 0;
}

std::string Hex32(uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

const JsonFields kFields(kManifestName);
}  // namespace

std::string PresetFileName(int preset) { return "preset-" + std::to_string(preset) + ".V95"; }

std::string MacFileFromBlock(int address, int preset, const pa422::Bytes& block) {
  std::string file(kMacFileSize, ' ');
  file[0] = static_cast<char>(address & 0xFF);
  file[1] = static_cast<char>(preset);
  for (int slot = 0; slot < 30; ++slot) file[2 + slot] = static_cast<char>(At(block, all::kFirstBand + slot));
  file[33] = static_cast<char>(At(block, all::kHighPass));
  file[34] = static_cast<char>(At(block, all::kLowPass));
  // Both names are upper-cased and filtered as the program writes them.
  auto name = [&](int position) {
    pa422::Bytes raw;
    for (int i = 0; i < pa422::kNameLength; ++i) raw += static_cast<char>(At(block, position + i));
    return pa422::Name16(raw);
  };
  file.replace(35, pa422::kNameLength, name(all::kPresetName));
  file[51] = 0;
  file.replace(52, pa422::kNameLength, name(all::kDeviceName));
  return file;
}

uint32_t Crc32(std::string_view bytes) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

const BackupPreset* BackupManifest::Find(int preset) const {
  for (const BackupPreset& p : presets)
    if (p.preset == preset) return &p;
  return nullptr;
}

std::string ManifestJson(const BackupManifest& m) {
  std::string json = "{\n";
  json += "  \"format\": " + JsonString(kManifestFormat) + ",\n";
  json += "  \"version\": " + std::to_string(kManifestVersion) + ",\n";
  json += "  \"created\": " + JsonString(m.created) + ",\n";
  json += "  \"address\": " + std::to_string(m.address) + ",\n";
  json += "  \"deviceName\": " + JsonString(m.deviceName) + ",\n";
  json += std::string("  \"mute\": ") + (m.mute ? "true" : "false") + ",\n";
  json += std::string("  \"bypass\": ") + (m.bypass ? "true" : "false") + ",\n";
  json += "  \"presets\": [";
  for (size_t i = 0; i < m.presets.size(); ++i) {
    const BackupPreset& p = m.presets[i];
    json += i ? ",\n" : "\n";
    json += "    {\"preset\": " + std::to_string(p.preset) + ", \"file\": " + JsonString(p.file) +
            ", \"name\": " + JsonString(p.name) + ", \"locked\": " + (p.locked ? "true" : "false") +
            ", \"crc32\": " + JsonString(Hex32(p.crc32)) + "}";
  }
  json += "\n  ]\n}\n";
  return json;
}

BackupManifest ParseManifest(std::string_view text) {
  std::string error;
  std::optional<JsonValue> root = ParseJson(text, &error);
  if (!root) throw kFields.Error("not JSON (" + error + ")");
  if (!root->Object()) throw kFields.Error("not a JSON object");
  if (kFields.String(*root, "format") != kManifestFormat)
    throw kFields.Error("not a varlo95 backup manifest");
  if (kFields.Integer(*root, "version", 0, 1000000) != kManifestVersion)
    throw kFields.Error("version " + std::to_string(kFields.Integer(*root, "version", 0, 1000000)) +
                        " is not one this program reads");
  BackupManifest m;
  m.address = static_cast<int>(kFields.Integer(*root, "address", 1, 240));
  m.deviceName = kFields.String(*root, "deviceName");
  m.mute = kFields.Bool(*root, "mute");
  m.bypass = kFields.Bool(*root, "bypass");
  if (const JsonValue* created = root->Member("created"); created && created->String())
    m.created = *created->String();
  const JsonArray* presets = kFields.Required(*root, "presets").Array();
  if (!presets) throw kFields.Error("\"presets\" needs a list");
  for (const JsonValue& entry : *presets) {
    if (!entry.Object()) throw kFields.Error("a preset entry is not an object");
    BackupPreset p;
    p.preset = static_cast<int>(kFields.Integer(entry, "preset", 1, 8));
    p.file = kFields.String(entry, "file");
    // Only a plain name within the backup folder.
    if (p.file.empty() || p.file.find('/') != std::string::npos || p.file == "." || p.file == "..")
      throw kFields.Error("preset " + std::to_string(p.preset) + ": file \"" + p.file +
                          "\" is not a file name in the backup folder");
    p.name = kFields.String(entry, "name");
    p.locked = kFields.Bool(entry, "locked");
    const std::string crc = kFields.String(entry, "crc32");
    if (crc.size() != 8 || crc.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
      throw kFields.Error("preset " + std::to_string(p.preset) + ": crc32 needs 8 hex digits");
    p.crc32 = static_cast<uint32_t>(std::stoul(crc, nullptr, 16));
    if (m.Find(p.preset)) throw kFields.Error("preset " + std::to_string(p.preset) + " listed twice");
    m.presets.push_back(p);
  }
  return m;
}

pa422::Bytes CheckedPresetBlock(const BackupPreset& entry, std::string_view bytes,
                                const std::filesystem::path& dir) {
  auto refuse = [&](const std::string& why) {
    return std::runtime_error((dir / entry.file).string() + ": " + why + "; nothing was sent");
  };
  if (bytes.size() != kMacFileSize)
    throw refuse("holds " + std::to_string(bytes.size()) + " bytes, not " +
                 std::to_string(kMacFileSize));
  if (Crc32(bytes) != entry.crc32)
    throw refuse("its CRC-32 is " + Hex32(Crc32(bytes)) + ", the manifest says " + Hex32(entry.crc32));
  if (static_cast<uint8_t>(bytes[1]) != entry.preset)
    throw refuse("holds preset " + std::to_string(static_cast<uint8_t>(bytes[1])) + ", not " +
                 std::to_string(entry.preset));
  PresetFileContents contents = ParseMacPreset(bytes);
  for (int slot = 0; slot < 30; ++slot) {
    int level = contents.deviceLevels[slot];
    if (level < pa422::kMinLevel || level > pa422::kMaxLevel)
      throw refuse("level byte " + std::to_string(level) + " of " +
                   (slot < 29 ? "band " + std::to_string(slot + 1) : std::string("the gain")) +
                   " is outside " + std::to_string(pa422::kMinLevel) + " to " +
                   std::to_string(pa422::kMaxLevel));
  }
  if (contents.highPassIndex > pa422::kMaxFilterIndex || contents.lowPassIndex > pa422::kMaxFilterIndex)
    throw refuse("a filter index is above " + std::to_string(pa422::kMaxFilterIndex));
  return contents.Payload(entry.preset);
}

std::string DifferenceFromSent(const pa422::Bytes& recalled, const pa422::Bytes& sent) {
  for (int slot = 0; slot < 30; ++slot) {
    int wrote = At(sent, tx::kLevels + slot), read = At(recalled, all::kFirstBand + slot);
    if (wrote != read)
      return (slot < 29 ? "band " + std::to_string(slot + 1) : std::string("gain")) + " level " +
             std::to_string(read) + ", written " + std::to_string(wrote);
  }
  if (At(sent, tx::kHighPass) != At(recalled, all::kHighPass)) return "high-pass index differs";
  if (At(sent, tx::kLowPass) != At(recalled, all::kLowPass)) return "low-pass index differs";
  for (int i = 0; i < pa422::kNameLength; ++i)
    if (At(sent, tx::kPresetName + i) != At(recalled, all::kPresetName + i))
      return "preset name differs";
  return "";
}
