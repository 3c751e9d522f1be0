// Preset files: the bytes each writer lays down, what each reader makes of a
// file, and saving that never loses the previous file.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "eq/PresetFiles.h"
#include "link/MessageLogger.h"
#include "testsupport/Hex.h"

namespace fs = std::filesystem;

namespace {
class PresetFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/varlo-files-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }
  std::string Get(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  size_t EntryCount() const {
    return std::distance(fs::directory_iterator(dir_), fs::directory_iterator());
  }
  fs::path dir_;
};

// A flat Mac file named "VOCAL" with the given lock byte.
std::string MacBytes(uint8_t lock = 0) {
  std::string b(kMacFileSize, ' ');
  for (int i = 2; i <= 31; ++i) b[i] = 26;
  b[33] = 0;
  b[34] = 21;
  b.replace(35, 5, "VOCAL");
  b[51] = static_cast<char>(lock);
  return b;
}

std::string EquBytes() {
  std::string b(kEquFileSize, ' ');
  for (int i = 1; i <= 30; ++i) b[i] = 24;
  b.replace(47, 5, "vocal");
  b[98] = 21;
  b[99] = 0;
  return b;
}

TEqualizerDocument Curve() {
  TEqualizerDocument doc;
  doc.Address = 17;
  doc.CurrentPreset = 3;
  doc.BandSteps[0] = 24;
  doc.BandSteps[4] = -3;  // band 5, 63 Hz
  doc.BandSteps[28] = -24;
  doc.GainSteps = 5;
  doc.HighPassIndex = 7;
  doc.LowPassIndex = 12;
  doc.PresetName = "Live Room";
  doc.DeviceName = "Stage Left";
  return doc;
}
}  // namespace

TEST(PresetFormats, FormatFollowsExtensionAndDialogIndex) {
  for (const char* mac : {"a.V95", "a.v95", "d/x.VRL", "x.VrL"}) EXPECT_EQ(PresetFormatForPath(mac), PresetFormat::Mac);
  // The extension follows the last dot of the name, also the only one.
  EXPECT_EQ(PresetFormatForPath(".V95"), PresetFormat::Mac);
  EXPECT_EQ(PresetFormatForPath("d.x/.vrl"), PresetFormat::Mac);
  for (const char* equ : {"a.equ", "a.txt", "noext", "v95.d/f", "a.v95.bak", ".equ"})
    EXPECT_EQ(PresetFormatForPath(equ), PresetFormat::Equ) << equ;
  // "All Files": the size decides, else the extension.
  EXPECT_EQ(PresetFormatForFile("a.equ", 68), PresetFormat::Mac);
  EXPECT_EQ(PresetFormatForFile("a.V95", 100), PresetFormat::Equ);
  EXPECT_EQ(PresetFormatForFile("a.V95", 200), PresetFormat::Mac);
  EXPECT_EQ(PresetFormatForFile("a.bin", 40), PresetFormat::Equ);
  EXPECT_EQ(WriterForSaveFilterIndex(1), PresetFormat::Mac);
  EXPECT_EQ(WriterForSaveFilterIndex(2), PresetFormat::Equ);
}

TEST(PresetFormats, WritersLayOutEveryByte) {
  std::string flatEqu(100, ' ');
  for (int i = 1; i <= 30; ++i) flatEqu[i] = 24;
  flatEqu.replace(47, 13, "Preset Name 1");
  flatEqu[98] = 21;  // low-pass OUT
  flatEqu[99] = 0;   // high-pass OUT
  EXPECT_EQ(Hex(BuildEquPreset(TEqualizerDocument{})), Hex(flatEqu));

  std::string mac(68, ' ');
  mac[0] = 17;
  mac[1] = 3;
  for (int i = 2; i <= 31; ++i) mac[i] = 26;
  mac[2] = 2;    // band 1 at +24
  mac[6] = 29;   // band 5 at -3
  mac[30] = 50;  // band 29 at -24
  mac[31] = 21;  // gain at +5
  mac[33] = 7;
  mac[34] = 12;
  mac.replace(35, 9, "LIVE ROOM");
  mac[51] = 0;
  mac.replace(52, 10, "STAGE LEFT");
  EXPECT_EQ(Hex(BuildMacPreset(Curve())), Hex(mac));
}

