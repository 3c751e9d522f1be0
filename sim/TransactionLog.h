#pragma once
// The transaction log: one JSON object per line for each transaction on
// the bus (and each group byte), flushed line by line so that a test or a
// person can follow it while orbsim runs.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

struct TransactionRecord {
  int64_t startNs = 0;  // the address byte arrived (monotonic clock)
  int64_t endNs = 0;    // the device went idle again
  int address = 0;
  std::string frame;    // as received, any bytes
  std::string reply;    // as sent, faults applied
  std::optional<int> status;  // the status byte sent, if one was
  std::string fault;    // DeviceFaults::Describe(), empty without faults
  std::string outcome;  // done, group, no-dtr, frame-timeout, no-dtr-drop, dtr-dropped, client-gone
};

// {"start_ns":..,"end_ns":..,"utc":"..","address":..,"frame":"<hex>","command":"<name>",
//  "reply":"<hex>","status":<n>|null,"fault":"..","outcome":".."}
std::string TransactionJson(const TransactionRecord& record, const std::string& utc);

class TransactionLog {
 public:
  // No path: logging is off. Raises std::runtime_error when it cannot open.
  explicit TransactionLog(const std::string& path);
  ~TransactionLog();
  TransactionLog(const TransactionLog&) = delete;
  TransactionLog& operator=(const TransactionLog&) = delete;

  void Write(const TransactionRecord& record);

 private:
  FILE* file_ = nullptr;
  bool toldFailure_ = false;
};
