#pragma once
// What orbsim keeps for the control channel to look at: the frames the
// devices received (`frames`) and the serial bytes the client sent
// (`recv`). Nobody may ever ask for them, so each is bounded, and what
// had to go is counted and reported with the next answer.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// Frame entries ("1:010100", "<253>") since the last Take. Beyond either
// bound the oldest entries are dropped.
class FrameRecord {
 public:
  static constexpr size_t kMaxEntries = 1000;
  static constexpr size_t kMaxTextBytes = 64 * 1024;

  void Add(std::string entry);

  struct Taken {
    std::vector<std::string> entries;
    uint64_t dropped = 0;  // entries lost before the first of these
  };
  Taken Take();

  size_t Count() const { return entries_.size(); }
  size_t TextBytes() const { return textBytes_; }

 private:
  std::deque<std::string> entries_;
  size_t textBytes_ = 0;
  uint64_t dropped_ = 0;
};

// Serial bytes from the client since the last Take. When full, further
// bytes are lost, like a receive overrun, and counted.
class ReceivedBytes {
 public:
  static constexpr size_t kMaxBytes = 64 * 1024;

  void Append(const uint8_t* data, size_t count);

  struct Taken {
    std::vector<uint8_t> bytes;
    uint64_t lost = 0;  // bytes that came after these and were not kept
  };
  Taken Take();

  size_t Size() const { return bytes_.size(); }

 private:
  std::vector<uint8_t> bytes_;
  uint64_t lost_ = 0;
};
