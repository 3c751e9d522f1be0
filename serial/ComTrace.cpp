#include "serial/ComTrace.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <utility>

#include "serial/ApdExceptions.h"

namespace {

// Runs an action when the scope is left, normally or by an exception.
template <class F>
class ScopeExit {
 public:
  explicit ScopeExit(F f) : f_(std::move(f)) {}
  ~ScopeExit() { f_(); }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

 private:
  F f_;
};

// ---- Text rendering shared by both files -----------------------------------

// A byte as it appears in the files: printable bytes as themselves, the rest
// as a bracketed code. In hex mode a blank is bracketed too, so it shows.
std::string RenderByte(uint8_t byte, bool hex) {
  const int lowestPlain = hex ? 33 : 32;
  if (byte >= lowestPlain && byte <= 126) return std::string(1, static_cast<char>(byte));
  char buf[8];
  if (hex)
    std::snprintf(buf, sizeof buf, "[%02X]", byte);
  else
    std::snprintf(buf, sizeof buf, "[%u]", byte);
  return buf;
}

// Writes `text` to `path`, creating or replacing the file. Every byte must
// reach the file: a short write (full disk) or a failing close is an error.
void WriteTextFile(const std::string& path, const std::string& text) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw EInOutError(errno);
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int err = n < 0 ? errno : ENOSPC;
      ::close(fd);
      throw EInOutError(err);
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0 && errno != EINTR) throw EInOutError(errno);
}

// ---- Log entry layout ------------------------------------------------------

// Every log entry starts with this header, followed by `length` extra bytes.
constexpr uint32_t kHeaderSize = 16;
constexpr uint32_t kTypeOffset = 0;
constexpr uint32_t kSubtypeOffset = 1;
constexpr uint32_t kTimeOffset = 4;
constexpr uint32_t kDataOffset = 8;
constexpr uint32_t kLengthOffset = 12;

void PutU32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetU32(const uint8_t* at) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(at[i]) << (8 * i);
  return value;
}

const char* TypeName(uint8_t code) {
  static const char* const kNames[] = {"No event", "Dispatch", "Trigger",  "Error",    "Thread",
                                       "TrigAllc", "TrigDisp", "TrgHdAlc", "TrgHdDsp", "TrDatChg"};
  return code < std::size(kNames) ? kNames[code] : "?";
}

const char* SubtypeName(uint8_t code) {
  static const char* const kNames[] = {
      "",       "ReadCom", "WriteCom", "Line status", "Modem status", "Avail",  "Timer",
      "Data",   "Status",  "Start",    "Exit",        "Sleep",        "Wake",   "Data",
      "Timer",  "Status",  "Avail",    "Window",      "Procedure",    "Method"};
  return code < std::size(kNames) ? kNames[code] : "?";
}

}  // namespace

// ---- Trace -----------------------------------------------------------------

void TraceRecorder::Start(uint32_t size) {
  ring_.assign(std::min(size, kMaxSize), Entry{0, 0});
  writeIndex_ = 0;
  wrapped_ = false;
  active_ = true;
}

void TraceRecorder::Add(char kind, uint8_t byte) {
  if (!active_ || ring_.empty()) return;
  ring_[writeIndex_] = Entry{kind, byte};
  if (++writeIndex_ == ring_.size()) {
    writeIndex_ = 0;
    wrapped_ = true;
  }
}

std::vector<TraceRecorder::Entry> TraceRecorder::Entries() const {
  std::vector<Entry> out;
  if (wrapped_) {
    out.reserve(ring_.size());
    out.insert(out.end(), ring_.begin() + writeIndex_, ring_.end());
  }
  out.insert(out.end(), ring_.begin(), ring_.begin() + writeIndex_);
  return out;
}

std::string TraceRecorder::Render(const std::vector<Entry>& entries, bool hex) {
  constexpr size_t kMaxColumn = 78;
  std::string out;
  size_t column = 0;
  bool first = true;
  char currentKind = 0;
  for (const Entry& e : entries) {
    if (first || e.kind != currentKind) {
      if (!first) out += "\n\n";
      out += e.kind == 'T' ? "Transmit: \n" : e.kind == 'R' ? "Receive: \n" : "Unknown: \n";
      column = 0;
      currentKind = e.kind;
      first = false;
    }
    std::string item = RenderByte(e.byte, hex);
    column += item.size();
    if (column > kMaxColumn) {
      out += '\n';
      column = item.size();
    }
    out += item;
  }
  if (!first) out += '\n';
  return out;
}

