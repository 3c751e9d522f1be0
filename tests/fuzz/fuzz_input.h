#pragma once
// What the network fuzzers share: reading a fuzzer's input as a script of
// small operations, and stopping the run when a checked property fails.
#include <sys/socket.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

// Stops the run with the input kept as a crash when a property fails; the
// message tells which one. It goes straight to fd 2, as the sanitizers'
// reports do, since a fuzzer may have sent the stderr stream elsewhere.
#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      dprintf(2, "property failed at %s:%d: %s\n", __FILE__, __LINE__, #condition);       \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

// The fuzzer's bytes, taken from the front; once they run out every read
// gives zeros, so a script simply ends.
class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Empty() const { return at_ >= size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint16_t Word() {
    uint16_t high = Byte();
    return static_cast<uint16_t>(high << 8 | Byte());
  }
  // Up to `count` bytes, fewer when the input ends first.
  std::vector<uint8_t> Bytes(size_t count) {
    const size_t left = at_ < size_ ? size_ - at_ : 0;
    const size_t n = count < left ? count : left;
    std::vector<uint8_t> out(data_ + at_, data_ + at_ + n);
    at_ += n;
    return out;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// Reads what a socket holds, without blocking, handing each piece to
// onBytes(data, count); true when there was anything.
template <typename OnBytes>
bool DrainSocket(int fd, OnBytes onBytes) {
  unsigned char buffer[8192];
  bool any = false;
  for (;;) {
    ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return any;
    any = true;
    onBytes(buffer, static_cast<size_t>(n));
  }
}
