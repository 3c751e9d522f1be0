// Preset files: the bytes each writer lays down, what each reader makes of a
// file, and saving that never loses the previous file.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <vector>

#include "MessageLogger.h"
#include "PresetFiles.h"
#include "support/Hex.h"

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
  static void Put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string Get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Everything in the folder: a failed save must leave no temporary behind.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
};

// A Mac file: flat unless the caller changes it, lock byte `lock`.
std::string MacBytes(uint8_t lock = 0) {
  std::string b(kMacFileSize, ' ');
  for (int i = 2; i <= 31; ++i) b[i] = 26;
  b[33] = 0;
  b[34] = 21;
  b.replace(35, 16, "VOCAL           ");
  b[51] = static_cast<char>(lock);
  return b;
}

std::string EquBytes() {
  std::string b(kEquFileSize, ' ');
  for (int i = 1; i <= 30; ++i) b[i] = 24;
  b.replace(47, 16, "vocal           ");
  b[98] = 21;
  b[99] = 0;
  return b;
}

TEqualizerDocument Curve() {
  TEqualizerDocument doc;
  doc.Address = 17;
  doc.CurrentPreset = 3;
  doc.BandSteps[4] = -3;  // band 5, 63 Hz
  doc.BandSteps[0] = 24;
  doc.BandSteps[28] = -24;
  doc.GainSteps = 5;
  doc.HighPassIndex = 7;
  doc.LowPassIndex = 12;
  doc.PresetName = "Live Room";
  doc.DeviceName = "Stage Left";
  return doc;
}

struct Trace {
  std::vector<std::string> lines;
  Trace() {
    SetMessageLoggerTap([this](const std::string& l) {
      lines.push_back(l.substr(std::min(l.size(), l.find_first_not_of("0123456789"))));
    });
  }
  ~Trace() { SetMessageLoggerTap(nullptr); }
};
}  // namespace

TEST(PresetFormatChoice, ExtensionsAndDialogFilterIndices) {
  for (const char* mac : {"a.V95", "a.v95", "dir/x.VRL", "x.VrL"})
    EXPECT_EQ(PresetFormatForPath(mac), PresetFormat::Mac) << mac;
  for (const char* equ : {"a.equ", "a.EQU", "a.txt", "noext", "v95.dir/file", "a.v95.bak"})
    EXPECT_EQ(PresetFormatForPath(equ), PresetFormat::Equ) << equ;
  EXPECT_EQ(ReaderForOpenFilterIndex(1), PresetFormat::Mac);
  EXPECT_EQ(ReaderForOpenFilterIndex(2), PresetFormat::Equ);
  EXPECT_EQ(ReaderForOpenFilterIndex(3), PresetFormat::Equ);  // "All Files"
  EXPECT_EQ(WriterForSaveFilterIndex(1), PresetFormat::Mac);
  EXPECT_EQ(WriterForSaveFilterIndex(2), PresetFormat::Equ);
}

TEST(PresetFormats, WritersLayOutEveryByte) {
  TEqualizerDocument flat;
  std::string expectedEqu(100, ' ');
  for (int i = 1; i <= 30; ++i) expectedEqu[i] = 24;
  expectedEqu.replace(47, 16, "Preset Name 1   ");
  expectedEqu[98] = 21;  // low-pass OUT
  expectedEqu[99] = 0;   // high-pass OUT
  EXPECT_EQ(Hex(BuildEquPreset(flat)), Hex(expectedEqu));

  TEqualizerDocument doc = Curve();
  std::string expectedMac(68, ' ');
  expectedMac[0] = 17;
  expectedMac[1] = 3;
  for (int i = 2; i <= 31; ++i) expectedMac[i] = 26;
  expectedMac[2] = 2;    // band 1 at +24
  expectedMac[6] = 29;   // band 5 at -3
  expectedMac[30] = 50;  // band 29 at -24
  expectedMac[31] = 21;  // gain at +5
  expectedMac[33] = 7;
  expectedMac[34] = 12;
  expectedMac.replace(35, 16, "LIVE ROOM       ");
  expectedMac[51] = 0;
  expectedMac.replace(52, 16, "STAGE LEFT      ");
  EXPECT_EQ(Hex(BuildMacPreset(doc)), Hex(expectedMac));

  std::string equ = BuildEquPreset(doc);
  EXPECT_EQ(equ[5], 27);  // band 5 at -3
  EXPECT_EQ(equ[30], 19);  // gain at +5
  EXPECT_EQ(equ.substr(47, 16), "Live Room       ");  // as typed
}

