// varlo-cli as operators run it: the built binary, its output and exit status.
#include <sys/stat.h>

#include <filesystem>

#include "testsupport/FakePortTree.h"
#include "tests/cli/CliRunner.h"

namespace fs = std::filesystem;

namespace {
using VarloCli = CliFixture;

// Band 1 at -14 steps (byte 40), band 5 at -3, gain +2, high-pass 3,
// low-pass OUT, preset name " live.one", lock byte 1.
std::string MacFile() {
  std::string b(68, ' ');
  b[0] = 9;
  b[1] = 6;
  for (int i = 2; i <= 31; ++i) b[i] = 26;
  b[2] = 40;
  b[6] = 29;
  b[31] = 24;
  b[33] = 3;
  b[34] = 21;
  b.replace(35, 16, " live.one       ");
  b[51] = 1;
  b.replace(52, 16, "FRONT           ");
  return b;
}

std::string Flat29Except(int band, int steps) {
  std::string s;
  // GCC 12 at -O3 takes a short literal put before a temporary string for
  // an overlapping copy (GCC bug 105329); nothing overlaps.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
  for (int b = 1; b <= 29; ++b) s += (b > 1 ? "," : "") + std::to_string(b == band ? steps : 0);
#pragma GCC diagnostic pop
  return s;
}
}  // namespace

