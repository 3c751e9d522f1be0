#pragma once
// One transaction on the bus, from the device's side: the addressed device
// raises DSR, waits for DTR, sends its DT/ID, reads the command frame (its
// length follows from its first byte), replies, and drops DSR when DTR
// falls. Every wait has a time-out that returns the device to idle with
// DSR down, so a host that stops halfway never leaves the bus stuck.
#include <cstdint>
#include <functional>
#include <string>

#include "sim/DeviceFaults.h"
#include "sim/OrbDevice.h"
#include "sim/OutboundWire.h"
#include "sim/SimLine.h"
#include "sim/TimerQueue.h"
#include "sim/TransactionLog.h"

class Handshake {
 public:
  struct Hooks {
    // A complete frame arrived (also one that will not be answered).
    std::function<void(uint8_t address, const std::string& frame)> frameReceived;
    // Carries out a frame on the addressed device.
    std::function<DeviceReply(uint8_t address, const std::string& frame)> execute;
    // The transaction is over; the device is idle again.
    std::function<void(const TransactionRecord&)> finished;
    // A step is taken: "dsr" (DSR raised), "dtid" (DT/ID handed to the
    // wire), "frame" (the frame carried out, before the reply), "reply"
    // (the reply about to go out). True when the connection drops here: a
    // reply is then cut after its first half.
    std::function<bool(const std::string& step)> stepTaken;
  };

  // How long a device waits for the host at each step.
  static constexpr int64_t kTimeoutNs = 3'000'000'000;
  // The gap between the two halves of a split DT/ID.
  static constexpr int64_t kSplitGapNs = 30'000'000;

  // `latencyNs` is waited before raising DSR, before the DT/ID and before
  // the reply.
  Handshake(const SimLine& line, OutboundWire& wire, TimerQueue& timers, int64_t latencyNs, Hooks hooks);
  ~Handshake();
  Handshake(const Handshake&) = delete;
  Handshake& operator=(const Handshake&) = delete;

  bool Active() const { return phase_ != Phase::Idle; }
  // The address byte of a device on the bus has arrived.
  void Begin(uint8_t address, const DeviceFaults& faults);
  // A byte arrived while this transaction runs.
  void OnByte(uint8_t byte);
  void OnDtr(bool on);
  // The client went away: the transaction ends where it is.
  void ClientGone();

 private:
  enum class Phase { Idle, BeforeDsr, AwaitDtr, BeforeDtId, ReadFrame, BeforeReply, AwaitDtrDrop };

  void RaiseDsr();
  void DtrRose();
  void SendDtId();
  void FrameComplete();
  void SendReply();
  void Finish(const char* outcome);
  bool Step(const char* step);
  void After(int64_t delayNs, void (Handshake::*step)());
  void ExpireAt(int64_t atNs, const char* outcome);
  void CancelTimers();

  const SimLine& line_;
  OutboundWire& wire_;
  TimerQueue& timers_;
  const int64_t latencyNs_;
  Hooks hooks_;

  Phase phase_ = Phase::Idle;
  uint8_t address_ = 0;
  DeviceFaults faults_;  // as they were when the transaction began
  std::string frame_;
  size_t frameLength_ = 0;
  std::string reply_;
  bool dsrRaised_ = false;
  TransactionRecord record_;
  TimerQueue::Id stepTimer_ = 0;
  TimerQueue::Id splitTimer_ = 0;
};
