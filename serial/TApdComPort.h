#pragma once
// The serial port component: opens a port by number with fixed line
// settings, drives DTR and RTS, reports DSR, queues output for a background
// writer, receives into a ring and raises data-available, timer and
// modem-status events on the user-interface thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "serial/ComTrace.h"
#include "serial/ComTriggers.h"
#include "serial/UiInterfaces.h"

enum TParity { pNone, pOdd, pEven, pMark, pSpace };
enum TDeviceLayer { dlWin16, dlFossil, dlWin32, dlWinsock };
enum TTapiMode { tmNone, tmAuto, tmOn, tmOff };
enum TSWFlowOptions { swfNone, swfReceive, swfTransmit, swfBoth };
enum THWFlowOption : uint8_t {
  hwfUseDTR = 1, hwfUseRTS = 2, hwfRequireDSR = 4, hwfRequireCTS = 8
};

// Message numbers passed to OnTrigger before each event.
enum : uint16_t { apw_TriggerAvail = 1, apw_TriggerTimer = 2, apw_TriggerStatus = 3 };

struct PortSession;

class TApdComPort {
 public:
  TApdComPort(UiPoster& ui, ExceptionDisplay& exceptions);
  ~TApdComPort();
  TApdComPort(const TApdComPort&) = delete;
  TApdComPort& operator=(const TApdComPort&) = delete;

  // Line settings and sizes, applied at the next open.
  int32_t Baud = 19200;
  TParity Parity = pNone;
  uint16_t DataBits = 8;
  uint16_t StopBits = 1;
  uint16_t InSize = 4096;
  uint16_t OutSize = 4096;
  bool AutoOpen = true;
  bool PromptForPort = true;
  uint8_t HWFlowOptions = 0;
  TSWFlowOptions SWFlowOptions = swfNone;
  char XOnChar = 17, XOffChar = 19;
  uint16_t BufferFull = 0, BufferResume = 0;
  uint32_t TraceSize = 10000, LogSize = 10000;
  std::string TraceName = "APRO.TRC", LogName = "APRO.LOG";
  bool TraceHex = true, LogHex = true;
  TTapiMode TapiMode = tmAuto;
  TDeviceLayer DeviceLayer = dlWin32;
  bool UseEventWord = true, UseMSRShadow = true, RS485Mode = false;
  uint16_t CommNotificationLevel = 10;

  // The Select Port dialog shown when opening with ComNumber 0 (none: no prompt).
  PortSelector* SelectPortDialog = nullptr;
  // Device name of a port number; by default /dev/ttyS<n-1>.
  std::function<std::string(uint16_t)> DeviceNameForPort;

  // Events, raised on the user-interface thread.
  std::function<void(TApdComPort& CP, uint16_t Count)> OnTriggerAvail;
  std::function<void(TApdComPort& CP, uint16_t TriggerHandle)> OnTriggerTimer;
  std::function<void(TApdComPort& Sender)> OnTriggerModemStatus;
  std::function<void(TApdComPort& CP, uint16_t Msg, uint16_t TriggerHandle, uint16_t Data)>
      OnTrigger;
  std::function<void(TApdComPort& CP, uint16_t TriggerHandle)> OnTriggerStatus;

  uint16_t ComNumber() const { return comNumber_; }
  // While open, closes and reopens on the new number.
  void SetComNumber(uint16_t n);

  bool Open() const { return session_ != nullptr; }
  void SetOpen(bool open);
  // The port is open but its line went away (a network connection that
  // dropped, a device that vanished): it stays so until closed and opened
  // again.
  bool LineGone() const;

  TTraceLogState Tracing() const { return tracing_; }
  void SetTracing(TTraceLogState s) { tracing_ = s; }
  TTraceLogState Logging() const { return logging_; }
  void SetLogging(TTraceLogState s) { logging_ = s; }

  bool DTR() const { return dtr_; }
  void SetDTR(bool on);
  bool RTS() const { return rts_; }
  void SetRTS(bool on);
  bool DSR();
  bool DeltaDSR();
  uint16_t OutBuffFree();

  void PutChar(uint8_t c);
  void PutString(const std::string& bytes);
  uint8_t GetChar();

  uint16_t AddTimerTrigger();
  void SetTimerTrigger(uint16_t handle, uint32_t ticks, bool activate);
  uint16_t AddStatusTrigger(uint16_t kind);
  void SetStatusTrigger(uint16_t handle, uint16_t value, bool activate);

  // The modem status byte as held (line states and sticky change bits).
  uint8_t ModemStatus() const;

 private:
  friend struct PortSession;
  void OpenPort();
  void ClosePort();

  UiPoster& ui_;
  ExceptionDisplay& exceptions_;
  uint16_t comNumber_ = 0;
  bool dtr_ = true;
  bool rts_ = true;
  TTraceLogState tracing_ = tlOff;
  TTraceLogState logging_ = tlOff;
  std::shared_ptr<PortSession> session_;
  // Closed sessions whose dispatch thread was still delivering an event;
  // joined once it has returned.
  std::vector<std::shared_ptr<PortSession>> lingering_;
  // Triggers saved at the last close, installed at the next open.
  std::unique_ptr<TriggerLists::Saved> savedTriggers_;
};