TEST(PresetFormats, NamesAreCutFilteredAndTrimmedByFormat) {
  TEqualizerDocument doc;
  doc.PresetName = "abcdefghijklmnopqrst";
  doc.DeviceName = "the orb on stage 2";
  EXPECT_EQ(BuildMacPreset(doc).substr(35), "ABCDEFGHIJKLMNOP" + std::string(1, '\0') + "THE ORB ON STAGE");
  std::string equ = BuildEquPreset(doc);
  EXPECT_EQ(equ.substr(47, 17), "abcdefghijklmnop ");  // as typed, cut

  // Both readers upper-case and filter; only the Mac reader trims. The
  // payload carries the untrimmed 16.
  std::string m = MacBytes();
  m.replace(35, 16, "  mix.b*\xe9       ");
  PresetFileContents fromMac = ParseMacPreset(m);
  EXPECT_EQ(fromMac.presetName, "MIX B");
  EXPECT_EQ(fromMac.Payload(1).substr(37, 16), "  MIX B         ");
  std::string e = EquBytes();
  e.replace(47, 16, "  mix.b*\xe9       ");
  EXPECT_EQ(ParseEquPreset(e).presetName, "  MIX B         ");
}

TEST_F(PresetFileTest, SaveThenOpenRestoresTheCurveInBothFormats) {
  for (auto [name, format] : {std::pair{"c.V95", PresetFormat::Mac}, std::pair{"c.equ", PresetFormat::Equ}}) {
    SCOPED_TRACE(name);
    TEqualizerDocument saved = Curve();
    SavePresetFile(saved, Path(name), format);
    EXPECT_EQ(saved.FileName, Path(name));
    if (format == PresetFormat::Mac)
      EXPECT_EQ(Get(name)[6], 29);
    else
      EXPECT_EQ(Get(name)[5], 27);

    TEqualizerDocument opened;
    opened.CurrentPreset = 2;
    PresetLoadResult r = OpenPresetFile(opened, Path(name), format, SliderPolicy{});
    EXPECT_EQ(opened.BandSteps, saved.BandSteps);
    EXPECT_EQ(opened.GainSteps, 5);
    EXPECT_EQ(opened.HighPassIndex, 7);
    EXPECT_EQ(opened.LowPassIndex, 12);
    const std::string preset = format == PresetFormat::Mac ? "LIVE ROOM" : "LIVE ROOM       ";
    EXPECT_EQ(opened.PresetName, preset);
    EXPECT_EQ(opened.PresetNames[1], preset);
    // The file's address, preset and device name never reach the window.
    EXPECT_EQ(opened.Address, 0);
    EXPECT_EQ(opened.CurrentPreset, 2);
    EXPECT_EQ(opened.DeviceName, "ORB Name");
    EXPECT_EQ(r.maxExcursion, 24);
    EXPECT_EQ(r.payload[54], 2);
  }
}

TEST(PresetFormats, MacBandByte40RaisesTheRangeTo14) {
  std::string mac = MacBytes();
  mac[2] = 40;  // band 1 at -14 steps
  TEqualizerDocument doc;
  PresetLoadResult r = ApplyPresetContents(doc, ParseMacPreset(mac), SliderPolicy{12, false});
  EXPECT_TRUE(r.sliderRangeRaised);
  EXPECT_EQ(r.sliderRange, 14);
  EXPECT_EQ(r.maxExcursion, 14);
  EXPECT_EQ(doc.BandSteps[0], -14);
  EXPECT_FALSE(ApplyPresetContents(doc, ParseMacPreset(mac), SliderPolicy{}).sliderRangeRaised);

  mac = MacBytes();
  mac[31] = 0;  // the Mac reader counts the gain too
  EXPECT_EQ(ParseMacPreset(mac).maxExcursion, 26);
}

