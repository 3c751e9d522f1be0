#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "settings/BusSettings.h"
#include "settings/GroupSettings.h"
#include "settings/IniFile.h"
#include "testsupport/TempDir.h"

TEST(Settings, FirstStartWithoutAFileGivesTheDefaults) {
  TempDir dir;
  FrameGeometry frame;
  TProgramOptions options;
  options.SliderRange = 40;
  options.CopyBands1_29 = false;
  options.CopyMasterGain = true;
  EXPECT_EQ(LoadSettings(dir / "Varlo95.ini", frame, options), 0);  // no port chosen
  EXPECT_EQ(frame, (FrameGeometry{0, 411, 600, 100, 100}));
  // The frame's defaults are the caller's (the design's, scaled to the screen).
  FrameGeometry scaled{0, 986, 1440, 240, 240};
  LoadSettings(dir / "Varlo95.ini", scaled, options);
  EXPECT_EQ(scaled, (FrameGeometry{0, 986, 1440, 240, 240}));
  EXPECT_EQ(options, TProgramOptions{});  // every field back to its default:
  EXPECT_EQ(options.SliderRange, 24);
  EXPECT_TRUE(options.HintsOnPage && options.TaskBarEnabled && options.CopyBands1_29);
  EXPECT_EQ(options.TileOptions, 1);
  EXPECT_FALSE(options.CopyHPLP || options.CopyPresetName || options.CopyMasterGain);
}

TEST(Settings, SavedFileHoldsEveryKeyInOrderAndLoadsBack) {
  TempDir dir;
  const std::string path = dir / "Varlo95.ini";
  FrameGeometry frame{0, 500, 700, 20, 30};
  TProgramOptions options;
  options.SliderRange = 20;
  options.HintsOnPage = false;
  options.TileOptions = 2;
  options.CopyPresetName = true;
  options.SliderHeight = 99;  // never stored
  ASSERT_EQ(SaveSettings(path, frame, options), std::nullopt);
  EXPECT_EQ(ReadText(path),
            "[Workspace Size]\nWindowState=0\nHeight=500\nWidth=700\nTop=20\nLeft=30\n\n"
            "[Scaling]\nAutoScale=1\nHintsOnPage=0\nSliderRange=20\nTaskBarEnabled=1\n"
            "TileOptions=2\n\n"
            "[Edit]\nCopyBands1_29=1\nCopyHPLP=0\nCopyPresetName=1\nCopyMasterGain=0\n");

  FrameGeometry loadedFrame;
  TProgramOptions loaded;
  LoadSettings(path, loadedFrame, loaded);
  EXPECT_EQ(loadedFrame, frame);
  options.SliderHeight = 0;
  EXPECT_EQ(loaded, options);
}

TEST(Settings, MaximizedFrameNeitherReadsNorRewritesItsGeometry) {
  TempDir dir;
  const std::string path = dir / "Varlo95.ini";
  const std::string earlier =
      "[Workspace Size]\nWindowState=2\nHeight=480\nWidth=640\nTop=5\nLeft=6\n";
  WriteText(path, earlier);
  FrameGeometry frame{0, 1, 2, 3, 4};
  TProgramOptions options;
  LoadSettings(path, frame, options);
  EXPECT_EQ(frame, (FrameGeometry{2, 1, 2, 3, 4}));

  frame.Height = 900;
  ASSERT_EQ(SaveSettings(path, frame, options), std::nullopt);
  EXPECT_EQ(ReadText(path).substr(0, earlier.size()), earlier);

  // A state out of range is taken as normal, and the geometry is read.
  IniFile(path).WriteInteger("Workspace Size", "WindowState", 7);
  LoadSettings(path, frame, options);
  EXPECT_EQ(frame, (FrameGeometry{0, 480, 640, 5, 6}));
}

