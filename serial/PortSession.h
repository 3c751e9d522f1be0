#pragma once
// Everything that exists only while a port is open: the device, the receive
// ring, the output queue, the triggers, the modem status byte, the trace and
// log, and the two background threads (dispatch and output). The threads share ownership, so a
// close requested from inside an event handler leaves the session alive
// until the delivery in progress has returned.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "serial/ComTrace.h"
#include "serial/ComTriggers.h"
#include "serial/SerialDevice.h"

#include "serial/UiInterfaces.h"

class TApdComPort;

// A fixed-size byte ring.
class ByteRing {
 public:
  explicit ByteRing(size_t capacity) : bytes_(capacity) {}
  size_t Capacity() const { return bytes_.size(); }
  size_t Count() const { return count_; }
  size_t Free() const { return bytes_.size() - count_; }
  bool Full() const { return count_ == bytes_.size(); }
  // Appends (the caller checks Free()).
  void Append(const uint8_t* data, size_t n);
  // The byte `offset` places after the oldest.
  uint8_t Peek(size_t offset) const { return bytes_[(head_ + offset) % bytes_.size()]; }
  // Copies the oldest n bytes out in order.
  std::vector<uint8_t> PeekBlock(size_t n) const;
  void Drop(size_t n);
  void Clear() { head_ = count_ = 0; }

 private:
  std::vector<uint8_t> bytes_;
  size_t head_ = 0;
  size_t count_ = 0;
};

struct PortSession : std::enable_shared_from_this<PortSession> {
  static constexpr size_t kReceiveRingSize = 8192;
  static constexpr int kDeliveryWaitMs = 1000;
  static constexpr int kEvaluateEveryMs = 50;
  static constexpr int kWriteWaitMs = 60000;

  PortSession(TApdComPort& owner, UiPoster& ui, ExceptionDisplay& exceptions,
              std::shared_ptr<SerialDevice> device, uint16_t outSize);
  ~PortSession();

  // Starts the dispatch and output threads; false when one did
  // not report running within 3000 ms.
  bool StartThreads();
  // Stops the threads and releases the device. Each thread is waited for
  // up to 200 ms; one still busy (inside a device call that does not give
  // way at once) is left to end on its own, and Stop returns false. A
  // dispatch thread waiting for a handler stops waiting.
  bool Stop();
  // Whether every thread has ended; joins those that have.
  bool Reap();
  // Waits for every thread to end.
  void JoinAll();

  // Log entry stamped with the time since open (caller holds `lock`).
  void Log(uint8_t type, uint8_t subtype, uint32_t data, const uint8_t* extra = nullptr,
           uint32_t length = 0);

  // Touched on the user-interface thread only, and only while !closed.
  TApdComPort* const owner;
  UiPoster& ui;
  ExceptionDisplay& exceptions;
  std::mutex lock;
  std::shared_ptr<SerialDevice> device;  // reset by Stop()
  uint32_t startMs;

  ByteRing receive{kReceiveRingSize};
  uint64_t received = 0;           // bytes ever put into the ring
  uint64_t receivedAtLastAvail = 0;
  bool driverBacklog = false;      // bytes left in the driver because the ring was full
  bool inAvail = false;            // an OnTriggerAvail delivery is waiting
  size_t availTaken = 0;           // bytes GetChar returned during that delivery

  ByteRing output;
  std::condition_variable outputReady;

  TriggerLists triggers;
  uint8_t modemStatus = 0;

  TraceRecorder trace;
  LogRecorder log;

  // Dispatch thread <- user-interface thread: a delivered handler returned.
  std::condition_variable handlerReturned;

  std::atomic<bool> stopping{false};
  bool closed = false;  // set on the user-interface thread when the port closes

 private:
  void DispatchThread(std::shared_ptr<SerialDevice> device);
  void OutputThread(std::shared_ptr<SerialDevice> device);

  void Receive(unsigned events);
  void RefreshModemStatus();
  void ReadDriver();
  void EvaluateStatusTriggers();
  void EvaluateTimers();
  void EvaluateDataAvailable();
  // Hands one event to the user-interface thread and waits for its handler
  // (at most kDeliveryWaitMs, less when the port closes meanwhile). `call`
  // runs there only while the port is still open; exceptions escaping it
  // are shown, not propagated.
  void Deliver(std::function<void(TApdComPort&)> call);

  struct Worker {
    std::thread thread;
    std::atomic<bool> running{false};
    std::atomic<bool> finished{false};
  };
  void Launch(Worker& worker, std::function<void()> body);
  void Finish(Worker& worker);
  Worker dispatchWorker_, outputWorker_;
  std::condition_variable workerState_;
};
