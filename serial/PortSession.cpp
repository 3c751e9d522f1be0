#include "serial/PortSession.h"

#include <algorithm>
#include <chrono>

#include "serial/TApdComPort.h"

using namespace std::chrono_literals;

void ByteRing::Append(const uint8_t* data, size_t n) {
  for (size_t i = 0; i < n; ++i) bytes_[(head_ + count_ + i) % bytes_.size()] = data[i];
  count_ += n;
}

std::vector<uint8_t> ByteRing::PeekBlock(size_t n) const {
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = Peek(i);
  return out;
}

void ByteRing::Drop(size_t n) {
  n = std::min(n, count_);
  head_ = (head_ + n) % bytes_.size();
  count_ -= n;
}

PortSession::PortSession(TApdComPort& owner, UiPoster& ui, ExceptionDisplay& exceptions,
                         std::shared_ptr<SerialDevice> device, uint16_t outSize)
    : owner(&owner),
      ui(ui),
      exceptions(exceptions),
      device(std::move(device)),
      startMs(MillisecondClock()),
      output(std::max<uint16_t>(outSize, 1)) {}

PortSession::~PortSession() {
  // A thread that still runs here holds the last reference itself.
  for (Worker* w : {&dispatchWorker_, &outputWorker_}) {
    if (!w->thread.joinable()) continue;
    if (w->thread.get_id() == std::this_thread::get_id())
      w->thread.detach();
    else
      w->thread.join();
  }
}

void PortSession::Log(uint8_t type, uint8_t subtype, uint32_t data, const uint8_t* extra,
                      uint32_t length) {
  if (log.Active()) log.Add(MillisecondClock() - startMs, type, subtype, data, extra, length);
}

void PortSession::Launch(Worker& worker, std::function<void()> body) {
  worker.thread = std::thread([self = shared_from_this(), &worker, body = std::move(body)] {
    {
      std::lock_guard l(self->lock);
      worker.running = true;
      self->workerState_.notify_all();
    }
    body();
    std::lock_guard l(self->lock);
    worker.finished = true;
    self->workerState_.notify_all();
  });
}

bool PortSession::StartThreads() {
  std::shared_ptr<SerialDevice> dev = device;
  Launch(dispatchWorker_, [this, dev] { DispatchThread(dev); });
  Launch(outputWorker_, [this, dev] { OutputThread(dev); });
  std::unique_lock l(lock);
  for (Worker* w : {&dispatchWorker_, &outputWorker_}) {
    if (!workerState_.wait_for(l, 3000ms, [w] { return w->running.load(); })) return false;
  }
  return true;
}

bool PortSession::Stop() {
  std::shared_ptr<SerialDevice> dev;
  {
    std::lock_guard l(lock);
    stopping = true;
    dev = device;
    outputReady.notify_all();
    handlerReturned.notify_all();
  }
  if (dev) dev->Abort();
  dev.reset();
  {
    std::unique_lock l(lock);
    for (Worker* w : {&dispatchWorker_, &outputWorker_})
      if (w->thread.joinable()) workerState_.wait_for(l, 200ms, [w] { return w->finished.load(); });
    device.reset();
  }
  return Reap();
}

bool PortSession::Reap() {
  bool all = true;
  for (Worker* w : {&dispatchWorker_, &outputWorker_}) {
    if (!w->thread.joinable()) continue;
    if (w->finished && w->thread.get_id() != std::this_thread::get_id())
      w->thread.join();
    else
      all = false;
  }
  return all;
}

void PortSession::JoinAll() {
  for (Worker* w : {&dispatchWorker_, &outputWorker_})
    if (w->thread.joinable() && w->thread.get_id() != std::this_thread::get_id()) w->thread.join();
}

void PortSession::DispatchThread(std::shared_ptr<SerialDevice> dev) {
  // The thread waits on the device itself, so an event reaches its handler
  // with one hand-over (to the user-interface thread), and evaluates the
  // timers at least every kEvaluateEveryMs.
  while (!stopping) {
    unsigned events = dev->WaitEvent(kEvaluateEveryMs);
    if (stopping) break;
    if (events != 0)
      Receive(events);
    else
      EvaluateStatusTriggers();
    EvaluateTimers();
  }
}

void PortSession::OutputThread(std::shared_ptr<SerialDevice> dev) {
  std::unique_lock l(lock);
  while (!stopping) {
    outputReady.wait(l, [&] { return stopping || output.Count() > 0; });
    if (stopping) break;
    // One write covers everything queued, wrapped bytes included.
    std::vector<uint8_t> block = output.PeekBlock(output.Count());
    l.unlock();
    dev->Write(block.data(), block.size(), kWriteWaitMs);  // a failed write counts as written
    l.lock();
    output.Drop(block.size());
  }
}

