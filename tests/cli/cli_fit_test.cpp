// varlo-cli fit: a curve the equalizer can reach comes back as its bands,
// written as a preset file too; a bad file and a bad option are told apart.
#include <cmath>
#include <fstream>

#include "eq/PresetFiles.h"
#include "eq/ResponseModel.h"
#include "tests/cli/CliRunner.h"

namespace {
class VarloCliFit : public CliFixture {};
}  // namespace

TEST_F(VarloCliFit, AReachableCurveComesBackAsItsBands) {
  TEqualizerDocument wanted;
  wanted.BandSteps[4] = 6;   // +3 dB at 63 Hz
  wanted.BandSteps[20] = -8;  // -4 dB at 2 kHz
  {
    std::ofstream out(Path("room.txt"));
    out << "* Freq(Hz), SPL(dB), Phase(degrees)\n";
    for (double hz = 20; hz <= 20000; hz *= std::pow(2.0, 1.0 / 48))
      out << hz << ", " << 75 - TotalDbAt(DefaultResponseModel(), wanted, hz) << ", 0\n";
  }
  const CliResult r = Run({"fit", Path("room.txt"), "--smoothing", "0", "--smoothness", "0", "--json", "--out",
                           Path("fit.equ")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("{\"bands\":[0.0,0.0,0.0,0.0,3.0,", 0), 0u) << r.out;
  EXPECT_NE(r.out.find(",-4.0,"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"levelOffsetDb\":-75.00"), std::string::npos) << r.out;
  EXPECT_EQ(ReadExactPresetFile(Path("fit.equ"), PresetFormat::Equ).BandSteps(5), 6);

  EXPECT_EQ(Run({"fit", Path("missing.txt")}).status, 1);
  EXPECT_EQ(Run({"fit", Path("room.txt"), "--max-boost", "13"}).status, 2);
  EXPECT_EQ(Run({"fit", Path("room.txt"), "--range", "16k-40"}).status, 2);
}

// A file that cannot be taken is named as it was given, folder and all.
TEST_F(VarloCliFit, RefusalsNameThePathAsGiven) {
  std::filesystem::create_directory(Path("zero"));
  std::string room;
  for (int hz = 100; hz <= 1200; hz += 100) room += std::to_string(hz) + " 80\n";
  Put(Path("room.txt"), room);
  ExpectRefused({"fit", "/dev/zero"}, "/dev/zero: not a regular file");
  ExpectRefused({"fit", Path("zero")}, Path("zero") + ": not a regular file");
  ExpectRefused({"fit", Path("room.txt"), "--target", Path("zero")},
                Path("zero") + ": not a regular file");
}

TEST_F(VarloCliFit, CsvCoversTheRangeWithEmptyFieldsWhereNothingWasMeasured) {
  {
    std::ofstream out(Path("mid.csv"));
    out << "frequency,raw\n";
    for (double hz = 100; hz <= 10000; hz *= 1.05) out << hz << "," << 80 << "\n";
  }
  ASSERT_EQ(Run({"fit", Path("mid.csv"), "--csv", Path("fit.csv")}).status, 0);
  std::ifstream in(Path("fit.csv"));
  std::vector<std::string> rows;
  for (std::string line; std::getline(in, line);) rows.push_back(line);
  ASSERT_EQ(rows.size(), 233u);  // the header, then 22.4 Hz to 17.8 kHz by 1/24 octave
  EXPECT_EQ(rows[1], "22.40,,0.000,,0.000");
  EXPECT_EQ(rows[97].rfind("358.40,", 0), 0u) << rows[97];
  EXPECT_EQ(rows[97].find(",,"), std::string::npos) << rows[97];
}
