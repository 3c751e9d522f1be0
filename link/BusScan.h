#pragma once
// A scan of the bus through the line queue: every address of a range is
// asked for its working settings in turn, one request at a time, so that
// the equalizer windows' work goes between them; each address is reported
// as its answer comes (online with what it runs, absent, or the engine's
// error). It can be stopped between addresses.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "link/LineQueue.h"
#include "link/PA422Messages.h"

// One address of the bus as the program last heard it.
struct BusDevice {
  enum class State { NotScanned, Online, Absent, Error };
  int address = 0;
  State state = State::NotScanned;
  std::string deviceName;
  int preset = 0;
  bool mute = false;
  bool bypass = false;
  bool lock = false;
  std::string error;  // the engine's reason
  // When it last answered (the clock's epoch: never, as far as known).
  std::chrono::system_clock::time_point lastSeen{};

  // "online", "absent", "error: <reason>", "not scanned".
  std::string StateText() const;
};

// The working settings a device sent (preset 0, recalled) as its row.
BusDevice BusDeviceFromBlock(int address, const pa422::Bytes& block);

class BusScan {
 public:
  // What an absent address costs: the engine's address time-out.
  static constexpr double kAbsentAddressSeconds = 2.0;

  explicit BusScan(LineQueue& line);
  ~BusScan();
  BusScan(const BusScan&) = delete;
  BusScan& operator=(const BusScan&) = delete;

  // Each address asked, once its answer came.
  std::function<void(const BusDevice&)> OnAnswer;
  // The scan ended: the range was done, it was stopped, or the line closed.
  std::function<void(bool stopped)> OnFinished;

  void Start(int from, int to);
  // Asks no further address; one being asked finishes first.
  void Stop();
  bool Running() const { return running_; }
  int Asked() const { return next_ - from_; }
  int Total() const { return to_ - from_ + 1; }
  int Found() const { return found_; }
  // The time left if every address not yet asked is absent: each costs the
  // time an absent one took so far (the engine's address time-out before
  // one did), less what the address being asked has taken already.
  double SecondsLeft() const;

 private:
  void AskNext();
  void Answered(int address, const LineOutcome& outcome);
  void Finish(bool stopped);

  LineQueue& line_;
  int owner_;
  int from_ = 1, to_ = 0, next_ = 1, found_ = 0;
  bool running_ = false;
  bool stopping_ = false;
  // When the address being asked was asked; what the absent ones took.
  std::chrono::steady_clock::time_point asked_;
  int absent_ = 0;
  double absentSeconds_ = 0;
  // Outcomes that arrive after the scan is gone find it expired.
  std::shared_ptr<char> alive_ = std::make_shared<char>();
};