TEST(PresetFormats, EquGainAloneDoesNotRaiseTheRangeAndStopsAtItsEnd) {
  std::string equ = EquBytes();
  equ[30] = 60;  // gain at -36 steps
  TEqualizerDocument doc;
  PresetLoadResult r = ApplyPresetContents(doc, ParseEquPreset(equ), SliderPolicy{});
  EXPECT_EQ(r.maxExcursion, 0);
  EXPECT_FALSE(r.sliderRangeRaised);
  EXPECT_EQ(doc.GainSteps, -24);
  EXPECT_EQ(static_cast<uint8_t>(r.payload[34]), 62);  // the file's byte + 2 goes out
}

TEST(PresetFormats, MacLockByteDecidesPasteAndClearsTheLockBox) {
  TEqualizerDocument doc;
  doc.Lock = true;
  PresetLoadResult r = ApplyPresetContents(doc, ParseMacPreset(MacBytes(1)), SliderPolicy{});
  EXPECT_FALSE(doc.Lock);
  EXPECT_TRUE(r.lockCleared);
  EXPECT_EQ(r.pasteEnabled, false);
  EXPECT_EQ(r.payload[53], 1);  // the reserved byte

  r = ApplyPresetContents(doc, ParseMacPreset(MacBytes(0)), SliderPolicy{});
  EXPECT_FALSE(r.lockCleared);  // already clear: no click
  EXPECT_EQ(r.pasteEnabled, true);

  doc.Lock = true;  // an .equ file leaves Lock and Paste alone
  r = ApplyPresetContents(doc, ParseEquPreset(EquBytes()), SliderPolicy{});
  EXPECT_TRUE(doc.Lock);
  EXPECT_FALSE(r.pasteEnabled.has_value());
}

TEST_F(PresetFileTest, OpeningTracesAndSlidersRefuseWhileAnUpdateIsPending) {
  Put("a.vrl", MacBytes());
  Put("a.equ", EquBytes());
  std::vector<std::string> lines;
  SetMessageLoggerTap([&](const std::string& l) { lines.push_back(l.substr(l.find(' '))); });
  TEqualizerDocument doc;
  doc.BandSteps[0] = 4;
  OpenPresetFile(doc, Path("a.vrl"), PresetFormat::Mac, SliderPolicy{24, true});
  EXPECT_EQ(doc.BandSteps[0], 4);
  EXPECT_EQ(doc.PresetName, "VOCAL");
  OpenPresetFile(doc, Path("a.equ"), PresetFormat::Equ, SliderPolicy{});
  SetMessageLoggerTap(nullptr);
  EXPECT_EQ(doc.BandSteps[0], 0);
  EXPECT_EQ(lines, (std::vector<std::string>{" OpenV95MacFile", " Open"}));
}

TEST_F(PresetFileTest, UnreadableAndShortFilesChangeOnlyFileName) {
  Put("short.V95", MacBytes().substr(0, 67));
  Put("mac.equ", MacBytes());  // 68 bytes: short for .equ
  fs::create_directory(Path("folder.equ"));
  for (auto [name, format, cause] : {std::tuple{"short.V95", PresetFormat::Mac, "too short (67 bytes"},
                                     std::tuple{"mac.equ", PresetFormat::Equ, "too short (68 bytes"},
                                     std::tuple{"gone.V95", PresetFormat::Mac, "No such file"},
                                     std::tuple{"folder.equ", PresetFormat::Equ, "directory"}}) {
    TEqualizerDocument doc = Curve();
    try {
      OpenPresetFile(doc, Path(name), format, SliderPolicy{});
      ADD_FAILURE() << name << ": no error";
    } catch (const PresetFileError& e) {
      EXPECT_EQ(e.path(), Path(name));
      EXPECT_NE(std::string(e.what()).find(Path(name)), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(cause), std::string::npos) << e.what();
    }
    TEqualizerDocument expected = Curve();
    expected.FileName = Path(name);
    EXPECT_EQ(Hex(BuildMacPreset(doc)), Hex(BuildMacPreset(expected)));
    EXPECT_EQ(doc.PresetNames, expected.PresetNames);
    EXPECT_EQ(doc.FileName, expected.FileName);
  }
  // A longer file is read up to the format's size.
  std::string longMac = MacBytes() + std::string(500, '\x7f');
  longMac[6] = 29;
  Put("long.V95", longMac);
  EXPECT_EQ(ReadPresetFile(Path("long.V95"), PresetFormat::Mac).BandSteps(5), -3);
}

