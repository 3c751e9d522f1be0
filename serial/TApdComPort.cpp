#include "serial/TApdComPort.h"

#include <algorithm>

#include "serial/ApdExceptions.h"
#include "serial/PortNames.h"
#include "serial/PortSession.h"

TApdComPort::TApdComPort(UiPoster& ui, ExceptionDisplay& exceptions)
    : DeviceNameForPort(DefaultDeviceForPort), ui_(ui), exceptions_(exceptions) {}

TApdComPort::~TApdComPort() {
  try {
    SetOpen(false);
  } catch (const std::exception& e) {
    exceptions_.ShowException(e.what());
  }
  for (auto& s : lingering_) s->JoinAll();
}

void TApdComPort::SetOpen(bool open) {
  if (open == Open()) return;
  if (open)
    OpenPort();
  else
    ClosePort();
}

void TApdComPort::SetComNumber(uint16_t n) {
  if (n == comNumber_) return;
  if (!Open()) {
    comNumber_ = n;
    return;
  }
  TTraceLogState tracing = tracing_, logging = logging_;
  ClosePort();  // saves the triggers and writes the trace and log files
  comNumber_ = n;
  tracing_ = tracing;
  logging_ = logging;
  OpenPort();
}

namespace {
LineSettings LineSettingsFor(const TApdComPort& p) {
  LineSettings s;
  s.baud = p.Baud;
  s.parity = static_cast<ParityKind>(std::clamp<int>(p.Parity, pNone, pSpace));
  s.dataBits = p.DataBits;
  s.stopBits = p.StopBits == 0 ? 1 : std::min<int>(p.StopBits, 2);
  return s;
}
}  // namespace

void TApdComPort::OpenPort() {
  if (comNumber_ == 0) {
    std::optional<uint16_t> chosen;
    if (PromptForPort && SelectPortDialog) chosen = SelectPortDialog->SelectPort();
    if (!chosen || *chosen == 0) throw ENoPortSelected();
    comNumber_ = *chosen;
  }
  if (DeviceLayer != dlWin32) throw ENullApi();

  std::shared_ptr<SerialDevice> device = OpenSerialDevice(DeviceNameForPort(comNumber_));
  LineSettings wanted = LineSettingsFor(*this);
  if (!(device->GetLine() == wanted)) device->SetLine(wanted);

  auto session = std::make_shared<PortSession>(*this, ui_, exceptions_, device, OutSize);
  session->modemStatus = device->ModemLines() & kLineStates;
  session->triggers.Reset();
  if (!session->StartThreads()) {
    if (!session->Stop()) lingering_.push_back(session);
    throw EInOutError(EAGAIN, "The serial port's background threads did not start");
  }

  {
    std::lock_guard l(session->lock);
    if (tracing_ == tlOn) session->trace.Start(TraceSize);
    if (logging_ == tlOn) session->log.Start(LogSize);
    session->Log(ltTrDatChg, lsAvailTrigger, 1);
    session->Log(ltTrgHdAlc, lsWindow,
                 static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&ui_)));
    if (savedTriggers_) session->triggers.Install(*savedTriggers_);
  }
  // Turning flow control off raises both lines; then they take the properties' values.
  device->SetDTR(true);
  device->SetRTS(true);
  device->SetDTR(dtr_);
  device->SetRTS(rts_);
  session_ = session;
}

void TApdComPort::ClosePort() {
  auto session = std::move(session_);
  session->closed = true;
  std::exception_ptr fileError;
  {
    std::lock_guard l(session->lock);
    savedTriggers_ = std::make_unique<TriggerLists::Saved>(session->triggers.Save());
    try {
      if (session->trace.Active()) session->trace.Dump(TraceName, TraceHex);
    } catch (...) {
      fileError = std::current_exception();
    }
    try {
      if (session->log.Active()) session->log.Dump(LogName, LogHex);
    } catch (...) {
      if (!fileError) fileError = std::current_exception();
    }
    // Recording covers the first connection only.
    if (tracing_ == tlOn) tracing_ = tlOff;
    if (logging_ == tlOn) logging_ = tlOff;
    session->output.Clear();
  }
  if (auto dev = session->device) dev->PurgeTx();
  std::erase_if(lingering_, [](const auto& s) { return s->Reap(); });
  if (!session->Stop()) lingering_.push_back(session);
  // The port is released first; a trace or log file error still reaches the caller.
  if (fileError) std::rethrow_exception(fileError);
}

void TApdComPort::SetDTR(bool on) {
  dtr_ = on;
  if (session_)
    if (auto dev = session_->device) dev->SetDTR(on);
}

void TApdComPort::SetRTS(bool on) {
  rts_ = on;
  if (session_)
    if (auto dev = session_->device) dev->SetRTS(on);
}

uint8_t TApdComPort::ModemStatus() const {
  if (!session_) return 0;
  std::lock_guard l(session_->lock);
  return session_->modemStatus;
}

namespace {
// Merges a fresh reading of the lines into the status byte (change bits
// kept), returns the requested bit and clears the DSR-changed bit.
bool ReadDsrBit(PortSession& s, uint8_t bit) {
  uint8_t lines = s.device ? s.device->ModemLines() & kLineStates : 0;
  std::lock_guard l(s.lock);
  s.modemStatus = static_cast<uint8_t>((s.modemStatus & 0x0F) | lines);
  bool result = (s.modemStatus & bit) != 0;
  s.modemStatus &= static_cast<uint8_t>(~0x02);
  return result;
}
}  // namespace

