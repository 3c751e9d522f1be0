#pragma once
// The PA-422 link engine: runs one transaction at a time over the serial
// port component (address byte, DSR, DTR, DT/ID, command frame, reply) and
// reports outcomes to the active equalizer window. Everything runs on the
// user-interface thread; CommState is the only guard against overlapping
// transactions. Also carries the device operations the windows call.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "link/LinkInterfaces.h"
#include "link/PA422Messages.h"
#include "serial/TApdComPort.h"

enum class TPendingEdit { None, HighPass, LowPass, PresetName };

class TzkPA422Form {
 public:
  static constexpr uint32_t kTimerTicks = 36;
  static constexpr uint16_t kDsrMask = 0x20;
  static constexpr int kDtrDelayMs = 100;
  static constexpr int kAfterDataDelayMs = 150;
  static constexpr size_t kMaxInBuff = 255;
  static constexpr const char* kCaption = "PA422 Error";

  TzkPA422Form(UiPoster& ui, ExceptionDisplay& exceptions, MessageBoxes& messages,
               std::function<EqualizerNotifications*()> activeWindow);

  // Initial state; the port number from the settings file (the per-user
  // file when it exists, else ProgramDir + "Varlo95.ini").
  void FormCreate();

  void Connect();
  void Disconnect();
  void SendImmediateCommand(uint8_t address, const pa422::Bytes& frame);
  void SendResponseCmd(uint8_t address, const pa422::Bytes& frame, int n);
  void EnableManualControls();
  static std::string CommandName(uint8_t code) { return pa422::CommandName(code); }

  // Device operations.
  void MuteAllOutputs(int address);
  void UnmuteAllOutputs(int address);
  void BypassChannel(int address, const std::string& password);
  void UnbypassChannel(int address, const std::string& password);
  void LockPreset(int address, int preset, const std::string& password);
  void UnlockPreset(int address, int preset, const std::string& password);
  void RecallPreset(int address, int preset);
  void SetDeviceName(int address, const std::string& password, const std::string& name);
  void UpdateParameter(int address, const std::string& password, int level, int parameter);
  void RecallAllData(int address, int preset);
  void TransmitAllData(int address, int preset, const pa422::Bytes& block);
  // The read-modify-writes. `shown` is the preset as the editing window
  // shows it (levels, filters, name): when given, the block written back
  // carries it, with the edit, in place of what the recall found stored.
  // A device may keep the operator's moves in its working settings only,
  // and writing the stored levels back would silently undo them.
  void SetHighPass(int address, int preset, int index, const std::string& password,
                   const std::optional<pa422::TransmitSettings>& shown = std::nullopt);
  void SetLowPass(int address, int preset, int index, const std::string& password,
                  const std::optional<pa422::TransmitSettings>& shown = std::nullopt);
  void SetPresetName(int address, int preset, const std::string& name,
                     const std::string& password,
                     const std::optional<pa422::TransmitSettings>& shown = std::nullopt);

  // The preset the device at `address` was last made to run by a
  // transaction that succeeded (a recall of a preset, a transmit that
  // stored one, a read of the current settings); nothing when unknown, as
  // after a failure or before the first read.
  std::optional<int> RunningPreset(int address) const;

  // Byte at 1-based position `pos` of ResponseBuffer (0 past its end).
  uint8_t ResponseByte(int pos) const;

  TApdComPort ApdComPort;

  int CommState = 0;
  bool Connected = false;
  int ResponseLen = 0;
  pa422::Bytes PendingCommand;
  int LastCommand = 0;
  pa422::Bytes InBuff;          // at most 255 bytes
  pa422::Bytes ResponseBuffer;  // the last complete, successful data reply
  TPendingEdit PendingEdit = TPendingEdit::None;
  int EditAddress = 0;
  int EditPreset = 0;
  int NewHighPass = 0;
  int NewLowPass = 0;
  pa422::Bytes NewPresetName;
  std::optional<pa422::TransmitSettings> EditShown;  // `shown` of the running edit
  uint16_t DsrTrigger = 0;
  uint16_t AddressTimer = 0;
  uint16_t DtIdTimer = 0;
  uint16_t DataTimer = 0;
  std::string ProgramDir;

