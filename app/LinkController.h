#pragma once
// The frame's linked windows: groups of equalizer windows on different
// addresses that one move reaches. A move of a member's slider moves the
// group (Ctrl held: that member alone); the others take their values
// through their own windows, sent without a box, so a member that fails is
// marked "not following" and the others go on. Groups are kept in the
// settings file and come back when their windows open again.
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "eq/LinkGroup.h"

class EqualizerWindow;
class InstallationModel;

class LinkController {
 public:
  explicit LinkController(std::function<std::string()> settingsPath);

  // The open equalizer windows, from the frame.
  std::function<std::vector<EqualizerWindow*>()> Windows;
  // Members' curves differ: the question (`text`), every difference, a
  // paragraph per member that differs (`details`), and the answers ("Keep
  // Differences" for a relative group, then "Copy from <caption> (address
  // n)" per window); the answer's index, or -1 to cancel.
  std::function<int(const QString& text, const QString& details, const QStringList& answers)> AskJoin;
  // A member does not follow: the question and its answers ("Send Group
  // Values", "Read Device and Keep Its Offset"); the answer's index or -1.
  std::function<int(const QString& text, const QString& details, const QStringList& answers)> AskResync;
  // A settings file that cannot be written.
  std::function<void(const std::string& message)> ShowError;
  // A group's members or their states changed.
  std::function<void()> OnChanged;
  // Where the units' groups and states are kept for the Bus window; set by
  // the frame.
  InstallationModel* Units = nullptr;

  // Wires a new window's linking hooks. A window that reads its unit (its
  // address chosen, a preset recalled) is compared with its group: a
  // kept group's first member sets the group's curve, a member that
  // differs is out of step.
  void Attach(EqualizerWindow& window);
  void Detach(EqualizerWindow& window);
  // Links the windows (two or more, on different addresses); false when
  // the operator cancelled or there is nothing to link.
  bool Link(const std::vector<EqualizerWindow*>& members, LinkMode mode, LinkFollows follows);
  // Takes the window's address out of its group (a group of one is none).
  void Unlink(EqualizerWindow& window);
  // Brings a member that does not follow (not answering, locked, out of
  // step) back: the group's values sent to it, or its device's curve
  // taken with its offset from the group.
  void Resync(EqualizerWindow& window);
  bool NeedsResync(int address) const;
  // The member address a window stands for: its device's, or, when its
  // unit went away (address 0), the member's it had, so that it keeps
  // showing its group and can be brought back.
  int MemberAddress(const EqualizerWindow& window) const;

  bool Any() const { return !groups_.empty(); }
  const LinkGroup* GroupOf(int address) const;
  // The number of the address's group (its settings section), or 0.
  int GroupNumber(int address) const;
  // The group's name and the member's state, for its window and the bus
  // window: "L+R: clamped (2 bands)"; empty when not linked.
  QString LinkText(int address) const;
  // Tells the installation model every member's group and state. A member
  // of a kept group has no state until its window is open and compared.
  void PublishGroups() const;

 private:
  struct Group {
    int number = 0;  // of its settings section
    LinkGroup group;
  };
  Group* Find(int address) const;
  EqualizerWindow* WindowAt(int address) const;
  void SliderMoved(EqualizerWindow& window, int slot, int was, int now, bool alone);
  void CurveEdited(EqualizerWindow& window, const SliderSteps& was, const SliderSteps& now);
  void HistoryMoved(EqualizerWindow& window, bool forward, const SliderSteps& was, const SliderSteps& now);
  void FilterChosen(EqualizerWindow& window, bool highPass, int index);
  void SwitchClicked(EqualizerWindow& window, bool bypass, bool on);
  // The group of the window's address that takes its moves (its curve
  // known, the mover in step), or null.
  LinkGroup* FollowingGroup(EqualizerWindow& window, const SliderSteps& before);
  // Whether a member's window takes a linked change now; marks it locked
  // when its preset is.
  EqualizerWindow* Receiver(LinkGroup& group, int address, bool editsPreset = true);
  void SendFailed(EqualizerWindow& window, const std::string& reason);
  void UnitRead(EqualizerWindow& window);
  void LockSwitched(EqualizerWindow& window, bool locked);
  // Asks how a member comes back (its window on its unit, its curve read).
  void AskResyncOf(EqualizerWindow& window, Group& found);
  void Save(const Group& group);
  void Changed();

  std::function<std::string()> settingsPath_;
  std::vector<std::unique_ptr<Group>> groups_;
  // The member address each window last read its unit at.
  std::map<const EqualizerWindow*, int> bound_;
  // Windows whose Resync chose their address again: asked once read.
  std::set<const EqualizerWindow*> resyncOnRead_;
  // Gone with the controller: what was put off for later checks it.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
