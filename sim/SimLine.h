#pragma once
// One simulated serial line. The RFC 2217 session of the connected client
// drives the computer's end (data out, DTR/RTS, settings); whatever sits on
// the line (the bus of simulated devices, the control channel) listens to
// it and drives the other end (data in, DSR/CTS/DCD/RI).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Modem line bits as NOTIFY-MODEMSTATE carries them.
enum : uint8_t {
  kSimCTS = 0x10,
  kSimDSR = 0x20,
  kSimRI = 0x40,
  kSimDCD = 0x80,
};

struct SimLineSettings {
  uint32_t baud = 9600;
  uint8_t dataBits = 8;
  char parity = 'N';     // N, O, E, M or S
  uint8_t stopSize = 1;  // 1, 2, or 3 for one and a half
  uint8_t flowOut = 1;   // SET-CONTROL codes: 1 none, 2 XON/XOFF, 3 hardware, 17/19 DCD/DSR
  uint8_t flowIn = 14;   // 14 none, 15 XON/XOFF, 16 hardware, 18 DTR
  bool breakOn = false;
};

// The connected client's side of the line, as the line sees it.
class SimLinePeer {
 public:
  virtual ~SimLinePeer() = default;
  // Sends received serial data to the client; returns the monotonic time
  // (ns) taken just before the write.
  virtual int64_t SendSerialData(const uint8_t* data, size_t count) = 0;
  // Tells the client about changed modem lines; returns the time taken just
  // before the notification was written, or -1 when none was sent.
  virtual int64_t NotifyModemState(uint8_t levels, uint8_t changeBits, uint8_t levelDelta) = 0;
};

class SimLine {
 public:
  using BytesListener = std::function<void(const uint8_t* data, size_t count)>;
  using ControlListener = std::function<void(bool dtr, bool rts)>;
  using SettingsListener = std::function<void(const SimLineSettings&)>;
  using ClientListener = std::function<void(bool attached)>;

  // ---- the computer's end, driven by the client's session
  void Attach(SimLinePeer* peer);
  // The client went away: like closing a serial port, DTR and RTS drop.
  void Detach(SimLinePeer* peer);
  bool HasClient() const { return peer_ != nullptr; }
  void ReceiveFromClient(const uint8_t* data, size_t count);
  void SetDtr(bool on);
  void SetRts(bool on);
  void SetSettings(const SimLineSettings& settings);

  bool Dtr() const { return dtr_; }
  bool Rts() const { return rts_; }
  const SimLineSettings& Settings() const { return settings_; }

  // ---- the far end, driven by what sits on the line
  uint8_t ModemLevels() const { return modem_; }
  // Sets DSR, CTS, DCD or RI (one kSim* bit). Returns the monotonic time (ns)
  // just before the client was notified, or now when nothing was sent.
  int64_t SetModemLine(uint8_t line, bool on);
  // Puts bytes on the line towards the client; returns the time (ns) just
  // before they were written (now when no client is connected).
  int64_t Transmit(const uint8_t* data, size_t count);

  void OnBytesFromClient(BytesListener listener) { bytesListeners_.push_back(std::move(listener)); }
  void OnControlLines(ControlListener listener) { controlListeners_.push_back(std::move(listener)); }
  void OnSettings(SettingsListener listener) { settingsListeners_.push_back(std::move(listener)); }
  // A client came or went; on leaving, after its DTR and RTS have dropped.
  void OnClient(ClientListener listener) { clientListeners_.push_back(std::move(listener)); }

 private:
  void ControlLinesChanged();

  SimLinePeer* peer_ = nullptr;
  bool dtr_ = false;
  bool rts_ = false;
  uint8_t modem_ = 0;
  SimLineSettings settings_;
  std::vector<BytesListener> bytesListeners_;
  std::vector<ControlListener> controlListeners_;
  std::vector<SettingsListener> settingsListeners_;
  std::vector<ClientListener> clientListeners_;
};
