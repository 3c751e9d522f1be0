// Text of the trace and log files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ComTrace.h"

namespace {

using TEntry = TraceRecorder::Entry;
using LEntry = LogRecorder::Entry;

std::vector<TEntry> Repeat(char kind, size_t n, uint8_t byte) {
  return std::vector<TEntry>(n, TEntry{kind, byte});
}

std::vector<TEntry> operator+(std::vector<TEntry> a, const std::vector<TEntry>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
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

TEST(TraceFileText, SingleByteAndEmpty) {
  EXPECT_EQ(TraceRecorder::Render({{'T', 0x05}}, true), "Transmit: \n[05]\n");
  EXPECT_EQ(TraceRecorder::Render({{'R', 'A'}}, false), "Receive: \nA\n");
  EXPECT_EQ(TraceRecorder::Render({}, true), "");
}

TEST(TraceFileText, HexAndDecimalRendering) {
  std::vector<TEntry> bytes = {{'T', 32}, {'T', 33}, {'T', 126}, {'T', 127},
                               {'T', 0},  {'T', 255}, {'T', 10}};
  EXPECT_EQ(TraceRecorder::Render(bytes, true), "Transmit: \n[20]!~[7F][00][FF][0A]\n");
  EXPECT_EQ(TraceRecorder::Render(bytes, false), "Transmit: \n !~[127][0][255][10]\n");
}

TEST(TraceFileText, KindSwitchStartsNewSectionAfterEmptyLine) {
  auto text = TraceRecorder::Render(Repeat('T', 2, 'a') + Repeat('R', 1, 'b') + Repeat('T', 1, 'c'), true);
  EXPECT_EQ(text, "Transmit: \naa\n\nReceive: \nb\n\nTransmit: \nc\n");
}

TEST(TraceFileText, LinesBreakPast78Columns) {
  // 19 four-column items fill 76 columns; the 20th would reach 80.
  auto lines = Lines(TraceRecorder::Render(Repeat('T', 20, 0x01), true));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].size(), 76u);
  EXPECT_EQ(lines[2], "[01]");

  // Single columns: exactly 78 fit on a line, the 79th wraps.
  lines = Lines(TraceRecorder::Render(Repeat('R', 79, 'x'), true));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], std::string(78, 'x'));
  EXPECT_EQ(lines[2], "x");

  // Decimal items of mixed width: 77 + "[0]" = 80 wraps; the counter restarts
  // at the item's width so 75 more single columns still fit (3 + 75 = 78).
  auto entries = Repeat('T', 77, 'y') + Repeat('T', 1, 0) + Repeat('T', 76, 'z');
  lines = Lines(TraceRecorder::Render(entries, false));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], std::string(77, 'y'));
  EXPECT_EQ(lines[2], "[0]" + std::string(75, 'z'));
  EXPECT_EQ(lines[3], "z");
}

TEST(TraceFileText, ColumnCounterRestartsAtEachHeader) {
  auto lines = Lines(TraceRecorder::Render(Repeat('T', 70, 'a') + Repeat('R', 70, 'b'), true));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3], "Receive: ");
  EXPECT_EQ(lines[4], std::string(70, 'b'));
}

TEST(TraceLogFileText, EntryLinesAndNames) {
  std::vector<LEntry> entries = {
      {ltDispatch, lsReadCom, 1234, 0xABCDEF, {}},
      {ltTrDatChg, lsMethod, 99999999, 0, {}},
      {ltNone, lsNone, 0, 0xFFFFFFFF, {}},
  };
  EXPECT_EQ(LogRecorder::Render(entries, true),
            kLogHeading +
                "00001234  Dispatch  ReadCom       00ABCDEF  \n"
                "99999999  TrDatChg  Method        00000000  \n"
                "00000000  No event                FFFFFFFF  \n");
  EXPECT_EQ(LogRecorder::Render({}, true), "");
}

TEST(TraceLogFileText, UnknownCodesRenderSafely) {
  auto text = LogRecorder::Render({{200, 250, 1, 2, {}}}, true);
  EXPECT_EQ(text, kLogHeading + "00000001  ?         ?             00000002  \n");
}

TEST(TraceLogFileText, ExtraDataFollowsOnTheLine) {
  auto text = LogRecorder::Render({{ltTrigger, lsData, 5, 6, {'O', 'K', ' ', 0x0D}}}, true);
  EXPECT_EQ(text, kLogHeading + "00000005  Trigger   Data          00000006  OK[20][0D]\n");
  text = LogRecorder::Render({{ltTrigger, lsData, 5, 6, {'O', 'K', ' ', 0x0D}}}, false);
  EXPECT_EQ(text, kLogHeading + "00000005  Trigger   Data          00000006  OK [13]\n");
}

TEST(TraceLogFileText, ExtraDataWrapsAt79WithIndent) {
  // The counter starts at 41: single columns 42..78 fit (37 items), the 38th
  // reaches 79 and goes to a continuation line indented by 40 blanks.
  std::vector<uint8_t> extra(37 + 37 + 1, 'q');
  auto lines = Lines(LogRecorder::Render({{ltError, lsNone, 0, 0, extra}}, true));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[2], "00000000  Error                   00000000  " + std::string(37, 'q'));
  EXPECT_EQ(lines[3], std::string(40, ' ') + std::string(37, 'q'));
  EXPECT_EQ(lines[4], std::string(40, ' ') + "q");

  // Four-column items: 41 + 9 * 4 = 77 fits, the 10th reaches 81.
  std::vector<uint8_t> codes(10, 0x00);
  lines = Lines(LogRecorder::Render({{ltError, lsNone, 0, 0, codes}}, true));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2].substr(44), "[00][00][00][00][00][00][00][00][00]");
  EXPECT_EQ(lines[3], std::string(40, ' ') + "[00]");
}
