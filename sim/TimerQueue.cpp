#include "sim/TimerQueue.h"

TimerQueue::Id TimerQueue::At(int64_t dueNs, std::function<void()> action) {
  const Id id = nextId_++;
  timers_.emplace(std::make_pair(dueNs, id), std::move(action));
  dueOf_.emplace(id, dueNs);
  return id;
}

void TimerQueue::Cancel(Id id) {
  auto it = dueOf_.find(id);
  if (it == dueOf_.end()) return;
  timers_.erase(std::make_pair(it->second, id));
  dueOf_.erase(it);
}

int64_t TimerQueue::NextDueNs() const { return timers_.empty() ? -1 : timers_.begin()->first.first; }

void TimerQueue::RunDue(int64_t nowNs) {
  // Taken out before it runs: an action may add or cancel timers freely.
  while (!timers_.empty() && timers_.begin()->first.first <= nowNs) {
    auto node = timers_.extract(timers_.begin());
    dueOf_.erase(node.key().second);
    node.mapped()();
  }
}