  // True while an error box is open. A transaction that failed has ended
  // (CommState is 0) before its box, but the window hears of the failure
  // only once the box is closed; the box's event loop runs meanwhile.
  bool ReportingError() const { return reportingErrors_ > 0; }

  // Hears the end of every transaction (the line queue); may be none.
  TransactionListener* Listener = nullptr;
  // The running transaction is background work (a scan, a backup, a linked
  // member): its failure is shown in no box and no window is notified of
  // it; the text travels with its end. Set before starting it; cleared
  // when it ends.
  bool Quiet = false;
  // The running transaction's requester takes its outcome from its end
  // itself: the active window is not notified of it (its failure is still
  // shown, unless Quiet). Cleared when it ends.
  bool Unannounced = false;

  // Trigger handlers of the port component.
  void ApdComPortTriggerModemStatus(TApdComPort& sender);
  void ApdComPortTriggerAvail(TApdComPort& cp, uint16_t count);
  void ApdComPortTriggerTimer(TApdComPort& cp, uint16_t triggerHandle);

 private:
  void ShowError(const std::string& text);
  // A failure of the running transaction: in a box, unless it is Quiet.
  void ReportFailure(const std::string& text);
  // Tells the listener how the running transaction ended.
  void EndTransaction(bool succeeded, const pa422::Bytes& data = {}, bool linkFailed = false);
  // A pause within a transaction that lets the user-interface thread run:
  // `next` follows after ms milliseconds, unless the port closes first.
  void WaitThen(int ms, std::function<void()> next);
  void Notify(void (EqualizerNotifications::*notification)());
  void DisarmTimers();
  // Arms a timer for 36 ticks.
  void Arm(uint16_t timer) { ApdComPort.SetTimerTrigger(timer, kTimerTicks, true); }
  void Disarm(uint16_t timer) { ApdComPort.SetTimerTrigger(timer, 0, false); }
  void ArmDsrTrigger() { ApdComPort.SetStatusTrigger(DsrTrigger, kDsrMask, true); }
  // Refuses a send while a transaction runs (with its trace line and
  // message); false too while the port is closed.
  bool MayStart(const std::string& request);
  // What both send forms share: DSR trigger, address byte, address timer.
  void StartTransaction(uint8_t address, const pa422::Bytes& frame);
  // False when a wrong DT/ID ended the transaction.
  bool HandleDtId();
  // True when a notification ended the transaction (a success with one of
  // its own, or any failure).
  bool HandleStatusReply();
  // Ends the transaction with TransactionFailed.
  void HandleOverlongReply();
  void HandleDataReply();
  void RunFollowUp();
  // Keeps a read-modify-write edit (when the recall can start), then
  // starts its recall.
  void StartReadModifyWrite(int address, int preset, TPendingEdit edit,
                            const std::optional<pa422::TransmitSettings>& shown,
                            const std::function<void()>& keepNewValue);
  // Keeps RunningPreset up to date at the end of a transaction.
  void NoteTransactionEnd(bool succeeded);
  static bool ValidPreset(int preset, int first) { return preset >= first && preset <= 8; }

  // LastCommand as it was when the running transaction started: a command
  // refused meanwhile (busy, or a value out of range) sets LastCommand too,
  // and must not change how the running transaction ends.
  int commandInFlight_ = 0;
  int addressInFlight_ = 0;
  std::map<int, int> runningPresets_;
  UiPoster& ui_;
  MessageBoxes& messages_;
  std::string lastError_;
  bool waiting_ = false;
  uint64_t waitSerial_ = 0;
  int reportingErrors_ = 0;
  std::function<EqualizerNotifications*()> activeWindow_;
};
