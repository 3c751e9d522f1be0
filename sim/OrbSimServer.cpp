#include "sim/OrbSimServer.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

#include "sim/ListenSocket.h"
#include "sim/MonotonicClock.h"

namespace {
constexpr size_t kMaxControlConnections = 32;
// Out of file descriptors: leave pending connections waiting this long
// instead of spinning on a listening socket that stays readable.
constexpr int kAcceptPauseMs = 100;
// How long a client that finds the line taken waits for it to come free.
constexpr int kBusyGraceMs = 250;
// How long before a due time the loop stops sleeping (see Run).
constexpr int64_t kAwakeBeforeDueNs = 100'000;
}  // namespace

OrbSimServer::OrbSimServer(const std::string& serialAddress, const std::string& controlAddress,
                           const BusConfig& bus)
    : bus_(line_, timers_, bus),
      context_{line_, received_, [this] { DropClient(); }, [this] { quit_ = true; }, bus_} {
  std::string error;
  serialListen_ = ListenOn(serialAddress, error);
  if (serialListen_ < 0) throw std::runtime_error(error);
  controlListen_ = ListenOn(controlAddress, error);
  if (controlListen_ < 0) {
    close(serialListen_);
    throw std::runtime_error(error);
  }
  bus_.SetClientDropper([this] { DropClient(); });
  line_.OnBytesFromClient([this](const uint8_t* data, size_t count) { received_.Append(data, count); });
}

OrbSimServer::~OrbSimServer() {
  if (waitingClient_ >= 0) close(waitingClient_);
  controls_.clear();
  session_.reset();
  close(serialListen_);
  close(controlListen_);
}

int OrbSimServer::SerialPort() const { return BoundPort(serialListen_); }
int OrbSimServer::ControlPort() const { return BoundPort(controlListen_); }

void OrbSimServer::DropClient() { session_.reset(); }

void OrbSimServer::AcceptSerialClients() {
  for (;;) {
    int fd = AcceptClient(serialListen_);
    if (fd < 0) {
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
        acceptPausedUntilMs_ = MonotonicMs() + kAcceptPauseMs;
      return;
    }
    if (session_ && waitingClient_ < 0) {
      waitingClient_ = fd;
      waitingUntilMs_ = MonotonicMs() + kBusyGraceMs;
      continue;
    }
    if (session_) {
      close(fd);  // the line is busy: one client at a time
      continue;
    }
    session_ = std::make_unique<ClientSession>(fd, line_);
  }
}

void OrbSimServer::SettleWaitingClient(int64_t nowMs) {
  if (waitingClient_ < 0) return;
  if (!session_) {
    session_ = std::make_unique<ClientSession>(waitingClient_, line_);
    waitingClient_ = -1;
  } else if (nowMs >= waitingUntilMs_) {
    close(waitingClient_);  // still busy: turned away
    waitingClient_ = -1;
  }
}

void OrbSimServer::AcceptControlClients() {
  for (;;) {
    int fd = AcceptClient(controlListen_);
    if (fd < 0) {
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
        acceptPausedUntilMs_ = MonotonicMs() + kAcceptPauseMs;
      return;
    }
    if (controls_.size() >= kMaxControlConnections) {
      close(fd);
      continue;
    }
    controls_.push_back(std::make_unique<ControlConnection>(fd, context_));
  }
}

