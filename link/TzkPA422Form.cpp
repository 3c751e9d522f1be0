#include "link/TzkPA422Form.h"

#include <sys/prctl.h>


#include "link/MessageLogger.h"
#include "serial/ApdExceptions.h"
#include "serial/PortNames.h"
#include "settings/IniFile.h"
#include "settings/SettingsLocation.h"

namespace {
uint8_t FirstByte(const pa422::Bytes& frame) {
  return frame.empty() ? 0 : static_cast<uint8_t>(frame[0]);
}
}  // namespace

TzkPA422Form::TzkPA422Form(UiPoster& ui, ExceptionDisplay& exceptions, MessageBoxes& messages,
                           std::function<EqualizerNotifications*()> activeWindow)
    : ApdComPort(ui, exceptions),
      ui_(ui),
      messages_(messages),
      activeWindow_(std::move(activeWindow)) {
  // The pauses are part of every transaction's time: the kernel's default
  // 50 us of timer slack is not added to this thread's timed waits.
  prctl(PR_SET_TIMERSLACK, 1UL);
  ApdComPort.SetComNumber(1);
  ApdComPort.Parity = pEven;
  ApdComPort.AutoOpen = false;
  ApdComPort.SetDTR(false);
  ApdComPort.SetRTS(false);
  ApdComPort.SetTracing(tlOn);
  ApdComPort.SetLogging(tlOn);
  ApdComPort.TapiMode = tmOff;
  ApdComPort.DeviceNameForPort = [this](uint16_t n) {
    IniFile ini(SettingsFilePath(ProgramDir));
    return DeviceForPort(n, [&](const std::string& section, const std::string& key) {
      return ini.ReadString(section, key, "");
    });
  };
  ApdComPort.OnTriggerModemStatus = [this](TApdComPort& p) { ApdComPortTriggerModemStatus(p); };
  ApdComPort.OnTriggerAvail = [this](TApdComPort& p, uint16_t n) { ApdComPortTriggerAvail(p, n); };
  ApdComPort.OnTriggerTimer = [this](TApdComPort& p, uint16_t h) { ApdComPortTriggerTimer(p, h); };
}

void TzkPA422Form::FormCreate() {
  TraceLine(" Creating TzkPA422Form");
  PendingEdit = TPendingEdit::None;
  CommState = 0;
  Connected = false;
  IniFile ini(SettingsFilePath(ProgramDir));
  int port = ini.ReadInteger("Communications", "Com Port", 0);
  ApdComPort.SetComNumber(static_cast<uint16_t>(port < 0 || port > 0xFFFF ? 0 : port));
}

void TzkPA422Form::ShowError(const std::string& text) {
  lastError_ = text;
  {
    struct Reporting {
      int& count;
      explicit Reporting(int& c) : count(c) { ++count; }
      ~Reporting() { --count; }
    } reporting(reportingErrors_);
    messages_.ShowMessage(kCaption, text, MessageIcon::Error);
  }
  // Work held back while the box was open may go on, once whatever showed
  // the box has finished.
  if (Listener && reportingErrors_ == 0)
    ui_.PostAfter(0, [this] {
      if (Listener && CommState == 0 && !ReportingError()) Listener->ErrorBoxClosed();
    });
}

void TzkPA422Form::ReportFailure(const std::string& text) {
  if (!Quiet) return ShowError(text);
  // Background work reports in its own view: the text travels with the
  // transaction's end.
  lastError_ = text;
  TraceLine(" " + text);
}

void TzkPA422Form::Notify(void (EqualizerNotifications::*notification)()) {
  if (Quiet || Unannounced) return;  // the requester hears it from the end
  if (EqualizerNotifications* window = activeWindow_ ? activeWindow_() : nullptr)
    (window->*notification)();
}

void TzkPA422Form::EndTransaction(bool succeeded, const pa422::Bytes& data, bool linkFailed) {
  TransactionEnd end;
  end.succeeded = succeeded;
  end.address = addressInFlight_;
  end.command = FirstByte(PendingCommand);
  end.frame = PendingCommand;
  if (!succeeded) end.message = lastError_;
  end.data = data;
  end.linkFailed = linkFailed;
  Quiet = false;
  Unannounced = false;
  if (Listener) Listener->TransactionEnded(end);
}

void TzkPA422Form::WaitThen(int ms, std::function<void()> next) {
  waiting_ = true;
  const uint64_t serial = ++waitSerial_;
  ui_.PostAfter(ms, [this, serial, next = std::move(next)] {
    if (serial != waitSerial_) return;  // the port closed meanwhile
    waiting_ = false;
    next();
  });
}

void TzkPA422Form::DisarmTimers() {
  Disarm(AddressTimer);
  Disarm(DtIdTimer);
  Disarm(DataTimer);
}

