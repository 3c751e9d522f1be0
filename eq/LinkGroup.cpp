#include "eq/LinkGroup.h"

#include <algorithm>

#include "eq/ResponseChart.h"

namespace {
int Clamp(int steps, int range) { return std::clamp(steps, -range, range); }
}  // namespace

LinkGroup::LinkGroup(std::string name, LinkMode mode, LinkFollows follows)
    : name_(std::move(name)), mode_(mode), follows_(follows) {}

const LinkMember* LinkGroup::Member(int address) const {
  for (const LinkMember& m : members_)
    if (m.address == address) return &m;
  return nullptr;
}

LinkMember* LinkGroup::Find(int address) { return const_cast<LinkMember*>(Member(address)); }

void LinkGroup::JoinKeepingDifferences(const std::vector<std::pair<int, SliderSteps>>& curves) {
  members_.clear();
  if (curves.empty()) return;
  group_ = curves.front().second;
  groupKnown_ = true;
  for (const auto& [address, curve] : curves) {
    LinkMember member;
    member.address = address;
    if (mode_ == LinkMode::Relative)
      for (size_t i = 0; i < curve.size(); ++i) member.offsets[i] = curve[i] - group_[i];
    members_.push_back(member);
  }
}

void LinkGroup::JoinCopying(const std::vector<int>& addresses, const SliderSteps& curve) {
  members_.clear();
  group_ = curve;
  groupKnown_ = true;
  for (int address : addresses) members_.push_back(LinkMember{address, {}, MemberState::Following, {}});
}

void LinkGroup::JoinWithOffsets(const std::vector<std::pair<int, SliderSteps>>& offsets) {
  members_.clear();
  groupKnown_ = false;
  for (const auto& [address, steps] : offsets) {
    LinkMember member;
    member.address = address;
    member.state = MemberState::Unchecked;
    if (mode_ == LinkMode::Relative) member.offsets = steps;
    members_.push_back(member);
  }
}

bool LinkGroup::Compare(int address, const SliderSteps& curve, int range) {
  LinkMember* member = Find(address);
  if (!member) return false;
  if (member->state == MemberState::OutOfStep) return false;
  if (!groupKnown_) {
    for (size_t i = 0; i < curve.size(); ++i) group_[i] = curve[i] - member->offsets[i];
    groupKnown_ = true;
  } else if (HeldCurve(address, range) != curve) {
    SetState(address, MemberState::OutOfStep);
    return false;
  }
  // In step: a member checked now, or whose unit is back, follows; a
  // locked one stays as its window's Lock says.
  if (member->state != MemberState::Locked) SetState(address, MemberState::Following);
  return true;
}

void LinkGroup::Leave(int address) {
  members_.erase(std::remove_if(members_.begin(), members_.end(),
                                [address](const LinkMember& m) { return m.address == address; }),
                 members_.end());
}

int LinkGroup::Intended(int address, int slot) const {
  const LinkMember* member = Member(address);
  const int offset = member && mode_ == LinkMode::Relative ? member->offsets[slot - 1] : 0;
  return group_[slot - 1] + offset;
}

int LinkGroup::Held(int address, int slot, int range) const { return Clamp(Intended(address, slot), range); }

SliderSteps LinkGroup::HeldCurve(int address, int range) const {
  SliderSteps curve{};
  for (int slot = 1; slot <= kSliderCount; ++slot) curve[slot - 1] = Held(address, slot, range);
  return curve;
}

int LinkGroup::ClampedSlots(int address, int range) const {
  int clamped = 0;
  for (int slot = 1; slot <= kSliderCount; ++slot)
    if (Held(address, slot, range) != Intended(address, slot)) ++clamped;
  return clamped;
}

