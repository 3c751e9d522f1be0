// The equalizer window's controller: every control change goes to the
// device at once through the link engine, the engine's notifications come
// back here, and the enabling rules keep locked or bypassed presets and
// pending transfers from being edited over.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QSpinBox>
#include <QToolButton>
#include <optional>

#include "controls/TzkTrackBar.h"
#include "eq/DeviceBlock.h"
#include "eqwindow/OperatorMessages.h"
#include "eqwindow/TMDIChild.h"
#include "link/LineQueue.h"
#include "link/TzkPA422Form.h"
#include "settings/ProgramOptions.h"

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string LevelString(int steps) {
  return LevelText(steps, QLocale().decimalPoint().toStdString());
}
const std::string kPassword = pa422::kDevicePassword;
}  // namespace

// --- Shared operations -----------------------------------------------------

void TMDIChild::EnableEditControls() {
  for (TzkTrackBar* bar : TrackBars) bar->setEnabled(true);
  CBHighPass->setEnabled(true);
  CBLowPass->setEnabled(true);
  CBPresetName->setEnabled(true);
}

void TMDIChild::DisableEditControls() {
  for (TzkTrackBar* bar : TrackBars) bar->setEnabled(false);
  CBHighPass->setEnabled(false);
  CBLowPass->setEnabled(false);
  CBPresetName->setEnabled(false);
}

void TMDIChild::ResetAddress() {
  Doc.Address = 0;
  CBAddress->setCurrentIndex(0);
  Panels[9]->setText("0");
}

void TMDIChild::SelectDevicePreset(int address, int preset) {
  if (address == 0) return;  // no device: nothing to select
  TzkPA422Form& engine = Engine();
  if (engine.Connected) RecallPending = true;
  // Refused (a transfer already runs): no data will come for this recall.
  if (!SendToDevice([&] { engine.RecallPreset(address, preset); })) RecallPending = false;
}

void TMDIChild::ReadDeviceData(int address, int preset) {
  if (address == 0) return;  // no device: nothing to read
  Engine().PendingEdit = TPendingEdit::None;
  Engine().RecallAllData(address, preset);
}

void TMDIChild::CopyVarloDataToORB() {
  if (!Engine().Connected || Doc.Address == 0) return;
  if (HistoryCarriesEdit()) return;
  QueueCurve(Doc.CurrentPreset, ::CopyVarloDataToORB(Doc));
}

void TMDIChild::QueueCurve(int preset, const pa422::Bytes& payload) {
  LineRequest request;
  request.owner = lineOwner_;
  request.kind = LineRequest::WholeCurve;
  request.address = Doc.Address;
  request.start = [address = Doc.Address, preset, payload](TzkPA422Form& engine) {
    engine.TransmitAllData(address, preset, payload);
  };
  Line().Submit(std::move(request));
}

void TMDIChild::QueueSliderUpdate(int slot) {
  UpdatePending = true;
  LineRequest request;
  request.owner = lineOwner_;
  request.kind = LineRequest::Parameter;
  request.address = Doc.Address;
  request.parameter = DeviceBandNumber(slot);
  request.ownOutcome = true;
  QPointer<TMDIChild> window(this);
  // The slider's value when the update's turn comes: moves made while it
  // waited go out as one.
  request.start = [window, slot, address = Doc.Address](TzkPA422Form& engine) {
    if (!window) return;
    engine.UpdateParameter(address, kPassword, DeviceGainCode(window->Doc.SliderSteps(slot)),
                           DeviceBandNumber(slot));
  };
  request.done = [window](const LineOutcome& outcome) {
    if (window) window->SliderUpdateEnded(outcome);
  };
  Line().Submit(std::move(request));
}

void TMDIChild::SliderUpdateEnded(const LineOutcome& outcome) {
  if (outcome.succeeded || !outcome.started) return UpdateDone();
  if (outcome.linkFailed)
    LinkFailed();
  else
    TransactionFailed();
}

