// The equalizer window's undo, redo and A/B compare.
//
// Not connected, undo and redo change the window only. Connected, the
// device follows the window: each move of the history (or swap) changes
// the window at once, and what the device lacks goes through the line
// queue, one transaction of the history at a time, with the fewest
// transactions that carry it. Moves made while one is on its way wait for
// its end and then go out together, as the difference between what the
// device holds and what the window shows, so no move is lost. A
// transaction of the history that fails leaves the history where the device
// is: the window reads the device again (as after any failure) and the
// moves the device did not take are taken back.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QSpinBox>
#include <chrono>
#include <utility>

#include "controls/ApplicationHint.h"
#include "controls/TzkTrackBar.h"
#include "eq/DeviceBlock.h"
#include "eqwindow/OperatorMessages.h"
#include "eqwindow/TMDIChild.h"
#include "eqwindow/WindowCurve.h"
#include "link/TzkPA422Form.h"

namespace {
int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

class TMDIChild::UndoControl : public QObject {
 public:
  explicit UndoControl(QObject* parent) : QObject(parent) {}

  EditHistory steps;
  CompareAB compare;
  // The next read of the device (a chosen preset or address) is the new base.
  bool resetOnData = false;

  // The device catching up with the window.
  bool syncing = false;
  bool inFlight = false;        // a transaction of it runs
  bool whole = false;           // the next send carries the whole curve
  // The whole curve the next send carries is the operator's Paste, Clear or
  // Open, which the device stores in the preset; an undo, a redo or a swap
  // only tries a curve, in the working settings.
  bool storeWhole = false;
  bool awaitingReread = false;  // it failed; the device is being read again
  CurveState device;            // what the device holds, as far as the window knows
  CurveState sent;              // what the running transaction brings it
  // History moves (+1 redo or swap, -1 undo) the device has not confirmed,
  // and how many of them the running transaction carries. They can be
  // taken back while no edit was recorded in between.
  int netMoves = 0;
  int movesInFlight = 0;
  bool reversible = true;
  bool told = false;  // the operator has heard of its failure
};

// Walks the history back over `moves` unconfirmed moves (+1 a redo or a
// swap, -1 an undo), on `state`; nothing when an edit came in between.
void TMDIChild::TakeBack(int moves, WindowEditState& state) {
  UndoControl& u = *undo_;
  if (!u.reversible) return;
  for (; moves > 0 && u.steps.CanUndo(); --moves) FollowLevelOffset(u.steps.Undo(state), false);
  for (; moves < 0 && u.steps.CanRedo(); ++moves) FollowLevelOffset(u.steps.Redo(state), true);
}

// --- Menu items -------------------------------------------------------------

void TMDIChild::CreateUndoItems() {
  undo_ = new UndoControl(this);

  auto item = [this](const QString& text, const QString& hint, const QList<QKeySequence>& keys,
                     void (TMDIChild::*command)()) {
    auto* a = new QAction(text, EditMenu);
    SetHint(*a, hint);
    a->setShortcuts(keys);
    connect(a, &QAction::triggered, this, [this, command] { (this->*command)(); });
    return a;
  };
  Undo1 = item("&Undo", "Undo|Undo the last change of the curve or preset name",
               {QKeySequence(Qt::CTRL | Qt::Key_Z)}, &TMDIChild::Undo1Click);
  Redo1 = item("&Redo", "Redo|Redo the last change undone",
               {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
               &TMDIChild::Redo1Click);
  StoreB1 = item("Store &B", "Store B|Keep the curve shown as curve B, to compare with",
                 {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B)}, &TMDIChild::StoreB1Click);
  CompareAB1 = item("Compare &A/B", "Compare A/B|Switch the window and the device between curves A and B",
                    {QKeySequence(Qt::CTRL | Qt::Key_B)}, &TMDIChild::CompareAB1Click);

  // Undo and Redo head the Edit menu, the A/B pair closes it.
  QAction* first = EditMenu->actions().value(0);
  EditMenu->insertAction(first, Undo1);
  EditMenu->insertAction(first, Redo1);
  EditMenu->insertSeparator(first);
  EditMenu->addSeparator();
  EditMenu->addAction(StoreB1);
  EditMenu->addAction(CompareAB1);

  // Panel 12 names the live curve once there is a B to compare with.
  Panels[12]->setAccessibleName("Live curve");
  // A locked or bypassed preset takes no edit: nor undo, redo or a swap.
  connect(Lock, &QCheckBox::toggled, this, [this] { UpdateHistoryItems(); });
  connect(Bypass, &QCheckBox::toggled, this, [this] { UpdateHistoryItems(); });
  UpdateHistoryItems();
}

const EditHistory& TMDIChild::History() const { return undo_->steps; }
const CompareAB& TMDIChild::Compare() const { return undo_->compare; }

bool TMDIChild::HistoryEditable() const { return !Lock->isChecked() && !Bypass->isChecked(); }

void TMDIChild::UpdateHistoryItems() {
  const UndoControl& u = *undo_;
  const bool editable = HistoryEditable();
  Undo1->setText(u.steps.CanUndo() ? "&Undo " + Q(u.steps.UndoLabel()) : "&Undo");
  Undo1->setEnabled(editable && u.steps.CanUndo());
  Redo1->setText(u.steps.CanRedo() ? "&Redo " + Q(u.steps.RedoLabel()) : "&Redo");
  Redo1->setEnabled(editable && u.steps.CanRedo());
  StoreB1->setEnabled(!u.compare.bLive);
  CompareAB1->setEnabled(editable && u.compare.CanSwap());
  Panels[12]->setText(!u.compare.CanSwap() ? "" : u.compare.bLive ? "B live" : "A live");
}

// --- Recording ----------------------------------------------------------------

void TMDIChild::RecordEdit(EditKind kind, int slot, const CurveState& before,
                           const std::string& label, const QString& caption, bool inPreset,
                           const std::optional<EditStep::LevelOffset>& levelOffset) {
  std::string name = label;
  switch (kind) {
    case EditKind::Slider: name = SlotLabel(slot); break;
    case EditKind::HighPass: name = HighPassBoxLabel(); break;
    case EditKind::LowPass: name = SlotLabel(kLowPassSlot); break;
    case EditKind::PresetName: name = SlotLabel(kPresetNameSlot); break;
    default: break;
  }
  UndoControl& u = *undo_;
  std::pair<std::string, std::string> captions;
  if (!caption.isEmpty() && caption != windowTitle())
    captions = {windowTitle().toStdString(), caption.toStdString()};
  u.steps.Record(kind, slot, name, before, CurveOf(Doc), NowMs(), captions, levelOffset);
  if (kind == EditKind::WholeCurve) TellCurveEdited(before, CurveOf(Doc));
  if (u.syncing) {
    // The steps the device has not taken can no longer all be walked back.
    u.reversible = false;
    if (kind == EditKind::WholeCurve) {
      u.whole = true;
      if (inPreset) u.storeWhole = true;
    }
  }
  UpdateHistoryItems();
}

bool TMDIChild::HistoryCarriesEdit() {
  if (!undo_->syncing) return false;
  PumpHistory();
  return true;
}

void TMDIChild::NewHistory(bool fromDevice) {
  UndoControl& u = *undo_;
  u.steps.Clear();
  EndHistorySync();
  // B stays for comparing; the curve that comes is A.
  if (u.compare.bLive) {
    u.compare.other = CurveOf(Doc);
    u.compare.bLive = false;
  }
  u.resetOnData = fromDevice;
  UpdateHistoryItems();
}

// --- Commands -------------------------------------------------------------------

void TMDIChild::Undo1Click() { MoveInHistory(false); }
void TMDIChild::Redo1Click() { MoveInHistory(true); }

void TMDIChild::MoveInHistory(bool forward) {
  UndoControl& u = *undo_;
  if (!HistoryEditable() || !(forward ? u.steps.CanRedo() : u.steps.CanUndo())) return;
  const bool follow = Engine().Connected && Doc.Address != 0;
  if (follow && !u.syncing) {
    u.syncing = true;
    u.device = CurveOf(Doc);
  }
  WindowEditState state{CurveOf(Doc), u.compare};
  const EditStep& step = forward ? u.steps.Redo(state) : u.steps.Undo(state);
  FollowLevelOffset(step, forward);
  // The caption names what the window shows: an undone Open takes the
  // file's name back.
  if (!step.captionAfter.empty())
    setWindowTitle(Q(forward ? step.captionAfter : step.captionBefore));
  if (follow) {
    u.netMoves += forward ? 1 : -1;
    u.whole = u.whole || step.Whole();
    if (step.Whole()) u.storeWhole = false;
  }
  const CurveState before = CurveOf(Doc);
  movingInHistory_ = true;
  ShowEditState(state);
  movingInHistory_ = false;
  if (follow) PumpHistory();
  if (applyingLink_ || !OnHistoryMoved) return TellCurveEdited(before, CurveOf(Doc));
  OnHistoryMoved(forward, SliderStepsOf(before), SliderStepsOf(state.curve));
}

void TMDIChild::ApplyLinkedHistory(bool forward) {
  applyingLink_ = true;
  MoveInHistory(forward);
  applyingLink_ = false;
}

void TMDIChild::StoreB1Click() {
  undo_->compare.StoreB(CurveOf(Doc));
  UpdateHistoryItems();
}

void TMDIChild::CompareAB1Click() {
  UndoControl& u = *undo_;
  if (!HistoryEditable() || !u.compare.CanSwap()) return;
  const bool follow = Engine().Connected && Doc.Address != 0;
  if (follow && !u.syncing) {
    u.syncing = true;
    u.device = CurveOf(Doc);
  }
  WindowEditState state{CurveOf(Doc), u.compare};
  const CurveState before = state.curve;
  state.curve = state.compare.Swap(state.curve);
  u.steps.Record(EditKind::SwapAB, 0, "Compare A/B", before, state.curve, NowMs());
  if (follow) {
    // Recording dropped the steps that could have been redone: undos the
    // device has not taken can no longer be walked back.
    if (u.netMoves < 0) u.reversible = false;
    ++u.netMoves;
    // Every swap goes out as one whole curve.
    u.whole = true;
    u.storeWhole = false;
  }
  ShowEditState(state);
  if (follow) PumpHistory();
}

void TMDIChild::FollowLevelOffset(const EditStep& step, bool forward) {
  // Only for the measurement and target the fit was made for.
  if (!step.levelOffset || step.levelOffset->measurement != Measured.generation) return;
  Measured.fitOffsetDb = forward ? step.levelOffset->after : step.levelOffset->before;
}

void TMDIChild::ShowEditState(const WindowEditState& state) {
  const CurveState was = CurveOf(Doc);
  undo_->compare = state.compare;
  PutCurve(Doc, state.curve);
  ShowCurve(*this);
  const CurveState now = CurveOf(Doc);
  if (now.highPass != was.highPass) Panels[7]->setText(Q(HighPassLabel(Doc.HighPassIndex)));
  if (now.lowPass != was.lowPass) Panels[5]->setText(Q(LowPassLabel(Doc.LowPassIndex)));
  if (auto* focused = qobject_cast<TzkTrackBar*>(QApplication::focusWidget()); focused && isAncestorOf(focused))
    Panels[3]->setText(Q(LevelText(focused->Position(), QLocale().decimalPoint().toStdString())));
  // The name shown is the history's: leaving the box must not send it again.
  PresetNameEdited = false;
  UpdateHistoryItems();
  TellCurveEdited(was, now);
}

void TMDIChild::TellCurveEdited(const CurveState& before, const CurveState& after) {
  if (applyingLink_ || movingInHistory_ || !OnCurveEdited) return;
  if (before.sliders != after.sliders) OnCurveEdited(SliderStepsOf(before), SliderStepsOf(after));
}

// --- The device catching up ---------------------------------------------------

void TMDIChild::SendCurveChange(const DeviceSend& plan) {
  const std::string& password = pa422::kDevicePassword;
  const int address = Doc.Address;
  const int preset = SEPresetNumber->value();
  DeviceRequest request;
  request.changesCurve = true;
  switch (plan.kind) {
    case DeviceSend::Nothing:
      return;
    case DeviceSend::Parameter:
      request.start = [address, password, code = DeviceGainCode(Doc.SliderSteps(plan.slot)),
                       band = DeviceBandNumber(plan.slot)](TzkPA422Form& engine) {
        engine.UpdateParameter(address, password, code, band);
      };
      break;
    // A filter or the name is stored in the preset with everything else the
    // window shows.
    case DeviceSend::HighPass:
    case DeviceSend::LowPass:
      request = FilterWrite(plan.kind == DeviceSend::HighPass);
      break;
    case DeviceSend::PresetName:
      request = PresetNameWrite(preset, Doc.PresetName);
      break;
    case DeviceSend::WholeCurve: {
      // Undo, redo and swaps try a curve in the working settings; only the
      // operator's Paste, Clear or Open is stored in the preset.
      const int target = undo_->storeWhole ? Doc.CurrentPreset : 0;
      undo_->storeWhole = false;
      request.kind = LineRequest::WholeCurve;
      request.start = [address, target, payload = ::CopyVarloDataToORB(Doc, target)](TzkPA422Form& engine) {
        engine.TransmitAllData(address, target, payload);
      };
      break;
    }
  }
  // A failure reaches TransactionFailed or LinkFailed, as any of the
  // window's failures does.
  request.succeeded = [this] { HistorySent(); };
  request.refused = [this] { HistorySendRefused(); };
  QueueRequest(std::move(request));
}

void TMDIChild::PumpHistory() {
  UndoControl& u = *undo_;
  // One transaction of the history at a time; a read of the device under
  // way brings the window back here once its data came.
  if (!u.syncing || u.awaitingReread || u.inFlight || RecallPending || RereadPending) return;
  if (!Engine().Connected || Doc.Address == 0) {
    EndHistorySync();
    return;
  }
  const CurveState wanted = CurveOf(Doc);
  const DeviceSend plan = PlanDeviceSend(u.device, wanted, u.whole);
  if (plan.kind == DeviceSend::Nothing) {
    EndHistorySync();
    return;
  }
  u.inFlight = true;
  u.sent = wanted;
  u.whole = false;
  u.movesInFlight = u.netMoves;
  SendCurveChange(plan);
}

void TMDIChild::HistorySent() {
  UndoControl& u = *undo_;
  if (!u.syncing || !u.inFlight) return;
  // The device holds what was sent; what changed meanwhile goes next.
  u.inFlight = false;
  u.device = u.sent;
  u.netMoves -= u.movesInFlight;
  u.movesInFlight = 0;
  PumpHistory();
}

void TMDIChild::HistorySendRefused() {
  UndoControl& u = *undo_;
  if (!u.syncing || !u.inFlight) return;
  // Refused before anything went out (the engine said why): the device
  // keeps what it has, and so does the history.
  WindowEditState state{CurveOf(Doc), u.compare};
  TakeBack(u.netMoves, state);
  EndHistorySync();
  ShowEditState(state);
}

void TMDIChild::EndHistorySync() {
  UndoControl& u = *undo_;
  u.syncing = false;
  u.inFlight = false;
  u.whole = false;
  u.storeWhole = false;
  u.awaitingReread = false;
  u.netMoves = 0;
  u.movesInFlight = 0;
  u.reversible = true;
  u.told = false;
}

void TMDIChild::HistorySendFailed() {
  UndoControl& u = *undo_;
  if (!u.syncing || !u.inFlight) return;
  // What the device took is unknown until it has been read again.
  u.inFlight = false;
  u.awaitingReread = true;
}

void TMDIChild::HistoryAfterFailure() {
  UndoControl& u = *undo_;
  if (!u.awaitingReread) return;
  if (!RereadPending) {
    // No read could start: the device is taken to hold what it held.
    HistoryLinkFailed();
    return;
  }
  u.told = true;
  Messages().ShowMessage("Undo Error",
                         "The device did not take the change.  The window shows what it runs, "
                         "and undo goes on from there.",
                         MessageIcon::Error);
}

void TMDIChild::HistoryLinkFailed() {
  UndoControl& u = *undo_;
  u.resetOnData = false;
  if (!u.syncing) return;
  // The device is gone with the moves it had not confirmed: the history
  // and the window go back to where it was last known to be.
  const bool tell = u.netMoves != 0 && !u.told;
  WindowEditState state{CurveOf(Doc), u.compare};
  TakeBack(u.netMoves, state);
  EndHistorySync();
  ShowEditState(state);
  if (tell)
    Messages().ShowMessage("Undo Error",
                           "The device did not take the change.  Undo goes on from the curve it "
                           "was last known to run.",
                           MessageIcon::Error);
}

bool TMDIChild::HistoryTakesBase() const { return undo_->resetOnData; }

std::optional<CurveState> TMDIChild::HistoryCurveBeforeData() const {
  if (!undo_->syncing) return std::nullopt;
  return CurveOf(Doc);
}

void TMDIChild::HistoryDataReceived(const std::optional<CurveState>& shown) {
  UndoControl& u = *undo_;
  if (u.resetOnData) {
    // The chosen preset's data: the new base of a new history.
    u.resetOnData = false;
    u.steps.Clear();
    UpdateHistoryItems();
    return;
  }
  if (!u.syncing || !shown) return;
  const CurveState device = CurveOf(Doc);
  if (u.awaitingReread) {
    // The device has been read again after the history's transaction
    // failed: the moves it did not take are taken back, and the window
    // keeps what the device runs.
    int back = u.netMoves;
    if (SameOnDevice(device, *shown))
      back = 0;
    else if (SameOnDevice(device, u.sent))
      back = u.netMoves - u.movesInFlight;
    WindowEditState state{*shown, u.compare};
    TakeBack(back, state);
    u.compare = state.compare;
    EndHistorySync();
    UpdateHistoryItems();
    return;
  }
  // A read of the device came in while the history waited to send (a
  // recall ran): the device holds what was read, the window shows the
  // history's curve again, and the difference goes out.
  u.device = device;
  ShowEditState(WindowEditState{*shown, u.compare});
  PumpHistory();
}
