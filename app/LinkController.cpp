#include "app/LinkController.h"

#include <QTimer>
#include <algorithm>
#include <map>
#include <set>

#include "eqwindow/EqualizerWindow.h"
#include "link/InstallationModel.h"
#include "settings/GroupSettings.h"

namespace {
StoredGroup Stored(int number, const LinkGroup& group) {
  StoredGroup stored;
  stored.number = number;
  stored.name = group.Name();
  stored.absolute = group.Mode() == LinkMode::Absolute;
  stored.bands = group.Follows().bands;
  stored.filters = group.Follows().filters;
  stored.muteBypass = group.Follows().muteBypass;
  for (const LinkMember& m : group.Members()) {
    stored.members.push_back(m.address);
    stored.offsets[m.address] = m.offsets;
  }
  return stored;
}

SliderSteps CurveOf(const EqualizerWindow& window) { return SliderStepsOf(window.CurveNow()); }
}  // namespace

LinkController::LinkController(std::function<std::string()> settingsPath) : settingsPath_(std::move(settingsPath)) {
  for (const StoredGroup& stored : LoadGroups(settingsPath_())) {
    LinkFollows follows{stored.bands, stored.filters, stored.muteBypass};
    auto group = std::make_unique<Group>(
        Group{stored.number, LinkGroup(stored.name, stored.absolute ? LinkMode::Absolute : LinkMode::Relative, follows)});
    std::vector<std::pair<int, SliderSteps>> offsets;
    for (int address : stored.members) {
      const auto found = stored.offsets.find(address);
      offsets.emplace_back(address, found == stored.offsets.end() ? SliderSteps{} : found->second);
    }
    // Each member is compared with its unit when its window reads it,
    // before the group moves anything.
    group->group.JoinWithOffsets(offsets);
    // Offsets that did not read back whole: the member is out of step until
    // it is resynced.
    for (int address : stored.members)
      if (!stored.offsets.count(address)) group->group.SetState(address, MemberState::OutOfStep);
    groups_.push_back(std::move(group));
  }
}

void LinkController::Attach(EqualizerWindow& window) {
  window.OnSliderMoved = [this, &window](int slot, int was, int now, bool alone) {
    SliderMoved(window, slot, was, now, alone);
  };
  window.OnLinkedSendFailed = [this, &window](const std::string& reason) { SendFailed(window, reason); };
  window.OnCurveEdited = [this, &window](const SliderSteps& was, const SliderSteps& now) {
    CurveEdited(window, was, now);
  };
  window.OnHistoryMoved = [this, &window](bool forward, const SliderSteps& was, const SliderSteps& now) {
    HistoryMoved(window, forward, was, now);
  };
  window.OnFilterChosen = [this, &window](bool highPass, int index) { FilterChosen(window, highPass, index); };
  window.OnSwitchClicked = [this, &window](bool bypass, bool on) { SwitchClicked(window, bypass, on); };
  window.OnUnitRead = [this, &window] { UnitRead(window); };
  window.OnLockSwitched = [this, &window](bool locked) { LockSwitched(window, locked); };
}

void LinkController::Detach(EqualizerWindow& window) {
  window.OnSliderMoved = nullptr;
  window.OnLinkedSendFailed = nullptr;
  window.OnCurveEdited = nullptr;
  window.OnHistoryMoved = nullptr;
  window.OnFilterChosen = nullptr;
  window.OnSwitchClicked = nullptr;
  window.OnUnitRead = nullptr;
  window.OnLockSwitched = nullptr;
  bound_.erase(&window);
  resyncOnRead_.erase(&window);
}