int64_t OrbSimServer::PollTimeoutNs(int64_t nowNs) const {
  constexpr int64_t kMs = 1'000'000;
  int64_t next = -1;
  auto consider = [&](int64_t at) {
    if (at >= 0 && (next < 0 || at < next)) next = at;
  };
  for (const auto& c : controls_)
    if (c->WaitDeadline() >= 0) consider(c->WaitDeadline() * kMs);
  if (acceptPausedUntilMs_ * kMs > nowNs) consider(acceptPausedUntilMs_ * kMs);
  if (waitingClient_ >= 0) consider(waitingUntilMs_ * kMs);
  consider(timers_.NextDueNs());
  if (next < 0) return -1;
  return std::clamp<int64_t>(next - nowNs, 0, 60'000 * kMs);
}

void OrbSimServer::Run(int stopFd) {
  std::vector<pollfd> fds;
  while (!quit_) {
    const int64_t nowNs = MonotonicNs();
    const int64_t now = nowNs / 1'000'000;
    const bool accepting = acceptPausedUntilMs_ <= now;
    fds.clear();
    fds.push_back({stopFd, POLLIN, 0});
    fds.push_back({serialListen_, static_cast<short>(accepting ? POLLIN : 0), 0});
    fds.push_back({controlListen_, static_cast<short>(accepting ? POLLIN : 0), 0});
    // The session's entry is always present (fd -1 is ignored by poll).
    ClientSession* session = session_.get();
    fds.push_back({session ? session->Fd() : -1, session ? session->PollEvents() : short(0), 0});
    const size_t firstControl = fds.size();
    for (const auto& c : controls_) fds.push_back({c->Fd(), c->PollEvents(), 0});

    // Timers need better than poll's milliseconds: a byte lasts 0.57 ms.
    // A sleeping thread wakes tens of microseconds late, which would add
    // to every paced step, so the last stretch before a due time is waited
    // out awake.
    int64_t waitNs = PollTimeoutNs(nowNs);
    if (waitNs > 0 && waitNs <= kAwakeBeforeDueNs) {
      const int64_t dueNs = nowNs + waitNs;
      while (MonotonicNs() < dueNs) {
      }
      waitNs = 0;
    } else if (waitNs > kAwakeBeforeDueNs) {
      waitNs -= kAwakeBeforeDueNs;
    }
    timespec wait{waitNs / 1'000'000'000, waitNs % 1'000'000'000};
    if (ppoll(fds.data(), fds.size(), waitNs < 0 ? nullptr : &wait, nullptr) < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("poll failed");
    }
    if (fds[0].revents) return;

    if (session && session == session_.get()) {
      short got = fds[3].revents;
      if (got & POLLOUT) session->OnWritable();
      if (got & (POLLIN | POLLHUP | POLLERR)) session->OnReadable();
      // A reset connection that we were not reading from (paused) is over too.
      if ((got & (POLLHUP | POLLERR)) && !(fds[3].events & POLLIN)) DropClient();
    }
    if (session_ && session_->Closed()) DropClient();

    // Control connections, in the order polled; commands may drop the
    // client or ask to quit, but never add or remove connections.
    const size_t polled = fds.size() - firstControl;
    for (size_t i = 0; i < polled; ++i) {
      ControlConnection& c = *controls_[i];
      short got = fds[firstControl + i].revents;
      if (got & POLLOUT) c.OnWritable();
      if (fds[firstControl + i].events & POLLIN) {
        if (got & (POLLIN | POLLHUP | POLLERR)) c.OnReadable();
      } else if (got & (POLLHUP | POLLERR)) {
        c.OnHangup();  // nothing more can be sent or received
      }
    }
    if (session_ && session_->Closed()) DropClient();

    if (fds[1].revents & POLLIN) AcceptSerialClients();
    if (fds[2].revents & POLLIN) AcceptControlClients();
    SettleWaitingClient(MonotonicMs());

    // Bytes crossing the wire, device steps and time-outs that are due.
    timers_.RunDue(MonotonicNs());
    if (session_ && session_->Closed()) DropClient();

    // Settle waits (a DTR change just arrived) and run commands behind them.
    const int64_t after = MonotonicMs();
    for (auto& c : controls_) c->Advance(after);
    if (session_ && session_->Closed()) DropClient();
    std::erase_if(controls_, [](const auto& c) { return c->Finished(); });
    SettleWaitingClient(MonotonicMs());
  }
  // Let `quit` and the replies before it reach their senders.
  const int64_t deadline = MonotonicMs() + 500;
  for (auto& c : controls_) c->FlushBefore(deadline);
}
