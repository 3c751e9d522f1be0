// A group of linked devices: relative moves keep each member's difference,
// a member held at the range's end keeps its offset and comes back exactly,
// a move alone changes one offset, absolute moves give every member the
// same value, whole curves follow, and saved offsets are checked against
// the devices' curves.
#include "eq/LinkGroup.h"

#include <gtest/gtest.h>

namespace {
constexpr int kRange = 24;

SliderSteps Flat(int steps = 0) {
  SliderSteps s;
  s.fill(steps);
  return s;
}

using Moves = std::vector<std::pair<int, int>>;
}  // namespace

TEST(LinkGroup, RelativeMovesKeepDifferencesAndClampingNeverLosesThem) {
  LinkGroup group("L+R", LinkMode::Relative, {});
  SliderSteps right = Flat();
  right[7] = 10;  // band 8 five dB above the left
  group.JoinKeepingDifferences({{1, Flat()}, {2, right}, {3, Flat(-2)}});
  EXPECT_EQ(group.StateText(2, kRange), "following");

  // Band 8 of the left up by 12 steps: each member by the same 12.
  EXPECT_EQ(group.Move(1, 8, 0, 12, false, kRange), (Moves{{2, 22}, {3, 10}}));
  // Four more: the right one stops at the end, clamped.
  EXPECT_EQ(group.Move(1, 8, 12, 16, false, kRange), (Moves{{2, 24}, {3, 14}}));
  EXPECT_EQ(group.Intended(2, 8), 26);
  EXPECT_EQ(group.StateText(2, kRange), "clamped (1 band)");
  // Back down: the difference comes back exactly.
  EXPECT_EQ(group.Move(1, 8, 16, 0, false, kRange), (Moves{{2, 10}, {3, -2}}));
  EXPECT_EQ(group.StateText(2, kRange), "following");

  // A member held at the end moves the group by its own move.
  group.Move(1, 8, 0, 16, false, kRange);
  EXPECT_EQ(group.Move(2, 8, 24, 23, false, kRange), (Moves{{1, 15}, {3, 13}}));

  // Alone: only the mover's offset changes; the next group move keeps it.
  EXPECT_TRUE(group.Move(3, 1, -2, 4, true, kRange).empty());
  EXPECT_EQ(group.Move(1, 1, 0, 2, false, kRange), (Moves{{2, 2}, {3, 6}}));
  EXPECT_EQ(group.Member(3)->offsets[0], 4);
}

TEST(LinkGroup, AbsoluteMovesAndWholeCurvesFollow) {
  LinkGroup absolute("MONS", LinkMode::Absolute, {});
  absolute.JoinKeepingDifferences({{5, Flat(3)}, {6, Flat(-7)}});
  EXPECT_EQ(absolute.Move(6, kGainSlot, -7, -4, false, kRange), (Moves{{5, -4}}));

  LinkGroup relative("FILLS", LinkMode::Relative, {});
  relative.JoinKeepingDifferences({{1, Flat()}, {2, Flat(20)}});
  SliderSteps pasted = Flat();
  pasted[0] = 6;
  pasted[29] = -6;
  const auto others = relative.MoveCurve(1, Flat(), pasted, kRange);
  ASSERT_EQ(others.size(), 1u);
  EXPECT_EQ(others[0].second[0], 24);  // 26, held at the end
  EXPECT_EQ(others[0].second[1], 20);
  EXPECT_EQ(others[0].second[29], 14);
  EXPECT_EQ(relative.ClampedSlots(2, kRange), 1);

  // Copying one curve to all: no offsets.
  relative.JoinCopying({1, 2}, pasted);
  EXPECT_EQ(relative.HeldCurve(2, kRange), pasted);
}

TEST(LinkGroup, SavedOffsetsAreCheckedAgainstTheDevicesAndResynced) {
  LinkGroup group("L+R", LinkMode::Relative, {});
  SliderSteps offsets = Flat();
  offsets[3] = 4;
  group.JoinWithOffsets({{1, Flat()}, {2, offsets}});
  EXPECT_EQ(group.StateText(2, kRange), "pending");  // not compared with its unit yet
  SliderSteps left = Flat(2);
  EXPECT_TRUE(group.Compare(1, left, kRange));  // sets the group's curve
  SliderSteps right = left;
  right[3] += 4;
  // A unit that went away comes back as it was: it follows again.
  group.SetState(2, MemberState::NotFollowing, "ORB Not Found.");
  EXPECT_EQ(group.StateText(2, kRange), "not following: ORB Not Found");
  EXPECT_TRUE(group.Compare(2, right, kRange));
  right[3] += 1;
  EXPECT_FALSE(group.Compare(2, right, kRange));
  EXPECT_FALSE(group.Compare(2, left, kRange));  // out of step until resynced
  EXPECT_EQ(group.StateText(2, kRange), "out of step");
  group.KeepOffset(2, right);
  EXPECT_EQ(group.Member(2)->offsets[3], 5);
  EXPECT_EQ(group.StateText(2, kRange), "following");

  EXPECT_EQ(CurveDifferences(Flat(), right)[3], "band 4 (50 Hz) 0.0 dB \u2192 +3.5 dB");
  EXPECT_EQ(CurveDifferences(Flat(), right).back(), "gain 0.0 dB \u2192 +1.0 dB");
}