bool LinkController::Link(const std::vector<EqualizerWindow*>& members, LinkMode mode, LinkFollows follows) {
  std::vector<EqualizerWindow*> windows;
  std::set<int> addresses;
  for (EqualizerWindow* w : members)
    if (w && w->DeviceAddress() > 0 && addresses.insert(w->DeviceAddress()).second) windows.push_back(w);
  if (windows.size() < 2) return false;

  // Curves that differ: the operator chooses how they join. Filters count
  // when they follow.
  const auto named = [](const EqualizerWindow& w) {
    return QString("%1 (address %2)").arg(w.Caption()).arg(w.DeviceAddress());
  };
  QString details;
  for (size_t i = 1; i < windows.size(); ++i) {
    std::vector<std::string> lines = CurveDifferences(CurveOf(*windows[0]), CurveOf(*windows[i]));
    const size_t curveLines = lines.size();
    if (follows.filters)
      for (std::string& line : FilterDifferences(windows[0]->CurveNow(), windows[i]->CurveNow()))
        lines.push_back(std::move(line));
    if (lines.empty()) continue;
    details += QString("%1 differs from %2").arg(named(*windows[i]), named(*windows[0]));
    if (curveLines) details += QString(" in %1 of the bands and gain").arg(curveLines);
    details += ":\n";
    for (const std::string& line : lines) details += "  " + QString::fromStdString(line) + "\n";
  }
  // An absolute group gives every member the same values: it cannot keep
  // differences.
  const bool keepOffered = mode == LinkMode::Relative;
  int answer = 0;
  if (!details.isEmpty()) {
    QStringList answers;
    if (keepOffered) answers << "Keep Differences";
    for (EqualizerWindow* w : windows) answers << "Copy from " + named(*w);
    const QString text =
        keepOffered ? "The windows' curves differ. Keep the differences as each window's offsets, "
                      "or copy one window's curve to the others?"
                    : "The windows' curves differ. Copy one window's curve to the others?";
    answer = AskJoin ? AskJoin(text, details, answers) : -1;
    if (answer < 0 || answer >= answers.size()) return false;
    if (!keepOffered) ++answer;
  }

  // The windows leave the groups they were in.
  for (EqualizerWindow* w : windows) Unlink(*w);
  std::set<int> used;
  for (const StoredGroup& stored : LoadGroups(settingsPath_())) used.insert(stored.number);
  for (const auto& g : groups_) used.insert(g->number);
  int number = 1;
  while (used.count(number)) ++number;

  auto group = std::make_unique<Group>(Group{number, LinkGroup("Group " + std::to_string(number), mode, follows)});
  std::vector<std::pair<int, SliderSteps>> curves;
  for (EqualizerWindow* w : windows) curves.emplace_back(w->DeviceAddress(), CurveOf(*w));
  if (answer == 0) {
    // Relative: the differences become offsets; absolute: each member
    // keeps its curve until a band is moved, which gives all one value.
    group->group.JoinKeepingDifferences(curves);
  } else {
    // One curve for all, the chosen window's, sent to the others whole.
    const EqualizerWindow& source = *windows[answer - 1];
    std::vector<int> order;
    for (const auto& [address, curve] : curves) order.push_back(address);
    group->group.JoinCopying(order, CurveOf(source));
    const TEqualizerDocument curve = source.CurveNow();
    for (EqualizerWindow* w : windows) {
      if (w == &source) continue;
      w->ApplyLinkedCurve(CurveOf(source), "Link");
      if (follows.filters) {
        w->ApplyLinkedFilter(true, curve.HighPassIndex);
        w->ApplyLinkedFilter(false, curve.LowPassIndex);
      }
    }
  }
  for (EqualizerWindow* w : windows) bound_[w] = w->DeviceAddress();
  Save(*group);
  groups_.push_back(std::move(group));
  Changed();
  return true;
}

void LinkController::Unlink(EqualizerWindow& window) {
  const int address = MemberAddress(window);
  Group* group = Find(address);
  if (!group) return;
  group->group.Leave(address);
  if (group->group.Members().size() >= 2) {
    Save(*group);
  } else {
    if (std::optional<std::string> error = RemoveGroup(settingsPath_(), group->number); error && ShowError)
      ShowError(*error);
    groups_.erase(std::find_if(groups_.begin(), groups_.end(), [group](const auto& g) { return g.get() == group; }));
  }
  Changed();
}

