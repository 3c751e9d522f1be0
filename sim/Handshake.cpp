#include "sim/Handshake.h"

#include "link/PA422Messages.h"
#include "sim/MonotonicClock.h"

Handshake::Handshake(const SimLine& line, OutboundWire& wire, TimerQueue& timers, int64_t latencyNs,
                     Hooks hooks)
    : line_(line), wire_(wire), timers_(timers), latencyNs_(latencyNs), hooks_(std::move(hooks)) {}

Handshake::~Handshake() { CancelTimers(); }

void Handshake::CancelTimers() {
  timers_.Cancel(stepTimer_);
  timers_.Cancel(splitTimer_);
  stepTimer_ = splitTimer_ = 0;
}

void Handshake::After(int64_t delayNs, void (Handshake::*step)()) {
  timers_.Cancel(stepTimer_);
  stepTimer_ = timers_.At(MonotonicNs() + delayNs, [this, step] {
    stepTimer_ = 0;
    (this->*step)();
  });
}

void Handshake::ExpireAt(int64_t atNs, const char* outcome) {
  timers_.Cancel(stepTimer_);
  stepTimer_ = timers_.At(atNs, [this, outcome] {
    stepTimer_ = 0;
    Finish(outcome);
  });
}

void Handshake::Begin(uint8_t address, const DeviceFaults& faults) {
  phase_ = Phase::BeforeDsr;
  address_ = address;
  faults_ = faults;
  frame_.clear();
  frameLength_ = 0;
  reply_.clear();
  dsrRaised_ = false;
  record_ = TransactionRecord{};
  record_.startNs = MonotonicNs();
  record_.address = address;
  record_.fault = faults.Describe();
  After(latencyNs_, &Handshake::RaiseDsr);
}

void Handshake::RaiseDsr() {
  wire_.SetModemLine(kSimDSR, true);
  dsrRaised_ = true;
  phase_ = Phase::AwaitDtr;
  // A host that already holds DTR up is not made to raise it twice.
  if (line_.Dtr())
    DtrRose();
  else
    ExpireAt(wire_.DrainedAtNs() + kTimeoutNs, "no-dtr");
  Step("dsr");
}

void Handshake::OnDtr(bool on) {
  if (on && phase_ == Phase::AwaitDtr) {
    DtrRose();
    return;
  }
  if (on) return;
  switch (phase_) {
    case Phase::BeforeDtId:
    case Phase::ReadFrame:
    case Phase::BeforeReply:
      Finish("dtr-dropped");  // the host gave up before the reply
      return;
    case Phase::AwaitDtrDrop:
      Finish("done");
      return;
    default:
      return;  // DTR was not up yet: nothing to end
  }
}

void Handshake::DtrRose() {
  phase_ = Phase::BeforeDtId;
  After(latencyNs_, &Handshake::SendDtId);
}

void Handshake::SendDtId() {
  std::string dtId = {static_cast<char>(pa422::kDeviceType), static_cast<char>(pa422::kManufacturerId)};
  if (faults_.dtId) dtId = {static_cast<char>((*faults_.dtId)[0]), static_cast<char>((*faults_.dtId)[1])};
  phase_ = Phase::ReadFrame;
  if (faults_.splitDtId) {
    wire_.Write(dtId.substr(0, 1));
    const std::string second = dtId.substr(1);
    splitTimer_ = timers_.At(MonotonicNs() + kSplitGapNs, [this, second] {
      splitTimer_ = 0;
      wire_.Write(second);
    });
    ExpireAt(wire_.DrainedAtNs() + kSplitGapNs + kTimeoutNs, "frame-timeout");
  } else {
    wire_.Write(dtId);  // both bytes in one write
    ExpireAt(wire_.DrainedAtNs() + kTimeoutNs, "frame-timeout");
  }
  Step("dtid");
}

void Handshake::OnByte(uint8_t byte) {
  if (phase_ != Phase::ReadFrame) return;  // not expected now: noise to the device
  frame_ += static_cast<char>(byte);
  if (frame_.size() == 1) frameLength_ = static_cast<size_t>(pa422::FrameLength(byte));
  // An unknown code has no length: it is answered at once.
  if (frameLength_ == 0 || frame_.size() == frameLength_) FrameComplete();
}

void Handshake::FrameComplete() {
  record_.frame = frame_;
  hooks_.frameReceived(address_, frame_);
  if (faults_.muteFrame) {
    phase_ = Phase::AwaitDtrDrop;
    ExpireAt(MonotonicNs() + kTimeoutNs, "no-dtr-drop");
    return;
  }
  const uint8_t code = static_cast<uint8_t>(frame_[0]);
  const DeviceReply answer = hooks_.execute(address_, frame_);
  reply_ = faults_.Shape(code, answer.data, answer.status);
  const bool statusSent = !(faults_.shortReply && pa422::ReplyDataLength(code) > 0);
  if (statusSent) record_.status = faults_.status.value_or(answer.status);
  phase_ = Phase::BeforeReply;
  After(latencyNs_, &Handshake::SendReply);
  Step("frame");
}

void Handshake::SendReply() {
  if (Step("reply")) reply_.resize(reply_.size() / 2);
  wire_.Write(reply_);
  record_.reply = reply_;
  phase_ = Phase::AwaitDtrDrop;
  ExpireAt(wire_.DrainedAtNs() + kTimeoutNs, "no-dtr-drop");
}

bool Handshake::Step(const char* step) { return hooks_.stepTaken && hooks_.stepTaken(step); }

void Handshake::ClientGone() {
  if (Active()) Finish("client-gone");
}

void Handshake::Finish(const char* outcome) {
  CancelTimers();
  if (dsrRaised_) wire_.SetModemLine(kSimDSR, false);
  dsrRaised_ = false;
  phase_ = Phase::Idle;
  record_.endNs = MonotonicNs();
  record_.outcome = outcome;
  hooks_.finished(record_);
}
