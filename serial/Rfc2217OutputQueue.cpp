#include "serial/Rfc2217OutputQueue.h"

#include <sys/socket.h>
#include <sys/uio.h>

#include <cerrno>

namespace telnet {

void OutputQueue::Account(Kind kind, ptrdiff_t delta) {
  size_t& total = kind == Kind::Data ? dataBytes_ : controlBytes_;
  total = static_cast<size_t>(static_cast<ptrdiff_t>(total) + delta);
}

void OutputQueue::Push(Kind kind, const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return;
  Account(kind, static_cast<ptrdiff_t>(bytes.size()));
  if (!frames_.empty()) {
    Frame& last = frames_.back();
    // Appending to a frame already begun is fine: sending resumes at frontSent_.
    if (last.kind == kind && last.bytes.size() + bytes.size() <= kMergeLimit) {
      last.bytes.insert(last.bytes.end(), bytes.begin(), bytes.end());
      return;
    }
  }
  frames_.push_back(Frame{kind, bytes});
}

OutputQueue::FlushResult OutputQueue::Flush(int fd) {
  constexpr size_t kMaxIov = 16;
  while (!frames_.empty()) {
    iovec iov[kMaxIov];
    size_t n = 0;
    for (auto it = frames_.begin(); it != frames_.end() && n < kMaxIov; ++it, ++n) {
      size_t skip = n == 0 ? frontSent_ : 0;
      iov[n].iov_base = it->bytes.data() + skip;
      iov[n].iov_len = it->bytes.size() - skip;
    }
    msghdr msg{};
    msg.msg_iov = iov;
    msg.msg_iovlen = n;
    ssize_t sent = sendmsg(fd, &msg, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return FlushResult::Blocked;
      return FlushResult::Failed;
    }
    size_t left = static_cast<size_t>(sent);
    while (left > 0) {
      Frame& front = frames_.front();
      size_t remaining = front.bytes.size() - frontSent_;
      size_t take = left < remaining ? left : remaining;
      frontSent_ += take;
      left -= take;
      Account(front.kind, -static_cast<ptrdiff_t>(take));
      if (frontSent_ == front.bytes.size()) {
        frames_.pop_front();
        frontSent_ = 0;
      }
    }
  }
  return FlushResult::Sent;
}

void OutputQueue::PurgeData() {
  std::deque<Frame> kept;
  for (size_t i = 0; i < frames_.size(); ++i) {
    Frame& f = frames_[i];
    bool begun = i == 0 && frontSent_ > 0;
    if (f.kind == Kind::Data && !begun) {
      Account(Kind::Data, -static_cast<ptrdiff_t>(f.bytes.size()));
      continue;
    }
    kept.push_back(std::move(f));
  }
  // A begun front frame is kept first, so frontSent_ still applies to it.
  frames_ = std::move(kept);
}

void OutputQueue::Clear() {
  frames_.clear();
  frontSent_ = 0;
  dataBytes_ = 0;
  controlBytes_ = 0;
}

}  // namespace telnet