bool LinkController::NeedsResync(int address) const {
  const LinkGroup* group = GroupOf(address);
  const MemberState state = group ? group->Member(address)->state : MemberState::Following;
  return state == MemberState::NotFollowing || state == MemberState::Locked || state == MemberState::OutOfStep;
}

int LinkController::MemberAddress(const EqualizerWindow& window) const {
  if (window.DeviceAddress() > 0) return window.DeviceAddress();
  const auto bound = bound_.find(&window);
  if (bound == bound_.end() || !Find(bound->second) || WindowAt(bound->second)) return 0;
  return bound->second;
}

void LinkController::Resync(EqualizerWindow& window) {
  const int address = MemberAddress(window);
  Group* found = Find(address);
  if (!found || !NeedsResync(address)) return;
  if (window.DeviceAddress() == 0) {
    // Its unit went away: the window reads it again, and the question
    // comes once it has answered (compared with the group first).
    resyncOnRead_.insert(&window);
    window.ChooseAddress(address);
    return;
  }
  AskResyncOf(window, *found);
}

void LinkController::AskResyncOf(EqualizerWindow& window, Group& found) {
  LinkGroup& group = found.group;
  const int address = window.DeviceAddress(), range = window.SliderRange();
  const SliderSteps device = CurveOf(window);
  if (!group.Known()) {
    // The first member of a kept group to come back sets the group's curve.
    group.SetState(address, MemberState::Following);
    group.Compare(address, device, range);
    Save(found);
    Changed();
    return;
  }
  const QString text = QString("%1 (address %2) is %3.\n\nSend the group's values to it, or read its device and "
                               "keep the difference it has now as its offset?")
                           .arg(window.Caption())
                           .arg(address)
                           .arg(QString::fromStdString(group.StateText(address, range)));
  QString details;
  for (const std::string& line : CurveDifferences(device, group.HeldCurve(address, range)))
    details += QString::fromStdString(line) + "\n";
  const int answer =
      AskResync ? AskResync(text, details, {"Send Group Values", "Read Device and Keep Its Offset"}) : -1;
  if (answer == 0) {
    if (window.PresetLocked()) return;  // still locked: it stays marked
    group.SetState(address, MemberState::Following);
    window.ApplyLinkedCurve(group.HeldCurve(address, range), "Resync");
  } else if (answer == 1) {
    group.KeepOffset(address, device);
    Save(found);
  }
  Changed();
}

const LinkGroup* LinkController::GroupOf(int address) const {
  const Group* found = Find(address);
  return found ? &found->group : nullptr;
}

int LinkController::GroupNumber(int address) const {
  const Group* found = Find(address);
  return found ? found->number : 0;
}

QString LinkController::LinkText(int address) const {
  const LinkGroup* group = GroupOf(address);
  if (!group) return {};
  const EqualizerWindow* window = WindowAt(address);
  const int range = window ? window->SliderRange() : kDefaultSliderRange;
  const LinkMember* member = group->Member(address);
  if (member->state == MemberState::Following && window && window->LinkedSendsPending())
    return QString::fromStdString(group->Name() + ": pending");
  return QString::fromStdString(group->Name() + ": " + group->StateText(address, range));
}

void LinkController::PublishGroups() const {
  if (!Units) return;
  std::map<int, InstallationModel::Membership> members;
  for (const auto& g : groups_)
    for (const LinkMember& m : g->group.Members()) {
      const EqualizerWindow* window = WindowAt(m.address);
      // Without its window a member not yet compared with its unit has no
      // state to tell.
      const bool known = window ? m.state != MemberState::Following || g->group.Known()
                                : m.state != MemberState::Following && m.state != MemberState::Unchecked;
      std::string state;
      if (known && m.state == MemberState::Following && window->LinkedSendsPending())
        state = "pending";
      else if (known)
        state = g->group.StateText(m.address, window ? window->SliderRange() : kDefaultSliderRange);
      members[m.address] = {g->group.Name(), state};
    }
  Units->SetGroups(members);
}