bool TApdComPort::LineGone() const {
  if (!session_) return false;
  std::shared_ptr<SerialDevice> device;
  {
    std::lock_guard l(session_->lock);
    device = session_->device;
  }
  return device && device->Gone();
}

bool TApdComPort::DSR() { return session_ ? ReadDsrBit(*session_, kLineDSR) : false; }

bool TApdComPort::DeltaDSR() { return session_ ? ReadDsrBit(*session_, 0x02) : false; }

uint16_t TApdComPort::OutBuffFree() {
  if (!session_) return OutSize;
  std::lock_guard l(session_->lock);
  return static_cast<uint16_t>(session_->output.Free());
}

void TApdComPort::PutChar(uint8_t c) { PutString(std::string(1, static_cast<char>(c))); }

void TApdComPort::PutString(const std::string& bytes) {
  if (bytes.empty()) return;
  if (!session_) throw EInOutError(EBADF, "The serial port is not open");
  auto& s = *session_;
  auto data = reinterpret_cast<const uint8_t*>(bytes.data());
  std::shared_ptr<SerialDevice> device;
  {
    std::lock_guard l(s.lock);
    if (bytes.size() > s.output.Free()) throw EOutputBufferTooSmall();
    s.Log(ltDispatch, lsWriteCom, static_cast<uint32_t>(bytes.size()), data,
          static_cast<uint32_t>(bytes.size()));
    if (s.trace.Active())
      for (uint8_t b : bytes) s.trace.Add('T', b);
    // With nothing queued, the bytes go to the device from here, without
    // waking the output thread; what the device cannot take at once is
    // queued for it. Otherwise they queue behind what is there.
    if (s.output.Count() != 0 || !s.device) {
      s.output.Append(data, bytes.size());
      s.outputReady.notify_all();
      return;
    }
    device = s.device;
  }
  const size_t written = device->Write(data, bytes.size(), 0);
  if (written == bytes.size()) return;
  std::lock_guard l(s.lock);
  s.output.Append(data + written, bytes.size() - written);
  s.outputReady.notify_all();
}

uint8_t TApdComPort::GetChar() {
  if (!session_) throw EBufferIsEmpty();
  auto& s = *session_;
  std::lock_guard l(s.lock);
  uint8_t b;
  if (s.inAvail) {
    // Inside OnTriggerAvail the bytes leave the ring when the handler returns.
    if (s.availTaken >= s.receive.Count()) throw EBufferIsEmpty();
    b = s.receive.Peek(s.availTaken++);
  } else {
    if (s.receive.Count() == 0) throw EBufferIsEmpty();
    b = s.receive.Peek(0);
    s.receive.Drop(1);
  }
  if (s.trace.Active()) s.trace.Add('R', b);
  return b;
}

uint16_t TApdComPort::AddTimerTrigger() {
  if (!session_) throw ENoHandles();
  std::lock_guard l(session_->lock);
  auto handle = session_->triggers.AddTimer();
  if (!handle) throw ENoHandles();
  session_->Log(ltTrigAllc, lsTimerTrigger, *handle);
  return *handle;
}

uint16_t TApdComPort::AddStatusTrigger(uint16_t kind) {
  if (kind > stOutSent) throw EBadArgument();
  if (!session_) throw ENoHandles();
  std::lock_guard l(session_->lock);
  auto handle = session_->triggers.AddStatus(kind);
  if (!handle) throw ENoHandles();
  session_->Log(ltTrigAllc, lsStatusTrigger, *handle);
  return *handle;
}

void TApdComPort::SetTimerTrigger(uint16_t handle, uint32_t ticks, bool activate) {
  if (!session_) throw EBadTriggerHandle();
  std::lock_guard l(session_->lock);
  TimerTrigger* t = session_->triggers.FindTimer(handle);
  if (!t) throw EBadTriggerHandle();
  TriggerLists::SetTimer(*t, ticks, activate, TickClock());
  if (activate) session_->Log(ltTrDatChg, lsTimerTrigger, ticks);
}

void TApdComPort::SetStatusTrigger(uint16_t handle, uint16_t value, bool activate) {
  if (!session_) throw EBadTriggerHandle();
  // The snapshot is taken against the lines as they are now. The status
  // byte alone can be stale while the dispatch thread waits for a handler:
  // a device that let DSR fall and raised it again in that time would then
  // never fire a trigger armed in between.
  uint8_t lines = activate && session_->device ? session_->device->ModemLines() & kLineStates : 0;
  // Changes the device noted up to this reading are in these lines already;
  // only later ones may fire the trigger. Lines first, then the changes: a
  // change in between then shows as a difference from the snapshot.
  if (activate && session_->device) session_->device->TakeLineChanges();
  std::lock_guard l(session_->lock);
  if (activate) session_->modemStatus = static_cast<uint8_t>((session_->modemStatus & 0x0F) | lines);
  StatusTrigger* t = session_->triggers.FindStatus(handle);
  if (!t) throw EBadTriggerHandle();
  TriggerLists::SetStatus(*t, value, activate, session_->modemStatus);
  if (activate) session_->Log(ltTrDatChg, lsStatusTrigger, value);
}
