#pragma once
// Linked equalizer windows: a group of devices that one move reaches. The
// group keeps its own curve and, per member, an offset per band and gain
// (relative mode), so that every member moves by the same number of steps
// and keeps its difference from the others; in absolute mode every member
// takes the group's value. A member's value is the group's plus its
// offset, held within the window's slider range: a member at the end of
// the range is "clamped" there, and its offset stays whole, so that moving
// back restores the difference exactly. Filters, when they follow, follow
// as absolute values. No Qt: the frame's link controller applies what
// this says to the windows and sends it through the line queue.
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "eq/EqualizerDocument.h"

enum class LinkMode { Relative, Absolute };

struct LinkFollows {
  bool bands = true;  // the bands and the gain
  bool filters = false;
  bool muteBypass = false;
};

// Slider positions in steps, by slot − 1: the 29 bands, then the gain.
using SliderSteps = std::array<int, kSliderCount>;

// Unchecked: a kept group's member whose unit has not been compared with
// its offsets yet; nothing moves it, and it reads "pending".
enum class MemberState { Following, Pending, NotFollowing, Locked, OutOfStep, Unchecked };

struct LinkMember {
  int address = 0;
  SliderSteps offsets{};
  MemberState state = MemberState::Following;
  std::string reason;  // why it is not following
};

class LinkGroup {
 public:
  LinkGroup(std::string name, LinkMode mode, LinkFollows follows);

  const std::string& Name() const { return name_; }
  LinkMode Mode() const { return mode_; }
  const LinkFollows& Follows() const { return follows_; }
  const std::vector<LinkMember>& Members() const { return members_; }
  const LinkMember* Member(int address) const;
  const SliderSteps& GroupSteps() const { return group_; }
  // Whether the group's curve is known (a kept group: once a member's
  // curve was adopted).
  bool Known() const { return groupKnown_; }

  // Joins the members with their curves as they are now: the first one's
  // curve becomes the group's and the others' differences their offsets
  // (absolute mode: no offsets; the controller sends the group's curve).
  void JoinKeepingDifferences(const std::vector<std::pair<int, SliderSteps>>& curves);
  // Joins the members on one curve (the chosen member's): offsets zero.
  void JoinCopying(const std::vector<int>& addresses, const SliderSteps& curve);
  // Joins the members with their saved offsets, each unchecked until its
  // unit's curve is compared (`Compare`).
  void JoinWithOffsets(const std::vector<std::pair<int, SliderSteps>>& offsets);
  // Compares a member's curve as its unit has it now: the first one known
  // sets the group's curve; one that does not match its offsets is out of
  // step, one that does follows again (an unchecked member, or one whose
  // unit had gone). A member out of step stays so until it is resynced.
  // False when it is out of step.
  bool Compare(int address, const SliderSteps& curve, int range);
  void Leave(int address);

  // What the group means the member to hold, and what it can hold within
  // ±range.
  int Intended(int address, int slot) const;
  int Held(int address, int slot, int range) const;
  SliderSteps HeldCurve(int address, int range) const;
  // How many of the member's bands and gain are held at the range's end.
  int ClampedSlots(int address, int range) const;

  // A member's slider at `slot` moved from `was` to `now`. The group moves
  // by the same steps (a member held at the end moves the group by its own
  // move); `alone`: only the member's offset changes. Returns the other
  // members and what they now hold at the slot.
  std::vector<std::pair<int, int>> Move(int address, int slot, int was, int now, bool alone, int range);
  // A member's whole curve changed (paste, file, fit, undo, A/B): the
  // other members and their new curves.
  std::vector<std::pair<int, SliderSteps>> MoveCurve(int address, const SliderSteps& was, const SliderSteps& now,
                                                     int range);

  void SetState(int address, MemberState state, const std::string& reason = {});
  // A member's own device curve becomes its offset from the group's (the
  // operator's "Read Device and Keep Its Offset").
  void KeepOffset(int address, const SliderSteps& curve);
  // "following", "pending", "clamped (n bands)", "not following: <reason>"
  // (the reason without its closing full stop), "locked", "out of step".
  std::string StateText(int address, int range) const;

 private:
  LinkMember* Find(int address);
  std::string name_;
  LinkMode mode_;
  LinkFollows follows_;
  SliderSteps group_{};
  bool groupKnown_ = false;
  std::vector<LinkMember> members_;
};

// What differs between two curves, a phrase per slot that does
// ("band 8 (125 Hz) +3.0 dB → +1.5 dB", "gain 0.0 dB → −2.0 dB").
std::vector<std::string> CurveDifferences(const SliderSteps& from, const SliderSteps& to);
SliderSteps SliderStepsOf(const TEqualizerDocument& doc);
// The filters' differences, as phrases ("high pass OUT \u2192 40 Hz").
std::vector<std::string> FilterDifferences(const TEqualizerDocument& from,
                                           const TEqualizerDocument& to);