LinkController::Group* LinkController::Find(int address) const {
  for (const auto& g : groups_)
    if (g->group.Member(address)) return g.get();
  return nullptr;
}

EqualizerWindow* LinkController::WindowAt(int address) const {
  if (address <= 0 || !Windows) return nullptr;
  for (EqualizerWindow* w : Windows())
    if (w->DeviceAddress() == address) return w;
  return nullptr;
}

LinkGroup* LinkController::FollowingGroup(EqualizerWindow& window, const SliderSteps& before) {
  Group* found = Find(window.DeviceAddress());
  if (!found || !found->group.Follows().bands) return nullptr;
  LinkGroup& group = found->group;
  const int range = window.SliderRange();
  // A member not compared with its unit yet (its read still to come) is
  // compared now, with its curve before this change.
  if (group.Member(window.DeviceAddress())->state == MemberState::Unchecked)
    group.Compare(window.DeviceAddress(), before, range);
  const MemberState state = group.Member(window.DeviceAddress())->state;
  if (state == MemberState::OutOfStep || state == MemberState::Unchecked) return nullptr;
  return &group;
}

EqualizerWindow* LinkController::Receiver(LinkGroup& group, int address, bool editsPreset) {
  const LinkMember* member = group.Member(address);
  if (member->state == MemberState::NotFollowing || member->state == MemberState::OutOfStep ||
      member->state == MemberState::Unchecked)
    return nullptr;
  EqualizerWindow* window = WindowAt(address);
  if (!window) return nullptr;
  if (!editsPreset) return window;
  if (window->PresetLocked()) {
    group.SetState(address, MemberState::Locked);
    return nullptr;
  }
  if (member->state == MemberState::Locked) group.SetState(address, MemberState::Following);
  return window;
}

void LinkController::SliderMoved(EqualizerWindow& window, int slot, int was, int now, bool alone) {
  SliderSteps before = CurveOf(window);
  before[slot - 1] = was;
  LinkGroup* group = FollowingGroup(window, before);
  if (!group) return;
  for (const auto& [address, steps] : group->Move(window.DeviceAddress(), slot, was, now, alone, window.SliderRange()))
    if (EqualizerWindow* other = Receiver(*group, address)) other->ApplyLinkedSteps(slot, steps);
  if (alone) Save(*Find(window.DeviceAddress()));
  Changed();
}

void LinkController::CurveEdited(EqualizerWindow& window, const SliderSteps& was, const SliderSteps& now) {
  std::vector<int> changed;
  for (int slot = 1; slot <= kSliderCount; ++slot)
    if (was[slot - 1] != now[slot - 1]) changed.push_back(slot);
  if (changed.size() == 1) {
    // One band (an undone move): one update per member, as a move.
    SliderMoved(window, changed[0], was[changed[0] - 1], now[changed[0] - 1], false);
    return;
  }
  LinkGroup* group = FollowingGroup(window, was);
  if (!group) return;
  // A change of the whole curve: one TRANSMIT_ALL_DATA per member.
  for (const auto& [address, curve] : group->MoveCurve(window.DeviceAddress(), was, now, window.SliderRange()))
    if (EqualizerWindow* other = Receiver(*group, address)) other->ApplyLinkedCurve(curve, "Linked Curve");
  Changed();
}

void LinkController::HistoryMoved(EqualizerWindow& window, bool forward, const SliderSteps& was,
                                  const SliderSteps& now) {
  LinkGroup* group = FollowingGroup(window, was);
  if (!group) return;
  // The group's curve moves with the mover; each member walks its own
  // history, where the group's step is its own last one.
  group->MoveCurve(window.DeviceAddress(), was, now, window.SliderRange());
  for (const LinkMember& m : group->Members())
    if (m.address != window.DeviceAddress())
      if (EqualizerWindow* other = Receiver(*group, m.address)) other->ApplyLinkedHistory(forward);
  Changed();
}