void TraceRecorder::Dump(const std::string& path, bool hex) {
  // Recording stops and the ring is released before the file is written, so
  // a failing write leaves the recorder in a clean, stopped state.
  std::string text;
  {
    ScopeExit release([this] {
      std::vector<Entry>().swap(ring_);
      writeIndex_ = 0;
      wrapped_ = false;
      active_ = false;
    });
    text = Render(Entries(), hex);
  }
  if (!text.empty()) WriteTextFile(path, text);
}

// ---- Log -------------------------------------------------------------------
// The ring holds used_ bytes starting at head_ (the oldest entry), always a
// sequence of whole entries, so reading back never meets a partial entry.

void LogRecorder::Start(uint32_t size) {
  ring_.assign(std::min(size, kMaxSize), 0);
  head_ = 0;
  used_ = 0;
  active_ = true;
}

void LogRecorder::Add(uint32_t timeMs, uint8_t type, uint8_t subtype, uint32_t data,
                      const uint8_t* extra, uint32_t extraLength) {
  const uint32_t size = static_cast<uint32_t>(ring_.size());
  if (!active_ || kHeaderSize >= size) return;  // not even a header fits
  if (extra == nullptr) extraLength = 0;
  // Extra data that cannot fit beside its own header is left out; the entry
  // then records the event with no extra data, so its length stays truthful.
  if (extraLength > size - kHeaderSize) extraLength = 0;

  const uint32_t needed = kHeaderSize + extraLength;
  // Discard whole oldest entries until the new one fits.
  while (size - used_ < needed) {
    uint8_t lengthBytes[4];
    for (uint32_t i = 0; i < 4; ++i)
      lengthBytes[i] = ring_[(head_ + kLengthOffset + i) % size];
    const uint32_t oldest = kHeaderSize + GetU32(lengthBytes);
    head_ = static_cast<uint32_t>((uint64_t{head_} + oldest) % size);
    used_ -= oldest;
  }

  uint8_t header[kHeaderSize] = {};
  header[kTypeOffset] = type;
  header[kSubtypeOffset] = subtype;
  PutU32(header + kTimeOffset, timeMs);
  PutU32(header + kDataOffset, data);
  PutU32(header + kLengthOffset, extraLength);

  uint32_t at = static_cast<uint32_t>((uint64_t{head_} + used_) % size);
  auto store = [&](const uint8_t* bytes, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
      ring_[at] = bytes[i];
      if (++at == size) at = 0;
    }
  };
  store(header, kHeaderSize);
  store(extra, extraLength);
  used_ += needed;
}

std::vector<LogRecorder::Entry> LogRecorder::Entries() const {
  std::vector<Entry> out;
  const uint32_t size = static_cast<uint32_t>(ring_.size());
  uint32_t at = head_;
  uint32_t left = used_;
  auto take = [&](uint8_t* into, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
      into[i] = ring_[at];
      if (++at == size) at = 0;
    }
    left -= count;
  };
  while (left >= kHeaderSize) {
    uint8_t header[kHeaderSize];
    take(header, kHeaderSize);
    Entry e;
    e.type = header[kTypeOffset];
    e.subtype = header[kSubtypeOffset];
    e.timeMs = GetU32(header + kTimeOffset);
    e.data = GetU32(header + kDataOffset);
    const uint32_t length = GetU32(header + kLengthOffset);
    if (length > left) break;  // cannot happen while the ring holds whole entries
    e.extra.resize(length);
    take(e.extra.data(), length);
    out.push_back(std::move(e));
  }
  return out;
}

std::string LogRecorder::Render(const std::vector<Entry>& entries, bool hex) {
  constexpr size_t kFirstColumn = 41;
  constexpr size_t kWrapColumn = 79;
  std::string out;
  if (entries.empty()) return out;
  out += "Time      Type      SubType       Data      OtherData\n";
  out += "--------  --------  ------------  --------  ---------\n";
  for (const Entry& e : entries) {
    char line[96];
    std::snprintf(line, sizeof line, "%08u  %-8s  %-12s  %08X  ", e.timeMs, TypeName(e.type),
                  SubtypeName(e.subtype), e.data);
    out += line;
    size_t column = kFirstColumn;
    for (uint8_t byte : e.extra) {
      std::string item = RenderByte(byte, hex);
      column += item.size();
      if (column >= kWrapColumn) {
        // Continuation lines are indented past the fixed columns.
        out += '\n';
        out.append(40, ' ');
        column = kFirstColumn + item.size();
      }
      out += item;
    }
    out += '\n';
  }
  return out;
}

void LogRecorder::Dump(const std::string& path, bool hex) {
  std::string text;
  {
    ScopeExit release([this] {
      std::vector<uint8_t>().swap(ring_);
      head_ = 0;
      used_ = 0;
      active_ = false;
    });
    text = Render(Entries(), hex);
  }
  if (!text.empty()) WriteTextFile(path, text);
}
