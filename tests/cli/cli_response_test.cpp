// varlo-cli response: the computed response of a preset file or of a
// device's preset, as a table, a CSV file or an SVG picture. The levels
// are compared with the model's own; the SVG is read back with python3's
// XML parser, independently of the writer.
#include <cmath>
#include <fstream>
#include <sstream>

#include "eq/ResponseModel.h"
#include "tests/cli/CliRunner.h"
#include "testsupport/OrbSimProcess.h"

namespace {
using VarloCliResponse = CliFixture;

// A Mac preset file: band 17 (1 kHz) at +12 dB (device code 2), the gain
// at -2 dB (code 30), high-pass 15 (100 Hz), low-pass OUT, named "RIDE".
std::string RideFile() {
  std::string b(68, ' ');
  b[0] = 1;
  b[1] = 1;
  for (int i = 2; i <= 31; ++i) b[i] = 26;
  b[2 + 16] = 2;
  b[31] = 30;
  b[32] = 0;
  b[33] = 15;
  b[34] = 21;
  b.replace(35, 16, "RIDE            ");
  b[51] = 0;
  b.replace(52, 16, "FRONT           ");
  return b;
}

// The document the file stands for, for the model's own values.
TEqualizerDocument RideDocument() {
  TEqualizerDocument doc;
  doc.BandSteps[16] = 24;
  doc.GainSteps = -4;
  doc.HighPassIndex = 15;
  return doc;
}

// "frequency,level" rows of a CSV file or tab-separated lines of the
// table, comments and the header left out.
std::vector<std::pair<double, double>> Rows(const std::string& text, char separator) {
  std::vector<std::pair<double, double>> rows;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#' || line[0] == 'f') continue;
    const size_t at = line.find(separator);
    EXPECT_NE(at, std::string::npos) << line;
    if (at == std::string::npos) continue;
    rows.push_back({std::stod(line.substr(0, at)), std::stod(line.substr(at + 1))});
  }
  return rows;
}

// Each row's level is the model's at its frequency, to the two decimals
// written; the frequencies are the 1/24-octave points from 20 Hz.
void ExpectModelLevels(const std::vector<std::pair<double, double>>& rows, const TEqualizerDocument& doc) {
  ASSERT_EQ(rows.size(), 240u);
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_NEAR(rows[i].first, 20.0 * std::pow(2.0, i / 24.0), 0.006) << i;
    EXPECT_NEAR(rows[i].second, TotalDbAt(DefaultResponseModel(), doc, rows[i].first), 0.006)
        << rows[i].first;
  }
}

// python3's XML parser on the SVG: the output of tests/cli/svg_probe.py.
std::string ProbeSvg(const std::string& path) {
  const std::string command = "python3 " VARLO_SOURCE_DIR "/tests/cli/svg_probe.py '" + path + "' 2>&1";
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int status = pclose(pipe);
    if (status != 0) out += "\nexit status " + std::to_string(status);
  }
  return out;
}

// The state of one simulated device: every preset flat but the working
// settings, which carry the ride curve, muted.
std::string DeviceState() {
  std::string state = "orbsim-state 1\ndevice 1 current=3 mute=1 bypass=0 name=" +
                      std::string("4f5242204d41494e2020202020202020") + "\n";  // "ORB MAIN"
  for (int preset = 0; preset <= 8; ++preset) {
    std::string levels;
    for (int slot = 1; slot <= 30; ++slot)
      levels += preset == 0 && slot == 17 ? "02" : preset == 0 && slot == 30 ? "1e" : "1a";
    state += "preset 1 " + std::to_string(preset) + " levels=" + levels +
             " hp=" + (preset == 0 ? "15" : "0") +
             " lp=21 lock=0 name=52494445202020202020202020202020\n";  // "RIDE"
  }
  return state + "end\n";
}
}  // namespace

