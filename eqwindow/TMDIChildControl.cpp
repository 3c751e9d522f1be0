// The equalizer window's controller: every control change goes to the
// device at once through the link engine, the engine's notifications come
// back here, and the enabling rules keep locked or bypassed presets and
// pending transfers from being edited over.
#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QSpinBox>
#include <QToolButton>
#include <algorithm>
#include <optional>

#include "controls/TzkTrackBar.h"
#include "eq/DeviceBlock.h"
#include "eqwindow/OperatorMessages.h"
#include "eqwindow/TMDIChild.h"
#include "eqwindow/WindowCurve.h"
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
  if (Engine().Connected) RecallPending = true;
  DeviceRequest request;
  request.start = [address, preset](TzkPA422Form& engine) { engine.RecallPreset(address, preset); };
  // No data will come for this recall.
  request.refused = [this] { PresetChoiceRefused(); };
  QueueRequest(std::move(request));
}

void TMDIChild::PresetChoiceRefused() {
  if (!RecallPending) return;
  RecallPending = false;
  // The device keeps its preset, and so does the window.
  SEPresetNumber->setEnabled(true);
  const int shown = presetBeforeRecall_;
  Doc.CurrentPreset = shown;
  RequestedPreset = shown;
  {
    const QSignalBlocker block(SEPresetNumber);
    SEPresetNumber->setValue(shown);
  }
  CBPresetName->setCurrentIndex(shown - 1);
  NewHistory(false);
}

void TMDIChild::ReadDeviceData(int address, int preset, bool followUp) {
  if (address == 0) return;  // no device: nothing to read
  DeviceRequest request;
  request.followUp = followUp;
  request.start = [address, preset](TzkPA422Form& engine) {
    engine.PendingEdit = TPendingEdit::None;
    engine.RecallAllData(address, preset);
  };
  QueueRequest(std::move(request));
}

void TMDIChild::CopyVarloDataToORB() {
  if (!Engine().Connected || Doc.Address == 0) return;
  if (HistoryCarriesEdit()) return;
  QueueCurve(Doc.CurrentPreset, ::CopyVarloDataToORB(Doc));
}

void TMDIChild::QueueCurve(int preset, const pa422::Bytes& payload, bool followUp, bool quiet) {
  DeviceRequest request;
  request.quiet = quiet;
  request.followUp = followUp;
  request.kind = LineRequest::WholeCurve;
  request.changesCurve = true;
  request.start = [address = Doc.Address, preset, payload](TzkPA422Form& engine) {
    engine.TransmitAllData(address, preset, payload);
  };
  QueueRequest(std::move(request));
}

void TMDIChild::QueueSliderUpdate(int slot, bool quiet) {
  DeviceRequest request;
  request.quiet = quiet;
  request.kind = LineRequest::Parameter;
  request.parameter = DeviceBandNumber(slot);
  request.changesCurve = true;
  request.slot = slot;
  // A newer move of the slider takes the place of this one while it waits:
  // moves made meanwhile go out as one, with the latest value.
  request.start = [address = Doc.Address, code = DeviceGainCode(Doc.SliderSteps(slot)),
                   band = DeviceBandNumber(slot)](TzkPA422Form& engine) {
    engine.UpdateParameter(address, kPassword, code, band);
  };
  QueueRequest(std::move(request));
}

void TMDIChild::QueueRequest(DeviceRequest request) {
  if (Doc.Address == 0) {
    if (request.refused) request.refused();
    return;
  }
  LineRequest line;
  line.owner = lineOwner_;
  line.kind = request.kind;
  line.address = Doc.Address;
  line.parameter = request.parameter;
  line.followUp = request.followUp;
  line.ownOutcome = true;
  line.fromWindow = true;
  const bool quiet = request.quiet || applyingLink_;
  line.background = quiet;
  line.start = std::move(request.start);
  const bool changesCurve = request.changesCurve;
  const int slot = request.slot;
  if (changesCurve) CountCurveRequests(slot, +1);
  QPointer<TMDIChild> window(this);
  line.done = [window, epoch = requestEpoch_, changesCurve, slot, quiet,
               refused = std::move(request.refused),
               succeeded = std::move(request.succeeded)](const LineOutcome& outcome) {
    if (!window || window->requestEpoch_ != epoch) return;
    if (changesCurve) window->CountCurveRequests(slot, -1);
    if ((quiet || outcome.linkFailed) && !outcome.succeeded && window->OnLinkedSendFailed)
      window->OnLinkedSendFailed(OutcomeFailure(outcome, false));
    if (!outcome.started) {
      if (refused) refused();
      return;
    }
    // Requests a newer one replaced end with it: the window hears of that
    // transaction once.
    if (outcome.serial != window->lastEnd_) {
      window->lastEnd_ = outcome.serial;
      window->RequestEnded(outcome);
    }
    if (outcome.succeeded && succeeded && window && window->requestEpoch_ == epoch) succeeded();
  };
  Line().Submit(std::move(line));
}