void TMDIChild::CopyORBDataToWindow() {
  const SliderPolicy sliders{Options().SliderRange, UpdatePending};
  const BlockReadResult read = ::CopyORBDataToWindow(
      Doc, Engine().ResponseBuffer, sliders, static_cast<uint8_t>(Engine().LastCommand));
  const TEqualizerDocument received = Doc;
  // The preset number's change runs its handler, as every change does.
  SEPresetNumber->setValue(received.CurrentPreset);
  Doc = received;
  Doc.CurrentPreset = SEPresetNumber->value();
  // The check boxes keep their states until their handlers run below.
  Doc.Mute = Mute->isChecked();
  Doc.Bypass = Bypass->isChecked();
  Doc.Lock = Lock->isChecked();
  ShowDocument();
  // Check boxes whose state changed run their click handlers, as a click
  // by the operator would, in the order the copy gives.
  if (read.changed.mute) Mute->setChecked(received.Mute);
  if (read.changed.bypass) Bypass->setChecked(received.Bypass);
  if (read.changed.lock) Lock->setChecked(received.Lock);
  SetPasteEnabled(read.pasteEnabled);
}

void TMDIChild::SetPasteEnabled(bool enabled) {
  host_.SetPasteEnabled(enabled);
  Paste1->setEnabled(enabled);
}

void TMDIChild::ShowDocument() {
  const QSignalBlocker address(CBAddress);
  CBAddress->setCurrentIndex(Doc.Address);
  Panels[9]->setText(QString::number(Doc.Address));
  {
    const QSignalBlocker block(SEPresetNumber);
    SEPresetNumber->setValue(Doc.CurrentPreset);
  }
  {
    const QSignalBlocker block(CBPresetName);
    for (int i = 0; i < kPresetCount; ++i) {
      if (i < CBPresetName->count())
        CBPresetName->setItemText(i, Q(Doc.PresetNames[i]));
      else
        CBPresetName->addItem(Q(Doc.PresetNames[i]));
    }
    CBPresetName->setCurrentIndex(Doc.CurrentPreset - 1);
    CBPresetName->setEditText(Q(Doc.PresetName));
  }
  {
    const QSignalBlocker block(EBORBName);
    EBORBName->setText(Q(Doc.DeviceName));
  }
  CBHighPass->setCurrentIndex(Doc.HighPassIndex);
  CBLowPass->setCurrentIndex(Doc.LowPassIndex);
  // The sliders may refuse (an update is pending) or clamp: the document
  // keeps what they show.
  for (TzkTrackBar* bar : TrackBars) {
    bar->SetPositionNC(Doc.SliderSteps(bar->Tag));
    Doc.SetSliderSteps(bar->Tag, bar->Position());
  }
  const QSignalBlocker mute(Mute), lock(Lock), bypass(Bypass);
  Mute->setChecked(Doc.Mute);
  Lock->setChecked(Doc.Lock);
  Bypass->setChecked(Doc.Bypass);
  CurveChanged();
}

bool TMDIChild::SendToDevice(const std::function<void()>& send) {
  // A window at address 0 has no device. Were it to send while another
  // window holds the port open, address byte 0 would go on the line and
  // wait two seconds for nobody.
  if (Doc.Address == 0) return false;
  TzkPA422Form& engine = Engine();
  const bool idle = engine.CommState == 0;
  send();
  // A refused send (a value the engine does not accept, a transfer already
  // running, a closed port) starts nothing and brings no notification.
  return idle && engine.CommState != 0;
}

void TMDIChild::SendHoldingSliders(const std::function<void()>& send) {
  const bool wasPending = UpdatePending;
  if (Engine().Connected) UpdatePending = true;
  // Only a transaction that started ends in a notification that frees the
  // sliders (UpdateDone, or a failure). When the engine refused the command,
  // the sliders wait for what they waited for before, if anything.
  if (!SendToDevice(send)) UpdatePending = wasPending;
}

void TMDIChild::RereadDevice() {
  TzkPA422Form& engine = Engine();
  UpdatePending = false;  // the data read must reach the sliders
  RereadPending = true;
  if (engine.Connected) SkipPresetChange = true;
  engine.PendingEdit = TPendingEdit::None;
  if (!SendToDevice([&] { engine.RecallAllData(Doc.Address, 0); })) {
    RereadPending = false;
    SkipPresetChange = false;
  }
}

void TMDIChild::StopWaiting() {
  // What waits for the device goes nowhere now.
  Line().Withdraw(lineOwner_);
  UpdatePending = false;
  RecallPending = false;
  RestorePending = false;
  SkipPresetChange = false;
  RereadPending = false;
  SEPresetNumber->setEnabled(true);
}

// --- Sliders ----------------------------------------------------------------

void TMDIChild::TrackBar1Changing(TzkTrackBar&, int, bool& allowChange) {
  // Every move is taken: one made while an update is on its way waits in
  // the line queue and goes out after it.
  allowChange = true;
}

