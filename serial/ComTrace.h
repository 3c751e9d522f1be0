#pragma once
// In-memory trace of the bytes a port carries and log of its internal
// events, written to text files when the port closes. Not thread-safe: the
// component calls these under its port lock.
#include <cstdint>
#include <string>
#include <vector>

enum TTraceLogState { tlOff, tlOn, tlDump, tlAppend, tlClear, tlPause };

// Trace: a ring of (kind, byte) entries; kind 'T' transmitted, 'R' received.
class TraceRecorder {
 public:
  static constexpr uint32_t kMaxSize = 4000000;
  struct Entry {
    char kind;
    uint8_t byte;
  };

  // Allocates (or empties) a ring of `size` entries and starts recording.
  void Start(uint32_t size);
  bool Active() const { return active_; }
  void Add(char kind, uint8_t byte);
  // Entries from the oldest to the newest.
  std::vector<Entry> Entries() const;

  // Writes the file (no file when nothing was recorded), then frees the ring
  // and stops recording. Raises EInOutError when the file cannot be written.
  void Dump(const std::string& path, bool hex);

  // The file's text for these entries.
  static std::string Render(const std::vector<Entry>& entries, bool hex);

 private:
  std::vector<Entry> ring_;
  uint32_t writeIndex_ = 0;
  bool wrapped_ = false;
  bool active_ = false;
};

// Log entry type and subtype codes.
enum LogType : uint8_t {
  ltNone, ltDispatch, ltTrigger, ltError, ltThread, ltTrigAllc, ltTrigDisp, ltTrgHdAlc,
  ltTrgHdDsp, ltTrDatChg
};
enum LogSubtype : uint8_t {
  lsNone, lsReadCom, lsWriteCom, lsLineStatus, lsModemStatus, lsAvail, lsTimer, lsData,
  lsStatus, lsStart, lsExit, lsSleep, lsWake, lsDataTrigger, lsTimerTrigger, lsStatusTrigger,
  lsAvailTrigger, lsWindow, lsProcedure, lsMethod
};

// Log: a byte ring of variable-length entries (16-byte header + extra data).
class LogRecorder {
 public:
  static constexpr uint32_t kMaxSize = 16000000;
  struct Entry {
    uint8_t type;
    uint8_t subtype;
    uint32_t timeMs;  // since the port was opened
    uint32_t data;
    std::vector<uint8_t> extra;
  };

  void Start(uint32_t size);
  bool Active() const { return active_; }
  void Add(uint32_t timeMs, uint8_t type, uint8_t subtype, uint32_t data,
           const uint8_t* extra = nullptr, uint32_t extraLength = 0);
  // Whole entries from the oldest to the newest.
  std::vector<Entry> Entries() const;

  // As TraceRecorder::Dump.
  void Dump(const std::string& path, bool hex);
  static std::string Render(const std::vector<Entry>& entries, bool hex);

 private:
  std::vector<uint8_t> ring_;
  // Implementation's choice of ring bookkeeping goes here.
  uint32_t head_ = 0, used_ = 0;
  bool active_ = false;
};
