// Network serial line: an RFC 2217 client behind the SerialDevice interface.
//
// One I/O thread per device owns the receiving side of the socket: it feeds
// what it reads to the ClientReceiver, which decodes it, answers option
// negotiation through our output queue, keeps received data in a bounded
// buffer and turns modem-state notifications into events. Everything
// sent goes through one output queue (under the device mutex), so data and
// commands never interleave mid-frame and no caller blocks on a full socket:
// callers queue and try a non-blocking send, the I/O thread sends the rest.
#include <sys/eventfd.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "serial/ApdExceptions.h"
#include "serial/Rfc2217Connect.h"
#include "serial/Rfc2217LineCodes.h"
#include "serial/Rfc2217Options.h"
#include "serial/Rfc2217OutputQueue.h"
#include "serial/Rfc2217Receiver.h"
#include "serial/SerialDevice.h"
#include "serial/TelnetCodec.h"

namespace {

using Clock = std::chrono::steady_clock;
using rfc2217::ClientReceiver;
using telnet::OptionNegotiator;
using telnet::OutputQueue;

constexpr int kConnectTimeoutMs = 5000;
constexpr int kReplyTimeoutMs = 3000;
// Escaped data queued for sending; Write waits (up to its time-out) beyond it.
constexpr size_t kSendDataCapacity = 64 * 1024;
// Commands queued for sending. Beyond it the peer is not reading: we stop
// reading its requests, and drop further commands of our own.
constexpr size_t kSendControlCapacity = 16 * 1024;
constexpr size_t kWriteChunk = 4096;

// LineSettings travel as four commands answered in this order.
constexpr std::array<uint8_t, 4> kSettingCommands = {telnet::kSetBaudRate, telnet::kSetDataSize,
                                                     telnet::kSetParity, telnet::kSetStopSize};

const char* SettingName(uint8_t command) {
  switch (command) {
    case telnet::kSetBaudRate: return "baud rate";
    case telnet::kSetDataSize: return "data bits";
    case telnet::kSetParity: return "parity";
    case telnet::kSetStopSize: return "stop bits";
    default: return "flow control";
  }
}

class Rfc2217Device final : public SerialDevice {
 public:
  Rfc2217Device(int fd, std::string hostPort);
  ~Rfc2217Device() override;

  // The connect sequence: options, then the line settings. Raises the open
  // errors of OpenRfc2217Device.
  void Negotiate();

  LineSettings GetLine() override;
  void SetLine(const LineSettings& settings) override;
  void SetDTR(bool on) override;
  void SetRTS(bool on) override;
  uint8_t ModemLines() override;
  bool HasModemLines() override { return true; }
  uint8_t TakeLineChanges() override;
  unsigned WaitEvent(int timeoutMs) override;
  size_t Read(uint8_t* buffer, size_t max) override;
  size_t Write(const uint8_t* data, size_t count, int timeoutMs) override;
  void PurgeTx() override;
  void Abort() override;
  bool Gone() override;

 private:
  using Reply = ClientReceiver::Reply;

  void IoLoop();
  void ReceiveFromSocket(uint8_t* buffer, size_t room);

  // All of these expect mu_ held.
  void QueueControl(const std::vector<uint8_t>& frame);
  void FlushLocked();
  void MarkGoneLocked();
  void SendSetControl(uint8_t value);
  // Sends the settings (and SET-CONTROL `control` when not 0xFF), waits for
  // the answers and records the settings in force. Raises EInOutError.
  void ApplySettingsLocked(std::unique_lock<std::mutex>& lock, const LineSettings& wanted,
                           uint8_t control);
  const Reply& WaitReply(std::unique_lock<std::mutex>& lock, uint8_t command);
  [[noreturn]] void RaiseLost();

  void Wake();
  void Log(const std::string& text);

  const int fd_;
  const std::string hostPort_;
  int wakeFd_ = -1;
  std::thread io_;

