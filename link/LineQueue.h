#pragma once
// The one queue in front of the link engine. Every device request of the
// program waits here for its turn: one transaction at a time, started
// through the engine's device operations (whose frames, pauses, time-outs
// and messages stay as they are), and the line never idles while a request
// waits. Each request's outcome goes back to whoever asked, whichever
// window is active.
//
// - A waiting UPDATE_PARAMETER is replaced by a newer one for the same
//   address and parameter: the latest value wins, and a drag of 30 steps
//   while the line is busy sends one update, not 30.
// - A whole curve (TRANSMIT_ALL_DATA) for an address takes the place of the
//   waiting updates of that address, which it carries.
// - Requests of one owner keep their order; owners take turns, so that a
//   long run of one owner does not starve the others. The operator's
//   requests go ahead of waiting background work (scans, backups,
//   restores), which is passed over at most twice in a row, so that a move
//   waits at most for the transaction on the line and a drag never stops
//   a backup.
// - An owner can withdraw what it has waiting; a running transaction is
//   never cut short.
// - Nothing new starts while an engine message box is open, nor while a
//   transaction started outside the queue runs: the engine says when each
//   transaction ends, and the queue goes on from there (no polling).
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "link/LinkInterfaces.h"

class TzkPA422Form;

// How a request ended.
struct LineOutcome {
  bool succeeded = false;
  bool started = false;  // false: refused before anything went on the line
  std::string message;   // the engine's text on failure
  pa422::Bytes data;     // what a recall brought
  bool linkFailed = false;  // the device did not answer at all
  uint8_t command = 0;      // the code of the last frame sent
  // Numbers the ends: the requests a newer one replaced end with it, under
  // its number, so that a requester can tell one end told twice.
  uint64_t serial = 0;
  pa422::Bytes frame;  // the last frame sent (what a unit was told)
};

struct LineRequest {
  enum Kind {
    Command,     // anything else, kept in order
    Parameter,   // an UPDATE_PARAMETER of `parameter` at `address`
    WholeCurve,  // a TRANSMIT_ALL_DATA for `address`
  };
  int owner = 0;
  Kind kind = Command;
  int address = 0;
  int parameter = 0;
  // Background work reports in its own view: the engine shows no box for
  // it and notifies no window.
  bool background = false;
  // Work that gives way to the operator's requests while it waits (a scan,
  // a backup, a restore): see the queue's turns above.
  bool yields = false;
  // The requester takes the outcome from `done` alone: the engine does not
  // notify the active window of it (its failure is still shown in a box,
  // unless it is background work).
  bool ownOutcome = false;
  // The second half of the owner's transaction that has just ended (the
  // read after a recall): it goes before the owner's waiting requests, and
  // the owner's turn comes next.
  bool followUp = false;
  // An equalizer window's request. The windows follow what their own
  // requests do to a device (the preset it was made to run); anything else
  // that writes to it makes its windows read it again.
  bool fromWindow = false;
  // Starts the transaction on the engine (one device operation; a
  // read-modify-write counts as one). Called when the request's turn
  // comes, so it sends the values as they are then.
  std::function<void(TzkPA422Form&)> start;
  // The outcome, on the user-interface thread. A request replaced by a
  // newer one gets the newer one's outcome.
  std::function<void(const LineOutcome&)> done;
};

// A request of background work that takes its own outcome (no box, no
// window hears of it): a scan, a backup, a restore.
LineRequest BackgroundRequest(int owner, int address, std::function<void(TzkPA422Form&)> start);
// The same for reading a preset's all-data block (0: the working settings).
LineRequest BackgroundRecall(int owner, int address, int preset);
// Why a request failed, in words: the engine's message, else that the line
// is closed or (with `recall`) that the block was not whole; empty when it
// succeeded.
std::string OutcomeFailure(const LineOutcome& outcome, bool recall);
// Whether a failed request found nobody at its address (no device raised
// the handshake), rather than a device that answered with an error.
bool NobodyAnswered(const LineOutcome& outcome);

// What happens on the line, for whoever waits on it.
struct LineEvents {
  std::function<void(const LineRequest&)> started;
  std::function<void(const LineRequest&, const LineOutcome&)> ended;
  // Nothing waits and nothing runs (also after a transaction started
  // outside the queue has ended).
  std::function<void()> idle;
};

class LineQueue : public TransactionListener {
 public:
  // Hears the engine's transaction ends from now on.
  explicit LineQueue(TzkPA422Form& engine);
  ~LineQueue() override;
  LineQueue(const LineQueue&) = delete;
  LineQueue& operator=(const LineQueue&) = delete;

  // A new owner's number (a window, a scan, a group).
  int NewOwner() { return ++lastOwner_; }

  // Queues a request; it may start at once.
  void Submit(LineRequest request);
  // Drops the owner's waiting requests (their `done` is not called); a
  // running one finishes.
  void Withdraw(int owner);

  bool Idle() const { return !running_ && waiting_ == 0; }
  // Requests of the owner waiting or running.
  int Pending(int owner) const;
  // Those of them for the address.
  int Pending(int owner, int address) const;
  bool Running(int owner) const { return running_ && running_->request.owner == owner; }

  int Subscribe(LineEvents events);
  void Unsubscribe(int id) { subscribers_.erase(id); }

  // TransactionListener
  void TransactionEnded(const TransactionEnd& end) override;
  void ErrorBoxClosed() override { Pump(); }

  // Starts the next request when the line is free.
  void Pump();

 private:
  struct Entry {
    LineRequest request;
    std::vector<std::function<void(const LineOutcome&)>> carried;  // replaced requests' `done`
  };
  bool LineFree() const;
  std::optional<Entry> TakeNext();
  void Finish(Entry entry, LineOutcome outcome);
  void TellIdleIfSo();

  TzkPA422Form& engine_;
  int lastOwner_ = 0;
  // Waiting requests by owner, each in its order; owners take turns in
  // the order of `turns_`.
  std::map<int, std::deque<Entry>> byOwner_;
  std::deque<int> turns_;
  // Edits taken ahead of waiting background work since it last ran.
  static constexpr int kEditsAheadOfBackground = 2;
  int backgroundPassed_ = 0;
  int waiting_ = 0;
  std::optional<Entry> running_;
  bool pumping_ = false;
  uint64_t ends_ = 0;
  int lastSubscriber_ = 0;
  std::map<int, LineEvents> subscribers_;
};