std::vector<std::pair<int, int>> LinkGroup::Move(int address, int slot, int was, int now, bool alone, int range) {
  std::vector<std::pair<int, int>> others;
  LinkMember* mover = Find(address);
  if (!mover || slot < 1 || slot > kSliderCount) return others;
  int& group = group_[slot - 1];
  if (alone) {
    // Only this member's difference from the group changes.
    if (mode_ == LinkMode::Relative) mover->offsets[slot - 1] = now - group;
    return others;
  }
  if (mode_ == LinkMode::Absolute)
    group = now;
  else if (was == Intended(address, slot))
    group = now - mover->offsets[slot - 1];
  else
    group += now - was;  // held at the range's end: the group moves by the member's own move
  for (const LinkMember& m : members_)
    if (m.address != address) others.emplace_back(m.address, Held(m.address, slot, range));
  return others;
}

std::vector<std::pair<int, SliderSteps>> LinkGroup::MoveCurve(int address, const SliderSteps& was,
                                                              const SliderSteps& now, int range) {
  for (int slot = 1; slot <= kSliderCount; ++slot)
    if (was[slot - 1] != now[slot - 1]) Move(address, slot, was[slot - 1], now[slot - 1], false, range);
  std::vector<std::pair<int, SliderSteps>> others;
  for (const LinkMember& m : members_)
    if (m.address != address) others.emplace_back(m.address, HeldCurve(m.address, range));
  return others;
}

void LinkGroup::SetState(int address, MemberState state, const std::string& reason) {
  if (LinkMember* member = Find(address)) {
    member->state = state;
    member->reason = reason;
  }
}

void LinkGroup::KeepOffset(int address, const SliderSteps& curve) {
  LinkMember* member = Find(address);
  if (!member) return;
  if (mode_ == LinkMode::Relative)
    for (size_t i = 0; i < curve.size(); ++i) member->offsets[i] = curve[i] - group_[i];
  member->state = MemberState::Following;
  member->reason.clear();
}

std::string LinkGroup::StateText(int address, int range) const {
  const LinkMember* member = Member(address);
  if (!member) return {};
  switch (member->state) {
    case MemberState::Pending:
    case MemberState::Unchecked:
      return "pending";
    case MemberState::NotFollowing: {
      // The engine's messages end with a full stop; the state's text is a
      // phrase that others put into sentences.
      std::string reason = member->reason;
      while (!reason.empty() && (reason.back() == '.' || reason.back() == ' ')) reason.pop_back();
      return "not following: " + reason;
    }
    case MemberState::Locked:
      return "locked";
    case MemberState::OutOfStep:
      return "out of step";
    case MemberState::Following:
      break;
  }
  const int clamped = ClampedSlots(address, range);
  if (clamped) return "clamped (" + std::to_string(clamped) + (clamped == 1 ? " band)" : " bands)");
  return "following";
}

std::vector<std::string> CurveDifferences(const SliderSteps& from, const SliderSteps& to) {
  std::vector<std::string> lines;
  for (int slot = 1; slot <= kSliderCount; ++slot) {
    const int a = from[slot - 1], b = to[slot - 1];
    if (a == b) continue;
    const std::string name = slot == kGainSlot ? "gain" : "band " + std::to_string(slot) + " (" + SlotLabel(slot) + ")";
    lines.push_back(name + " " + DbText(a * 0.5) + " \u2192 " + DbText(b * 0.5));
  }
  return lines;
}

SliderSteps SliderStepsOf(const TEqualizerDocument& doc) {
  SliderSteps steps{};
  for (int slot = 1; slot <= kSliderCount; ++slot) steps[slot - 1] = doc.SliderSteps(slot);
  return steps;
}

std::vector<std::string> FilterDifferences(const TEqualizerDocument& from,
                                           const TEqualizerDocument& to) {
  std::vector<std::string> lines;
  if (from.HighPassIndex != to.HighPassIndex)
    lines.push_back("high pass " + HighPassLabel(from.HighPassIndex) + " \u2192 " +
                    HighPassLabel(to.HighPassIndex));
  if (from.LowPassIndex != to.LowPassIndex)
    lines.push_back("low pass " + LowPassLabel(from.LowPassIndex) + " \u2192 " +
                    LowPassLabel(to.LowPassIndex));
  return lines;
}
