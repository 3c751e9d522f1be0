// The backup folder's pieces without a device: preset files made from
// recalled blocks, the manifest, and the checks a file passes before it is
// sent back.
#include <gtest/gtest.h>

#include "eq/BackupSet.h"
#include "link/Json.h"
#include "eq/PresetFormats.h"

namespace {
namespace all = pa422::all_data;

// A recalled block of preset 3: band 1 at level 40, the gain at 20,
// high-pass 4, low-pass 18, names with characters the files filter, locked.
pa422::Bytes RecalledBlock() {
  pa422::Bytes block(pa422::kAllDataLength + 1, '\0');
  for (int i = 0; i < 30; ++i) block[all::kFirstBand - 1 + i] = 26;
  block[all::kFirstBand - 1] = 40;
  block[all::kGain - 1] = 20;
  block[all::kHighPass - 1] = 4;
  block[all::kLowPass - 1] = 18;
  block.replace(all::kPresetName - 1, 16, "Live.Mix        ");
  block[all::kLock - 1] = 1;
  block[all::kPreset - 1] = 3;
  block.replace(all::kDeviceName - 1, 16, "FOH left        ");
  return block;
}

BackupPreset EntryFor(const std::string& file, int preset) {
  return BackupPreset{preset, "preset-" + std::to_string(preset) + ".V95", "NAME", false, Crc32(file)};
}
}  // namespace

TEST(BackupSet, PresetFileFromABlockIsTheProgramsMacFile) {
  const std::string file = MacFileFromBlock(7, 3, RecalledBlock());
  ASSERT_EQ(file.size(), kMacFileSize);
  EXPECT_EQ(file[0], 7);
  EXPECT_EQ(file[1], 3);
  EXPECT_EQ(file[51], 0);  // the lock lives in the manifest, as the program writes files
  EXPECT_EQ(file.substr(52, 16), "FOH LEFT        ");
  PresetFileContents contents = ParseMacPreset(file);
  EXPECT_EQ(contents.presetName, "LIVE MIX");
  EXPECT_EQ(contents.BandSteps(1), -14);
  EXPECT_EQ(contents.GainSteps(), 6);
  EXPECT_EQ(contents.highPassIndex, 4);
  EXPECT_EQ(contents.lowPassIndex, 18);

  // What goes back to the device is what came from it, names filtered.
  pa422::Bytes sent = CheckedPresetBlock(EntryFor(file, 3), file);
  pa422::Bytes readBack = RecalledBlock();
  readBack.replace(all::kPresetName - 1, 16, "LIVE MIX        ");
  EXPECT_EQ(DifferenceFromSent(readBack, sent), "");
  readBack[all::kFirstBand - 1 + 4] = 27;
  EXPECT_EQ(DifferenceFromSent(readBack, sent), "band 5 level 27, written 26");
  readBack = RecalledBlock();
  EXPECT_EQ(DifferenceFromSent(readBack, sent), "preset name differs");
}

TEST(BackupSet, DamagedOrForeignFilesAreRefusedBeforeSending) {
  const std::string file = MacFileFromBlock(1, 2, RecalledBlock());
  auto refusal = [](const BackupPreset& entry, const std::string& bytes) -> std::string {
    try {
      CheckedPresetBlock(entry, bytes);
      return "";
    } catch (const std::runtime_error& e) {
      return e.what();
    }
  };
  EXPECT_EQ(refusal(EntryFor(file, 2), file), "");
  EXPECT_NE(refusal(EntryFor(file, 2), file.substr(0, 67)).find("holds 67 bytes"), std::string::npos);
  std::string flipped = file;
  flipped[10] = 27;
  EXPECT_NE(refusal(EntryFor(file, 2), flipped).find("CRC-32"), std::string::npos);
  EXPECT_NE(refusal(EntryFor(file, 5), file).find("holds preset 2, not 5"), std::string::npos);
  std::string loud = file;
  loud[5] = 1;  // above +12 dB: the device would refuse the whole block
  EXPECT_NE(refusal(EntryFor(loud, 2), loud).find("band 4 is outside 2 to 50"), std::string::npos);
  std::string filter = file;
  filter[34] = 22;
  EXPECT_NE(refusal(EntryFor(filter, 2), filter).find("filter index"), std::string::npos);
  EXPECT_NE(refusal(EntryFor(file, 2), flipped).find("nothing was sent"), std::string::npos);
}

