#include "link/LineQueue.h"

#include <algorithm>

#include "link/TzkPA422Form.h"

LineQueue::LineQueue(TzkPA422Form& engine) : engine_(engine) { engine_.Listener = this; }

LineQueue::~LineQueue() {
  if (engine_.Listener == this) engine_.Listener = nullptr;
}

void LineQueue::Submit(LineRequest request) {
  if (request.kind == LineRequest::Parameter) {
    // The latest value wins: a waiting update of the same parameter takes
    // this one's place, unless a whole curve for the device waits behind
    // it (the update must not jump over the curve).
    for (auto& [owner, entries] : byOwner_) {
      for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        const LineRequest& waiting = it->request;
        if (waiting.address != request.address) continue;
        if (waiting.kind != LineRequest::Parameter) break;
        if (waiting.parameter != request.parameter) continue;
        if (it->request.done) it->carried.push_back(std::move(it->request.done));
        it->request.start = std::move(request.start);
        it->request.done = std::move(request.done);
        return Pump();
      }
    }
  }
  Entry entry{std::move(request), {}};
  if (entry.request.kind == LineRequest::WholeCurve) {
    // The curve carries the owner's waiting updates of the device.
    auto found = byOwner_.find(entry.request.owner);
    if (found != byOwner_.end()) {
      auto& entries = found->second;
      for (auto it = entries.begin(); it != entries.end();) {
        if (it->request.kind == LineRequest::Parameter && it->request.address == entry.request.address) {
          if (it->request.done) entry.carried.push_back(std::move(it->request.done));
          for (auto& carried : it->carried) entry.carried.push_back(std::move(carried));
          it = entries.erase(it);
          --waiting_;
        } else {
          ++it;
        }
      }
    }
  }
  const int owner = entry.request.owner;
  auto& entries = byOwner_[owner];
  const bool inRound = std::find(turns_.begin(), turns_.end(), owner) != turns_.end();
  if (entry.request.followUp) {
    turns_.erase(std::remove(turns_.begin(), turns_.end(), owner), turns_.end());
    turns_.push_front(owner);
    entries.push_front(std::move(entry));
  } else {
    if (!inRound) turns_.push_back(owner);
    entries.push_back(std::move(entry));
  }
  ++waiting_;
  Pump();
}

void LineQueue::Withdraw(int owner) {
  auto found = byOwner_.find(owner);
  if (found != byOwner_.end()) {
    waiting_ -= static_cast<int>(found->second.size());
    byOwner_.erase(found);
  }
  turns_.erase(std::remove(turns_.begin(), turns_.end(), owner), turns_.end());
  TellIdleIfSo();
}

int LineQueue::Pending(int owner) const {
  auto found = byOwner_.find(owner);
  int count = found == byOwner_.end() ? 0 : static_cast<int>(found->second.size());
  return count + (Running(owner) ? 1 : 0);
}

int LineQueue::Pending(int owner, int address) const {
  int count = Running(owner) && running_->request.address == address ? 1 : 0;
  if (auto found = byOwner_.find(owner); found != byOwner_.end())
    count += static_cast<int>(
        std::count_if(found->second.begin(), found->second.end(),
                      [address](const Entry& e) { return e.request.address == address; }));
  return count;
}

int LineQueue::Subscribe(LineEvents events) {
  subscribers_[++lastSubscriber_] = std::move(events);
  return lastSubscriber_;
}

bool LineQueue::LineFree() const { return engine_.CommState == 0 && !engine_.ReportingError(); }

