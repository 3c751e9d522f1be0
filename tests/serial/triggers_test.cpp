// Trigger handle scheme and timer expiry, without a port.
#include <gtest/gtest.h>

#include "serial/ComTriggers.h"

TEST(TimerExpiry, ExpiresOnlyAfterTheExpiryTick) {
  EXPECT_FALSE(TimerExpired(136, 100, 136));
  EXPECT_TRUE(TimerExpired(137, 100, 136));
}

TEST(TimerExpiry, TimerArmedJustBeforeTheClockWrapsFiresOnTime) {
  uint32_t start = kTicksPerClockWrap - 10;
  uint32_t expiry = start + 36;
  EXPECT_FALSE(TimerExpired(kTicksPerClockWrap - 1, start, expiry));
  EXPECT_FALSE(TimerExpired(20, start, expiry));  // 30 ticks on
  EXPECT_TRUE(TimerExpired(28, start, expiry));   // 38 ticks on
}

TEST(TriggerLists, HandlesCountUpInEightsWithTheKindInTheLowBits) {
  TriggerLists t;
  EXPECT_EQ(t.AddStatus(1), 9);
  EXPECT_EQ(t.AddTimer(), 16);
  EXPECT_EQ(t.AddStatus(5), 29);
  ASSERT_NE(t.FindTimer(16 + 7), nullptr);
  EXPECT_EQ(t.FindTimer(9), nullptr);
  EXPECT_EQ(t.FindStatus(16), nullptr);
  ASSERT_NE(t.FindStatus(8), nullptr);
  EXPECT_EQ(t.FindStatus(8)->handle, 9);
  t.Reset();
  EXPECT_EQ(t.AddTimer(), 8);
}

TEST(TriggerLists, CounterRunsOutAfter8191Handles) {
  TriggerLists t;
  for (int i = 0; i < 8191; ++i) ASSERT_TRUE(t.AddTimer());
  EXPECT_FALSE(t.AddTimer());
  EXPECT_FALSE(t.AddStatus(1));
}

TEST(TriggerLists, RestoredTriggersAreFoundBeforeNewOnesWithTheSameHandle) {
  TriggerLists t;
  uint16_t h = *t.AddTimer();
  TriggerLists::SetTimer(*t.FindTimer(h), 36, true, 1000);
  auto saved = t.Save();
  t.Reset();
  t.Install(saved);
  EXPECT_EQ(t.AddTimer(), h);  // the counter restarted
  EXPECT_TRUE(t.FindTimer(h)->armed);
  EXPECT_EQ(t.TakeExpiredTimer(1037), h);
  EXPECT_FALSE(t.TakeExpiredTimer(5000));  // fired once, now disarmed
}

TEST(TriggerLists, TimerLengthIsCappedAndKeptWhenRearmedWithZero) {
  TriggerLists t;
  auto& timer = *t.FindTimer(*t.AddTimer());
  TriggerLists::SetTimer(timer, 0xFFFFFFFF, true, 0);
  EXPECT_EQ(timer.ticks, kMaxTimerTicks);
  TriggerLists::SetTimer(timer, 36, true, 0);
  TriggerLists::SetTimer(timer, 0, false, 0);
  EXPECT_FALSE(timer.armed);
  TriggerLists::SetTimer(timer, 0, true, 10);
  EXPECT_EQ(timer.expiryTick, 46u);
}

TEST(TriggerLists, ModemTriggerComparesMaskedLinesWithItsSnapshot) {
  TriggerLists t;
  uint16_t h = *t.AddStatus(1);
  TriggerLists::SetStatus(*t.FindStatus(h), 0x20, true, 0x10);  // DSR low, CTS high
  EXPECT_FALSE(t.TakeFiredStatus(0x00));                          // CTS is outside the mask
  EXPECT_FALSE(t.TakeFiredStatus(0x02));                          // a change bit alone is not a level
  EXPECT_EQ(t.TakeFiredStatus(0x20), h);
  EXPECT_FALSE(t.TakeFiredStatus(0x00));

  // A masked line that moved and came back fires; changes noted before the
  // arming or outside the mask do not.
  TriggerLists::SetStatus(*t.FindStatus(h), 0x20, true, 0x20);
  t.NoteLineChanges(0x10);
  EXPECT_FALSE(t.TakeFiredStatus(0x20));
  t.NoteLineChanges(0x20);
  EXPECT_EQ(t.TakeFiredStatus(0x20), h);
  t.NoteLineChanges(0x20);
  TriggerLists::SetStatus(*t.FindStatus(h), 0x20, true, 0x20);
  EXPECT_FALSE(t.TakeFiredStatus(0x20));
}