TEST_F(PresetFileTest, TheOpenDialogsFiltersChooseTheReader) {
  Put("mac.bin", MacBytes());
  Put("equ.V95", std::string(100, ' '));
  EXPECT_EQ(ReaderForOpenedFile(Path("equ.V95"), kOpenMacFilter), PresetFormat::Mac);
  EXPECT_EQ(ReaderForOpenedFile(Path("mac.bin"), kOpenEquFilter), PresetFormat::Equ);
  EXPECT_EQ(ReaderForOpenedFile(Path("mac.bin"), kOpenAllFilesFilter), PresetFormat::Mac);
  EXPECT_EQ(ReaderForOpenedFile(Path("equ.V95"), kOpenAllFilesFilter), PresetFormat::Equ);
  EXPECT_EQ(ReaderForOpenedFile(Path("missing.vrl"), kOpenAllFilesFilter), PresetFormat::Mac);
}

TEST_F(PresetFileTest, ValuesTheDeviceRefusesAreNotRead) {
  // Every level byte the device takes reads; one beyond, either way, does
  // not, in either format, and neither does a filter index beyond 21.
  std::string mac = MacBytes();
  for (int byte : {2, 50}) {
    mac[2] = char(byte);
    Put("edge.V95", mac);
    EXPECT_NO_THROW(ReadPresetFile(Path("edge.V95"), PresetFormat::Mac)) << byte;
  }
  const struct {
    std::string bytes;
    PresetFormat format;
    const char* words;
  } refused[] = {
      {[&] { std::string b = MacBytes(); b[2] = 1; return b; }(), PresetFormat::Mac,
       "band 1 (25 Hz) holds level byte 1, beyond the levels the device accepts (-12 dB to +12 dB: "
       "bytes 2 to 50)"},
      {[&] { std::string b = MacBytes(); b[31] = 51; return b; }(), PresetFormat::Mac,
       "the gain holds level byte 51"},
      {[&] { std::string b(100, ' '); for (int i = 1; i <= 30; ++i) b[i] = 24; b[5] = char(0xFF);
             b[98] = 21; b[99] = 0; return b; }(), PresetFormat::Equ,
       "band 5 (63 Hz) holds level byte 255, beyond the levels the device accepts (-12 dB to "
       "+12 dB: bytes 0 to 48)"},
      {[&] { std::string b = MacBytes(); b[34] = 22; return b; }(), PresetFormat::Mac,
       "the low-pass filter index 22 is beyond the device's filters (0 to 21)"},
  };
  for (const auto& r : refused) {
    Put("bad", r.bytes);
    try {
      ReadPresetFile(Path("bad"), r.format);
      ADD_FAILURE() << r.words;
    } catch (const PresetFileError& e) {
      EXPECT_NE(std::string(e.what()).find(r.words), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(Path("bad")), std::string::npos) << e.what();
    }
  }
}

TEST_F(PresetFileTest, FailedSaveKeepsThePreviousFileAndLeavesNoTemporary) {
  Put("keep.V95", MacBytes());
  {  // Disk full, as far as this process goes: writes beyond 10 bytes fail.
    struct sigaction ignore {}, old{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &old);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 10;
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(WritePresetFile(Path("keep.V95"), PresetFormat::Mac, Curve()), PresetFileError);
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &old, nullptr);
  }
  EXPECT_EQ(Get("keep.V95"), MacBytes());

  fs::create_directory(Path("taken.equ"));  // not replaced by a file
  EXPECT_THROW(WritePresetFile(Path("taken.equ"), PresetFormat::Equ, Curve()), PresetFileError);
  EXPECT_THROW(WritePresetFile(Path("keep.V95/x.V95"), PresetFormat::Mac, Curve()), PresetFileError);

  // A position the .equ level byte cannot hold (from a Mac file at +26) is
  // refused rather than written as a different level.
  TEqualizerDocument steep;
  steep.BandSteps[2] = 26;
  Put("old.equ", EquBytes());
  try {
    WritePresetFile(Path("old.equ"), PresetFormat::Equ, steep);
    ADD_FAILURE() << "no error";
  } catch (const PresetFileError& e) {
    EXPECT_NE(std::string(e.what()).find("40 Hz at 26 steps"), std::string::npos) << e.what();
  }
  EXPECT_EQ(Get("old.equ"), EquBytes());
  EXPECT_EQ(EntryCount(), 3u);
}

