// Reading a recalled block into a document and building the transmit payload.
#include <gtest/gtest.h>

#include <vector>

#include "eq/DeviceBlock.h"
#include "link/MessageLogger.h"

using namespace pa422;

namespace {
// A block as a device sends it: byte 1 first, 70 data bytes and the status.
Bytes Block(const std::vector<uint8_t>& levels30, uint8_t hp, uint8_t lp, const std::string& preset,
            uint8_t presetNumber, const std::string& device, bool mute, bool bypass, bool lock) {
  Bytes b(71, '\0');
  for (int i = 0; i < 30; ++i) b[i] = static_cast<char>(levels30[i]);
  b[all_data::kHighPass - 1] = static_cast<char>(hp);
  b[all_data::kLowPass - 1] = static_cast<char>(lp);
  b.replace(all_data::kPresetName - 1, 16, Name16(preset));
  b[all_data::kLock - 1] = lock;
  b[all_data::kPreset - 1] = static_cast<char>(presetNumber);
  b.replace(all_data::kDeviceName - 1, 16, Name16(device));
  b[all_data::kMute - 1] = mute;
  b[all_data::kBypass - 1] = bypass;
  return b;
}

std::vector<uint8_t> Flat() { return std::vector<uint8_t>(30, 26); }

struct Trace {
  std::vector<std::string> lines;
  Trace() {
    SetMessageLoggerTap([this](const std::string& l) {
      auto text = l.find_first_not_of("0123456789");
      lines.push_back(text == std::string::npos ? "" : l.substr(text));
    });
  }
  ~Trace() { SetMessageLoggerTap(nullptr); }
};
}  // namespace

TEST(RecalledBlock, FillsEveryFieldAndReportsChangedBoxes) {
  TEqualizerDocument doc;
  auto levels = Flat();
  levels[4] = 20;  // band 5 at +6 steps
  levels[29] = 30;  // gain at -4 steps
  auto result = CopyORBDataToWindow(
      doc, Block(levels, 5, 18, "  vocal  ", 3, "stage left", true, false, true), {}, 1);
  EXPECT_EQ(doc.BandSteps[4], 6);
  EXPECT_EQ(doc.GainSteps, -4);
  EXPECT_EQ(doc.HighPassIndex, 5);
  EXPECT_EQ(doc.LowPassIndex, 18);
  EXPECT_EQ(doc.CurrentPreset, 3);
  EXPECT_EQ(doc.PresetName, "VOCAL");
  EXPECT_EQ(doc.PresetNames[2], "VOCAL");
  EXPECT_EQ(doc.PresetNames[0], "Preset Name 1");
  EXPECT_EQ(doc.DeviceName, "STAGE LEFT");
  EXPECT_TRUE(doc.Mute);
  EXPECT_FALSE(doc.Bypass);
  EXPECT_TRUE(doc.Lock);
  EXPECT_TRUE(result.changed.mute);
  EXPECT_FALSE(result.changed.bypass);
  EXPECT_TRUE(result.changed.lock);
  EXPECT_FALSE(result.pasteEnabled);
}

TEST(RecalledBlock, FilterBytesOutsideOneToTwentyOneAreTracedAndStillTaken) {
  Trace trace;
  TEqualizerDocument doc;
  CopyORBDataToWindow(doc, Block(Flat(), 0, 21, "", 1, "", false, false, false), {},
                      RECALL_ALL_DATA);
  EXPECT_EQ(doc.HighPassIndex, 0);  // still "OUT"
  EXPECT_EQ(trace.lines, (std::vector<std::string>{" ERROR HP=0Command = RECALL_ALL_DATA", " "}));
  trace.lines.clear();
  CopyORBDataToWindow(doc, Block(Flat(), 3, 40, "", 1, "", false, false, false), {},
                      RECALL_ALL_DATA);
  EXPECT_EQ(doc.LowPassIndex, 40);
  EXPECT_EQ(trace.lines, (std::vector<std::string>{" ERROR LP=40Command = RECALL_ALL_DATA", " "}));
}

TEST(RecalledBlock, PresetNumberOutsideOneToEightIsClampedAndKeepsTheNames) {
  TEqualizerDocument doc;
  CopyORBDataToWindow(doc, Block(Flat(), 1, 1, "x", 0, "", false, false, false), {}, 1);
  EXPECT_EQ(doc.CurrentPreset, 1);
  EXPECT_EQ(doc.PresetName, "X");
  EXPECT_EQ(doc.PresetNames[0], "Preset Name 1");
  CopyORBDataToWindow(doc, Block(Flat(), 1, 1, "y", 9, "", false, false, false), {}, 1);
  EXPECT_EQ(doc.CurrentPreset, 8);
  EXPECT_EQ(doc.PresetNames[7], "Preset Name 8");
}

TEST(RecalledBlock, SlidersClampToTheRangeAndHoldWhileAnUpdateIsPending) {
  TEqualizerDocument doc;
  auto levels = Flat();
  levels[0] = 2;   // +24 steps
  levels[1] = 50;  // -24 steps
  CopyORBDataToWindow(doc, Block(levels, 1, 1, "", 1, "", false, false, false), {12, false}, 1);
  EXPECT_EQ(doc.BandSteps[0], 12);
  EXPECT_EQ(doc.BandSteps[1], -12);
  levels[0] = 26;
  CopyORBDataToWindow(doc, Block(levels, 1, 1, "", 1, "", false, false, false), {12, true}, 1);
  EXPECT_EQ(doc.BandSteps[0], 12);  // refused
}

TEST(Payload, CarriesTheDocumentAsTheDeviceExpectsIt) {
  Trace trace;
  TEqualizerDocument doc;
  doc.BandSteps[4] = -3;
  doc.GainSteps = 24;
  doc.HighPassIndex = 7;
  doc.LowPassIndex = 20;
  doc.PresetName = "abcdefghijklmnopqrst";
  doc.CurrentPreset = 6;
  Bytes payload = CopyVarloDataToORB(doc);
  ASSERT_EQ(payload.size(), 55u);
  EXPECT_EQ(payload.substr(0, 5), "\x01KOBU");
  EXPECT_EQ(payload[transmit::kLevels - 1 + 4], 29);
  EXPECT_EQ(payload[transmit::kLevels - 1 + 29], 2);
  EXPECT_EQ(payload[transmit::kHighPass - 1], 7);
  EXPECT_EQ(payload[transmit::kLowPass - 1], 20);
  EXPECT_EQ(payload.substr(transmit::kPresetName - 1, 16), "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(payload[transmit::kReserved - 1], 0);
  EXPECT_EQ(payload[transmit::kPreset - 1], 6);
  EXPECT_EQ(trace.lines, std::vector<std::string>{" CopyVarloDataToORB"});
}
