#include "sim/DeviceBus.h"

#include <cstdio>

#include "link/PA422Messages.h"
#include "sim/Hex.h"
#include "sim/MonotonicClock.h"
#include "sim/StateFile.h"

DeviceBus::DeviceBus(SimLine& line, TimerQueue& timers, const BusConfig& config)
    : line_(line),
      timers_(timers),
      config_(config),
      log_(config.logPath),
      out_(line, timers, WireTiming(config.pacing)),
      handshake_(line, out_, timers, config.latencyNs,
                 Handshake::Hooks{
                     [this](uint8_t address, const std::string& frame) {
                       frames_.Add(std::to_string(address) + ":" +
                                   ToHex(reinterpret_cast<const uint8_t*>(frame.data()), frame.size()));
                     },
                     [this](uint8_t address, const std::string& frame) { return Execute(address, frame); },
                     [this](const TransactionRecord& record) { log_.Write(record); },
                     [this](const std::string& step) {
                       if (step != dropAtStep_ || !dropClient_) return false;
                       dropAtStep_.clear();
                       // Not from inside the handshake: the drop ends it.
                       timers_.At(MonotonicNs(), dropClient_);
                       return true;
                     }}),
      in_(line, timers, WireTiming(config.pacing), [this](uint8_t byte) { OnByte(byte); }) {
  LoadState();
  // Stray bytes still on the wire are the leaving client's, on a plain line too.
  line_.OnClient([this](bool attached) { OnClient(attached); });
  if (devices_.empty()) return;  // a plain line: nothing listens
  line_.OnBytesFromClient([this](const uint8_t* data, size_t count) { in_.Accept(data, count); });
  line_.OnControlLines([this](bool dtr, bool) { handshake_.OnDtr(dtr); });
}

void DeviceBus::LoadState() {
  DeviceMemories stored;
  if (!config_.statePath.empty()) {
    std::string why;
    switch (LoadStateFile(config_.statePath, stored, why)) {
      case StateLoad::Missing:
      case StateLoad::Loaded:
        break;
      case StateLoad::Corrupt: {
        // Kept aside rather than overwritten by the next change.
        const std::string aside = config_.statePath + ".corrupt";
        std::string note = "orbsim: state file " + config_.statePath + " is unusable (" + why +
                           "); starting from defaults";
        if (std::rename(config_.statePath.c_str(), aside.c_str()) == 0) note += "; it was moved to " + aside;
        std::fprintf(stderr, "%s\n", note.c_str());
        stored.clear();
        break;
      }
    }
  }
  for (uint8_t address : config_.addresses) {
    auto it = stored.find(address);
    devices_.emplace(address, OrbDevice(address, it != stored.end() ? it->second : DeviceMemory::Defaults(address),
                                        config_.storeMoves));
    if (it != stored.end()) stored.erase(it);
  }
  carried_ = std::move(stored);
}

void DeviceBus::SaveState() {
  if (config_.statePath.empty()) return;
  DeviceMemories all = carried_;
  for (const auto& [address, device] : devices_) all[address] = device.Memory();
  std::string error;
  if (SaveStateFile(config_.statePath, all, error)) {
    toldSaveFailure_ = false;
  } else if (!toldSaveFailure_) {
    std::fprintf(stderr, "orbsim: %s\n", error.c_str());
    toldSaveFailure_ = true;
  }
}

std::vector<uint8_t> DeviceBus::Addresses() const {
  std::vector<uint8_t> out;
  for (const auto& entry : devices_) out.push_back(entry.first);
  return out;
}

const OrbDevice* DeviceBus::Device(uint8_t address) const {
  auto it = devices_.find(address);
  return it == devices_.end() ? nullptr : &it->second;
}

DeviceFaults* DeviceBus::Faults(uint8_t address) {
  if (!devices_.count(address)) return nullptr;
  return &faults_[address];
}

bool DeviceBus::DelayFaults(uint8_t address, int frames, const DeviceFaults& faults) {
  if (!devices_.count(address)) return false;
  delayed_[address] = DelayedFaults{frames, faults};
  return true;
}

void DeviceBus::ClearAllFaults() {
  faults_.clear();
  delayed_.clear();
}

bool DeviceBus::DropClientAt(const std::string& step) {
  if (step != "dsr" && step != "dtid" && step != "frame" && step != "reply") return false;
  dropAtStep_ = step;
  return true;
}

bool DeviceBus::Stray(const std::string& bytes) {
  if (out_.QueuedBytes() + bytes.size() > kMaxStrayBacklog) return false;
  out_.Write(bytes);
  return true;
}

void DeviceBus::OnByte(uint8_t byte) {
  if (handshake_.Active()) {
    handshake_.OnByte(byte);
    return;
  }
  // An idle line: this byte is an address, a group byte or nothing at all.
  if (byte == pa422::GROUP_ENABLE_MANUAL_CONTROLS || byte == pa422::GROUP_DISABLE_MANUAL_CONTROLS) {
    OnGroupByte(byte);
    return;
  }
  auto it = devices_.find(byte);
  if (it == devices_.end()) return;
  const DeviceFaults& faults = faults_[byte];
  if (faults.absent) return;
  handshake_.Begin(byte, faults);
}

// Sent alone, without a handshake or a reply; every device hears it.
void DeviceBus::OnGroupByte(uint8_t code) {
  for (auto& [address, device] : devices_) device.SetManual(code == pa422::GROUP_ENABLE_MANUAL_CONTROLS);
  // GCC 12 at -O3 takes a one-character literal put before a temporary
  // string for an overlapping copy (GCC bug 105329); nothing overlaps.
  // clang, which builds the fuzzers, has no such warning.
#pragma GCC diagnostic push
#ifndef __clang__
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
  frames_.Add("<" + std::to_string(code) + ">");
#pragma GCC diagnostic pop
  TransactionRecord record;
  record.startNs = record.endNs = MonotonicNs();
  record.address = code;
  record.frame = std::string(1, static_cast<char>(code));
  record.outcome = "group";
  log_.Write(record);
}

void DeviceBus::OnClient(bool attached) {
  if (attached) return;
  handshake_.ClientGone();
  in_.Reset();
  out_.Reset();  // DSR ends down for the next client
}

DeviceReply DeviceBus::Execute(uint8_t address, const std::string& frame) {
  OrbDevice& device = devices_.at(address);
  DeviceReply reply = device.Execute(frame);
  // A delayed fault starts with the address byte of the next transaction.
  if (auto it = delayed_.find(address); it != delayed_.end() && --it->second.framesLeft <= 0) {
    faults_[address] = it->second.faults;
    delayed_.erase(it);
  }
  // Stored before the reply goes out: a reply means the change is kept.
  if (reply.memoryChanged) SaveState();
  return reply;
}