std::optional<LineQueue::Entry> LineQueue::TakeNext() {
  const auto waits = [this](int owner) {
    auto found = byOwner_.find(owner);
    return found != byOwner_.end() && !found->second.empty();
  };
  turns_.erase(std::remove_if(turns_.begin(), turns_.end(), [&](int owner) { return !waits(owner); }), turns_.end());
  if (turns_.empty()) return std::nullopt;
  const auto front = [this](int owner) -> const LineRequest& { return byOwner_.at(owner).front().request; };
  auto pick = turns_.begin();
  // The operator's edits go ahead of background work that waits (a scan, a
  // backup): a move then waits at most for the transaction on the line.
  // Background work still goes on under a long drag: it is passed over at
  // most kEditsAheadOfBackground times in a row.
  if (front(*pick).yields && !front(*pick).followUp && backgroundPassed_ < kEditsAheadOfBackground) {
    auto edit = std::find_if(turns_.begin(), turns_.end(), [&](int owner) { return !front(owner).yields; });
    if (edit != turns_.end()) {
      pick = edit;
      ++backgroundPassed_;
    }
  }
  const int owner = *pick;
  turns_.erase(pick);
  auto found = byOwner_.find(owner);
  Entry next = std::move(found->second.front());
  found->second.pop_front();
  --waiting_;
  if (next.request.yields) backgroundPassed_ = 0;
  // The owner's next request waits for the others' turns.
  if (found->second.empty())
    byOwner_.erase(found);
  else
    turns_.push_back(owner);
  return next;
}

void LineQueue::Pump() {
  if (pumping_) return;  // the running pump picks it up
  pumping_ = true;
  while (!running_ && LineFree()) {
    std::optional<Entry> next = TakeNext();
    if (!next) break;
    running_ = std::move(next);
    const auto subscribers = subscribers_;
    for (const auto& [id, events] : subscribers)
      if (events.started) events.started(running_->request);
    engine_.Quiet = running_->request.background;
    engine_.Unannounced = running_->request.ownOutcome;
    running_->request.start(engine_);
    if (engine_.CommState == 0 && running_) {
      // Refused before anything went on the line (a value out of range, a
      // closed port): the engine has said why, where it says anything.
      engine_.Quiet = false;
      engine_.Unannounced = false;
      Entry refused = std::move(*running_);
      running_.reset();
      Finish(std::move(refused), LineOutcome{});
    }
  }
  pumping_ = false;
  TellIdleIfSo();
}

void LineQueue::TransactionEnded(const TransactionEnd& end) {
  if (running_) {
    Entry ended = std::move(*running_);
    running_.reset();
    Finish(std::move(ended), LineOutcome{end.succeeded, true, end.message, end.data, end.linkFailed,
                                         end.command, 0, end.frame});
  }
  Pump();
}

void LineQueue::Finish(Entry entry, LineOutcome outcome) {
  outcome.serial = ++ends_;
  for (auto& carried : entry.carried)
    if (carried) carried(outcome);
  if (entry.request.done) entry.request.done(outcome);
  const auto subscribers = subscribers_;
  for (const auto& [id, events] : subscribers)
    if (events.ended) events.ended(entry.request, outcome);
}

void LineQueue::TellIdleIfSo() {
  if (!Idle() || pumping_ || engine_.CommState != 0) return;
  const auto subscribers = subscribers_;
  for (const auto& [id, events] : subscribers)
    if (events.idle) events.idle();
}

LineRequest BackgroundRequest(int owner, int address, std::function<void(TzkPA422Form&)> start) {
  LineRequest request;
  request.owner = owner;
  request.address = address;
  request.background = true;
  request.yields = true;
  request.ownOutcome = true;
  request.start = std::move(start);
  return request;
}

LineRequest BackgroundRecall(int owner, int address, int preset) {
  return BackgroundRequest(owner, address, [address, preset](TzkPA422Form& engine) {
    engine.PendingEdit = TPendingEdit::None;
    engine.RecallAllData(address, preset);
  });
}

std::string OutcomeFailure(const LineOutcome& outcome, bool recall) {
  const size_t whole = static_cast<size_t>(pa422::kAllDataLength + 1);
  if (outcome.succeeded && (!recall || outcome.data.size() == whole)) return {};
  if (!outcome.message.empty()) return outcome.message;
  if (!outcome.started) return "the serial line is closed";
  return "the device sent a block of " + std::to_string(outcome.data.size()) + " bytes";
}

bool NobodyAnswered(const LineOutcome& outcome) {
  return !outcome.succeeded && outcome.started && outcome.message == "ORB Not Found.";
}