void TMDIChild::TrackBarChange(TzkTrackBar& sender) {
  const CurveState before = CurveOf(Doc);
  Doc.SetSliderSteps(sender.Tag, sender.Position());
  RecordEdit(EditKind::Slider, sender.Tag, before);
  Panels[3]->setText(Q(LevelString(sender.Position())));
  if (!Engine().Connected || Doc.Address == 0) return;
  if (HistoryCarriesEdit()) return;
  QueueSliderUpdate(sender.Tag);
}

void TMDIChild::zkTrackBar1Enter(TzkTrackBar& sender) {
  sender.SetTrackColor(QColor(0xFF, 0xFF, 0x00));
  Panels[1]->setText(Q(SlotLabel(sender.Tag)));
  Panels[3]->setText(Q(LevelString(sender.Position())));
}

void TMDIChild::zkTrackBar1Exit(TzkTrackBar& sender) { sender.SetTrackColor(Qt::white); }

void TMDIChild::zkTrackBar1KeyDown(TzkTrackBar& sender, int& key) {
  switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
      // The neighbouring control of this window in tab order.
      const bool next = key == Qt::Key_Right;
      QWidget* w = &sender;
      for (int guard = 0; guard < 1000; ++guard) {
        w = next ? w->nextInFocusChain() : w->previousInFocusChain();
        if (!w || w == &sender) break;
        if (isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() &&
            w->isVisibleTo(this) && !w->focusProxy()) {
          w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
          break;
        }
      }
      key = 0;
      break;
    }
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
      break;  // the slider's own keys
    default:
      FormKeyDown(key);
      key = 0;  // taken here; it must not reach the window a second time
      break;
  }
}

// --- Filters ----------------------------------------------------------------

void TMDIChild::CBHighPassChange() {
  const CurveState before = CurveOf(Doc);
  Doc.HighPassIndex = CBHighPass->currentIndex();
  Panels[7]->setText(Q(HighPassLabel(Doc.HighPassIndex)));
  RecordEdit(EditKind::HighPass, kHighPassSlot, before);
  if (HistoryCarriesEdit()) return;
  SendHoldingSliders([&] {
    Engine().SetHighPass(Doc.Address, SEPresetNumber->value(), Doc.HighPassIndex, kPassword,
                         ShownSettings(Doc));
  });
}

void TMDIChild::CBLowPassChange() {
  const CurveState before = CurveOf(Doc);
  Doc.LowPassIndex = CBLowPass->currentIndex();
  Panels[5]->setText(Q(LowPassLabel(Doc.LowPassIndex)));
  RecordEdit(EditKind::LowPass, kLowPassSlot, before);
  if (HistoryCarriesEdit()) return;
  SendHoldingSliders([&] {
    Engine().SetLowPass(Doc.Address, SEPresetNumber->value(), Doc.LowPassIndex, kPassword,
                        ShownSettings(Doc));
  });
}

// --- Address ----------------------------------------------------------------

void TMDIChild::CBAddressDropDown() { AddressDroppedDown = true; }

void TMDIChild::CBAddressChange() {
  if (!AddressDroppedDown) {
    // Changed with the keys while closed: undone.
    CBAddress->setCurrentIndex(Doc.Address);
    return;
  }
  SEPresetNumber->setEnabled(true);
  Doc.Address = CBAddress->currentIndex();
  AddressDroppedDown = false;
  // Another device (or none): a new history, based on what the device sends.
  NewHistory(Doc.Address != 0);
  TzkPA422Form& engine = Engine();
  if (Doc.Address == 0) {
    // A transfer the closing port cuts short never reports its end.
    engine.Disconnect();
    StopWaiting();
    return;
  }
  if (engine.ApdComPort.ComNumber() == 0) {
    const std::optional<uint16_t> port = host_.AskComPort();
    if (!port) {
      Messages().ShowMessage("Com Setup Error", "Invalid Com Port selected.  Connect Aborted.",
                             MessageIcon::Error);
      ResetAddress();
      return;
    }
    engine.ApdComPort.SetComNumber(*port);
  }
  engine.Connect();
  Panels[9]->setText(QString::number(Doc.Address));
  if (engine.Connected) SkipPresetChange = true;
  ReadDeviceData(Doc.Address, 0);
  if (TrackBars[0]->isEnabled()) TrackBars[0]->setFocus(Qt::OtherFocusReason);
  UpdatePending = false;
  PresetNameEdited = false;
  RereadPending = false;
}