TEST(Settings, UnparsableValuesGiveEachKeysDefault) {
  TempDir dir;
  const std::string path = dir / "Varlo95.ini";
  WriteText(path, "[Scaling]\nSliderRange=0x14\nTileOptions=x\nHintsOnPage=abc\n"
                  "[Edit]\nCopyBands1_29=0x\nCopyHPLP=$1\nCopyMasterGain=\n"
                  "[Communications]\nCom Port=0X3\n");
  FrameGeometry frame;
  TProgramOptions options;
  options.TileOptions = 0;  // defaults, not earlier values, replace bad ones
  options.HintsOnPage = options.CopyBands1_29 = false;
  options.CopyMasterGain = true;
  EXPECT_EQ(LoadSettings(path, frame, options), 3);
  EXPECT_EQ(options.SliderRange, 20);
  EXPECT_EQ(options.TileOptions, 1);
  EXPECT_TRUE(options.HintsOnPage);
  EXPECT_TRUE(options.CopyBands1_29);
  EXPECT_TRUE(options.CopyHPLP);
  EXPECT_FALSE(options.CopyMasterGain);
}

TEST(Settings, SliderRangeIsKeptWithinWhatTheProgramOffers) {
  TempDir dir;
  const std::string path = dir / "Varlo95.ini";
  const std::pair<const char*, int> cases[] = {
      {"2147483647", 24}, {"-2147483648", 2}, {"0", 2}, {"-24", 2}, {"25", 24}, {"2", 2},
      {"13", 13}};
  for (const auto& [stored, read] : cases) {
    WriteText(path, std::string("[Scaling]\nSliderRange=") + stored + "\n");
    FrameGeometry frame;
    TProgramOptions options;
    LoadSettings(path, frame, options);
    EXPECT_EQ(options.SliderRange, read) << stored;
  }
}

TEST(Settings, AFolderInPlaceOfTheFileIsReportedAndGivesTheDefaults) {
  TempDir dir;
  const std::string path = dir / "Varlo95.ini";
  EXPECT_EQ(SettingsReadProblem(path), std::nullopt);  // missing: the defaults, silently
  std::filesystem::create_directory(path);
  EXPECT_EQ(SettingsReadProblem(path), "Cannot read the settings file " + path +
                                           ": it is not a regular file. The default settings are used.");
  FrameGeometry frame;
  TProgramOptions options;
  options.SliderRange = 6;
  EXPECT_EQ(LoadSettings(path, frame, options), 0);
  EXPECT_EQ(options, TProgramOptions{});
}

TEST(Settings, SavingKeepsKeysOfOtherVersionsAndThePortChoice) {
  TempDir dir;
  const std::string path = dir / "Varlo95.ini";
  WriteText(path,
            "[Communications]\r\nCom Port=2\r\nCom 2 Device=/dev/ttyUSB0\r\n\r\n"
            "[Scaling]\r\nSliderRange=12\r\nZoom=150\r\n");
  ASSERT_EQ(SaveSettings(path, FrameGeometry{}, TProgramOptions{}), std::nullopt);
  std::string text = ReadText(path);
  const std::string kept =
      "[Communications]\r\nCom Port=2\r\nCom 2 Device=/dev/ttyUSB0\r\n\r\n"
      "[Scaling]\r\nSliderRange=24\r\nZoom=150\r\n";
  EXPECT_EQ(text.substr(0, kept.size()), kept);

  ASSERT_EQ(SaveComPort(path, 4), std::nullopt);
  FrameGeometry frame;
  TProgramOptions options;
  EXPECT_EQ(LoadSettings(path, frame, options), 4);
  EXPECT_EQ(IniFile(path).ReadString("Communications", "Com 2 Device", ""), "/dev/ttyUSB0");
}

TEST(Settings, UnwritableFileIsReportedWithItsFullPath) {
  TempDir dir;
  WriteText(dir / "plain", "");
  const std::string path = dir / "plain/Varlo95.ini";
  EXPECT_EQ(SaveSettings(path, FrameGeometry{}, TProgramOptions{}), "Unable to write to " + path);
  EXPECT_EQ(SaveComPort(path, 1), "Unable to write to " + path);
}