void TMDIChild::RequestEnded(const LineOutcome& outcome) {
  if (outcome.linkFailed) return LinkFailed();
  if (!outcome.succeeded) return TransactionFailed();
  if (!outcome.data.empty()) return AllDataReceived();
  if (outcome.command == pa422::REPROGRAM_DEVICE_CHANNEL_FROM_MEMORY) return PresetRecalled();
  if (outcome.command == pa422::UPDATE_PARAMETER) return UpdateDone();
}

void TMDIChild::CountCurveRequests(int slot, int delta) {
  int& count = curveRequests_[slot];
  count = std::max(0, count + delta);
  UpdatePending = std::any_of(curveRequests_.begin(), curveRequests_.end(), [](int n) { return n > 0; });
}

void TMDIChild::DropWaitingRequests() {
  Line().Withdraw(lineOwner_);
  ++requestEpoch_;
  curveRequests_.fill(0);
  CountCurveRequests(0, 0);
}

void TMDIChild::CopyORBDataToWindow() {
  const CurveState shown = CurveOf(Doc);
  const int presetShown = Doc.CurrentPreset;
  const BlockReadResult read =
      ::CopyORBDataToWindow(Doc, Engine().ResponseBuffer, SliderPolicy{Options().SliderRange, false},
                            static_cast<uint8_t>(Engine().LastCommand));
  // What the window's waiting changes bring the device keeps the window's
  // value: the device gets there once they have gone out.
  for (int slot = 1; slot <= kSliderCount; ++slot)
    if (curveRequests_[0] > 0 || curveRequests_[slot] > 0)
      Doc.SetSliderSteps(slot, shown.sliders[slot - 1]);
  if (curveRequests_[0] > 0) {
    Doc.HighPassIndex = shown.highPass;
    Doc.LowPassIndex = shown.lowPass;
    // The name is the preset's: kept only when the read is of the same one.
    if (Doc.CurrentPreset == presetShown) {
      Doc.PresetName = shown.presetName;
      Doc.PresetNames[presetShown - 1] = shown.presetName;
    }
  }
  const TEqualizerDocument received = Doc;
  // The preset number's change runs its handler, as every change does.
  SEPresetNumber->setValue(received.CurrentPreset);
  Doc = received;
  Doc.CurrentPreset = SEPresetNumber->value();
  // The check boxes show what the device has without running their click
  // handlers: sending it back would be a change nobody made.
  ShowDocument();
  if (read.changed.lock || read.changed.bypass) {
    if (Doc.Lock || Doc.Bypass)
      DisableEditControls();
    else
      EnableEditControls();
  }
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
  }
  {
    const QSignalBlocker block(EBORBName);
    EBORBName->setText(Q(Doc.DeviceName));
  }
  {
    const QSignalBlocker mute(Mute), lock(Lock), bypass(Bypass);
    Mute->setChecked(Doc.Mute);
    Lock->setChecked(Doc.Lock);
    Bypass->setChecked(Doc.Bypass);
  }
  // The curve last: sliders, filters and the preset name, then the frame
  // hears of the change.
  ShowCurve(*this);
}

void TMDIChild::RereadDevice() {
  // What the device carried out is unknown: nothing more goes out before
  // it has been read, and the data read reaches the sliders.
  DropWaitingRequests();
  RereadPending = true;
  if (Engine().Connected) SkipPresetChange = true;
  DeviceRequest request;
  request.start = [address = Doc.Address](TzkPA422Form& engine) {
    engine.PendingEdit = TPendingEdit::None;
    engine.RecallAllData(address, 0);
  };
  request.refused = [this] {
    RereadPending = false;
    SkipPresetChange = false;
  };
  QueueRequest(std::move(request));
}

void TMDIChild::StopWaiting() {
  // What waits for the device goes nowhere now.
  DropWaitingRequests();
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
  const bool linked = applyingLink_;
  if (!linked && OnSliderMoved)
    OnSliderMoved(sender.Tag, before.sliders[sender.Tag - 1], sender.Position(),
                  QGuiApplication::keyboardModifiers().testFlag(Qt::ControlModifier));
  if (!Engine().Connected || Doc.Address == 0) return;
  if (HistoryCarriesEdit()) return;
  QueueSliderUpdate(sender.Tag, linked);
}