void LinkController::FilterChosen(EqualizerWindow& window, bool highPass, int index) {
  Group* found = Find(window.DeviceAddress());
  if (!found || !found->group.Follows().filters) return;
  // Filters follow as absolute values.
  for (const LinkMember& m : found->group.Members())
    if (m.address != window.DeviceAddress())
      if (EqualizerWindow* other = Receiver(found->group, m.address)) other->ApplyLinkedFilter(highPass, index);
  Changed();
}

void LinkController::SwitchClicked(EqualizerWindow& window, bool bypass, bool on) {
  Group* found = Find(window.DeviceAddress());
  if (!found || !found->group.Follows().muteBypass) return;
  for (const LinkMember& m : found->group.Members())
    if (m.address != window.DeviceAddress())
      if (EqualizerWindow* other = Receiver(found->group, m.address, false)) other->ApplyLinkedSwitch(bypass, on);
  Changed();
}

void LinkController::SendFailed(EqualizerWindow& window, const std::string& reason) {
  const int address = MemberAddress(window);
  Group* group = Find(address);
  if (!group) return;
  // The window may let go of its unit next: it stays the member's.
  bound_[&window] = address;
  const MemberState state = group->group.Member(address)->state;
  // A member out of step stays so: what it holds is still unknown.
  if (state != MemberState::OutOfStep)
    group->group.SetState(address, MemberState::NotFollowing, reason);
  Changed();
}

void LinkController::UnitRead(EqualizerWindow& window) {
  const int address = window.DeviceAddress();
  bound_[&window] = address;
  const bool resync = resyncOnRead_.erase(&window) > 0;
  Group* found = Find(address);
  if (!found) return;
  LinkGroup& group = found->group;
  // Compared with the group before the group moves it: a unit changed
  // meanwhile (or while it was away) is out of step.
  if (group.Member(address)->state == MemberState::Unchecked || group.Known())
    group.Compare(address, CurveOf(window), window.SliderRange());
  if (window.PresetLocked() && group.Member(address)->state == MemberState::Following)
    group.SetState(address, MemberState::Locked);
  Changed();
  if (resync && NeedsResync(address)) {
    // Asked after the read's own handling is over.
    QTimer::singleShot(0, [this, alive = std::weak_ptr<int>(alive_), &window, address] {
      if (alive.expired()) return;
      const std::vector<EqualizerWindow*> open =
          Windows ? Windows() : std::vector<EqualizerWindow*>{};
      if (std::find(open.begin(), open.end(), &window) == open.end() ||
          window.DeviceAddress() != address)
        return;
      if (Group* again = Find(address); again && NeedsResync(address)) AskResyncOf(window, *again);
    });
  }
}

void LinkController::LockSwitched(EqualizerWindow& window, bool locked) {
  const int address = MemberAddress(window);
  Group* found = Find(address);
  if (!found) return;
  LinkGroup& group = found->group;
  const MemberState state = group.Member(address)->state;
  if (locked && (state == MemberState::Following || state == MemberState::Pending)) {
    group.SetState(address, MemberState::Locked);
  } else if (!locked && state == MemberState::Locked) {
    // Unlocked: it follows if it missed nothing, else it is out of step.
    group.SetState(address, MemberState::Following);
    if (group.Known() && window.DeviceAddress() == address)
      group.Compare(address, CurveOf(window), window.SliderRange());
  } else {
    return;
  }
  Changed();
}

void LinkController::Save(const Group& group) {
  if (std::optional<std::string> error = SaveGroup(settingsPath_(), Stored(group.number, group.group));
      error && ShowError)
    ShowError(*error);
}

void LinkController::Changed() {
  if (OnChanged) OnChanged();
}