TEST(Settings, TheResponsePanelKeepsItsOwnSectionAndLeavesTheRestAlone) {
  TempDir dir;
  const std::string path = dir / "Varlo95.ini";
  EXPECT_EQ(LoadResponsePanelSettings(path), (ResponsePanelSettings{true, 0}));
  const std::string earlier =
      "; hand-written\r\n[Workspace Size]\r\nHeight=480\r\n[response]\r\nvisible=1\r\n"
      "Colour=blue\r\n[Communications]\r\nCom Port=2\r\n";
  WriteText(path, earlier);
  ASSERT_EQ(SaveResponsePanelSettings(path, {false, 233}), std::nullopt);
  // The keys' own lines change; every other line, key and line end stays.
  EXPECT_EQ(ReadText(path),
            "; hand-written\r\n[Workspace Size]\r\nHeight=480\r\n[response]\r\nvisible=0\r\n"
            "Colour=blue\r\nHeight=233\r\n[Communications]\r\nCom Port=2\r\n");
  EXPECT_EQ(LoadResponsePanelSettings(path), (ResponsePanelSettings{false, 233}));
  // A hand-edited height below zero or unreadable is the default.
  WriteText(path, "[Response]\nVisible=zero\nHeight=-40\n");
  EXPECT_EQ(LoadResponsePanelSettings(path), (ResponsePanelSettings{true, 0}));
  // The frame's and the options' keys do not touch the section.
  WriteText(path, "[Response]\nVisible=0\nHeight=99\n");
  ASSERT_EQ(SaveSettings(path, FrameGeometry{}, TProgramOptions{}), std::nullopt);
  EXPECT_EQ(LoadResponsePanelSettings(path), (ResponsePanelSettings{false, 99}));
}

TEST(Settings, TheBusScanKeepsItsOwnKeysAndLeavesTheRestAlone) {
  TempDir dir;
  const std::string path = dir / "Varlo95.ini";
  WriteText(path, "; mine\n[Bus]\nDevice 5=OLD\nDevice 9=KEPT\n[Communications]\nCom Port=1\n");
  ASSERT_FALSE(SaveBusScan(path, {{3, "FOH LEFT"}, {5, std::nullopt}, {7, "MON = 2"}}));
  EXPECT_EQ(ReadText(path),
            "; mine\n[Bus]\nDevice 9=KEPT\nDevice 3=FOH LEFT\nDevice 7=MON = 2\n[Communications]\nCom Port=1\n");
  EXPECT_EQ(LoadBusDevices(path), (std::map<int, std::string>{{3, "FOH LEFT"}, {7, "MON = 2"}, {9, "KEPT"}}));
  EXPECT_TRUE(LoadBusDevices(dir / "missing.ini").empty());
}

TEST(Settings, GroupsKeepTheirKeysReadBackWholeAndLeaveTheRestAlone) {
  TempDir dir;
  const std::string path = dir / "Varlo95.ini";
  WriteText(path, "[Group 2]\nMembers=4,9\nOffsets 9=1\n[Bus]\nDevice 4=L\n");
  StoredGroup group;
  group.number = 2;
  group.name = "STACKS";
  group.filters = true;
  group.members = {4, 5};
  group.offsets[4] = {};
  group.offsets[5] = {};
  group.offsets[5][7] = -3;
  group.offsets[5][29] = 2;
  ASSERT_FALSE(SaveGroup(path, group));
  const std::string text = ReadText(path);
  EXPECT_NE(text.find("[Bus]\nDevice 4=L\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("Offsets 9"), std::string::npos) << text;  // the address that left
  EXPECT_NE(text.find("Follows=Bands,Filters\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Offsets 5=0,0,0,0,0,0,0,-3,0,"), std::string::npos) << text;

  const std::vector<StoredGroup> loaded = LoadGroups(path);
  ASSERT_EQ(loaded.size(), 1u);
  EXPECT_EQ(loaded[0].name, "STACKS");
  EXPECT_FALSE(loaded[0].absolute);
  EXPECT_TRUE(loaded[0].bands && loaded[0].filters && !loaded[0].muteBypass);
  EXPECT_EQ(loaded[0].members, (std::vector<int>{4, 5}));
  EXPECT_EQ(loaded[0].offsets, group.offsets);

  // Offsets that do not read back whole are none; a group of fewer than
  // two members is none.
  WriteText(path, "[Group 1]\nMembers=3,x,3,8\nMode=Absolute\nOffsets 3=1,2\n[Group 4]\nMembers=6\n");
  const std::vector<StoredGroup> odd = LoadGroups(path);
  ASSERT_EQ(odd.size(), 1u);
  EXPECT_EQ(odd[0].members, (std::vector<int>{3, 8}));
  EXPECT_TRUE(odd[0].absolute);
  EXPECT_TRUE(odd[0].offsets.empty());
  ASSERT_FALSE(RemoveGroup(path, 1));
  EXPECT_TRUE(LoadGroups(path).empty());
}