void TMDIChild::ApplyLinkedFilter(bool highPass, int index) {
  QComboBox* box = highPass ? CBHighPass : CBLowPass;
  if (index < 0 || index >= box->count() || box->currentIndex() == index || !box->isEnabled()) return;
  applyingLink_ = true;
  box->setCurrentIndex(index);
  highPass ? CBHighPassChange() : CBLowPassChange();
  applyingLink_ = false;
}

void TMDIChild::ApplyLinkedSwitch(bool bypass, bool on) {
  QCheckBox* box = bypass ? Bypass : Mute;
  if (box->isChecked() == on) return;
  applyingLink_ = true;
  box->setChecked(on);  // its handler sends it
  applyingLink_ = false;
}

bool TMDIChild::PresetLocked() const { return Lock->isChecked(); }

void TMDIChild::ShowLink(const QString& text, const QColor& colour, bool resync) {
  LinkPanel->setText(text);
  LinkPanel->setToolTip(text);
  LinkPanel->setAccessibleDescription(text);
  QPalette palette = LinkPanel->palette();
  palette.setColor(QPalette::Window, colour.isValid() ? colour : palette.color(QPalette::Button));
  LinkPanel->setPalette(palette);
  LinkPanel->setVisible(!text.isEmpty());
  FormResize();  // the status bar makes room for the text
  Unlink1->setEnabled(!text.isEmpty());
  Resync1->setEnabled(resync);
}

int TMDIChild::SliderRange() const { return Options().SliderRange; }

void TMDIChild::ApplyLinkedSteps(int slot, int steps) {
  TzkTrackBar* slider = SliderOfSlot(slot);
  if (!slider || slider->Position() == steps) return;
  applyingLink_ = true;
  slider->SetPosition(steps);
  applyingLink_ = false;
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
  QueueRequest(FilterWrite(true));
}

void TMDIChild::CBLowPassChange() {
  const CurveState before = CurveOf(Doc);
  Doc.LowPassIndex = CBLowPass->currentIndex();
  Panels[5]->setText(Q(LowPassLabel(Doc.LowPassIndex)));
  RecordEdit(EditKind::LowPass, kLowPassSlot, before);
  if (HistoryCarriesEdit()) return;
  QueueRequest(FilterWrite(false));
}

TMDIChild::DeviceRequest TMDIChild::FilterWrite(bool highPass) const {
  DeviceRequest request;
  request.changesCurve = true;
  request.start = [highPass, address = Doc.Address, preset = SEPresetNumber->value(),
                   index = highPass ? Doc.HighPassIndex : Doc.LowPassIndex,
                   shown = ShownSettings(Doc)](TzkPA422Form& engine) {
    if (highPass)
      engine.SetHighPass(address, preset, index, kPassword, shown);
    else
      engine.SetLowPass(address, preset, index, kPassword, shown);
  };
  return request;
}

// --- Address ----------------------------------------------------------------

void TMDIChild::CBAddressDropDown() { AddressDroppedDown = true; }

void TMDIChild::ChooseAddress(int address) {
  if (address < 0 || address >= CBAddress->count()) return;
  AddressDroppedDown = true;
  CBAddress->setCurrentIndex(address);
  CBAddressChange();
}

void TMDIChild::ReloadFromDevice() {
  if (Doc.Address == 0 || !Engine().Connected) return;
  changedElsewhere_ = false;
  // What waited for the device (a recall of the window's preset among it)
  // is older than what it now runs; the history starts again from what it
  // sends, as for a newly chosen device.
  StopWaiting();
  NewHistory(true);
  SkipPresetChange = true;
  ReadDeviceData(Doc.Address, 0);
  PresetNameEdited = false;
}

void TMDIChild::FollowWritesElsewhere(const LineRequest& request, const LineOutcome& outcome) {
  const bool read = outcome.command == 0 || outcome.command == pa422::RECALL_ALL_DATA;
  if (!request.fromWindow && outcome.started && !read && Doc.Address != 0 &&
      request.address == Doc.Address) {
    changedElsewhere_ = true;
    changedBy_ = request.owner;
  }
  // Read once that work has nothing more for the device: reading between
  // its steps would only be read again.
  if (changedElsewhere_ && Line().Pending(changedBy_, Doc.Address) == 0) ReloadFromDevice();
}