TEST_F(VarloCliResponse, ATableOfTheFilesCurveOnePointPerTwentyFourthOfAnOctave) {
  Put(Path("ride.V95"), RideFile());
  CliResult r = Run({"response", Path("ride.V95")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.rfind("# Computed response (no measurement) of ride.V95\n# Highest ", 0), 0u)
      << r.out.substr(0, 200);
  ExpectModelLevels(Rows(r.out, '\t'), RideDocument());
  // The gain is a flat offset, the high-pass takes the low end: at 1 kHz
  // (not a point of the table) the model gives 12 - 2 - 0.0004 dB.
  EXPECT_NEAR(TotalDbAt(DefaultResponseModel(), RideDocument(), 1000.0), 9.9996, 1e-4);

  // The .equ format reads the same curve from its own bytes.
  std::string equ(100, ' ');
  for (int i = 1; i <= 30; ++i) equ[i] = 24;
  equ[17] = 0;   // band 17 at +24 steps
  equ[30] = 28;  // the gain at -4 steps
  equ.replace(47, 16, "RIDE            ");
  equ[98] = 21;  // low-pass OUT
  equ[99] = 15;  // high-pass 100 Hz
  Put(Path("ride.txt"), equ);
  r = Run({"response", "--format", "equ", Path("ride.txt")});
  ASSERT_EQ(r.status, 0) << r.err;
  ExpectModelLevels(Rows(r.out, '\t'), RideDocument());
}

TEST_F(VarloCliResponse, CsvAndSvgFilesThatReadBack) {
  Put(Path("ride.V95"), RideFile());
  CliResult r = Run({"response", Path("ride.V95"), "--csv", Path("ride.csv")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  const std::string csv = Get(Path("ride.csv"));
  EXPECT_EQ(csv.rfind("frequency_hz,computed_db\n", 0), 0u);
  ExpectModelLevels(Rows(csv, ','), RideDocument());

  r = Run({"response", Path("ride.V95"), "--svg=" + Path("ride.svg")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  const std::string probe = ProbeSvg(Path("ride.svg"));
  // An SVG document with its size, its title and its computed note, the
  // total as one polyline of at least 512 points inside the plot (whose
  // level axis reaches below the high-pass filter's roll-off), the
  // high-pass corner named, and 1 kHz at the top of the curve.
  EXPECT_NE(probe.find("root {http://www.w3.org/2000/svg}svg 960x360\n"), std::string::npos) << probe;
  EXPECT_NE(probe.find("title Computed response (no measurement) of ride.V95\n"), std::string::npos)
      << probe;
  EXPECT_NE(probe.find("text Computed response (no measurement)\n"), std::string::npos) << probe;
  EXPECT_NE(probe.find("text HP 100 Hz\n"), std::string::npos) << probe;
  // (1 kHz lies at log(1000/20) / log(1000) = 0.566 of the axis.)
  EXPECT_NE(probe.find("total runs=1 points=669 inside=1 highest-at=0.566\n"), std::string::npos) << probe;
}

TEST_F(VarloCliResponse, TheDevicesPresetOverTheLine) {
  Put(Path("state"), DeviceState());
  OrbSimProcess sim({"--no-pacing", "--devices", "1", "--state", Path("state")});
  CliResult r = Run({"response", "--address", "1", "--device", sim.Url()});
  ASSERT_EQ(r.status, 0) << r.err;
  // The working settings: the curve of the file, with the device muted.
  EXPECT_EQ(r.out.rfind("# Computed response (no measurement) of ORB MAIN at address 1, preset 3 RIDE\n"
                        "# Muted: no sound passes. Unmuted, highest ",
                        0),
            0u)
      << r.out.substr(0, 300);
  ExpectModelLevels(Rows(r.out, '\t'), RideDocument());

  // A stored preset is flat.
  r = Run({"response", "--address", "1", "--preset", "2", "--device", sim.Url(), "--csv",
           Path("flat.csv")});
  ASSERT_EQ(r.status, 0) << r.err;
  ExpectModelLevels(Rows(Get(Path("flat.csv")), ','), TEqualizerDocument{});

  // Nobody at address 7: one line, nothing written.
  ExpectFailure({"response", "--address", "7", "--device", sim.Url(), "--csv", Path("none.csv")},
                "no device answered at address 7");
  EXPECT_FALSE(std::filesystem::exists(Path("none.csv")));
}

TEST_F(VarloCliResponse, CommandLinesThatCannotBeUsed) {
  Put(Path("ride.V95"), RideFile());
  ExpectUsageError({"response"}, "response needs one FILE or --address N");
  ExpectUsageError({"response", Path("ride.V95"), "--csv", "a.csv", "--svg", "a.svg"},
                   "give --csv or --svg, not both");
  ExpectUsageError({"response", Path("ride.V95"), "--preset", "2"}, "option --preset needs --address");
  ExpectUsageError({"response", Path("ride.V95"), "--port", "1"}, "option --port needs --address");
  ExpectUsageError({"response", "--address", "1", Path("ride.V95")}, "takes no argument");
  ExpectUsageError({"response", "--address", "1", "--format", "mac"}, "option --format is for a FILE");
  ExpectUsageError({"response", "--address", "1", "--preset", "9"}, "option --preset needs a number from 0 to 8");
  ExpectUsageError({"response", Path("ride.V95"), "--csv="}, "option --csv needs a file name");
  // A file that cannot be written: one line naming it, the old one kept.
  std::filesystem::create_directory(Path("folder.svg"));
  ExpectRefused({"response", Path("ride.V95"), "--svg", Path("folder.svg")},
                "Cannot write response file \"" + Path("folder.svg") + "\"");
  ExpectRefused({"response", Path("missing.V95")}, "missing.V95");
}
