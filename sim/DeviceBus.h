#pragma once
// The bus of simulated ORB devices on the line: routes the bytes that
// cross the wire to the addressed device's handshake, gives group bytes to
// every device, keeps the devices' memories in the state file, records
// frames for the control channel and logs each transaction.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "sim/DeviceFaults.h"
#include "sim/DeviceMemory.h"
#include "sim/Handshake.h"
#include "sim/InboundWire.h"
#include "sim/Observed.h"
#include "sim/OrbDevice.h"
#include "sim/OutboundWire.h"
#include "sim/SimLine.h"
#include "sim/TimerQueue.h"
#include "sim/TransactionLog.h"

struct BusConfig {
  std::vector<uint8_t> addresses{1};  // empty: a plain line without devices
  int64_t latencyNs = 0;  // waited before DSR, before the DT/ID and before the reply
  bool pacing = true;
  // Devices that store every move in their current preset as well as in
  // the working settings (UPDATE_PARAMETER and a transmit of preset 0);
  // without it, moves stay in the working settings until a transmit
  // stores them. The protocol leaves this open; units differ.
  bool storeMoves = false;
  std::string statePath;  // empty: memories last as long as the process
  std::string logPath;    // empty: no transaction log
};

class DeviceBus {
 public:
  // Raises std::runtime_error when the log cannot be opened.
  DeviceBus(SimLine& line, TimerQueue& timers, const BusConfig& config);
  DeviceBus(const DeviceBus&) = delete;
  DeviceBus& operator=(const DeviceBus&) = delete;

  std::vector<uint8_t> Addresses() const;
  // nullptr when no device has this address.
  const OrbDevice* Device(uint8_t address) const;
  DeviceFaults* Faults(uint8_t address);
  // `faults` replaces the address's faults once `frames` more frames for it
  // have been executed (a fault switched on halfway through a run); nothing
  // when no device has this address. A later fault or clear cancels it.
  bool DelayFaults(uint8_t address, int frames, const DeviceFaults& faults);
  void CancelDelayedFaults(uint8_t address) { delayed_.erase(address); }
  void ClearAllFaults();
  // "<address>:<frame hex>" for each complete frame, and "<253>" for a
  // group byte, since the last call (the oldest dropped beyond the record's
  // bounds, and counted).
  FrameRecord::Taken TakeFrames() { return frames_.Take(); }
  // Puts bytes on the line towards the client, through the wire; false
  // (and nothing sent) while earlier stray bytes would keep the wire busy
  // beyond kMaxStrayBacklog.
  bool Stray(const std::string& bytes);
  // How the server drops its client; called from a timer, never from
  // inside the bus.
  void SetClientDropper(std::function<void()> drop) { dropClient_ = std::move(drop); }
  // The next transaction that takes `step` ("dsr", "dtid", "frame" or
  // "reply", see Handshake) drops the client's connection right after it,
  // a reply after its first half; once. False for an unknown step.
  bool DropClientAt(const std::string& step);

  // Bytes waiting for the wire towards the client beyond which stray bytes
  // are refused: 9.4 s at 19200 baud.
  static constexpr size_t kMaxStrayBacklog = 16 * 1024;

 private:
  void LoadState();
  void SaveState();
  void OnByte(uint8_t byte);
  void OnGroupByte(uint8_t code);
  void OnClient(bool attached);
  DeviceReply Execute(uint8_t address, const std::string& frame);

  SimLine& line_;
  TimerQueue& timers_;
  const BusConfig config_;
  std::map<uint8_t, OrbDevice> devices_;
  std::map<uint8_t, DeviceFaults> faults_;
  struct DelayedFaults {
    int framesLeft = 0;
    DeviceFaults faults;
  };
  std::map<uint8_t, DelayedFaults> delayed_;
  std::function<void()> dropClient_;
  std::string dropAtStep_;
  DeviceMemories carried_;  // from the state file, for devices not on this bus
  FrameRecord frames_;
  bool toldSaveFailure_ = false;
  TransactionLog log_;
  OutboundWire out_;
  Handshake handshake_;
  InboundWire in_;
};