uint8_t TzkPA422Form::ResponseByte(int pos) const {
  return pos >= 1 && static_cast<size_t>(pos) <= ResponseBuffer.size()
             ? static_cast<uint8_t>(ResponseBuffer[pos - 1])
             : 0;
}

namespace {
// The engine's own text for each error of opening the port that it handles;
// empty for the errors it lets through.
std::string OpenFailureText(int apdCode) {
  switch (apdCode) {
    case EAlreadyOpen::kCode: return "Connect aborted - Com Port Already Open";
    case EBadArgument::kCode: return "Com port open aborted - Bad Argument Error";
    case EBadId::kCode: return "Connect aborted - Invalid Port";
    case EByteSize::kCode: return "Com port open aborted - Byte Size Error";
    case EDefault::kCode: return "Com port open aborted - Default Error";
    case EHardware::kCode: return "Com port open aborted - Hardware Error";
    case EMemory::kCode: return "Com port open aborted - Memory Error";
    case ENoHandles::kCode: return "Com port open aborted - No Handles Error";
    case ENullApi::kCode: return "Com port open aborted - Null API Error";
    default: return "";
  }
}
}  // namespace

void TzkPA422Form::Connect() {
  if (Connected) {
    // A line that went away (a dropped network connection, a vanished
    // device) stays dead while its port is open: open it anew, so that the
    // next transaction reaches the line once it is back.
    if (!ApdComPort.LineGone()) return;
    Disconnect();
  }
  std::string failure;
  bool linkFailed = false;
  try {
    ApdComPort.SetOpen(true);
    Connected = true;
    DsrTrigger = ApdComPort.AddStatusTrigger(stModem);
    AddressTimer = ApdComPort.AddTimerTrigger();
    DtIdTimer = ApdComPort.AddTimerTrigger();
    DataTimer = ApdComPort.AddTimerTrigger();
    ApdComPort.SetRTS(true);
    return;
  } catch (const EAPDException& e) {
    failure = OpenFailureText(e.ErrorCode());
    if (failure.empty()) throw;  // ENoPortSelected and the like reach the caller
    linkFailed = e.ErrorCode() == EAlreadyOpen::kCode;
  } catch (const EInOutError&) {
    failure = "Com port open aborted - IN/OUT Error";
  } catch (const EOutOfMemory&) {
    failure = "Com port open aborted - Out of Memory Error";
  }
  ShowError(failure);
  if (linkFailed) Notify(&EqualizerNotifications::LinkFailed);
}

void TzkPA422Form::Disconnect() {
  // A transaction cannot survive the port closing: end it here, and leave no
  // armed trigger behind to fire after the next connect.
  if (ApdComPort.Open()) {
    DisarmTimers();
    ApdComPort.SetStatusTrigger(DsrTrigger, 0, false);
    ApdComPort.SetDTR(false);
  }
  const bool running = CommState != 0;
  CommState = 0;
  Connected = false;
  waiting_ = false;
  ++waitSerial_;
  runningPresets_.clear();
  ApdComPort.SetOpen(false);
  if (running) {
    lastError_ = "The port was closed.";
    EndTransaction(false);
  }
}

void TzkPA422Form::SendImmediateCommand(uint8_t address, const pa422::Bytes& frame) {
  std::string request = "SendImmediateCommand = " + CommandName(FirstByte(frame));
  TraceLine(" " + request);
  if (!MayStart(request)) return;
  StartTransaction(address, frame);
  ResponseLen = 0;
}

void TzkPA422Form::SendResponseCmd(uint8_t address, const pa422::Bytes& frame, int n) {
  std::string request = " SendResponseCmd = " + CommandName(FirstByte(frame)) +
                        " ResponseLen = " + std::to_string(ResponseLen);
  TraceLine(request);
  if (!MayStart(request)) return;
  StartTransaction(address, frame);
  ResponseLen = n + 1;
  ResponseBuffer.clear();
}

bool TzkPA422Form::MayStart(const std::string& request) {
  if (CommState != 0) {
    TraceLine(" ERROR Entry CS=" + std::to_string(CommState) + request);
    ShowError("ERROR - Data Transfer In Progress");
    return false;
  }
  return ApdComPort.Open();  // before Connect, or after a failed open: nothing, silently
}

void TzkPA422Form::StartTransaction(uint8_t address, const pa422::Bytes& frame) {
  InBuff.clear();
  ArmDsrTrigger();
  if (ApdComPort.OutBuffFree() >= 1) ApdComPort.PutChar(address);
  PendingCommand = frame;
  commandInFlight_ = LastCommand;
  addressInFlight_ = address;
  CommState = 1;
  Arm(AddressTimer);
}

void TzkPA422Form::EnableManualControls() {
  if (ApdComPort.Open() && ApdComPort.OutBuffFree() >= 1)
    ApdComPort.PutChar(pa422::GROUP_ENABLE_MANUAL_CONTROLS);
}