  std::mutex settingsMu_;  // one SetLine at a time
  std::mutex mu_;          // everything below
  std::condition_variable changed_;  // events, answers, gone, abort
  std::condition_variable sendSpace_;

  OutputQueue out_;
  // What the server sent, decoded; called with mu_ held.
  ClientReceiver in_;
  LineSettings inForce_;
  unsigned pending_ = 0;
  bool gone_ = false;
  bool aborted_ = false;
  bool stopping_ = false;
  bool receiveStalled_ = false;  // the I/O thread left the socket unread
  bool loggedControlBacklog_ = false;
};

Rfc2217Device::Rfc2217Device(int fd, std::string hostPort)
    : fd_(fd),
      hostPort_(std::move(hostPort)),
      in_([this](const std::vector<uint8_t>& frame) { QueueControl(frame); },
          [this](const std::string& text) { Log(text); }) {
  wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0) {
    close(fd_);
    throw ENoHandles();
  }
  using telnet::kOptBinary, telnet::kOptComPort, telnet::kOptSuppressGoAhead;
  in_.Options().Accept(kOptBinary, true, true);
  in_.Options().Accept(kOptSuppressGoAhead, true, true);
  in_.Options().Accept(kOptComPort, true, true);
  io_ = std::thread([this] { IoLoop(); });
}

Rfc2217Device::~Rfc2217Device() {
  {
    std::lock_guard lock(mu_);
    stopping_ = true;
    aborted_ = true;
    changed_.notify_all();
    sendSpace_.notify_all();
  }
  Wake();
  io_.join();
  // Last chance for output queued just before closing (a final DTR drop).
  if (!gone_) out_.Flush(fd_);
  close(fd_);
  close(wakeFd_);
}

void Rfc2217Device::Wake() {
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = write(wakeFd_, &one, sizeof one);
}

void Rfc2217Device::Log(const std::string& text) {
  std::fprintf(stderr, "rfc2217 %s: %s\n", hostPort_.c_str(), text.c_str());
}

// ---------------------------------------------------------------- sending

void Rfc2217Device::FlushLocked() {
  if (gone_ || out_.Empty()) return;
  switch (out_.Flush(fd_)) {
    case OutputQueue::FlushResult::Sent:
      break;
    case OutputQueue::FlushResult::Blocked:
      Wake();  // the I/O thread waits for room and sends the rest
      break;
    case OutputQueue::FlushResult::Failed:
      MarkGoneLocked();
      Wake();
      break;
  }
}

void Rfc2217Device::QueueControl(const std::vector<uint8_t>& frame) {
  if (gone_ || frame.empty()) return;
  if (out_.ControlBytes() > kSendControlCapacity) {
    if (!loggedControlBacklog_) Log("server is not reading; commands dropped");
    loggedControlBacklog_ = true;
    return;
  }
  out_.Push(OutputQueue::Kind::Control, frame);
}

void Rfc2217Device::SendSetControl(uint8_t value) {
  QueueControl(telnet::ComPortFrame(telnet::kSetControl, {value}));
  FlushLocked();
}

// ---------------------------------------------------------------- I/O thread

