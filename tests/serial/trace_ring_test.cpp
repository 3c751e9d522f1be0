// Ring bookkeeping of the trace and the log: what is kept, in which order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ComTrace.h"

namespace {

std::string Kinds(const std::vector<TraceRecorder::Entry>& entries) {
  std::string s;
  for (auto& e : entries) s += e.kind;
  return s;
}

std::vector<int> Bytes(const std::vector<TraceRecorder::Entry>& entries) {
  std::vector<int> v;
  for (auto& e : entries) v.push_back(e.byte);
  return v;
}

std::vector<uint32_t> Datas(const std::vector<LogRecorder::Entry>& entries) {
  std::vector<uint32_t> v;
  for (auto& e : entries) v.push_back(e.data);
  return v;
}

std::vector<uint8_t> Filled(size_t n, uint8_t value) { return std::vector<uint8_t>(n, value); }

}  // namespace

TEST(TraceRing, KeepsOrderBeforeAndAfterWrapping) {
  TraceRecorder t;
  t.Start(4);
  t.Add('T', 1);
  t.Add('R', 2);
  EXPECT_EQ(Bytes(t.Entries()), (std::vector<int>{1, 2}));
  EXPECT_EQ(Kinds(t.Entries()), "TR");

  t.Add('T', 3);
  t.Add('T', 4);  // exactly full: not yet overwritten
  EXPECT_EQ(Bytes(t.Entries()), (std::vector<int>{1, 2, 3, 4}));

  t.Add('R', 5);
  t.Add('R', 6);  // oldest two overwritten
  EXPECT_EQ(Bytes(t.Entries()), (std::vector<int>{3, 4, 5, 6}));
  EXPECT_EQ(Kinds(t.Entries()), "TTRR");
}

TEST(TraceRing, StartEmptiesAndInactiveIgnores) {
  TraceRecorder t;
  t.Add('T', 1);  // not started
  EXPECT_FALSE(t.Active());
  EXPECT_TRUE(t.Entries().empty());

  t.Start(2);
  EXPECT_TRUE(t.Active());
  t.Add('T', 1);
  t.Add('T', 2);
  t.Add('T', 3);
  t.Start(3);  // restart drops everything, wrapped state included
  EXPECT_TRUE(t.Entries().empty());
  t.Add('R', 9);
  EXPECT_EQ(Bytes(t.Entries()), (std::vector<int>{9}));

  t.Start(0);  // a ring with no room records nothing and does not fault
  t.Add('T', 1);
  EXPECT_TRUE(t.Entries().empty());
}

TEST(TraceRing, SizeIsCapped) {
  TraceRecorder t;
  t.Start(TraceRecorder::kMaxSize + 10);
  for (uint32_t i = 0; i < TraceRecorder::kMaxSize + 1; ++i) t.Add('T', static_cast<uint8_t>(i));
  auto entries = t.Entries();
  ASSERT_EQ(entries.size(), TraceRecorder::kMaxSize);
  EXPECT_EQ(entries.front().byte, 1);  // entry 0 was overwritten
}

TEST(TraceLogRing, StoresEntriesWithExtraData) {
  LogRecorder log;
  log.Start(1000);
  const uint8_t extra[] = {0, 'a', 255};
  log.Add(12, ltDispatch, lsReadCom, 0xDEADBEEF, extra, 3);
  log.Add(13, ltError, lsNone, 7);
  auto entries = log.Entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].timeMs, 12u);
  EXPECT_EQ(entries[0].type, ltDispatch);
  EXPECT_EQ(entries[0].subtype, lsReadCom);
  EXPECT_EQ(entries[0].data, 0xDEADBEEFu);
  EXPECT_EQ(entries[0].extra, (std::vector<uint8_t>{0, 'a', 255}));
  EXPECT_EQ(entries[1].data, 7u);
  EXPECT_TRUE(entries[1].extra.empty());
}

TEST(TraceLogRing, EvictsWholeOldestEntries) {
  LogRecorder log;
  log.Start(60);  // room for three bare headers
  log.Add(0, ltDispatch, 0, 1);
  log.Add(0, ltDispatch, 0, 2);
  log.Add(0, ltDispatch, 0, 3);
  EXPECT_EQ(Datas(log.Entries()), (std::vector<uint32_t>{1, 2, 3}));

  // 16 + 20 bytes need two old headers to go (12 free, then 28, then 44).
  auto extra = Filled(20, 'x');
  log.Add(0, ltDispatch, 0, 4, extra.data(), 20);
  auto entries = log.Entries();
  EXPECT_EQ(Datas(entries), (std::vector<uint32_t>{3, 4}));
  EXPECT_EQ(entries[1].extra, extra);

  // Keep adding across the end of the ring; every read-back stays whole.
  for (uint32_t i = 5; i < 40; ++i) {
    auto more = Filled(i % 7, static_cast<uint8_t>(i));
    log.Add(i, ltTrigger, lsData, i, more.data(), static_cast<uint32_t>(more.size()));
    auto now = log.Entries();
    ASSERT_FALSE(now.empty());
    EXPECT_EQ(now.back().data, i);
    EXPECT_EQ(now.back().extra, more);
    size_t total = 0;
    for (auto& e : now) total += 16 + e.extra.size();
    EXPECT_LE(total, 60u);
    for (size_t k = 1; k < now.size(); ++k) EXPECT_EQ(now[k].data, now[k - 1].data + 1);
  }
}

TEST(TraceLogRing, OversizePiecesAreNotStored) {
  LogRecorder tiny;
  tiny.Start(16);  // a header as long as the ring does not fit
  tiny.Add(0, ltError, 0, 1);
  EXPECT_TRUE(tiny.Entries().empty());

  LogRecorder log;
  log.Start(40);
  log.Add(0, ltError, 0, 1);
  // Extra data longer than the ring: the event is kept, its data left out.
  auto big = Filled(40, 'b');
  log.Add(0, ltError, 0, 2, big.data(), 40);
  auto entries = log.Entries();
  EXPECT_EQ(Datas(entries), (std::vector<uint32_t>{1, 2}));
  EXPECT_TRUE(entries[1].extra.empty());

  // Extra data that fits the ring but not beside its own header: same.
  auto mid = Filled(30, 'm');
  log.Add(0, ltError, 0, 3, mid.data(), 30);
  entries = log.Entries();
  EXPECT_EQ(Datas(entries), (std::vector<uint32_t>{2, 3}));
  EXPECT_TRUE(entries[1].extra.empty());

  // Header plus data filling the ring exactly is stored.
  auto exact = Filled(24, 'e');
  log.Add(0, ltError, 0, 4, exact.data(), 24);
  entries = log.Entries();
  EXPECT_EQ(Datas(entries), (std::vector<uint32_t>{4}));
  EXPECT_EQ(entries[0].extra, exact);
}

TEST(TraceLogRing, InactiveOrNullExtraIsSafe) {
  LogRecorder log;
  log.Add(0, ltError, 0, 1);
  EXPECT_TRUE(log.Entries().empty());
  log.Start(100);
  log.Add(0, ltError, 0, 2, nullptr, 50);  // a length without data
  auto entries = log.Entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_TRUE(entries[0].extra.empty());
  log.Start(100);
  EXPECT_TRUE(log.Entries().empty());
}
