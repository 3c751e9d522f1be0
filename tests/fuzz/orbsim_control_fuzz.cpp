// orbsim's control channel under libFuzzer: command lines in any pieces
// reach a real ControlConnection (through a socket pair), which splits them
// and runs them on a line with a bus of devices, in simulated time.
//
// The input is the text sent, except for a few bytes that stand for what
// happens around it instead:
//   \x00  what was typed so far is sent
//   \x01  the clock moves on 1 ms     \x02  ... 1 s
//   \x03  the client toggles DTR      \x04  ... RTS
//   \x05  a client connects, or goes away
//   \x06  the client sends a few bytes of line data
//
// What is checked: every reply is one line that starts with "ok" or
// "error", or is "timeout" for a wait that ran out; a wait runs out when
// the clock reaches its time; once the clock has run past every wait, each
// complete line sent has had exactly one reply; then
// the connection, closed by its peer, is finished; device replies show a
// current preset 0..8 and a preset block has 70 bytes.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "sim/ControlCommands.h"
#include "sim/ControlConnection.h"
#include "sim/DeviceBus.h"
#include "sim/MonotonicClock.h"
#include "sim/SimLine.h"
#include "sim/TimerQueue.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/simulated_clock.h"


namespace {

constexpr int64_t kMs = 1'000'000;

struct Client : SimLinePeer {
  int64_t SendSerialData(const uint8_t*, size_t) override { return MonotonicNs(); }
  int64_t NotifyModemState(uint8_t, uint8_t, uint8_t) override { return MonotonicNs(); }
};

class Harness {
 public:
  Harness(const BusConfig& config)
      : bus_(line_, timers_, config),
        context_{line_, received_, [this] { Leave(); }, [this] { quit_ = true; }, bus_} {
    line_.OnBytesFromClient([this](const uint8_t* data, size_t count) { received_.Append(data, count); });
    int fds[2];
    FUZZ_CHECK(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0);
    fcntl(fds[1], F_SETFL, O_NONBLOCK);
    peer_ = fds[1];
    connection_ = std::make_unique<ControlConnection>(fds[0], context_);
    line_.Attach(&client_);
  }

  ~Harness() {
    connection_.reset();
    close(peer_);
    Leave();
  }

  void Run(FuzzInput& in) {
    while (!in.Empty()) {
      const uint8_t b = in.Byte();
      switch (b) {
        case 0: Send(); break;
        case 1: Advance(kMs); break;
        case 2: Advance(1000 * kMs); break;
        case 3: line_.SetDtr(!line_.Dtr()); break;
        case 4: line_.SetRts(!line_.Rts()); break;
        case 5:
          if (line_.HasClient())
            Leave();
          else
            line_.Attach(&client_);
          break;
        case 6: {
          static const uint8_t kData[] = {0x03, 0x29, 0xFF};
          if (line_.HasClient()) line_.ReceiveFromClient(kData, sizeof kData);
          break;
        }
        default:
          typed_ += static_cast<char>(b);
      }
    }
    Send();
    // Every wait runs out, one after the other.
    for (size_t waits = 0; connection_->WaitDeadline() >= 0; ++waits) {
      FUZZ_CHECK(waits <= lines_);
      Advance(std::max<int64_t>(connection_->WaitDeadline() * kMs - simulatedNow, 0) + kMs);
    }
    FUZZ_CHECK(replies_ == lines_);
    // The peer closes: the connection is done once it has answered.
    shutdown(peer_, SHUT_WR);
    Serve();
    FUZZ_CHECK(replies_ == lines_);
    FUZZ_CHECK(connection_->Finished());
  }

 private:
  void Leave() {
    if (line_.HasClient()) line_.Detach(&client_);
  }

  void Send() {
    for (size_t at = 0; at < typed_.size();) {
      ssize_t n = send(peer_, typed_.data() + at, typed_.size() - at, MSG_NOSIGNAL);
      FUZZ_CHECK(n > 0 || errno == EAGAIN || errno == EINTR);
      if (n > 0) {
        lines_ += static_cast<size_t>(std::count(typed_.begin() + at, typed_.begin() + at + n, '\n'));
        at += static_cast<size_t>(n);
      }
      Serve();
    }
    typed_.clear();
    Serve();
  }

  // Turns of the server loop for the connection, until nothing moves.
  void Serve() {
    for (int turn = 0; turn < 1000; ++turn) {
      const short events = connection_->PollEvents();
      pollfd p{connection_->Fd(), events, 0};
      int ready;
      do ready = poll(&p, 1, 0);  // libFuzzer's time-out alarm may interrupt it
      while (ready < 0 && errno == EINTR);
      FUZZ_CHECK(ready >= 0);
      bool moved = false;
      if (p.revents & POLLOUT) connection_->OnWritable();
      if (p.revents & (POLLIN | POLLHUP)) {
        connection_->OnReadable();
        moved = true;
      }
      connection_->Advance(MonotonicMs());
      if (Collect()) moved = true;
      if (!moved) return;
    }
  }

  // Reads and checks the replies sent so far; true when there were any.
  bool Collect() {
    const bool any = DrainSocket(peer_, [this](const unsigned char* data, size_t count) {
      out_.append(reinterpret_cast<const char*>(data), count);
    });
    for (size_t newline; (newline = out_.find('\n')) != std::string::npos;) {
      CheckReply(out_.substr(0, newline));
      out_.erase(0, newline + 1);
      ++replies_;
    }
    return any;
  }

  static void CheckReply(const std::string& reply) {
    const bool ok = reply == "ok" || reply.rfind("ok ", 0) == 0;
    const bool error = reply.rfind("error ", 0) == 0;
    FUZZ_CHECK(ok || error || reply == "timeout");
    if (reply.rfind("ok name=", 0) == 0) {  // `device`
      const size_t at = reply.rfind(" preset=");
      FUZZ_CHECK(at != std::string::npos);
      const std::string preset = reply.substr(at + 8);
      FUZZ_CHECK(preset.size() == 1 && preset[0] >= '0' && preset[0] <= '8');
    }
  }

  // Runs the timers due by now + delay, each at its own time, and lets the
  // connection settle its waits.
  void Advance(int64_t delay) {
    Send();
    const int64_t target = simulatedNow + delay;
    for (;;) {
      const int64_t next = timers_.NextDueNs();
      if (next < 0 || next > target) break;
      simulatedNow = std::max(simulatedNow, next);
      timers_.RunDue(simulatedNow);
    }
    simulatedNow = target;
    Serve();
  }

  SimLine line_;
  TimerQueue timers_;
  DeviceBus bus_;
  ReceivedBytes received_;
  Client client_;
  bool quit_ = false;
  ControlContext context_;
  std::unique_ptr<ControlConnection> connection_;
  int peer_ = -1;
  std::string typed_;  // not sent yet
  std::string out_;    // replies not yet split into lines
  size_t lines_ = 0;   // complete lines sent
  size_t replies_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  BusConfig config;
  config.addresses = {1, 2};
  simulatedNow = 1'000'000 * kMs;
  Harness harness(config);
  harness.Run(in);
  return 0;
}