TEST_F(VarloCli, ShowPrintsWhatEachReaderMakesOfTheFile) {
  Put(Path("a.V95"), MacFile());
  CliResult r = Run({"show", Path("a.V95")});
  EXPECT_EQ(r.status, 0) << r.err;
  std::string payload = "01" "4b4f4255" "28" "1a1a1a" "1d";  // channel, password, bands 1 to 5
  for (int band = 6; band <= 29; ++band) payload += "1a";
  payload += "18" "03" "15";                              // gain +2, high-pass 3, low-pass 21
  payload += "204c495645204f4e45" "20202020202020";       // " LIVE ONE" untrimmed
  payload += "01" "01";                                   // lock byte 1 reserved, preset 1
  EXPECT_EQ(r.out, "{\"format\":\"mac\",\"bands\":[-14," + Flat29Except(5, -3).substr(2) +
                       "],\"gain\":2,\"highPass\":3,\"lowPass\":21,\"presetName\":\"LIVE ONE\","
                       "\"lock\":1,\"maxExcursion\":14,\"payload\":\"" + payload + "\"}\n");

  // An .equ file follows its own reader; the payload is for the preset asked for.
  std::string equ(100, ' ');
  for (int i = 1; i <= 30; ++i) equ[i] = 24;
  equ[5] = 27;
  equ[30] = 48;  // the gain does not count towards m
  equ.replace(47, 16, "mix b           ");
  equ[98] = 12;
  equ[99] = 0;
  Put(Path("b.txt"), equ);
  r = Run({"show", "--preset", "3", Path("b.txt")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"format\":\"equ\",\"bands\":[" + Flat29Except(5, -3) + "],\"gain\":-24,"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\"presetName\":\"MIX B           \",\"lock\":null,\"maxExcursion\":3,"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("32" "00" "0c" "4d49582042" "2020202020202020202020" "00" "03\"}"),
            std::string::npos)
      << r.out;

  // --format wins over the extension.
  Put(Path("c.equ"), MacFile());
  r = Run({"show", Path("c.equ"), "--format=mac"});
  EXPECT_NE(r.out.find("\"format\":\"mac\""), std::string::npos) << r.out;
  ExpectRefused({"show", Path("a.V95"), "--format", "equ"}, "too short");
}

TEST_F(VarloCli, ConvertWritesWhatTheProgramWouldSave) {
  Put(Path("in.V95"), MacFile());
  CliResult r = Run({"convert", Path("in.V95"), Path("out.equ")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  std::string equ = Get(Path("out.equ"));
  ASSERT_EQ(equ.size(), 100u);
  EXPECT_EQ(equ[1], 38);  // band 1 at -14
  EXPECT_EQ(equ[5], 27);  // band 5 at -3
  EXPECT_EQ(equ[30], 22);
  EXPECT_EQ(equ.substr(47, 16), "LIVE ONE        ");
  EXPECT_EQ(equ[98], 21);
  EXPECT_EQ(equ[99], 3);

  // Back to Mac, for a window at address 200, preset 8, named "desk 2".
  r = Run({"convert", Path("out.equ"), Path("back.vrl"), "--address", "200", "--preset", "8",
           "--device-name", "desk 2"});
  EXPECT_EQ(r.status, 0) << r.err;
  std::string mac = Get(Path("back.vrl"));
  std::string expected = MacFile();
  expected[0] = static_cast<char>(200);
  expected[1] = 8;
  expected.replace(35, 16, "LIVE ONE        ");
  expected[51] = 0;  // the writer always stores 0
  expected.replace(52, 16, "DESK 2          ");
  EXPECT_EQ(mac, expected);
}

TEST_F(VarloCli, BadInputIsOneLineOnStderrAndWritesNothing) {
  Put(Path("in.V95"), MacFile());
  Put(Path("short.V95"), MacFile().substr(0, 40));
  Put(Path("old.equ"), "previous");
  ExpectUsageError({}, "no command");
  ExpectUsageError({"play", Path("in.V95")}, "unknown command");
  ExpectRefused({"show", Path("missing.V95")}, "No such file");
  ExpectUsageError({"show", Path("in.V95"), "--address", "1"}, "unknown option --address");
  ExpectUsageError({"show", Path("in.V95"), "--preset", "2x"}, "--preset");
  ExpectUsageError({"show", Path("in.V95"), "--preset"}, "needs a value");
  ExpectRefused({"convert", Path("short.V95"), Path("old.equ")}, "too short");
  ExpectUsageError({"convert", Path("in.V95"), Path("old.equ"), "--address", "241"}, "--address");
  ExpectUsageError({"convert", Path("in.V95"), Path("new.equ"), "--x"}, "unknown option");
  ExpectRefused({"convert", Path("in.V95"), Path("in.V95/x.equ")}, "Cannot write");
  EXPECT_EQ(Get(Path("old.equ")), "previous");
  EXPECT_FALSE(fs::exists(Path("new.equ")));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);
}

TEST_F(VarloCli, ValuesTheDeviceRefusesAndSettingsFilesThatAreNoFilesAreRefused) {
  // Filters 200 and 250 and a level byte of 0 are not written into a file
  // the device would refuse.
  std::string mac = MacFile();
  mac[33] = char(200);
  Put(Path("filters.V95"), mac);
  ExpectRefused({"convert", Path("filters.V95"), Path("out.equ")}, "high-pass filter index 200");
  mac = MacFile();
  mac[2] = 0;
  Put(Path("loud.V95"), mac);
  ExpectRefused({"convert", Path("loud.V95"), Path("out.equ")}, "band 1 (25 Hz) holds level byte 0");
  EXPECT_FALSE(fs::exists(Path("out.equ")));
  // A pipe as the settings file: refused at once, not waited on.
  ASSERT_EQ(::mkfifo(Path("Varlo95.ini").c_str(), 0600), 0);
  ExpectRefused({"setting", Path("Varlo95.ini"), "Scaling", "SliderRange"}, "not a regular file");
}

TEST_F(VarloCli, APresetFileIsExactlyItsFormatsSize) {
  Put(Path("long.V95"), MacFile() + std::string(1000, ' '));  // 1068 bytes
  Put(Path("sparse.V95"), MacFile());
  fs::resize_file(Path("sparse.V95"), 2ull << 30);  // 2 GiB of holes
  fs::create_symlink("/dev/zero", Path("zero.V95"));
  ExpectRefused({"show", Path("long.V95")}, "too long (1068 bytes");
  ExpectRefused({"show", Path("sparse.V95")}, "too long (2147483648 bytes");
  ExpectRefused({"show", Path("zero.V95")}, "not a regular file");
  ExpectRefused({"show", "/dev/zero", "--format", "equ"}, "not a regular file");
  ExpectRefused({"convert", Path("long.V95"), Path("out.equ")}, Path("long.V95"));
  ExpectRefused({"convert", Path("zero.V95"), Path("out.equ")}, "not a regular file");
  EXPECT_FALSE(fs::exists(Path("out.equ")));
}

TEST_F(VarloCli, HelpAndVersionFollowTheConventions) {
  CliResult r = Run({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("usage: varlo-cli show", 0), 0u) << r.out;
  EXPECT_EQ(r.err, "");
  r = Run({"backup", "--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("varlo-cli backup --address N --out DIR"), std::string::npos);
  r = Run({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("varlo-cli 1.", 0), 0u) << r.out;
  // After "--" they are file names.
  ExpectRefused({"show", "--", "--help"}, "--help");
}

TEST_F(VarloCli, PortsListsTheSystemsPortsWithTheirMappedNumbers) {
  const FakePortTree tree(Path("tree"));
  std::filesystem::create_directories(Path("config/Varlo95"));
  Put(Path("config/Varlo95/Varlo95.ini"),
      "[Communications]\nCom 3 Device=" + tree.Dev() +
          "/serial/by-id/usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0\nCom 5 Device=rfc2217://127.0.0.1:4000\n");
  const CliResult table = Run({"ports", "--sysfs-root", tree.Sys(), "--dev-root", tree.Dev()},
                              "XDG_CONFIG_HOME=" + Path("config"));
  ASSERT_EQ(table.status, 0) << table.err;
  EXPECT_NE(table.out.find("COM3  " + tree.Dev() + "/ttyUSB0  FT232R USB UART (FTDI), serial A6008isP, USB 1-1.2\n"),
            std::string::npos)
      << table.out;
  EXPECT_NE(table.out.find("COM5  rfc2217://127.0.0.1:4000  network serial line"), std::string::npos) << table.out;
  const CliResult json = Run({"ports", "--json", "--sysfs-root", tree.Sys(), "--dev-root", tree.Dev()},
                             "XDG_CONFIG_HOME=" + Path("config"));
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_NE(json.out.find("{\"port\": null, \"device\": \"" + tree.Dev() +
                          "/ttyS0\", \"description\": \"on-board serial port\", \"manufacturer\": null"),
            std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find("\"vid\": \"0403\", \"pid\": \"6001\", \"location\": \"1-1.2\""), std::string::npos);
  EXPECT_NE(json.out.find("\"access\": true, \"kind\": \"usb\""), std::string::npos);
}
