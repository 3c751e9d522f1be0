#pragma once
// Every unit the program has heard of, in one place: what the settings file
// kept, what scans, windows, backups, restores and snapshots found. It
// listens to every outcome on the line queue, whoever asked, so a mute
// clicked in a window and a backup's reads reach it alike; the Bus window
// is a view of it, and outlives none of it. The link controller tells it
// the groups and their members' states, the Bus window the snapshot
// verdicts. Observers hear which address changed.
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "link/LineQueue.h"

struct InstalledUnit {
  enum class State { NotScanned, Online, Absent, Error };
  // What the unit's snapshot verdict turns into when a window changes it.
  enum class SnapshotSince { None, Recalled, Captured };

  int address = 0;
  State state = State::NotScanned;
  std::string error;  // the reason, with State::Error
  std::string name;
  // What it runs, as far as known (unknown after a recall until it is read).
  std::optional<int> preset;
  std::optional<std::string> presetName;
  std::optional<bool> mute, bypass, lock;
  // When it last answered (the clock's epoch: never, as far as known).
  std::chrono::system_clock::time_point lastSeen{};
  // The Snapshot column: the last compare's or recall's verdict, and what
  // differed.
  std::string snapshot;
  std::vector<std::string> snapshotDetails;
  SnapshotSince since = SnapshotSince::None;
  // Its linked group and its state there; no state until it is known.
  std::string group, groupState;

  // "online", "absent", "error: <reason>", "not scanned".
  std::string StateText() const;
  // "L+R: following", "L+R" while its state is not known, or empty.
  std::string GroupText() const;
};

class InstallationModel {
 public:
  using Clock = std::function<std::chrono::system_clock::time_point()>;

  // Listens to the line from now on (none: fed through Heard alone).
  explicit InstallationModel(LineQueue* line = nullptr, Clock now = {});
  ~InstallationModel();
  InstallationModel(const InstallationModel&) = delete;
  InstallationModel& operator=(const InstallationModel&) = delete;

  // A request's outcome, as the line queue tells it.
  void Heard(const LineRequest& request, const LineOutcome& outcome);
  // A unit the settings file keeps, not asked since the start.
  void Known(int address, const std::string& name);
  // Work on the unit failed beyond what the line said (a restore that did
  // not verify): an error, unless nobody answers there.
  void Failed(int address, const std::string& reason);
  // A window's change left a recalled or captured unit running something
  // else than the snapshot holds (the caller read it to know).
  void ModifiedSinceSnapshot(int address);
  void SetSnapshot(int address, std::string verdict, std::vector<std::string> details,
                   InstalledUnit::SnapshotSince since = InstalledUnit::SnapshotSince::None);
  // Every linked member's group and state (empty: not known); units not
  // named leave their groups.
  struct Membership {
    std::string group, state;
  };
  void SetGroups(const std::map<int, Membership>& members);

  const std::map<int, InstalledUnit>& Units() const { return units_; }
  const InstalledUnit* Find(int address) const;

  // `changed` hears each address whose unit changed.
  int Subscribe(std::function<void(int address)> changed);
  void Unsubscribe(int id) { observers_.erase(id); }

 private:
  InstalledUnit& Unit(int address);
  void Changed(int address);

  LineQueue* line_;
  int lineEvents_ = 0;
  Clock now_;
  std::map<int, InstalledUnit> units_;
  int lastObserver_ = 0;
  std::map<int, std::function<void(int)>> observers_;
};
