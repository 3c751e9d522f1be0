// Document defaults, tables and conversions.
#include <gtest/gtest.h>

#include "eq/EqualizerDocument.h"

TEST(Conversions, LevelTextsAreTheShortestDecimalForm) {
  EXPECT_EQ(LevelText(24), "12");
  EXPECT_EQ(LevelText(-24), "-12");
  EXPECT_EQ(LevelText(-3), "-1.5");
  EXPECT_EQ(LevelText(-1), "-0.5");
  EXPECT_EQ(LevelText(1), "0.5");
  EXPECT_EQ(LevelText(0), "0");
  EXPECT_EQ(LevelText(-7, ","), "-3,5");
  EXPECT_DOUBLE_EQ(LevelDb(-3), -1.5);
}

TEST(Conversions, DeviceCodesAndFileBytes) {
  EXPECT_EQ(DeviceGainCode(24), 2);
  EXPECT_EQ(DeviceGainCode(-24), 50);
  EXPECT_EQ(DeviceGainCode(0), 26);
  EXPECT_EQ(DeviceGainCode(30), 252);  // one byte: wraps outside +/-26
  EXPECT_EQ(StepsFromDeviceGainCode(40), -14);
  EXPECT_EQ(MacFileByte(-3), 29);
  EXPECT_EQ(EquFileByte(-3), 27);
  EXPECT_EQ(StepsFromEquFileByte(27), -3);
  EXPECT_EQ(DeviceGainCodeFromEquByte(EquFileByte(5)), DeviceGainCode(5));
}

TEST(Conversions, TickLabelsAndRangeTexts) {
  EXPECT_EQ(TickLabel(-6), "-3");
  EXPECT_EQ(TickLabel(6), "+3");
  EXPECT_EQ(TickLabel(0), "0");
  EXPECT_EQ(TickLabel(24), "+12");
  EXPECT_EQ(RangeText(24), "12");
  EXPECT_EQ(RangeText(7), "3");
  EXPECT_EQ(RangeText(25), "12");
}

TEST(Tables, SlotsBandsAndFilters) {
  EXPECT_EQ(SlotLabel(1), "25 Hz");
  EXPECT_EQ(SlotLabel(5), "63 Hz");
  EXPECT_EQ(SlotLabel(17), "1 kHz");
  EXPECT_EQ(SlotLabel(29), "16 kHz");
  EXPECT_EQ(SlotLabel(kGainSlot), "Gain");
  EXPECT_EQ(kHighPassSlot, kGainSlot);
  EXPECT_EQ(HighPassBoxLabel(), "High Pass");
  EXPECT_EQ(SlotLabel(kLowPassSlot), "Low Pass");
  EXPECT_EQ(SlotLabel(kPresetNameSlot), "Preset Name");
  EXPECT_EQ(SlotLabel(0), "");
  EXPECT_EQ(DeviceBandNumber(1), 2);
  EXPECT_EQ(DeviceBandNumber(29), 30);
  EXPECT_EQ(DeviceBandNumber(30), 32);
  EXPECT_EQ(HighPassLabel(0), "OUT");
  EXPECT_EQ(HighPassLabel(2), "22.4 Hz");
  EXPECT_EQ(HighPassLabel(21), "200 Hz");
  EXPECT_EQ(LowPassLabel(0), "2 kHz");
  EXPECT_EQ(LowPassLabel(21), "OUT");
  EXPECT_EQ(LowPassLabel(22), "");
  EXPECT_EQ(HighPassLabel(-1), "");
  EXPECT_EQ(AddressText(240), "240");
}

TEST(Document, NewWindowValues) {
  TEqualizerDocument doc;
  EXPECT_EQ(doc.Address, 0);
  EXPECT_EQ(doc.CurrentPreset, 1);
  EXPECT_EQ(doc.PresetNames[4], "Preset Name 5 ");
  EXPECT_EQ(doc.PresetName, "Preset Name 1");
  EXPECT_EQ(doc.DeviceName, "ORB Name");
  EXPECT_EQ(doc.HighPassIndex, 0);
  EXPECT_EQ(doc.LowPassIndex, 21);
  doc.SetSliderSteps(30, -5);
  doc.SetSliderSteps(29, 7);
  EXPECT_EQ(doc.GainSteps, -5);
  EXPECT_EQ(doc.BandSteps[28], 7);
  EXPECT_EQ(NameForDevice("live room, left"), "LIVE ROOM  LEFT ");
}
