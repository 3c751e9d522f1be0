// Text of the trace and log files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/ComTrace.h"

namespace {

using TEntries = std::vector<TraceRecorder::Entry>;

TEntries Repeat(char kind, size_t n, uint8_t byte, TEntries before = {}) {
  before.insert(before.end(), n, TraceRecorder::Entry{kind, byte});
  return before;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    lines.push_back(text.substr(start, nl - start));
  EXPECT_EQ(start, text.size()) << "text must end with a line end";
  return lines;
}

const std::string kLogHeading =
    "Time      Type      SubType       Data      OtherData\n"
    "--------  --------  ------------  --------  ---------\n";

}  // namespace

TEST(TraceFileText, BytesHeadersAndKindSwitches) {
  EXPECT_EQ(TraceRecorder::Render({{'T', 0x05}}, true), "Transmit: \n[05]\n");
  EXPECT_EQ(TraceRecorder::Render({}, true), "");
  const TEntries bytes = {{'R', 32}, {'R', 33}, {'R', 126}, {'R', 127}, {'R', 0}, {'R', 255}};
  EXPECT_EQ(TraceRecorder::Render(bytes, true), "Receive: \n[20]!~[7F][00][FF]\n");
  EXPECT_EQ(TraceRecorder::Render(bytes, false), "Receive: \n !~[127][0][255]\n");
  EXPECT_EQ(TraceRecorder::Render({{'T', 'a'}, {'T', 'a'}, {'R', 'b'}, {'T', 'c'}}, true),
            "Transmit: \naa\n\nReceive: \nb\n\nTransmit: \nc\n");
}

TEST(TraceFileText, LinesBreakPast78Columns) {
  // 19 four-column items fill 76 columns; the 20th would reach 80.
  auto lines = Lines(TraceRecorder::Render(Repeat('T', 20, 0x01), true));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].size(), 76u);
  EXPECT_EQ(lines[2], "[01]");

  // Exactly 78 single columns fit; a decimal item then starts the next line
  // and the counter restarts at its width (3 + 75 = 78 still fit).
  lines = Lines(TraceRecorder::Render(
      Repeat('R', 76, 'z', Repeat('R', 1, 0, Repeat('R', 78, 'y'))), false));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], std::string(78, 'y'));
  EXPECT_EQ(lines[2], "[0]" + std::string(75, 'z'));
  EXPECT_EQ(lines[3], "z");

  // The counter restarts at each header.
  lines = Lines(TraceRecorder::Render(Repeat('R', 70, 'b', Repeat('T', 70, 'a')), true));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[4], std::string(70, 'b'));
}

TEST(TraceLogFileText, EntryLinesNamesAndExtraData) {
  std::vector<LogRecorder::Entry> entries = {
      {ltDispatch, lsReadCom, 1234, 0xABCDEF, {}},
      {ltTrDatChg, lsMethod, 99999999, 0, {}},
      {ltNone, lsNone, 0, 0xFFFFFFFF, {}},
      {200, 250, 1, 2, {}},  // unknown codes
      {ltTrigger, lsModemStatus, 5, 6, {'O', 'K', ' ', 0x0D}},
  };
  EXPECT_EQ(LogRecorder::Render(entries, true),
            kLogHeading +
                "00001234  Dispatch  ReadCom       00ABCDEF  \n"
                "99999999  TrDatChg  Method        00000000  \n"
                "00000000  No event                FFFFFFFF  \n"
                "00000001  ?         ?             00000002  \n"
                "00000005  Trigger   Modem status  00000006  OK[20][0D]\n");
  EXPECT_EQ(LogRecorder::Render({entries.back()}, false),
            kLogHeading + "00000005  Trigger   Modem status  00000006  OK [13]\n");
  EXPECT_EQ(LogRecorder::Render({}, true), "");
}

TEST(TraceLogFileText, ExtraDataWrapsAt79WithIndent) {
  // The counter starts at 41: single columns 42..78 fit (37 items), the 38th
  // reaches 79 and goes to a continuation line indented by 40 blanks.
  auto lines = Lines(LogRecorder::Render({{ltError, lsNone, 0, 0, std::vector<uint8_t>(75, 'q')}}, true));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[2], "00000000  Error                   00000000  " + std::string(37, 'q'));
  EXPECT_EQ(lines[3], std::string(40, ' ') + std::string(37, 'q'));
  EXPECT_EQ(lines[4], std::string(40, ' ') + "q");

  // Four-column items: 41 + 9 * 4 = 77 fits, the 10th reaches 81.
  lines = Lines(LogRecorder::Render({{ltError, lsNone, 0, 0, std::vector<uint8_t>(10, 0)}}, true));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2].substr(44), "[00][00][00][00][00][00][00][00][00]");
  EXPECT_EQ(lines[3], std::string(40, ' ') + "[00]");
}
