#include "sim/Observed.h"

#include <algorithm>

void FrameRecord::Add(std::string entry) {
  textBytes_ += entry.size();
  entries_.push_back(std::move(entry));
  while (entries_.size() > kMaxEntries || textBytes_ > kMaxTextBytes) {
    textBytes_ -= entries_.front().size();
    entries_.pop_front();
    ++dropped_;
  }
}

FrameRecord::Taken FrameRecord::Take() {
  Taken taken{{std::make_move_iterator(entries_.begin()), std::make_move_iterator(entries_.end())},
              dropped_};
  // A fresh deque: clear() would keep the blocks of the longest run.
  std::deque<std::string>().swap(entries_);
  textBytes_ = 0;
  dropped_ = 0;
  return taken;
}

void ReceivedBytes::Append(const uint8_t* data, size_t count) {
  // Reserved whole once, so that filling up never holds twice the bound
  // while the vector grows.
  if (bytes_.capacity() < kMaxBytes) bytes_.reserve(kMaxBytes);
  const size_t kept = std::min(count, kMaxBytes - bytes_.size());
  bytes_.insert(bytes_.end(), data, data + kept);
  lost_ += count - kept;
}

ReceivedBytes::Taken ReceivedBytes::Take() {
  Taken taken{bytes_, lost_};
  bytes_.clear();
  lost_ = 0;
  return taken;
}
