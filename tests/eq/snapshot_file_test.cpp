// The snapshot file: written and read back whole, refused with the reason
// when it is not one this program wrote, a device's running settings taken
// from its recalled block, and what changed since, in words.
#include "eq/SnapshotFile.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace all = pa422::all_data;

namespace {
Snapshot Example() {
  Snapshot s;
  s.created = "2026-12-09T19:00:00Z";
  s.line = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0";
  SnapshotDevice present;
  present.address = 3;
  present.deviceName = "FOH \"LEFT\"";
  present.currentPreset = 2;
  present.mute = true;
  SnapshotWorking w;
  w.bands[7] = 6;
  w.gain = -4;
  w.highPass = 4;
  w.presetName = "SPEECH";
  w.lock = true;
  present.working = w;
  present.presets = "addr-003";
  SnapshotDevice absent;
  absent.address = 9;
  absent.state = SnapshotDevice::State::Absent;
  s.devices = {present, absent};
  return s;
}

std::string Refusal(const std::string& text) {
  try {
    ParseSnapshot(text);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "read";
}
}  // namespace

TEST(SnapshotFile, ReadsBackWhatItWroteAndRefusesWhatItDidNot) {
  const Snapshot s = Example();
  const Snapshot back = ParseSnapshot(SnapshotJson(s));
  ASSERT_EQ(back.devices.size(), 2u);
  EXPECT_EQ(back.line, s.line);
  EXPECT_EQ(back.devices[0].deviceName, "FOH \"LEFT\"");
  EXPECT_EQ(back.devices[0].working, s.devices[0].working);
  EXPECT_TRUE(back.devices[0].mute);
  EXPECT_EQ(back.devices[0].presets, "addr-003");
  EXPECT_EQ(back.Find(9)->state, SnapshotDevice::State::Absent);
  EXPECT_FALSE(back.Find(9)->working);

  std::string json = SnapshotJson(s);
  const auto edited = [&](const std::string& from, const std::string& to) {
    std::string text = json;
    text.replace(text.find(from), from.size(), to);
    return Refusal(text);
  };
  EXPECT_EQ(edited("varlo95-snapshot", "varlo95-backup"), "snapshot.json: not a varlo95 snapshot");
  EXPECT_EQ(edited("\"addr-003\"", "\"../x\""), "snapshot.json: address 3: \"presets\" is not a folder name in it");
  EXPECT_EQ(edited("\"address\": 9", "\"address\": 3"), "snapshot.json: address 3 listed twice");
  EXPECT_EQ(edited("\"gain\": -4", "\"gain\": 40"), "snapshot.json: \"gain\" needs a whole number from -24 to 24");
  EXPECT_EQ(edited("\"working\": {", "\"working\": null, \"x\": {"),
            "snapshot.json: address 3: a present device needs its \"working\"");
  EXPECT_EQ(Refusal(json.substr(0, json.size() / 2)).rfind("snapshot.json: not JSON", 0), 0u);
}

TEST(SnapshotFile, WhatADeviceRunsAndWhatChangedSince) {
  pa422::Bytes block(pa422::kAllDataLength + 1, '\0');
  for (int band = 0; band < kBandCount; ++band) block[all::kFirstBand - 1 + band] = char(DeviceGainCode(0));
  block[all::kFirstBand - 1 + 7] = char(DeviceGainCode(6));
  block[all::kGain - 1] = char(DeviceGainCode(-4));
  block[all::kHighPass - 1] = 4;
  block[all::kLowPass - 1] = kLowPassOut;
  block.replace(all::kPresetName - 1, 16, "SPEECH          ");
  block.replace(all::kDeviceName - 1, 16, "FOH \"LEFT\"      ");
  block[all::kLock - 1] = 1;
  block[all::kPreset - 1] = 2;
  block[all::kMute - 1] = 1;
  const SnapshotDevice read = DeviceFromWorkingBlock(3, block);
  const Snapshot example = Example();
  const SnapshotDevice& captured = example.devices[0];
  EXPECT_EQ(read.working, captured.working);
  EXPECT_TRUE(SnapshotDifferences(captured, read).empty());

  SnapshotDevice now = read;
  now.working->bands[7] = 3;
  now.working->highPass = kHighPassOut;
  now.working->presetName = "MUSIC";
  now.mute = false;
  EXPECT_EQ(SnapshotDifferences(captured, now),
            (std::vector<std::string>{"mute on \u2192 off", "band 8 (125 Hz) +3.0 dB \u2192 +1.5 dB",
                                      "high-pass " + HighPassLabel(4) + " \u2192 OUT",
                                      "preset 2 name \"SPEECH\" \u2192 \"MUSIC\""}));
}
