#include "sim/ControlConnection.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "sim/MonotonicClock.h"

namespace {
// A `send` of 512 KiB fits; anything longer is refused, not buffered.
constexpr size_t kMaxLine = 1024 * 1024 + 64;
// Replies not yet taken by the peer; beyond it commands wait. The longest
// reply (`recv` of a full capture) is an eighth of it.
constexpr size_t kMaxPendingReplies = 1024 * 1024;
// A buffer emptied after holding more than this gives its memory back, so
// that one long line or reply does not stay with the connection.
constexpr size_t kKeptCapacity = 64 * 1024;

void ReleaseIfLarge(std::string& buffer) {
  if (buffer.empty() && buffer.capacity() > kKeptCapacity) std::string().swap(buffer);
}
}  // namespace

ControlConnection::ControlConnection(int fd, ControlContext& context) : fd_(fd), context_(context) {}

ControlConnection::~ControlConnection() { close(fd_); }

short ControlConnection::PollEvents() const {
  if (failed_) return 0;
  short events = 0;
  if (!peerClosed_ && out_.size() < kMaxPendingReplies && in_.size() < kMaxLine) events |= POLLIN;
  if (!out_.empty()) events |= POLLOUT;
  return events;
}

bool ControlConnection::Finished() const {
  if (failed_) return true;
  return peerClosed_ && !wait_ && out_.empty() && in_.find('\n') == std::string::npos;
}

void ControlConnection::OnReadable() {
  char chunk[65536];
  ssize_t n = recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  if (n < 0) {
    failed_ = true;
    return;
  }
  if (n == 0) {
    peerClosed_ = true;  // still answer what it sent before closing
  } else {
    in_.append(chunk, static_cast<size_t>(n));
  }
  RunLines(MonotonicMs());
}

void ControlConnection::OnWritable() { Flush(); }

void ControlConnection::Advance(int64_t nowMs) {
  if (wait_) {
    if (wait_->Met(context_.line)) {
      wait_.reset();
      Reply("ok");
    } else if (nowMs >= wait_->deadlineMs) {
      wait_.reset();
      Reply("timeout");
    }
  }
  RunLines(nowMs);
}

void ControlConnection::RunLines(int64_t nowMs) {
  while (!wait_ && !failed_ && out_.size() < kMaxPendingReplies) {
    size_t newline = in_.find('\n', scanned_);
    if (newline == std::string::npos) {
      scanned_ = in_.size();
      if (in_.size() >= kMaxLine) {  // refuse the line; drop it up to its end
        in_.clear();
        scanned_ = 0;
        skippingLongLine_ = true;
      }
      break;
    }
    std::string line = in_.substr(0, newline);
    in_.erase(0, newline + 1);
    scanned_ = 0;
    if (skippingLongLine_) {
      skippingLongLine_ = false;
      Reply("error line too long");
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    CommandResult result = RunControlCommand(line, context_, nowMs);
    if (result.wait)
      wait_ = result.wait;
    else
      Reply(result.reply);
  }
  ReleaseIfLarge(in_);
  Flush();
}

void ControlConnection::Reply(const std::string& text) {
  out_ += text;
  out_ += '\n';
}

void ControlConnection::Flush() {
  while (!out_.empty() && !failed_) {
    ssize_t n = send(fd_, out_.data(), out_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) failed_ = true;
      return;
    }
    out_.erase(0, static_cast<size_t>(n));
  }
  ReleaseIfLarge(out_);
}

void ControlConnection::FlushBefore(int64_t deadlineMs) {
  Flush();
  while (!out_.empty() && !failed_) {
    int64_t left = deadlineMs - MonotonicMs();
    if (left <= 0) return;
    pollfd p{fd_, POLLOUT, 0};
    poll(&p, 1, static_cast<int>(left));
    Flush();
  }
}
