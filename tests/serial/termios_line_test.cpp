// Line settings to termios flags and back.
#include <gtest/gtest.h>

#include <cerrno>

#include "serial/ApdExceptions.h"
#include "serial/TermiosLine.h"

TEST(TermiosLine, EveryFrameFormatRoundTripsWithoutLeftoverFlags) {
  const ParityKind parities[] = {ParityKind::None, ParityKind::Odd, ParityKind::Even,
#ifdef CMSPAR
                                 ParityKind::Mark, ParityKind::Space
#endif
  };
  // One termios for all: flags of the previous format must not linger.
  termios t{};
  MakeRaw(t);
  for (int32_t baud : {300, 9600, 19200, 115200})
    for (int bits = 5; bits <= 8; ++bits)
      for (ParityKind parity : parities)
        for (int stop = 1; stop <= 2; ++stop) {
          LineSettings s{baud, parity, bits, stop};
          ApplyLine(t, s);
          EXPECT_EQ(ReadLine(t), s) << baud << " " << bits << " " << static_cast<int>(parity)
                                    << " " << stop;
        }
  EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
}

TEST(TermiosLine, UnsupportedSettingsAreRefusedUntouched) {
  const LineSettings bad[] = {
      {14400, ParityKind::None, 8, 1}, {0, ParityKind::None, 8, 1},
      {9600, ParityKind::None, 4, 1},  {9600, ParityKind::None, 9, 1},
      {9600, ParityKind::None, 8, 3},  {9600, static_cast<ParityKind>(7), 8, 1},
  };
  for (const LineSettings& s : bad) {
    termios t{};
    MakeRaw(t);
    const termios before = t;
    try {
      ApplyLine(t, s);
      ADD_FAILURE() << "accepted " << s.baud << " baud, " << s.dataBits << " bits";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.ErrorCode(), EINVAL);
      EXPECT_NE(std::string(e.what()).find("not supported"), std::string::npos);
    }
    EXPECT_TRUE(SameTermios(t, before));
  }
}
