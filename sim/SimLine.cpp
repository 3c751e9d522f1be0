#include "sim/SimLine.h"

#include "sim/MonotonicClock.h"

void SimLine::Attach(SimLinePeer* peer) {
  peer_ = peer;
  for (auto& listener : clientListeners_) listener(true);
}

void SimLine::Detach(SimLinePeer* peer) {
  if (peer_ != peer) return;
  peer_ = nullptr;
  if (dtr_ || rts_) {
    dtr_ = rts_ = false;
    ControlLinesChanged();
  }
  for (auto& listener : clientListeners_) listener(false);
}

void SimLine::ReceiveFromClient(const uint8_t* data, size_t count) {
  for (auto& listener : bytesListeners_) listener(data, count);
}

void SimLine::SetDtr(bool on) {
  if (dtr_ == on) return;
  dtr_ = on;
  ControlLinesChanged();
}

void SimLine::SetRts(bool on) {
  if (rts_ == on) return;
  rts_ = on;
  ControlLinesChanged();
}

void SimLine::ControlLinesChanged() {
  for (auto& listener : controlListeners_) listener(dtr_, rts_);
}

void SimLine::SetSettings(const SimLineSettings& settings) {
  settings_ = settings;
  for (auto& listener : settingsListeners_) listener(settings_);
}

int64_t SimLine::SetModemLine(uint8_t line, bool on) {
  const uint8_t before = modem_;
  modem_ = on ? (modem_ | line) : (modem_ & ~line);
  const uint8_t delta = before ^ modem_;
  if (delta == 0 || peer_ == nullptr) return MonotonicNs();
  uint8_t changeBits = 0;
  if (delta & kSimCTS) changeBits |= 0x01;
  if (delta & kSimDSR) changeBits |= 0x02;
  if ((delta & kSimRI) && !(modem_ & kSimRI)) changeBits |= 0x04;  // trailing edge only
  if (delta & kSimDCD) changeBits |= 0x08;
  int64_t at = peer_->NotifyModemState(modem_, changeBits, delta);
  return at >= 0 ? at : MonotonicNs();
}

int64_t SimLine::Transmit(const uint8_t* data, size_t count) {
  if (peer_ == nullptr || count == 0) return MonotonicNs();
  return peer_->SendSerialData(data, count);
}