TEST(PresetFormats, NamesAreCutFilteredAndTrimmedByFormat) {
  TEqualizerDocument doc;
  doc.PresetName = "abcdefghijklmnopqrst";
  doc.DeviceName = "the orb on stage 2";
  std::string mac = BuildMacPreset(doc);
  EXPECT_EQ(mac.substr(35, 16), "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(mac.substr(52, 16), "THE ORB ON STAGE");
  EXPECT_EQ(mac.size(), kMacFileSize);
  std::string equ = BuildEquPreset(doc);
  EXPECT_EQ(equ.substr(47, 16), "abcdefghijklmnop");
  EXPECT_EQ(equ.size(), kEquFileSize);

  // The Mac reader trims, the .equ reader keeps all 16 characters; both
  // upper-case and filter, and the payload carries the untrimmed 16.
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
  for (PresetFormat format : {PresetFormat::Mac, PresetFormat::Equ}) {
    SCOPED_TRACE(PresetFormatName(format));
    TEqualizerDocument saved = Curve();
    const std::string path = Path(format == PresetFormat::Mac ? "curve.V95" : "curve.equ");
    SavePresetFile(saved, path, format);
    EXPECT_EQ(saved.FileName, path);
    std::string bytes = Get(path);
    if (format == PresetFormat::Mac) {
      EXPECT_EQ(bytes.size(), 68u);
      EXPECT_EQ(bytes[6], 29);
    } else {
      EXPECT_EQ(bytes.size(), 100u);
      EXPECT_EQ(bytes[5], 27);
    }

    TEqualizerDocument opened;
    opened.CurrentPreset = 2;
    PresetLoadResult r = OpenPresetFile(opened, path, format, SliderPolicy{});
    EXPECT_EQ(opened.BandSteps, saved.BandSteps);
    EXPECT_EQ(opened.BandSteps[4], -3);
    EXPECT_EQ(opened.GainSteps, 5);
    EXPECT_EQ(opened.HighPassIndex, 7);
    EXPECT_EQ(opened.LowPassIndex, 12);
    const std::string name = format == PresetFormat::Mac ? "LIVE ROOM" : "LIVE ROOM       ";
    EXPECT_EQ(opened.PresetName, name);
    EXPECT_EQ(opened.PresetNames[1], name);
    EXPECT_EQ(opened.PresetNames[0], "Preset Name 1");
    // The file's address, preset and device name never reach the window.
    EXPECT_EQ(opened.Address, 0);
    EXPECT_EQ(opened.CurrentPreset, 2);
    EXPECT_EQ(opened.DeviceName, "ORB Name");
    EXPECT_EQ(r.maxExcursion, 24);
    EXPECT_FALSE(r.sliderRangeRaised);
  }
}

TEST(PresetFormats, PayloadsCarryTheFileForTheWindowsPreset) {
  std::string mac = MacBytes(/*lock=*/7);
  mac[2] = 60;  // band 1 far outside the device's codes: passed on unchanged
  mac[33] = 30;  // filter bytes are not validated
  std::string payload = ParseMacPreset(mac).Payload(5);
  ASSERT_EQ(payload.size(), 55u);
  EXPECT_EQ(payload.substr(0, 5), "\x01KOBU");
  EXPECT_EQ(payload[5], 60);
  EXPECT_EQ(payload[6], 26);
  EXPECT_EQ(payload[35], 30);
  EXPECT_EQ(payload[36], 21);
  EXPECT_EQ(payload.substr(37, 16), "VOCAL           ");
  EXPECT_EQ(payload[53], 7);  // the lock byte in the reserved position
  EXPECT_EQ(payload[54], 5);

  std::string equ = EquBytes();
  equ[5] = 27;
  payload = ParseEquPreset(equ).Payload(8);
  ASSERT_EQ(payload.size(), 55u);
  EXPECT_EQ(payload[5], 26);       // .equ 24 + 2
  EXPECT_EQ(payload[9], 29);       // band 5: 27 + 2
  EXPECT_EQ(payload[35], 0);       // high-pass from offset 99
  EXPECT_EQ(payload[36], 21);      // low-pass from offset 98
  EXPECT_EQ(payload.substr(37, 16), "VOCAL           ");
  EXPECT_EQ(payload[53], 0);
  EXPECT_EQ(payload[54], 8);
}

TEST(PresetFormats, MacBandByte40RaisesTheRangeTo14) {
  std::string mac = MacBytes();
  mac[2] = 40;  // band 1 at -14 steps
  PresetFileContents c = ParseMacPreset(mac);
  EXPECT_EQ(c.maxExcursion, 14);
  EXPECT_TRUE(c.ExceedsSliderRange(12));
  EXPECT_FALSE(c.ExceedsSliderRange(24));

  TEqualizerDocument doc;
  PresetLoadResult r = ApplyPresetContents(doc, c, SliderPolicy{12, false});
  EXPECT_TRUE(r.sliderRangeRaised);
  EXPECT_EQ(r.sliderRange, 14);
  EXPECT_EQ(r.maxExcursion, 14);
  EXPECT_EQ(doc.BandSteps[0], -14);

  // The Mac reader counts the gain byte too.
  mac = MacBytes();
  mac[31] = 0;  // gain at +26
  EXPECT_EQ(ParseMacPreset(mac).maxExcursion, 26);
}

TEST(PresetFormats, EquGainAloneDoesNotRaiseTheRangeAndStopsAtItsEnd) {
  std::string equ = EquBytes();
  equ[30] = 60;  // gain at -36 steps
  PresetFileContents c = ParseEquPreset(equ);
  EXPECT_EQ(c.GainSteps(), -36);
  EXPECT_EQ(c.maxExcursion, 0);

  TEqualizerDocument doc;
  PresetLoadResult r = ApplyPresetContents(doc, c, SliderPolicy{24, false});
  EXPECT_FALSE(r.sliderRangeRaised);
  EXPECT_EQ(doc.GainSteps, -24);
  EXPECT_EQ(static_cast<uint8_t>(r.payload[34]), 62);  // the file's byte + 2 goes out

  equ[1] = 0;  // band 1 at +24 counts
  EXPECT_EQ(ParseEquPreset(equ).maxExcursion, 24);
}

TEST(PresetFormats, MacLockByteDecidesPasteAndClearsTheLockBox) {
  TEqualizerDocument doc;
  doc.Lock = true;
  PresetLoadResult r = ApplyPresetContents(doc, ParseMacPreset(MacBytes(1)), SliderPolicy{});
  EXPECT_FALSE(doc.Lock);
  EXPECT_TRUE(r.lockCleared);
  EXPECT_EQ(r.pasteEnabled, false);
  EXPECT_EQ(r.payload[53], 1);

  r = ApplyPresetContents(doc, ParseMacPreset(MacBytes(0)), SliderPolicy{});
  EXPECT_FALSE(r.lockCleared);  // already clear: no click
  EXPECT_EQ(r.pasteEnabled, true);

  // An .equ file leaves Lock and Paste alone.
  doc.Lock = true;
  r = ApplyPresetContents(doc, ParseEquPreset(EquBytes()), SliderPolicy{});
  EXPECT_TRUE(doc.Lock);
  EXPECT_FALSE(r.pasteEnabled.has_value());
}

TEST_F(PresetFileTest, OpeningTracesAndSlidersRefuseWhileAnUpdateIsPending) {
  Put(Path("a.vrl"), MacBytes());
  Put(Path("a.equ"), EquBytes());
  Trace trace;
  TEqualizerDocument doc;
  doc.BandSteps[0] = 4;
  OpenPresetFile(doc, Path("a.vrl"), PresetFormat::Mac, SliderPolicy{24, true});
  EXPECT_EQ(doc.BandSteps[0], 4);
  EXPECT_EQ(doc.PresetName, "VOCAL");  // names and filters still follow the file
  OpenPresetFile(doc, Path("a.equ"), PresetFormat::Equ, SliderPolicy{});
  EXPECT_EQ(doc.BandSteps[0], 0);
  EXPECT_EQ(trace.lines, (std::vector<std::string>{" OpenV95MacFile", " Open"}));
}

TEST_F(PresetFileTest, ShortMissingAndLongFiles) {
  Put(Path("short.V95"), MacBytes().substr(0, 67));
  Put(Path("short.equ"), EquBytes().substr(0, 99));
  Put(Path("empty.equ"), "");
  fs::create_directory(Path("folder.equ"));
  const std::vector<std::pair<std::string, PresetFormat>> cases = {
      {"short.V95", PresetFormat::Mac},   {"short.equ", PresetFormat::Equ},
      {"empty.equ", PresetFormat::Equ},   {"missing.V95", PresetFormat::Mac},
      {"folder.equ", PresetFormat::Equ}};
  for (const auto& [name, format] : cases) {
    SCOPED_TRACE(name);
    TEqualizerDocument doc = Curve();
    const std::string path = Path(name);
    try {
      OpenPresetFile(doc, path, format, SliderPolicy{});
      ADD_FAILURE() << "no error";
    } catch (const PresetFileError& e) {
      EXPECT_EQ(e.path(), path);
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    // Only FileName moved.
    TEqualizerDocument expected = Curve();
    expected.FileName = path;
    EXPECT_EQ(doc.BandSteps, expected.BandSteps);
    EXPECT_EQ(doc.PresetName, expected.PresetName);
    EXPECT_EQ(doc.PresetNames, expected.PresetNames);
    EXPECT_EQ(doc.HighPassIndex, expected.HighPassIndex);
    EXPECT_EQ(doc.FileName, path);
  }
  try {
    ReadPresetFile(Path("short.V95"), PresetFormat::Mac);
  } catch (const PresetFileError& e) {
    EXPECT_NE(std::string(e.what()).find("too short (67 bytes"), std::string::npos) << e.what();
  }

  std::string longMac = MacBytes() + std::string(500, '\x7f');
  longMac[6] = 29;
  Put(Path("long.V95"), longMac);
  EXPECT_EQ(ReadPresetFile(Path("long.V95"), PresetFormat::Mac).BandSteps(5), -3);
  // A Mac file read as .equ is too short.
  Put(Path("mac.equ"), MacBytes());
  EXPECT_THROW(ReadPresetFile(Path("mac.equ"), PresetFormat::Equ), PresetFileError);
}

TEST_F(PresetFileTest, FailedSaveKeepsThePreviousFile) {
  const std::string path = Path("keep.V95");
  Put(path, MacBytes());
  const auto before = Entries();

  // Disk full, as far as this process goes: writes beyond 10 bytes fail.
  {
    struct sigaction ignore {}, old{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &old);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 10;
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(WritePresetFile(path, PresetFormat::Mac, Curve()), PresetFileError);
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &old, nullptr);
  }
  EXPECT_EQ(Get(path), MacBytes());
  EXPECT_EQ(Entries(), before);

  // A folder in the target's place is not replaced.
  fs::create_directory(Path("taken.equ"));
  EXPECT_THROW(WritePresetFile(Path("taken.equ"), PresetFormat::Equ, Curve()), PresetFileError);
  EXPECT_TRUE(fs::is_directory(Path("taken.equ")));

  // No folder to put the temporary file in.
  try {
    WritePresetFile(Path("keep.V95/inner.V95"), PresetFormat::Mac, Curve());
    ADD_FAILURE() << "no error";
  } catch (const PresetFileError& e) {
    EXPECT_NE(std::string(e.what()).find("Not a directory"), std::string::npos) << e.what();
  }

  // A position the .equ level byte cannot hold (from a Mac file at +26) is
  // refused rather than written as a different level.
  TEqualizerDocument steep;
  steep.BandSteps[2] = 26;
  Put(Path("old.equ"), EquBytes());
  try {
    WritePresetFile(Path("old.equ"), PresetFormat::Equ, steep);
    ADD_FAILURE() << "no error";
  } catch (const PresetFileError& e) {
    EXPECT_NE(std::string(e.what()).find("40 Hz at 26 steps"), std::string::npos) << e.what();
  }
  EXPECT_EQ(Get(Path("old.equ")), EquBytes());
  EXPECT_NO_THROW(WritePresetFile(Path("old.V95"), PresetFormat::Mac, steep));
  EXPECT_EQ(Entries(), (std::vector<std::string>{"keep.V95", "old.V95", "old.equ", "taken.equ"}));
}

TEST_F(PresetFileTest, ReplacingKeepsPermissionsAndSymbolicLinks) {
  const std::string real = Path("real.equ");
  Put(real, "old");
  chmod(real.c_str(), 0640);
  fs::create_symlink(real, Path("link.equ"));
  WritePresetFile(Path("link.equ"), PresetFormat::Equ, Curve());
  EXPECT_TRUE(fs::is_symlink(Path("link.equ")));
  EXPECT_EQ(Get(real), BuildEquPreset(Curve()));
  struct stat st;
  ASSERT_EQ(stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}
