#include "link/BusScan.h"


namespace all = pa422::all_data;

std::string BusDevice::StateText() const {
  switch (state) {
    case State::Online: return "online";
    case State::Absent: return "absent";
    case State::Error: return "error: " + error;
    case State::NotScanned: break;
  }
  return "not scanned";
}

BusDevice BusDeviceFromBlock(int address, const pa422::Bytes& block) {
  BusDevice d;
  d.address = address;
  d.state = BusDevice::State::Online;
  d.deviceName = pa422::BlockName(block, all::kDeviceName);
  d.preset = pa422::BlockByte(block, all::kPreset);
  d.mute = pa422::BlockByte(block, all::kMute) != 0;
  d.bypass = pa422::BlockByte(block, all::kBypass) != 0;
  d.lock = pa422::BlockByte(block, all::kLock) != 0;
  d.lastSeen = std::chrono::system_clock::now();
  return d;
}

BusScan::BusScan(LineQueue& line) : line_(line), owner_(line.NewOwner()) {}

BusScan::~BusScan() { line_.Withdraw(owner_); }

void BusScan::Start(int from, int to) {
  if (running_) return;
  from_ = next_ = from;
  to_ = to;
  found_ = 0;
  running_ = true;
  stopping_ = false;
  started_ = std::chrono::steady_clock::now();
  AskNext();
}

void BusScan::Stop() {
  if (!running_) return;
  line_.Withdraw(owner_);
  // The address being asked answers first; one still waiting is dropped.
  if (line_.Running(owner_))
    stopping_ = true;
  else
    Finish(true);
}

double BusScan::SecondsLeft() const {
  const int left = Total() - Asked();
  if (left <= 0) return 0;
  if (Asked() == 0) return left * kAbsentAddressSeconds;
  const double spent = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  return left * spent / Asked();
}

void BusScan::AskNext() {
  if (next_ > to_) {
    Finish(false);
    return;
  }
  const int address = next_;
  // No box and no window hears of it: an absent address is an answer.
  LineRequest request = BackgroundRecall(owner_, address, 0);
  request.done = [this, alive = std::weak_ptr<char>(alive_), address](const LineOutcome& outcome) {
    if (!alive.expired()) Answered(address, outcome);
  };
  line_.Submit(std::move(request));
}

void BusScan::Answered(int address, const LineOutcome& outcome) {
  if (!running_ || address != next_) return;
  ++next_;
  BusDevice device;
  device.address = address;
  if (const std::string failure = OutcomeFailure(outcome, true); failure.empty()) {
    device = BusDeviceFromBlock(address, outcome.data);
    ++found_;
  } else if (NobodyAnswered(outcome)) {
    device.state = BusDevice::State::Absent;
  } else {
    device.state = BusDevice::State::Error;
    device.error = failure;
  }
  if (OnAnswer) OnAnswer(device);
  // A closed line answers no further address.
  if (!outcome.started || stopping_)
    Finish(true);
  else
    AskNext();
}

void BusScan::Finish(bool stopped) {
  running_ = false;
  stopping_ = false;
  if (OnFinished) OnFinished(stopped);
}