// --- Preset number and names --------------------------------------------------

void TMDIChild::SEPresetNumberChange() {
  const int number = SEPresetNumber->value();
  if (SkipPresetChange) {
    SkipPresetChange = false;
    Doc.CurrentPreset = number;
    return;
  }
  if (RecallPending) {
    // A recall is under way: the preset cannot change until its data came.
    SEPresetNumber->setValue(RequestedPreset);
    return;
  }
  const int shown = Doc.CurrentPreset;
  Doc.CurrentPreset = number;
  RequestedPreset = number;
  CBPresetName->setCurrentIndex(number - 1);
  if (Doc.Address == 0) {
    NewHistory(false);
    return;  // no device: the number is only shown
  }
  const bool connected = Engine().Connected;
  if (connected) {
    RecallPending = true;
    SEPresetNumber->setEnabled(false);
  }
  SelectDevicePreset(Doc.Address, RequestedPreset);
  if (connected && !RecallPending) {
    // Refused: a transfer was running. The device keeps its preset, and so
    // does the window.
    SEPresetNumber->setEnabled(true);
    Doc.CurrentPreset = shown;
    RequestedPreset = shown;
    {
      const QSignalBlocker block(SEPresetNumber);
      SEPresetNumber->setValue(shown);
    }
    CBPresetName->setCurrentIndex(shown - 1);
    return;
  }
  // Another preset: a new history, based on the preset's data once read.
  NewHistory(RecallPending);
}

void TMDIChild::CBPresetNameClick() {
  const int n = CBPresetName->currentIndex() + 1;
  if (n < 1) return;
  if (RecallPending) {
    // A recall is under way: the preset cannot change until its data came.
    // RequestedPreset stays the preset being recalled, the one that
    // SEPresetNumberChange snaps back to and that the data is read for.
    CBPresetName->setCurrentIndex(RequestedPreset - 1);
    return;
  }
  RequestedPreset = n;
  SEPresetNumber->setValue(n);
}

void TMDIChild::CBPresetNameEdited() { PresetNameEdited = true; }

void TMDIChild::CBPresetNameKeyPress(int key) {
  // Only Enter acts here. Keys that change the text mark the name edited
  // (CBPresetNameEdited); Tab, arrows, Shift, Home or End change nothing.
  if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
  const int preset = SEPresetNumber->value();
  const QString text = CBPresetName->currentText();
  const CurveState before = CurveOf(Doc);
  Doc.PresetNames[preset - 1] = text.toStdString();
  CBPresetName->setItemText(preset - 1, text);
  RecordEdit(EditKind::PresetName, kPresetNameSlot, before);
  PresetNameEdited = false;
  if (HistoryCarriesEdit()) return;
  SendHoldingSliders([&] {
    Engine().SetPresetName(Doc.Address, preset, text.toStdString(), kPassword, ShownSettings(Doc));
  });
}

void TMDIChild::CBPresetNameExit() {
  const int preset = SEPresetNumber->value();
  const QString text = CBPresetName->currentText();
  const CurveState before = CurveOf(Doc);
  Doc.PresetNames[preset - 1] = text.toStdString();
  {
    const QSignalBlocker block(CBPresetName);
    CBPresetName->setItemText(preset - 1, text);
    CBPresetName->setEditText(text);
  }
  if (PresetNameEdited) {
    RecordEdit(EditKind::PresetName, kPresetNameSlot, before);
    PresetNameEdited = false;
    if (HistoryCarriesEdit()) return;
    SendToDevice([&] {
      Engine().SetPresetName(Doc.Address, preset, text.toStdString(), kPassword,
                             ShownSettings(Doc));
    });
  }
}

// --- Device name ------------------------------------------------------------

void TMDIChild::EBORBNameKeyDown(int key) {
  if (key == Qt::Key_Return || key == Qt::Key_Enter) EBORBNameExit();
}

void TMDIChild::EBORBNameExit() {
  SendToDevice(
      [&] { Engine().SetDeviceName(Doc.Address, kPassword, EBORBName->text().toStdString()); });
}

// --- Check boxes ------------------------------------------------------------

void TMDIChild::MuteClick() {
  Doc.Mute = Mute->isChecked();
  SendToDevice([&] {
    if (Doc.Mute)
      Engine().MuteAllOutputs(Doc.Address);
    else
      Engine().UnmuteAllOutputs(Doc.Address);
  });
}

