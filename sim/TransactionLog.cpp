#include "sim/TransactionLog.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <stdexcept>

#include "link/JsonText.h"
#include "link/PA422Messages.h"

namespace {
std::string UtcNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm parts{};
  gmtime_r(&ts.tv_sec, &parts);
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03ldZ", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                ts.tv_nsec / 1000000);
  return buf;
}
}  // namespace

std::string TransactionJson(const TransactionRecord& r, const std::string& utc) {
  const std::string command =
      r.frame.empty() ? "" : pa422::CommandName(static_cast<uint8_t>(r.frame[0]));
  return "{\"start_ns\":" + std::to_string(r.startNs) + ",\"end_ns\":" + std::to_string(r.endNs) +
         ",\"utc\":" + JsonString(utc) + ",\"address\":" + std::to_string(r.address) +
         ",\"frame\":" + JsonString(HexText(r.frame)) + ",\"command\":" + JsonString(command) +
         ",\"reply\":" + JsonString(HexText(r.reply)) +
         ",\"status\":" + (r.status ? std::to_string(*r.status) : "null") +
         ",\"fault\":" + JsonString(r.fault) + ",\"outcome\":" + JsonString(r.outcome) + "}";
}

TransactionLog::TransactionLog(const std::string& path) {
  if (path.empty()) return;
  file_ = std::fopen(path.c_str(), "ae");
  if (!file_) throw std::runtime_error("cannot open log " + path + ": " + std::strerror(errno));
}

TransactionLog::~TransactionLog() {
  if (file_) std::fclose(file_);
}

void TransactionLog::Write(const TransactionRecord& record) {
  if (!file_) return;
  const std::string line = TransactionJson(record, UtcNow()) + "\n";
  if ((std::fputs(line.c_str(), file_) < 0 || std::fflush(file_) != 0) && !toldFailure_) {
    std::fprintf(stderr, "orbsim: cannot write the transaction log: %s\n", std::strerror(errno));
    toldFailure_ = true;
  }
}