void TMDIChild::CBAddressChange() {
  if (!AddressDroppedDown) {
    // Changed with the keys while closed: undone.
    CBAddress->setCurrentIndex(Doc.Address);
    return;
  }
  SEPresetNumber->setEnabled(true);
  // What waits for the device shown so far is dropped with it.
  DropWaitingRequests();
  changedElsewhere_ = false;
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
  presetBeforeRecall_ = Doc.CurrentPreset;
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
  // Another preset: a new history, based on the preset's data once read.
  NewHistory(connected);
  SelectDevicePreset(Doc.Address, RequestedPreset);
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
  QueueRequest(PresetNameWrite(preset, text.toStdString()));
}

TMDIChild::DeviceRequest TMDIChild::PresetNameWrite(int preset, const std::string& name) const {
  DeviceRequest request;
  request.changesCurve = true;
  request.start = [address = Doc.Address, preset, name, shown = ShownSettings(Doc)](TzkPA422Form& engine) {
    engine.SetPresetName(address, preset, name, kPassword, shown);
  };
  return request;
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
    QueueRequest(PresetNameWrite(preset, text.toStdString()));
  }
}

// --- Device name ------------------------------------------------------------

void TMDIChild::EBORBNameKeyDown(int key) {
  if (key == Qt::Key_Return || key == Qt::Key_Enter) EBORBNameExit();
}

void TMDIChild::EBORBNameExit() {
  QueueCommand([address = Doc.Address, name = EBORBName->text().toStdString()](TzkPA422Form& engine) {
    engine.SetDeviceName(address, kPassword, name);
  });
}

// --- Check boxes ------------------------------------------------------------

void TMDIChild::MuteClick() {
  Doc.Mute = Mute->isChecked();
  QueueCommand([address = Doc.Address, mute = Doc.Mute](TzkPA422Form& engine) {
    if (mute)
      engine.MuteAllOutputs(address);
    else
      engine.UnmuteAllOutputs(address);
  });
}

void TMDIChild::LockClick() {
  Doc.Lock = Lock->isChecked();
  const int preset = SEPresetNumber->value();
  if (Doc.Lock) {
    QueueCommand([address = Doc.Address, preset](TzkPA422Form& engine) {
      engine.LockPreset(address, preset, kPassword);
    });
    DisableEditControls();
    SetPasteEnabled(false);
  } else {
    QueueCommand([address = Doc.Address, preset](TzkPA422Form& engine) {
      engine.UnlockPreset(address, preset, kPassword);
    });
    EnableEditControls();
    SetPasteEnabled(true);
  }
}

void TMDIChild::BypassClick() {
  Doc.Bypass = Bypass->isChecked();
  if (Doc.Bypass) {
    QueueCommand([address = Doc.Address](TzkPA422Form& engine) {
      engine.BypassChannel(address, kPassword);
    });
    DisableEditControls();
  } else {
    QueueCommand([address = Doc.Address](TzkPA422Form& engine) {
      engine.UnbypassChannel(address, kPassword);
    });
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
  if (!Engine().Connected || Doc.Address == 0 || RestorePending) return;
  // Asked when the request's turn comes: what the device runs then is what
  // counts (another window's recall may be waiting before this one).
  RestorePending = true;
  DeviceRequest request;
  request.start = [address = Doc.Address, preset = SEPresetNumber->value()](TzkPA422Form& engine) {
    if (engine.RunningPreset(address) != preset) engine.RecallPreset(address, preset);
  };
  request.refused = [this] { RestorePending = false; };
  QueueRequest(std::move(request));
}

void TMDIChild::PresetRecalled() {
  if (RestorePending) {
    // The device runs this window's preset again. Its stored curve lacks
    // the moves the window made since: the window's curve goes into the
    // working settings, so that what the window shows is what plays, and
    // nothing is read back over it.
    RestorePending = false;
    // Unless something else wrote to the device meanwhile: the window's
    // curve is then older than the device's, and is read, not sent.
    if (changedElsewhere_) return ReloadFromDevice();
    QueueCurve(0, ::CopyVarloDataToORB(Doc, 0), true);
    return;
  }
  // Moves made during the recall go out after its data came, over it.
  ReadDeviceData(Doc.Address, RequestedPreset, true);
}

void TMDIChild::UpdateDone() {
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
  const bool newBase = HistoryTakesBase();
  HistoryDataReceived(historyCurve);
  if (newBase && OnUnitRead) OnUnitRead();
}

// --- Keyboard shortcuts -----------------------------------------------------

void TMDIChild::FormKeyDown(int key) {
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
