// Ring bookkeeping of the trace and the log: what is kept, in which order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/ComTrace.h"

namespace {

std::string Text(const std::vector<TraceRecorder::Entry>& entries) {
  std::string s;
  for (auto& e : entries) s += {e.kind, static_cast<char>(e.byte)};
  return s;
}

std::vector<uint32_t> Datas(const std::vector<LogRecorder::Entry>& entries) {
  std::vector<uint32_t> v;
  for (auto& e : entries) v.push_back(e.data);
  return v;
}

}  // namespace

TEST(TraceRing, KeepsNewestInOrderAcrossWrap) {
  TraceRecorder t;
  t.Add('T', 'x');  // not started: ignored
  t.Start(4);
  for (char c : std::string("abcd")) t.Add('T', c);
  EXPECT_EQ(Text(t.Entries()), "TaTbTcTd");  // exactly full, nothing lost
  t.Add('R', 'e');
  t.Add('R', 'f');
  EXPECT_EQ(Text(t.Entries()), "TcTdReRf");

  t.Start(3);  // restarting empties the ring and forgets the wrap
  t.Add('R', 'g');
  EXPECT_EQ(Text(t.Entries()), "Rg");
  t.Start(0);  // no room: records nothing, does not fault
  t.Add('T', 'h');
  EXPECT_TRUE(t.Entries().empty());
}

TEST(TraceRing, SizeIsCapped) {
  TraceRecorder t;
  t.Start(TraceRecorder::kMaxSize + 10);
  for (uint32_t i = 0; i <= TraceRecorder::kMaxSize; ++i) t.Add('T', static_cast<uint8_t>(i));
  auto entries = t.Entries();
  ASSERT_EQ(entries.size(), TraceRecorder::kMaxSize);
  EXPECT_EQ(entries.front().byte, 1);  // entry 0 was overwritten
}

TEST(TraceLogRing, EvictsWholeOldestEntriesAndStaysConsistentAcrossWrap) {
  LogRecorder log;
  log.Start(60);  // room for three bare headers
  const uint8_t abc[] = {0, 'a', 255};
  log.Add(12, ltDispatch, lsReadCom, 1, abc, 3);
  log.Add(13, ltError, lsNone, 2);
  auto entries = log.Entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].timeMs, 12u);
  EXPECT_EQ(entries[0].type, ltDispatch);
  EXPECT_EQ(entries[0].subtype, lsReadCom);
  EXPECT_EQ(entries[0].extra, (std::vector<uint8_t>{0, 'a', 255}));
  EXPECT_TRUE(entries[1].extra.empty());

  // 16 + 20 bytes with 25 free: only the oldest entry (19 bytes) has to go.
  std::vector<uint8_t> twenty(20, 'x');
  log.Add(0, ltDispatch, 0, 3, twenty.data(), 20);
  EXPECT_EQ(Datas(log.Entries()), (std::vector<uint32_t>{2, 3}));

  for (uint32_t i = 4; i < 40; ++i) {
    std::vector<uint8_t> extra(i % 7, static_cast<uint8_t>(i));
    log.Add(i, ltTrigger, lsData, i, extra.data(), static_cast<uint32_t>(extra.size()));
    auto now = log.Entries();
    ASSERT_FALSE(now.empty());
    EXPECT_EQ(now.back().extra, extra);
    size_t total = 0;
    for (size_t k = 0; k < now.size(); ++k) {
      total += 16 + now[k].extra.size();
      EXPECT_EQ(now[k].data, i + 1 - now.size() + k) << "entries lost or out of order";
    }
    EXPECT_LE(total, 60u);
    EXPECT_GT(total + 16 + 6, 60u) << "more evicted than needed";
  }
}

TEST(TraceLogRing, PiecesThatCannotFitAreLeftOut) {
  LogRecorder tiny;
  tiny.Start(16);  // a header as long as the ring is not stored
  tiny.Add(0, ltError, 0, 1);
  EXPECT_TRUE(tiny.Entries().empty());

  LogRecorder log;
  log.Start(40);
  log.Add(0, ltError, 0, 1);
  std::vector<uint8_t> big(40, 'b'), beside(30, 'm'), exact(24, 'e');
  log.Add(0, ltError, 0, 2, big.data(), 40);     // longer than the ring
  log.Add(0, ltError, 0, 3, beside.data(), 30);  // fits the ring, not beside its header
  auto entries = log.Entries();
  EXPECT_EQ(Datas(entries), (std::vector<uint32_t>{2, 3}));  // events kept without data
  EXPECT_TRUE(entries[0].extra.empty());
  EXPECT_TRUE(entries[1].extra.empty());

  log.Add(0, ltError, 0, 4, exact.data(), 24);  // header + data fill the ring exactly
  entries = log.Entries();
  EXPECT_EQ(Datas(entries), (std::vector<uint32_t>{4}));
  EXPECT_EQ(entries[0].extra, exact);

  log.Add(0, ltError, 0, 5, nullptr, 50);  // a length without data is no data
  EXPECT_TRUE(log.Entries().back().extra.empty());
}