void TzkPA422Form::ApdComPortTriggerModemStatus(TApdComPort&) {
  // Line changes during a pause are taken as the pause's end finds them.
  if (waiting_) return;
  if (!ApdComPort.DeltaDSR()) {
    ArmDsrTrigger();
    TraceLine(" Bogus Handshake Rcvd");
    return;
  }
  if (!ApdComPort.DSR()) {
    // DSR fell: the previous device let go of the line. When that fall used
    // up the trigger armed for the next transaction (the port had not yet
    // seen it when the trigger was armed), arm it again so that the next
    // device's DSR is seen.
    if (CommState != 1) return;
    ArmDsrTrigger();
    // A rise that came between the reading above and the arming is part of
    // the trigger's starting state and would never fire it: look again, and
    // take such a rise now.
    if (!ApdComPort.DSR()) return;
  }
  TraceLine(" DSR = True CommState = 2");
  Disarm(AddressTimer);
  // The device gets its 100 ms before DTR; the user-interface thread goes
  // on meanwhile.
  WaitThen(kDtrDelayMs, [this] {
    ApdComPort.SetDTR(true);
    CommState = 2;
    Arm(DtIdTimer);
  });
}

void TzkPA422Form::ApdComPortTriggerAvail(TApdComPort&, uint16_t count) {
  TraceLine(" CPTrigCnt = " + std::to_string(count));
  if (count == 0) {
    ShowError("Count = 0 in TriggerAvail");
    return;
  }
  for (uint16_t i = 0; i < count; ++i) {
    char c = static_cast<char>(ApdComPort.GetChar());
    if (InBuff.size() < kMaxInBuff) InBuff += c;
  }
  if (waiting_) {
    // A pause is part of no phase: what arrives during it is kept, as it
    // would have been taken after it.
    TraceLine(" Exiting CommState =" + std::to_string(CommState));
    return;
  }
  if (CommState == 2) {
    // The pair may come in two reads (a network serial server splits its
    // data anywhere): one byte waits for the other while the DT/ID timer
    // runs.
    if (InBuff.size() == 2) {
      if (!HandleDtId()) return;
    } else if (InBuff.size() > 2) {
      Disarm(DtIdTimer);
      CommState = 0;
      ApdComPort.SetDTR(false);
      TraceLine(" Improper DT/ID Response CommState = 0");
      NoteTransactionEnd(false);
      ReportFailure("Error on Device Type or Mfg ID");
      Notify(&EqualizerNotifications::LinkFailed);
      EndTransaction(false, {}, true);
      return;
    }
  } else if (CommState == 3 && ResponseLen == 0) {
    if (HandleStatusReply()) return;
  } else if (CommState == 3) {
    if (InBuff.size() > static_cast<size_t>(ResponseLen)) {
      HandleOverlongReply();
      return;
    } else if (InBuff.size() == static_cast<size_t>(ResponseLen)) {
      HandleDataReply();
      return;
    }
  }
  TraceLine(" Exiting CommState =" + std::to_string(CommState));
}

bool TzkPA422Form::HandleDtId() {
  Disarm(DtIdTimer);
  if (!pa422::IsValidDtId(static_cast<uint8_t>(InBuff[0]), static_cast<uint8_t>(InBuff[1]))) {
    // The transaction ends before the box is shown, so that bytes arriving
    // while it is open are not taken as part of it.
    CommState = 0;
    ApdComPort.SetDTR(false);
    TraceLine(" Invalid DT/ID CommState = 0");
    NoteTransactionEnd(false);
    ReportFailure("Error on Device Type or Mfg ID");
    Notify(&EqualizerNotifications::LinkFailed);
    EndTransaction(false, {}, true);
    return false;
  }
  CommState = 3;
  TraceLine(" CommState = 3");
  InBuff.clear();
  ArmDsrTrigger();
  Arm(DataTimer);
  if (ApdComPort.OutBuffFree() >= PendingCommand.size()) ApdComPort.PutString(PendingCommand);
  return true;
}