TEST_F(PresetFileTest, ReplacingKeepsPermissionsAndSymbolicLinks) {
  Put("real.equ", "old");
  chmod(Path("real.equ").c_str(), 0640);
  fs::create_symlink(Path("real.equ"), Path("link.equ"));
  WritePresetFile(Path("link.equ"), PresetFormat::Equ, Curve());
  EXPECT_TRUE(fs::is_symlink(Path("link.equ")));
  EXPECT_EQ(Get("real.equ"), BuildEquPreset(Curve()));
  EXPECT_EQ(fs::status(Path("real.equ")).permissions(), fs::perms(0640));
}

// What the command-line tool takes as a preset file: a regular file of
// exactly its format's size, read without waiting and without taking more
// than that size, whatever the path leads to.
TEST_F(PresetFileTest, ExactReaderTakesOnlyARegularFileOfTheFormatsSize) {
  Put("ok.V95", MacBytes());
  fs::create_symlink(Path("ok.V95"), Path("link.V95"));
  EXPECT_EQ(ReadExactPresetBytes(Path("link.V95"), PresetFormat::Mac), MacBytes());
  EXPECT_EQ(ReadExactPresetFile(Path("ok.V95"), PresetFormat::Mac).presetName, "VOCAL");
  Put("ok.equ", EquBytes());
  EXPECT_EQ(ReadExactPresetFile(Path("ok.equ"), PresetFormat::Equ).highPassIndex, 0);

  Put("long.V95", MacBytes() + std::string(1000, ' '));  // 1068 bytes
  Put("sparse.V95", MacBytes());
  fs::resize_file(Path("sparse.V95"), 2ull << 30);  // 2 GiB, nearly all holes
  fs::create_symlink("/dev/zero", Path("zero.V95"));
  ASSERT_EQ(mkfifo(Path("fifo.V95").c_str(), 0600), 0);
  fs::create_directory(Path("folder.V95"));
  Put("short.equ", EquBytes().substr(0, 99));
  for (auto [name, format, cause] :
       {std::tuple{"long.V95", PresetFormat::Mac, "too long (1068 bytes"},
        std::tuple{"sparse.V95", PresetFormat::Mac, "too long (2147483648 bytes"},
        std::tuple{"zero.V95", PresetFormat::Mac, "not a regular file"},
        std::tuple{"/dev/zero", PresetFormat::Equ, "not a regular file"},
        std::tuple{"fifo.V95", PresetFormat::Mac, "not a regular file"},
        std::tuple{"folder.V95", PresetFormat::Mac, "folder"},
        std::tuple{"short.equ", PresetFormat::Equ, "too short (99 bytes"},
        std::tuple{"ok.V95", PresetFormat::Equ, "too short (68 bytes"},
        std::tuple{"gone.V95", PresetFormat::Mac, "No such file"}}) {
    const std::string path = name[0] == '/' ? std::string(name) : Path(name);
    try {
      ReadExactPresetFile(path, format);
      ADD_FAILURE() << name << ": no error";
    } catch (const PresetFileError& e) {
      EXPECT_EQ(e.path(), path);
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(cause), std::string::npos) << e.what();
    }
  }
  // The window's reader keeps taking a longer file up to the format's size.
  EXPECT_EQ(ReadPresetFile(Path("long.V95"), PresetFormat::Mac).presetName, "VOCAL");
}