TEST(BackupSet, ManifestRoundTripsAndRefusesWhatItCannotTrust) {
  EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
  BackupManifest m;
  m.address = 12;
  m.deviceName = "FOH \"A\"\x01";
  m.bypass = true;
  m.created = "2026-12-08T10:00:00Z";
  m.presets.push_back({1, "preset-1.V95", "FLAT", false, 0x0000ABCDu});
  m.presets.push_back({4, "preset-4.V95", "SHOW", true, 0xFFFFFFFFu});
  BackupManifest back = ParseManifest(ManifestJson(m));
  EXPECT_EQ(back.address, 12);
  EXPECT_EQ(back.deviceName, m.deviceName);
  EXPECT_FALSE(back.mute);
  EXPECT_TRUE(back.bypass);
  ASSERT_EQ(back.presets.size(), 2u);
  EXPECT_EQ(back.Find(4)->crc32, 0xFFFFFFFFu);
  EXPECT_TRUE(back.Find(4)->locked);
  EXPECT_EQ(back.Find(1)->crc32, 0x0000ABCDu);
  EXPECT_EQ(back.Find(2), nullptr);

  auto refusal = [](const std::string& text) -> std::string {
    try {
      ParseManifest(text);
      return "";
    } catch (const std::runtime_error& e) {
      return e.what();
    }
  };
  std::string good = ManifestJson(m);
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = good;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  EXPECT_NE(refusal(good.substr(0, good.size() / 2)).find("not JSON"), std::string::npos);
  EXPECT_NE(refusal("[]").find("not a JSON object"), std::string::npos);
  EXPECT_NE(refusal(replaced("varlo95-backup", "other")).find("not a varlo95 backup"), std::string::npos);
  EXPECT_NE(refusal(replaced("\"version\": 1", "\"version\": 2")).find("version 2"), std::string::npos);
  EXPECT_NE(refusal(replaced("preset-4.V95", "../etc/passwd")).find("not a file name"), std::string::npos);
  EXPECT_NE(refusal(replaced("\"preset\": 4", "\"preset\": 1")).find("listed twice"), std::string::npos);
  EXPECT_NE(refusal(replaced("\"preset\": 4", "\"preset\": 9")).find("\"preset\""), std::string::npos);
  EXPECT_NE(refusal(replaced("\"address\": 12", "\"address\": 1.5")).find("\"address\""), std::string::npos);
  EXPECT_NE(refusal(replaced("ffffffff", "fffff")).find("8 hex digits"), std::string::npos);
}

TEST(Json, ParsesWhatItWritesAndRefusesMalformedText) {
  std::string bytes;
  for (int c = 0; c < 256; ++c) bytes += static_cast<char>(c);
  auto value = ParseJson(" {\"s\": " + JsonString(bytes) + ", \"a\": [1, -2.5e1, true, null, {}, 0.5]} ");
  ASSERT_TRUE(value);
  EXPECT_EQ(*value->Member("s")->String(), bytes);
  const JsonArray& a = *value->Member("a")->Array();
  ASSERT_EQ(a.size(), 6u);
  EXPECT_EQ(a[0].Integer(0, 10), 1);
  EXPECT_EQ(a[1].Integer(-100, 100), -25);
  EXPECT_EQ(a[1].Integer(0, 100), std::nullopt);
  EXPECT_TRUE(*a[2].Bool());
  EXPECT_EQ(a[5].Integer(0, 1), std::nullopt);

  std::string error;
  for (const char* bad : {"", "{", "{\"a\" 1}", "[1,]", "{\"a\":1,\"a\":2}", "\"\\u0100\"",
                          "\"\x01\"", "01x", "[1] 2", "tru"}) {
    EXPECT_FALSE(ParseJson(bad, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
    error.clear();
  }
  EXPECT_FALSE(ParseJson(std::string(100, '[') + std::string(100, ']'), &error));
  EXPECT_NE(error.find("too deep"), std::string::npos);
}