void PortSession::Receive(unsigned events) {
  if (events & kEventModem) {
    RefreshModemStatus();
    EvaluateStatusTriggers();
  }
  if (events & kEventLineError) EvaluateStatusTriggers();
  if (events & kEventRxChar) {
    ReadDriver();
    EvaluateStatusTriggers();
    EvaluateDataAvailable();
  }
  if (events & kEventGone) {
    std::lock_guard l(lock);
    Log(ltError, lsNone, 0);
  }
}

void PortSession::RefreshModemStatus() {
  std::shared_ptr<SerialDevice> dev;
  {
    std::lock_guard l(lock);
    dev = device;
  }
  if (!dev) return;
  uint8_t lines = dev->ModemLines() & kLineStates;
  const uint8_t pulses = dev->TakeLineChanges() & kLineStates;
  std::lock_guard l(lock);
  uint8_t changed = ((lines ^ modemStatus) | pulses) & kLineStates;
  triggers.NoteLineChanges(changed);
  // Each line's change bit sits four places below its state bit.
  modemStatus = static_cast<uint8_t>(lines | (modemStatus & 0x0F) | (changed >> 4));
}

void PortSession::ReadDriver() {
  std::shared_ptr<SerialDevice> dev;
  size_t room;
  {
    std::lock_guard l(lock);
    dev = device;
    room = receive.Free();
  }
  if (!dev) return;
  std::vector<uint8_t> buffer(room);
  size_t n = room ? dev->Read(buffer.data(), room) : 0;
  std::lock_guard l(lock);
  receive.Append(buffer.data(), n);
  received += n;
  // A full ring may have left bytes in the driver: read again once there is room.
  driverBacklog = (n == room);
  if (n > 0) Log(ltDispatch, lsReadCom, static_cast<uint32_t>(n), buffer.data(),
                 static_cast<uint32_t>(n));
}

void PortSession::Deliver(std::function<void(TApdComPort&)> call) {
  if (stopping) return;
  auto self = shared_from_this();
  // The wait is our own rather than the poster's, so that closing the port
  // (on the user-interface thread, which then cannot run this task) ends it
  // at once instead of after the full delivery wait.
  auto returned = std::make_shared<bool>(false);
  ui.PostAndWait(
      [self, returned, call = std::move(call)] {
        if (!self->closed) {
          try {
            call(*self->owner);
          } catch (const std::exception& e) {
            self->exceptions.ShowException(e.what());
          } catch (...) {
            self->exceptions.ShowException("Unknown exception in an event handler");
          }
        }
        std::lock_guard l(self->lock);
        *returned = true;
        self->handlerReturned.notify_all();
      },
      0);
  std::unique_lock l(lock);
  handlerReturned.wait_for(l, std::chrono::milliseconds(kDeliveryWaitMs),
                           [&] { return *returned || stopping; });
}

void PortSession::EvaluateStatusTriggers() {
  for (;;) {
    std::optional<uint16_t> fired;
    uint16_t kind = 0;
    {
      std::lock_guard l(lock);
      fired = triggers.TakeFiredStatus(modemStatus);
      if (!fired) return;
      kind = *fired & 7;
      Log(ltTrigger, lsStatus, *fired);
    }
    uint16_t handle = *fired;
    Deliver([handle, kind](TApdComPort& cp) {
      if (cp.OnTrigger) cp.OnTrigger(cp, apw_TriggerStatus, handle, 0);
      if (cp.OnTriggerStatus) cp.OnTriggerStatus(cp, handle);
      if (kind == stModem && cp.OnTriggerModemStatus) cp.OnTriggerModemStatus(cp);
    });
  }
}

void PortSession::EvaluateTimers() {
  for (;;) {
    std::optional<uint16_t> fired;
    {
      std::lock_guard l(lock);
      fired = triggers.TakeExpiredTimer(TickClock());
      if (!fired) return;
      Log(ltTrigger, lsTimer, *fired);
    }
    uint16_t handle = *fired;
    Deliver([handle](TApdComPort& cp) {
      if (cp.OnTrigger) cp.OnTrigger(cp, apw_TriggerTimer, handle, 0);
      if (cp.OnTriggerTimer) cp.OnTriggerTimer(cp, handle);
    });
  }
}

void PortSession::EvaluateDataAvailable() {
  for (;;) {
    uint16_t count;
    {
      std::lock_guard l(lock);
      if (receive.Count() == 0 || received == receivedAtLastAvail) return;
      receivedAtLastAvail = received;
      count = static_cast<uint16_t>(std::min<size_t>(receive.Count(), 0xFFFF));
      inAvail = true;
      availTaken = 0;
      Log(ltTrigger, lsAvail, count);
    }
    Deliver([count](TApdComPort& cp) {
      if (cp.OnTrigger) cp.OnTrigger(cp, apw_TriggerAvail, 0, count);
      if (cp.OnTriggerAvail) cp.OnTriggerAvail(cp, count);
    });
    bool readAgain;
    {
      std::lock_guard l(lock);
      receive.Drop(availTaken);
      inAvail = false;
      availTaken = 0;
      readAgain = driverBacklog && receive.Free() > 0;
    }
    if (readAgain) ReadDriver();
  }
}