bool TzkPA422Form::HandleStatusReply() {
  Disarm(DataTimer);
  ApdComPort.SetDTR(false);
  CommState = 0;
  TraceLine(" CommState = 0-ResponseLen=0");
  // Taken now: bytes that arrive while a message box is open join InBuff.
  const bool failed = InBuff.size() != 1 || InBuff[0] != 0;
  NoteTransactionEnd(!failed);
  if (InBuff.size() == 1) {
    uint8_t status = static_cast<uint8_t>(InBuff[0]);
    if (status != 0) {
      ReportFailure("ComStat Error -" + std::to_string(status));
    } else if (commandInFlight_ == pa422::REPROGRAM_DEVICE_CHANNEL_FROM_MEMORY) {
      DisarmTimers();
      Notify(&EqualizerNotifications::PresetRecalled);
      EndTransaction(true);
      return true;
    } else if (commandInFlight_ == pa422::UPDATE_PARAMETER) {
      DisarmTimers();
      Notify(&EqualizerNotifications::UpdateDone);
      EndTransaction(true);
      return true;
    }
  } else if (InBuff.size() > 1) {
    ReportFailure("Too many Comstats buffered");
  } else {
    ReportFailure("not enuff Comstats buffered");
  }
  DisarmTimers();
  if (!failed) {
    EndTransaction(true);
    return false;  // done; the other commands have no notification
  }
  // A refusal or a malformed reply: the window learns of it once the timers
  // are off, since it may start its next transaction at once.
  Notify(&EqualizerNotifications::TransactionFailed);
  EndTransaction(false);
  return true;
}

void TzkPA422Form::HandleOverlongReply() {
  ApdComPort.SetDTR(false);
  CommState = 0;
  NoteTransactionEnd(false);
  DisarmTimers();
  PendingEdit = TPendingEdit::None;
  TraceLine(" Buffer Overflow CommState = 0");
  ReportFailure("Too many chars Recieved.");
  Notify(&EqualizerNotifications::TransactionFailed);
  EndTransaction(false);
}

void TzkPA422Form::HandleDataReply() {
  uint8_t status = static_cast<uint8_t>(InBuff.back());
  if (status == 0) ResponseBuffer = InBuff;
  DisarmTimers();
  ApdComPort.SetDTR(false);
  NoteTransactionEnd(status == 0);
  if (status != 0) {
    CommState = 0;
    TraceLine(" CommState = 0-Success");
    // No follow-up and no AllDataReceived: neither may work from a block
    // other than the one just recalled. The window hears of the failure.
    ReportFailure("ComStat Error - " + std::to_string(status));
    Notify(&EqualizerNotifications::TransactionFailed);
    EndTransaction(false);
    return;
  }
  // The device gets its 150 ms after the reply. The transaction holds the
  // line until then (nothing else may start), while the user-interface
  // thread goes on.
  WaitThen(kAfterDataDelayMs, [this] {
    CommState = 0;
    TraceLine(" CommState = 0-Success");
    if (PendingEdit != TPendingEdit::None) return RunFollowUp();
    const pa422::Bytes data = ResponseBuffer;
    Notify(&EqualizerNotifications::AllDataReceived);
    EndTransaction(true, data);
  });
}

void TzkPA422Form::ApdComPortTriggerTimer(TApdComPort&, uint16_t handle) {
  if (handle == AddressTimer) {
    ApdComPort.SetDTR(false);
    Disarm(DtIdTimer);
    Disarm(DataTimer);
    CommState = 0;
    TraceLine(" CommState = 0-TriggerTimer1");
    ReportFailure("ORB Not Found.");
  } else if (handle == DtIdTimer) {
    ApdComPort.SetDTR(false);
    Disarm(DataTimer);
    CommState = 0;
    ReportFailure("Timeout - Waiting for DT/ID.");
  } else if (handle == DataTimer) {
    ApdComPort.SetDTR(false);
    CommState = 0;
    TraceLine(" CommState = 0-TriggerTimer3");
    ReportFailure("Timeout - Waiting for Data from ORB.");
  } else {
    return;
  }
  NoteTransactionEnd(false);
  Notify(&EqualizerNotifications::LinkFailed);
  EndTransaction(false, {}, true);
}

void TzkPA422Form::NoteTransactionEnd(bool succeeded) {
  if (!succeeded) {
    // What the device runs after a refusal or a lost reply is unknown.
    runningPresets_.erase(addressInFlight_);
    return;
  }
  const uint8_t code = FirstByte(PendingCommand);
  auto byteAt = [&](size_t index) {
    return index < PendingCommand.size() ? static_cast<uint8_t>(PendingCommand[index]) : 0;
  };
  int preset = 0;
  if (code == pa422::REPROGRAM_DEVICE_CHANNEL_FROM_MEMORY)
    preset = byteAt(2);  // 0 reloads the current preset: no change
  else if (code == pa422::TRANSMIT_ALL_DATA)
    preset = byteAt(PendingCommand.size() - 1);  // 1..8 stores the preset and runs it
  else if (code == pa422::RECALL_ALL_DATA && byteAt(2) == 0)
    preset = ResponseByte(pa422::all_data::kPreset);  // the current settings name their preset
  if (preset >= 1 && preset <= 8) runningPresets_[addressInFlight_] = preset;
}

std::optional<int> TzkPA422Form::RunningPreset(int address) const {
  auto it = runningPresets_.find(address);
  if (it == runningPresets_.end()) return std::nullopt;
  return it->second;
}
