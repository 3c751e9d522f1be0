// PA-422 frames and names, byte for byte.
#include <gtest/gtest.h>

#include "link/PA422Messages.h"

using namespace pa422;

namespace {
Bytes B(std::initializer_list<int> bytes) {
  Bytes out;
  for (int b : bytes) out += static_cast<char>(b);
  return out;
}
}  // namespace

TEST(Names, UpperCasedFilteredPaddedAndCut) {
  EXPECT_EQ(Name16("abcdefghijklmnopqrst"), "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(Name16("a.b"), "A B" + std::string(13, ' '));
  EXPECT_EQ(Name16(""), std::string(16, ' '));
  EXPECT_EQ(Name16("\xe9t\xe9"), " T" + std::string(14, ' '));  // bytes above 126 become blanks
  std::string kept;
  for (int c = 0; c < 256; ++c)
    if (FilterNameChar(static_cast<char>(c)) != ' ') kept += static_cast<char>(c);
  EXPECT_EQ(kept, "!#$%&'()-0123456789@ABCDEFGHIJKLMNOPQRSTUVWXYZ`~");
}

TEST(Frames, UpdateParameterCarriesParameterPasswordAndLevel) {
  EXPECT_EQ(UpdateParameterFrame(2, kDevicePassword, 26), B({0x96, 1, 2}) + "KOBU" + B({0x1A}));
  EXPECT_EQ(UpdateParameterFrame(kGainParameter, kDevicePassword, 2),
            B({0x96, 1, 0x20}) + "KOBU" + B({2}));
}

TEST(Frames, EachCommandHasItsLayoutAndTheLengthDevicesExpect) {
  const std::string pw = kDevicePassword;
  struct Case {
    Bytes frame, expected;
  } cases[] = {
      {RecallAllDataFrame(0), B({1, 1, 0})},
      {ReprogramFromMemoryFrame(0), B({0x82, 1, 0})},
      {MuteAllOutputsFrame(), B({0x89})},
      {UnmuteAllOutputsFrame(), B({0x8A})},
      {BypassFrame(pw), B({0x90, 1, 0}) + pw},
      {UnbypassFrame(pw), B({0x91, 1, 0}) + pw},
      {SetDeviceNameFrame(pw, ""), B({0x93}) + pw + std::string(16, ' ')},
      {LockPresetFrame(8, pw), B({0x94, 1, 8}) + pw},
      {UnlockPresetFrame(1, pw), B({0x95, 1, 1}) + pw},
      {TransmitAllDataFrame(Bytes(55, '\x1a')), B({0x81}) + Bytes(55, '\x1a')},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.frame, c.expected);
    EXPECT_EQ(FrameLength(static_cast<uint8_t>(c.frame[0])), static_cast<int>(c.frame.size()));
  }
  EXPECT_EQ(ReplyDataLength(RECALL_ALL_DATA) + 1, 71);
  EXPECT_EQ(ReplyDataLength(UPDATE_PARAMETER), 0);
}

TEST(Frames, TransmitBlockLayout) {
  TransmitSettings s;
  for (int i = 0; i < 30; ++i) s.levels[i] = static_cast<uint8_t>(2 + i);
  s.highPass = 5;
  s.lowPass = 21;
  s.presetName = "live room";
  s.reserved = 9;
  s.preset = 3;
  Bytes block = TransmitBlock(kDevicePassword, s);
  ASSERT_EQ(block.size(), 55u);
  EXPECT_EQ(block.substr(0, 5), B({1}) + "KOBU");
  EXPECT_EQ(block[transmit::kLevels - 1], 2);
  EXPECT_EQ(block[transmit::kLevels - 1 + 28], 30);  // band 29
  EXPECT_EQ(block[transmit::kLevels - 1 + 29], 31);  // gain
  EXPECT_EQ(block[transmit::kHighPass - 1], 5);
  EXPECT_EQ(block[transmit::kLowPass - 1], 21);
  EXPECT_EQ(block.substr(transmit::kPresetName - 1, 16), "LIVE ROOM       ");
  EXPECT_EQ(block[transmit::kReserved - 1], 9);
  EXPECT_EQ(block[transmit::kPreset - 1], 3);
}

TEST(Frames, DtIdAndCommandNames) {
  EXPECT_TRUE(IsValidDtId(3, 41));
  EXPECT_FALSE(IsValidDtId(3, 40));
  EXPECT_FALSE(IsValidDtId(41, 3));
  EXPECT_EQ(CommandName(2), "");
  EXPECT_EQ(CommandName(0x96), "UPDATE_PARAMETER");
  EXPECT_EQ(CommandName(0xFF), "GROUP_SET_PASSWORDS");
  EXPECT_EQ(CommandName(0x82), "REPROGRAM_DEVICE_CHANNEL_FROM_MEMORY");
}
