#pragma once
// Bytes waiting to go out on a non-blocking socket. Frames are kept apart so
// that purging output drops whole data frames that have not begun to go out
// and never cuts a command in two. Not thread-safe: callers hold their lock.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace telnet {

class OutputQueue {
 public:
  enum class Kind : uint8_t { Data, Control };

  // Queues already framed (escaped) bytes. Small data frames are merged so
  // that many one-byte writes do not cost one allocation each.
  void Push(Kind kind, const std::vector<uint8_t>& bytes);

  enum class FlushResult : uint8_t { Sent, Blocked, Failed };
  // Sends what the socket takes without blocking: Sent when the queue is
  // empty afterwards, Blocked when the socket is full, Failed on a socket
  // error (errno tells which).
  FlushResult Flush(int fd);

  // Drops the data frames that have not begun to go out.
  void PurgeData();
  void Clear();

  bool Empty() const { return frames_.empty(); }
  size_t DataBytes() const { return dataBytes_; }
  size_t ControlBytes() const { return controlBytes_; }

 private:
  static constexpr size_t kMergeLimit = 4096;
  struct Frame {
    Kind kind;
    std::vector<uint8_t> bytes;
  };
  void Account(Kind kind, ptrdiff_t delta);

  std::deque<Frame> frames_;
  size_t frontSent_ = 0;  // bytes of frames_.front() already sent
  size_t dataBytes_ = 0;
  size_t controlBytes_ = 0;
};

}  // namespace telnet
