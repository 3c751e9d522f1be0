#pragma once
// One simulated ORB device's answer to a complete command frame: checks it,
// changes its memory and builds the reply (data bytes, then a status byte).
#include <cstdint>
#include <string>

#include "sim/DeviceMemory.h"

// Status bytes the devices reply with.
enum DeviceStatus : uint8_t {
  kStatusOk = 0,
  kStatusUnknownCommand = 1,
  kStatusWrongPassword = 2,
  kStatusOutOfRange = 3,  // channel, preset, parameter, level or filter index
  kStatusPresetLocked = 4,
};

struct DeviceReply {
  std::string data;  // ReplyDataLength(code) bytes (zeros when refused)
  uint8_t status = kStatusOk;
  bool memoryChanged = false;
};

class OrbDevice {
 public:
  // With storeMoves, UPDATE_PARAMETER and a transmit of preset 0 change the
  // current stored preset too (unless it is locked), as well as the working
  // settings.
  OrbDevice(uint8_t address, DeviceMemory memory, bool storeMoves = false)
      : address_(address), memory_(std::move(memory)), storeMoves_(storeMoves) {}

  // `frame` holds FrameLength(frame[0]) bytes, or just the code when the
  // code is unknown. Checks run in this order: password, values, lock;
  // a refused command changes nothing.
  DeviceReply Execute(const std::string& frame);

  uint8_t Address() const { return address_; }
  const DeviceMemory& Memory() const { return memory_; }
  // The front-panel controls: given back by the group byte, taken away by
  // any command addressed to the device.
  bool Manual() const { return manual_; }
  void SetManual(bool on) { manual_ = on; }

 private:
  uint8_t Recall(const std::string& frame, std::string& data) const;
  uint8_t Transmit(const std::string& frame);
  uint8_t Reprogram(const std::string& frame);
  uint8_t SetBypass(const std::string& frame, bool on);
  uint8_t SetName(const std::string& frame);
  uint8_t SetLock(const std::string& frame, bool on);
  uint8_t UpdateParameter(const std::string& frame);
  // A device that stores moves keeps the working settings' curve in the
  // current preset too, the preset's own lock flag aside.
  void StoreWorkingSettings();

  const uint8_t address_;
  DeviceMemory memory_;
  bool manual_ = true;  // powered up with its own controls working
  const bool storeMoves_;
};