void Rfc2217Device::IoLoop() {
  std::vector<uint8_t> buffer(4096);
  for (;;) {
    short events = 0;
    size_t room = 0;
    {
      std::lock_guard lock(mu_);
      if (stopping_ || gone_) return;
      room = in_.Room();
      bool canRead = room > 0 && out_.ControlBytes() <= kSendControlCapacity;
      receiveStalled_ = !canRead;
      if (canRead) events |= POLLIN;
      if (!out_.Empty()) events |= POLLOUT;
    }
    pollfd fds[2] = {{fd_, events, 0}, {wakeFd_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      std::lock_guard lock(mu_);
      MarkGoneLocked();
      return;
    }
    if (fds[1].revents & POLLIN) {
      uint64_t count;
      [[maybe_unused]] ssize_t n = read(wakeFd_, &count, sizeof count);
    }
    const short got = fds[0].revents;
    if (got & POLLOUT) {
      std::lock_guard lock(mu_);
      FlushLocked();
      if (out_.DataBytes() < kSendDataCapacity) sendSpace_.notify_all();
    }
    if (got & POLLIN) {
      ReceiveFromSocket(buffer.data(), std::min(room, buffer.size()));
    } else if (got & (POLLERR | POLLHUP | POLLNVAL)) {
      // Reset or closed while we were not reading: the line is gone.
      std::lock_guard lock(mu_);
      MarkGoneLocked();
      return;
    }
  }
}

void Rfc2217Device::ReceiveFromSocket(uint8_t* buffer, size_t room) {
  // Parsed data never outgrows its raw bytes, so `room` keeps the buffer bounded.
  ssize_t n = recv(fd_, buffer, room, MSG_DONTWAIT);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  std::lock_guard lock(mu_);
  if (n <= 0) {
    MarkGoneLocked();
    return;
  }
  // Option answers were queued while parsing; events count once the port is open.
  pending_ |= in_.Feed(buffer, static_cast<size_t>(n));
  changed_.notify_all();  // events, answers awaited, DO COM-PORT-OPTION for Negotiate
  FlushLocked();  // answers to what we just parsed
}

void Rfc2217Device::MarkGoneLocked() {
  if (gone_) return;
  gone_ = true;
  out_.Clear();
  if (in_.Opened()) pending_ |= kEventGone;
  changed_.notify_all();
  sendSpace_.notify_all();
}

// ---------------------------------------------------------------- connect sequence

void Rfc2217Device::Negotiate() {
  std::unique_lock lock(mu_);
  using Side = OptionNegotiator::Side;
  OptionNegotiator& options = in_.Options();
  std::vector<uint8_t> offer;
  // Clients say WILL COM-PORT-OPTION; servers answer DO. Many servers refuse
  // a client's DO, so it is not asked for.
  options.Request(Side::Local, telnet::kOptComPort, offer);
  options.Request(Side::Local, telnet::kOptBinary, offer);
  options.Request(Side::Remote, telnet::kOptBinary, offer);
  options.Request(Side::Local, telnet::kOptSuppressGoAhead, offer);
  options.Request(Side::Remote, telnet::kOptSuppressGoAhead, offer);
  QueueControl(offer);
  FlushLocked();

  auto deadline = Clock::now() + std::chrono::milliseconds(kReplyTimeoutMs);
  changed_.wait_until(lock, deadline, [&] {
    return gone_ || options.Enabled(Side::Local, telnet::kOptComPort) ||
           options.Refused(Side::Local, telnet::kOptComPort);
  });
  if (gone_) throw EAlreadyOpen();  // a busy network port closes at once
  if (!options.Enabled(Side::Local, telnet::kOptComPort))
    throw EInOutError(EPROTONOSUPPORT,
                      "The server at " + hostPort_ +
                          " does not speak RFC 2217 (no remote serial port control)");

  try {
    ApplySettingsLocked(lock, LineSettings{}, telnet::kControlNoFlow);
  } catch (const EInOutError&) {
    if (gone_) throw EAlreadyOpen();
    throw;
  }
  // Report every modem line change, with the change bits; some servers do not
  // start at the standard mask, and a narrower one hides a falling DSR. Its
  // answer is not needed (some servers never send one).
  QueueControl(telnet::ComPortFrame(telnet::kSetModemStateMask, {0xFF}));
  FlushLocked();
  in_.Open();
  pending_ = 0;
}

// ---------------------------------------------------------------- settings

void Rfc2217Device::RaiseLost() {
  if (aborted_) throw EInOutError(ECANCELED, "The network serial line is closing");
  throw EInOutError(EIO, "The network serial line " + hostPort_ + " has gone");
}

const Rfc2217Device::Reply& Rfc2217Device::WaitReply(std::unique_lock<std::mutex>& lock,
                                                      uint8_t command) {
  const Reply& reply = in_.ReplyTo(command);
  auto deadline = Clock::now() + std::chrono::milliseconds(kReplyTimeoutMs);
  changed_.wait_until(lock, deadline, [&] { return gone_ || aborted_ || reply.answered; });
  if (reply.answered) return reply;
  if (gone_ || aborted_) RaiseLost();
  throw EInOutError(ETIMEDOUT, std::string("No answer from ") + hostPort_ + " to the " +
                                   SettingName(command) + " setting");
}

void Rfc2217Device::ApplySettingsLocked(std::unique_lock<std::mutex>& lock,
                                        const LineSettings& wanted, uint8_t control) {
  if (wanted.baud <= 0 || wanted.dataBits < 5 || wanted.dataBits > 8 ||
      (wanted.stopBits != 1 && wanted.stopBits != 2) ||
      static_cast<int>(wanted.parity) < 0 || static_cast<int>(wanted.parity) > 4)
    throw EInOutError(EINVAL, "Line settings out of range");
  if (gone_ || aborted_) RaiseLost();

  const uint8_t codes[4] = {0, static_cast<uint8_t>(wanted.dataBits),
                            rfc2217::ParityCode(wanted.parity),
                            rfc2217::StopSizeCode(wanted.stopBits, wanted.dataBits)};
  for (uint8_t command : kSettingCommands) {
    in_.ExpectReply(command);
    if (command == telnet::kSetBaudRate)
      QueueControl(telnet::ComPortFrame(command, telnet::BaudBytes(static_cast<uint32_t>(wanted.baud))
                                                     .data(), 4));
    else
      QueueControl(telnet::ComPortFrame(command, {codes[command - 1]}));
  }
  if (control != 0xFF) {
    in_.ExpectReply(telnet::kSetControl);
    QueueControl(telnet::ComPortFrame(telnet::kSetControl, {control}));
  }
  FlushLocked();

  std::string refused;
  LineSettings got = inForce_;
  for (uint8_t command : kSettingCommands) {
    const Reply& reply = WaitReply(lock, command);
    const auto& v = reply.value;
    bool ok = false;
    switch (command) {
      case telnet::kSetBaudRate: {
        uint32_t baud = v.size() == 4 ? telnet::BaudFromBytes(v.data())
                        : v.size() == 1 ? telnet::CiscoBaudFromIndex(v[0])
                                        : 0;
        if (baud > 0 && baud <= 0x7FFFFFFF) got.baud = static_cast<int32_t>(baud);
        ok = baud == static_cast<uint32_t>(wanted.baud);
        break;
      }
      case telnet::kSetDataSize:
        if (v.size() == 1 && v[0] >= 5 && v[0] <= 8) got.dataBits = v[0];
        ok = v.size() == 1 && v[0] == codes[1];
        break;
      case telnet::kSetParity:
        if (v.size() == 1 && rfc2217::ParityFromCode(v[0])) got.parity = *rfc2217::ParityFromCode(v[0]);
        ok = v.size() == 1 && v[0] == codes[2];
        break;
      case telnet::kSetStopSize:
        if (v.size() == 1 && rfc2217::StopBitsFromCode(v[0])) got.stopBits = *rfc2217::StopBitsFromCode(v[0]);
        ok = v.size() == 1 && v[0] == codes[3];
        break;
    }
    if (!ok) refused += std::string(refused.empty() ? "" : ", ") + SettingName(command);
  }
  if (control != 0xFF) {
    const Reply& reply = WaitReply(lock, telnet::kSetControl);
    if (reply.value.size() != 1 || reply.value[0] != control) refused += refused.empty() ? "flow control" : ", flow control";
  }
  inForce_ = got;
  if (!refused.empty())
    throw EInOutError(EINVAL, "The server at " + hostPort_ + " refused the " + refused + " setting");
}

LineSettings Rfc2217Device::GetLine() {
  std::lock_guard lock(mu_);
  return inForce_;
}

void Rfc2217Device::SetLine(const LineSettings& settings) {
  std::lock_guard one(settingsMu_);
  std::unique_lock lock(mu_);
  ApplySettingsLocked(lock, settings, 0xFF);
}

void Rfc2217Device::SetDTR(bool on) {
  std::lock_guard lock(mu_);
  if (gone_) return;
  uint8_t value = on ? telnet::kControlDtrOn : telnet::kControlDtrOff;
  in_.ExpectControl(value);
  SendSetControl(value);
}

void Rfc2217Device::SetRTS(bool on) {
  std::lock_guard lock(mu_);
  if (gone_) return;
  uint8_t value = on ? telnet::kControlRtsOn : telnet::kControlRtsOff;
  in_.ExpectControl(value);
  SendSetControl(value);
}

// ---------------------------------------------------------------- data and events

uint8_t Rfc2217Device::ModemLines() {
  std::lock_guard lock(mu_);
  return gone_ ? 0 : in_.Modem().Levels();
}

uint8_t Rfc2217Device::TakeLineChanges() {
  std::lock_guard lock(mu_);
  return in_.TakeLineChanges();
}

unsigned Rfc2217Device::WaitEvent(int timeoutMs) {
  std::unique_lock lock(mu_);
  // Events are reported once each: data that was reported and not yet read
  // is not reported again until more arrives. After the line has gone there
  // is nothing left to report, so this sleeps out its time-out.
  auto ready = [&] { return aborted_ || pending_ != 0; };
  if (timeoutMs < 0)
    changed_.wait(lock, ready);
  else
    changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
  if (aborted_) return 0;
  unsigned events = pending_;
  pending_ = 0;
  return events;
}

size_t Rfc2217Device::Read(uint8_t* buffer, size_t max) {
  std::lock_guard lock(mu_);
  size_t n = in_.Read(buffer, max);
  if (n > 0 && receiveStalled_) Wake();  // room again: the I/O thread resumes reading
  return n;
}

size_t Rfc2217Device::Write(const uint8_t* data, size_t count, int timeoutMs) {
  std::unique_lock lock(mu_);
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  size_t done = 0;
  while (done < count) {
    if (gone_) return count;  // a line that has gone swallows everything
    if (aborted_) return done;
    if (out_.DataBytes() >= kSendDataCapacity) {
      auto full = [&] { return gone_ || aborted_ || out_.DataBytes() < kSendDataCapacity; };
      if (timeoutMs < 0)
        sendSpace_.wait(lock, full);
      else if (!sendSpace_.wait_until(lock, deadline, full))
        return done;
      continue;
    }
    size_t n = std::min({count - done, kWriteChunk, kSendDataCapacity - out_.DataBytes()});
    out_.Push(OutputQueue::Kind::Data, telnet::EscapeData(data + done, n));
    done += n;
    FlushLocked();
  }
  return done;
}

void Rfc2217Device::PurgeTx() {
  std::lock_guard lock(mu_);
  if (gone_) return;
  out_.PurgeData();
  sendSpace_.notify_all();
  QueueControl(telnet::ComPortFrame(telnet::kPurgeData, {telnet::kPurgeTransmit}));
  FlushLocked();
}

void Rfc2217Device::Abort() {
  std::lock_guard lock(mu_);
  aborted_ = true;
  changed_.notify_all();
  sendSpace_.notify_all();
}

bool Rfc2217Device::Gone() {
  std::lock_guard lock(mu_);
  return gone_;
}

}  // namespace

std::unique_ptr<SerialDevice> OpenRfc2217Device(const std::string& hostPort) {
  int fd = rfc2217::ConnectTcp(hostPort, kConnectTimeoutMs);
  auto device = std::make_unique<Rfc2217Device>(fd, hostPort);
  device->Negotiate();
  return device;
}
