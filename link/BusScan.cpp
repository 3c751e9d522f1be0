#include "link/BusScan.h"

#include <algorithm>

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
  found_ = absent_ = 0;
  absentSeconds_ = 0;
  running_ = true;
  stopping_ = false;
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
  // Devices answer in a fraction of the time-out: the average so far would
  // promise far too little once the devices in use, low on the bus, answered.
  const double each = absent_ ? absentSeconds_ / absent_ : kAbsentAddressSeconds;
  const double asking =
      running_ ? std::chrono::duration<double>(std::chrono::steady_clock::now() - asked_).count()
               : 0;
  return left * each - std::min(asking, each);
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
  asked_ = std::chrono::steady_clock::now();
  line_.Submit(std::move(request));
}

void BusScan::Answered(int address, const LineOutcome& outcome) {
  if (!running_ || address != next_) return;
  ++next_;
  // From here the next address counts as being asked.
  const auto now = std::chrono::steady_clock::now();
  const double took = std::chrono::duration<double>(now - asked_).count();
  asked_ = now;
  BusDevice device;
  device.address = address;
  if (const std::string failure = OutcomeFailure(outcome, true); failure.empty()) {
    device = BusDeviceFromBlock(address, outcome.data);
    ++found_;
  } else if (NobodyAnswered(outcome)) {
    device.state = BusDevice::State::Absent;
    ++absent_;
    absentSeconds_ += took;
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
