#pragma once
// What a capture, a compare and a recall of a snapshot share: they go
// through the line queue as background work, one request at a time (the
// equalizer windows' work goes between them), device by device; a stop
// comes between devices, so that the device in hand is always finished.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "eq/SnapshotFolder.h"
#include "link/LineQueue.h"

class SnapshotRun {
 public:
  explicit SnapshotRun(LineQueue& line) : line_(line), owner_(line.NewOwner()) {}
  virtual ~SnapshotRun() { line_.Withdraw(owner_); }
  SnapshotRun(const SnapshotRun&) = delete;
  SnapshotRun& operator=(const SnapshotRun&) = delete;

  // Why a transaction failed, or empty: by default the queue's own account
  // (`OutcomeFailure`); the command line adds what its engine showed.
  std::function<std::string(const LineOutcome& outcome, bool read)> WhyFailed;
  // Every device is done, or the run was stopped, or the line closed.
  std::function<void(bool stopped)> OnFinished;

  // Begins no further device; the one in hand is finished first.
  void Stop() { stopping_ = running_; }
  bool Running() const { return running_; }
  // Devices done, of all in the run.
  int DevicesDone() const { return done_; }
  int DevicesInAll() const { return total_; }
  // A request found the line closed: no later device could be reached.
  bool LineClosed() const { return lineClosed_; }

 protected:
  // Submits `request`; `then` gets its outcome while this run lives. A
  // request that `transaction` says goes on the line and was refused
  // found the line closed.
  void Send(LineRequest request, std::function<void(const LineOutcome&)> then, bool transaction = true) {
    request.done = [this, then = std::move(then), transaction,
                    alive = std::weak_ptr<char>(alive_)](const LineOutcome& outcome) {
      if (alive.expired() || !running_) return;
      if (transaction && !outcome.started && !outcome.succeeded) lineClosed_ = true;
      then(outcome);
    };
    line_.Submit(std::move(request));
  }
  std::string Why(const LineOutcome& outcome, bool read) const {
    return WhyFailed ? WhyFailed(outcome, read) : OutcomeFailure(outcome, read);
  }
  void Begin(int total) {
    running_ = true;
    stopping_ = lineClosed_ = false;
    done_ = 0;
    total_ = total;
  }
  // Whether the next device may be begun.
  bool MayGoOn() const { return running_ && !stopping_ && !lineClosed_ && done_ < total_; }
  void End() {
    const bool stopped = stopping_ || lineClosed_;
    running_ = stopping_ = false;
    if (OnFinished) OnFinished(stopped);
  }

  LineQueue& line_;
  const int owner_;
  int done_ = 0, total_ = 0;
  bool running_ = false, stopping_ = false, lineClosed_ = false;
  std::shared_ptr<char> alive_ = std::make_shared<char>();
};

// What a compare or a recall found of a device.
struct SnapshotVerdict {
  int address = 0;
  std::string verdict;  // "match", "differs", "absent", "extra", "locked", "failed"
  std::vector<std::string> differences;  // in words; for "failed", why
  std::optional<SnapshotDevice> now;     // what the device runs, when it answered

  bool Matches() const { return verdict == "match"; }
};

// The addresses a compare or a recall covers: `chosen` when given, else
// the devices the snapshot holds (those that answered when it was taken).
std::vector<int> SnapshotScope(const Snapshot& snapshot, const std::vector<int>& chosen);

// A run over the devices of a snapshot in scope, one verdict each: the
// compare and the recall.
class SnapshotDeviceRun : public SnapshotRun {
 public:
  using SnapshotRun::SnapshotRun;
  const std::vector<SnapshotVerdict>& Verdicts() const { return verdicts_; }

 protected:
  // Keeps `snapshot` for the run and begins the first device in scope.
  void StartOn(LoadedSnapshot snapshot, const std::vector<int>& addresses);
  // The device in hand is done: its verdict, when it has one, is kept and
  // told, and the next device begun.
  void DeviceDone();
  // Begins the device in hand (`verdict_.address`).
  virtual void BeginDevice() = 0;
  virtual void Tell(const SnapshotVerdict& verdict) = 0;

  LoadedSnapshot loaded_;
  SnapshotVerdict verdict_;  // the device in hand

 private:
  void NextDevice();

  std::vector<int> scope_;
  std::vector<SnapshotVerdict> verdicts_;
};