void TMDIChild::LockClick() {
  Doc.Lock = Lock->isChecked();
  if (Doc.Lock) {
    SendToDevice([&] { Engine().LockPreset(Doc.Address, SEPresetNumber->value(), kPassword); });
    DisableEditControls();
    SetPasteEnabled(false);
  } else {
    SendToDevice([&] { Engine().UnlockPreset(Doc.Address, SEPresetNumber->value(), kPassword); });
    EnableEditControls();
    SetPasteEnabled(true);
  }
}

void TMDIChild::BypassClick() {
  Doc.Bypass = Bypass->isChecked();
  if (Doc.Bypass) {
    SendToDevice([&] { Engine().BypassChannel(Doc.Address, kPassword); });
    DisableEditControls();
  } else {
    SendToDevice([&] { Engine().UnbypassChannel(Doc.Address, kPassword); });
    EnableEditControls();
  }
}

// --- Engine notifications ---------------------------------------------------

void TMDIChild::LinkFailed() {
  // The device is gone from the window (the engine has said why), and with
  // it every answer the window was waiting for.
  ResetAddress();
  // The history first: the window's going quiet on the line below tells
  // whoever waits for the line, undo among them.
  HistoryLinkFailed();
  StopWaiting();
}

void TMDIChild::TransactionFailed() {
  // The device refused a command, or its reply could not be taken: what it
  // carried out is unknown, so the window reads it again before anything
  // else is sent. When that read fails too, the window lets go of the
  // device, as after a time-out.
  HistorySendFailed();
  if (RereadPending || Doc.Address == 0) {
    LinkFailed();
    return;
  }
  RereadDevice();
  HistoryAfterFailure();
}

void TMDIChild::RunShownPresetOnDevice() {
  TzkPA422Form& engine = Engine();
  if (!engine.Connected || Doc.Address == 0 || engine.CommState != 0) return;
  if (engine.RunningPreset(Doc.Address) == SEPresetNumber->value()) return;
  RestorePending = true;
  if (!SendToDevice([&] { engine.RecallPreset(Doc.Address, SEPresetNumber->value()); }))
    RestorePending = false;
}

void TMDIChild::PresetRecalled() {
  if (RestorePending) {
    // The device runs this window's preset again. Its stored curve lacks
    // the moves the window made since: the window's curve goes into the
    // working settings, so that what the window shows is what plays, and
    // nothing is read back over it.
    RestorePending = false;
    SendToDevice([&] { Engine().TransmitAllData(Doc.Address, 0, ::CopyVarloDataToORB(Doc, 0)); });
    return;
  }
  ReadDeviceData(Doc.Address, RequestedPreset);
}

void TMDIChild::UpdateDone() {
  // Still pending while more of the window's updates wait their turn.
  UpdatePending = Line().Pending(lineOwner_) > (Line().Running(lineOwner_) ? 1 : 0);
  // A change of the history that waited for this update goes out now.
  PumpHistory();
}

void TMDIChild::AllDataReceived() {
  const std::optional<CurveState> historyCurve = HistoryCurveBeforeData();
  CopyORBDataToWindow();
  SkipPresetChange = false;
  RecallPending = false;
  RereadPending = false;
  SEPresetNumber->setEnabled(true);
  // The preset shown is the one the device now runs (its current preset
  // when connecting): a later activation must read back that preset, not
  // one chosen before the connection.
  RequestedPreset = SEPresetNumber->value();
  HistoryDataReceived(historyCurve);
}

// --- Keyboard shortcuts -----------------------------------------------------

void TMDIChild::FormKeyDown(int key) {
  if (Engine().CommState != 0) return;
  int preset = 0;
  if (key >= Qt::Key_1 && key <= Qt::Key_8)
    preset = key - Qt::Key_1 + 1;
  else if (key >= Qt::Key_F1 && key <= Qt::Key_F8)
    preset = key - Qt::Key_F1 + 1;
  if (preset != 0) {
    if (RecallPending) return;
    RequestedPreset = preset;
    SEPresetNumber->setValue(preset);
    CBPresetName->setCurrentIndex(preset - 1);
    return;
  }
  switch (key) {
    case Qt::Key_Space:
      Mute->toggle();
      break;
    case Qt::Key_0:
      Bypass->toggle();
      break;
    case Qt::Key_L:
      Lock->toggle();
      break;
    default:
      break;
  }
}
