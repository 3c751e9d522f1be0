#pragma once
// The equalizer window: edits one preset of one ORB device. Its header row
// chooses the device, preset and filters, thirty sliders hold the 29 bands
// and the gain, and the status bar reads out frequency, level, filters,
// address and range. Every change is sent to the device at once through the
// link engine; the engine's notifications come back to the active window.
//
// The window's code is split by concern:
//   TMDIChild.cpp         creation, layout, hint readout, tick drawing
//   TMDIChildControl.cpp  the controller: handlers, notifications, keys
//   TMDIChildFiles.cpp    opening and saving preset files
//   TMDIChildEdit.cpp     copy, paste and clear
//   TMDIChildCurve.cpp    the curve shown, for the frame's response picture
//   TMDIChildUndo.cpp     undo, redo and the A/B compare
//   TMDIChildMeasurement.cpp  the measurement, its target and the fit
//   EqualizerPrinting.*   printing the window
#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "eq/EditHistory.h"
#include "eq/EqualizerDocument.h"
#include "eqwindow/EqualizerHost.h"
#include "eqwindow/EqualizerWindow.h"
#include "link/LineQueue.h"
#include "link/LinkInterfaces.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPrinter;
class QScrollBar;
class QSpinBox;
class TzkPA422Form;
class TzkTrackBar;
class OperatorMessages;
struct TProgramOptions;

class TMDIChild : public QWidget, public EqualizerWindow, public EqualizerNotifications {
  Q_OBJECT
 public:
  static constexpr int kDesignClientWidth = 792;
  static constexpr int kDesignClientHeight = 285;
  static constexpr int kStatusPanels = 13;

  explicit TMDIChild(EqualizerHost& host);
  ~TMDIChild() override;

  // The document and the window's flags.
  TEqualizerDocument Doc;
  bool UpdatePending = false;
  bool RecallPending = false;
  int RequestedPreset = 1;
  bool PresetNameEdited = false;
  bool AddressDroppedDown = false;
  bool SkipPresetChange = false;
  // The window is reading its device again after a failed transaction.
  bool RereadPending = false;
  // The window makes its device run its preset again, on activation: once
  // the recall is done, the window's curve follows.
  bool RestorePending = false;

  // The measured response and the target the window's fit aims for.
  WindowMeasurement Measured;
  // The longest a fit waits for a running transaction to end.
  static constexpr int kFitLineWaitMs = 300;

  // The client area that holds every control below at its design place; a
  // window narrower than the controls scrolls it sideways with the
  // scroll bar along its bottom edge.
  QWidget* ClientArea = nullptr;
  QScrollBar* HorzScrollBar = nullptr;

  // Controls (design places in the window's client area).
  QLabel* AddressLabel = nullptr;  // "Addr"
  QComboBox* CBAddress = nullptr;
  QLineEdit* EBORBName = nullptr;
  QSpinBox* SEPresetNumber = nullptr;
  QComboBox* CBPresetName = nullptr;
  QLabel* HighPassPicture = nullptr;
  QComboBox* CBHighPass = nullptr;
  QLabel* LowPassPicture = nullptr;
  QComboBox* CBLowPass = nullptr;
  QCheckBox* Mute = nullptr;
  QCheckBox* Lock = nullptr;
  QCheckBox* Bypass = nullptr;
  std::array<TzkTrackBar*, 30> TrackBars{};  // TrackBar1 .. TrackBar30 (Tag 1 .. 30)
  QWidget* StatusBar1 = nullptr;
  std::array<QLabel*, kStatusPanels> Panels{};
  // Right of the panels: the window's link group and its state, on the
  // group's colour; empty when the window is not linked.
  QLabel* LinkPanel = nullptr;

  // The window's menus: "&File" (group 0), "&Edit" (1), "&Help" (10).
  QMenu* FileMenu = nullptr;
  QMenu* EditMenu = nullptr;
  QMenu* HelpMenu = nullptr;
  QAction* Save1 = nullptr;
  QAction* PrintSetup1 = nullptr;
  QAction* Print1 = nullptr;
  QAction* Copy1 = nullptr;
  QAction* Paste1 = nullptr;
  QAction* Clear1 = nullptr;
  QAction* Undo1 = nullptr;
  QAction* Redo1 = nullptr;
  QAction* StoreB1 = nullptr;
  QAction* CompareAB1 = nullptr;
  QAction* Unlink1 = nullptr;
  QAction* Resync1 = nullptr;

  // EqualizerWindow (what the frame asks of the window).
  EqualizerNotifications& Notifications() override { return *this; }
  QList<MenuGroup> Menus() override;
  bool FormCloseQuery() override;
  void FormResize() override;
  void ScanBandExcursion(int32_t& max) override;
  bool Open(const QString& path, int filterIndex) override;
  void Save() override { Save1Click(); }
  void Copy() override { Copy1Click(); }
  void Paste() override { Paste1Click(); }
  void Clear() override { FlatClick(); }
  bool ClearEnabled() const override;
  void Print() override { PrintEqualizerWindow(); }
  TEqualizerDocument CurveNow() const override;
  const WindowMeasurement* MeasurementState() const override { return &Measured; }
  bool LoadMeasurement(const QString& path) override;
  void SetTarget(const TargetCurve& target) override;
  void ClearMeasurement() override;
  bool FitEnabled() const override;
  // The fit takes some milliseconds of the program's thread: it waits for a
  // running transaction (whose answers the program owes the device) to
  // end, at most kFitLineWaitMs.
  void FitToTarget() override;
  int DeviceAddress() const override { return Doc.Address; }
  void ChooseAddress(int address) override;
  void ReloadFromDevice() override;
  void ApplyLinkedSteps(int slot, int steps) override;
  void ApplyLinkedFilter(bool highPass, int index) override;
  void ApplyLinkedHistory(bool forward) override;
  void ApplyLinkedSwitch(bool bypass, bool on) override;
  void ApplyLinkedCurve(const std::array<int, kSliderCount>& steps, const std::string& label) override;
  bool PresetLocked() const override;
  bool LinkedSendsPending() const override { return UpdatePending; }
  void ShowLink(const QString& text, const QColor& colour, bool resync) override;
  int SliderRange() const override;
  QString Caption() const override { return windowTitle(); }
  // Tells the frame (OnCurveChanged) that the curve shown changed.
  void CurveChanged();

  // Engine notifications (to the active window).
  void LinkFailed() override;
  void PresetRecalled() override;
  void UpdateDone() override;
  void AllDataReceived() override;
  void TransactionFailed() override;

  // Shared operations.
  void EnableEditControls();
  void DisableEditControls();
  void ResetAddress();
  void SelectDevicePreset(int address, int preset);
  // With followUp, the read is the second half of the recall that has just
  // ended: it goes before the window's waiting requests.
  void ReadDeviceData(int address, int preset, bool followUp = false);
  void CopyVarloDataToORB();
  void CopyORBDataToWindow();
  // When the program knows the device to run another preset than the one
  // the window shows (another window of the same device chose it), or does
  // not know what it runs: recalls the window's preset and then sends the
  // window's curve into the working settings. Otherwise sends nothing.
  void RunShownPresetOnDevice();
  // Enables or disables Paste: the frame's tool bar button and Paste1.
  void SetPasteEnabled(bool enabled);
  // Shows the document in the controls without running any handler: the
  // address, preset number, names, device name and check boxes, then the
  // curve (ShowCurve).
  void ShowDocument();
  TzkTrackBar* SliderOfSlot(int slot) const { return TrackBars[slot - 1]; }

  // Handlers.
  void TrackBar1Changing(TzkTrackBar& sender, int newPos, bool& allowChange);
  void TrackBarChange(TzkTrackBar& sender);
  void zkTrackBar1Enter(TzkTrackBar& sender);
  void zkTrackBar1Exit(TzkTrackBar& sender);
  void zkTrackBar1KeyDown(TzkTrackBar& sender, int& key);
  void zkTrackBarDrawTick(TzkTrackBar& bar, QPainter& canvas, QPoint location, int index);
  void zkTrackBarDrawTickWithText(TzkTrackBar& bar, QPainter& canvas, QPoint location, int index);
  void zkTrackBar31DrawTick(TzkTrackBar& bar, QPainter& canvas, QPoint location, int index);
  void CBHighPassChange();
  void CBLowPassChange();
  void CBAddressDropDown();
  void CBAddressChange();
  void SEPresetNumberChange();
  void CBPresetNameClick();
  void CBPresetNameKeyPress(int key);
  // The operator changed the text of the preset-name box.
  void CBPresetNameEdited();
  void CBPresetNameExit();
  void EBORBNameKeyDown(int key);
  void EBORBNameExit();
  void MuteClick();
  void LockClick();
  void BypassClick();
  void FormCreate();
  void FormActivate() override;
  void FormDeactivate() override;
  // Keyboard shortcuts; key is a Qt::Key.
  void FormKeyDown(int key);
  void ShowSliderHint(const QString& longHint);

  // Preset files, clipboard, printing.
  void Save1Click();
  void Copy1Click();
  void Paste1Click();
  void FlatClick();
  void PrintEqualizerWindow();
  void PrintSetup1Click();

  // Undo, redo and the A/B compare (TMDIChildUndo.cpp). While connected,
  // the device follows: what changed goes out with the fewest transactions,
  // once the line is free.
  void Undo1Click();
  void Redo1Click();
  void StoreB1Click();
  void CompareAB1Click();
  const EditHistory& History() const;
  const CompareAB& Compare() const;
  // Records an operator's edit of the curve: `before` is the curve as it
  // was, the document holds it as it is now. A whole-curve edit is named
  // by `label` ("Paste").
  // An opened file also names the window anew: `caption` is the new
  // caption, which undo takes back. A whole curve goes into the preset
  // unless inPreset is false (a fit tries it in the working settings).
  // A fit gives the measurement's level offset before and after it.
  void RecordEdit(EditKind kind, int slot, const CurveState& before, const std::string& label = {},
                  const QString& caption = {}, bool inPreset = true,
                  const std::optional<EditStep::LevelOffset>& levelOffset = {});
  // While the device is catching up with undo, redo or a swap, the edits
  // the operator makes meanwhile go out with it: true when the caller must
  // not send its edit itself.
  bool HistoryCarriesEdit();
  // A new history: a preset or an address was chosen. With fromDevice, the
  // device's data, once it arrives, is the new base.
  void NewHistory(bool fromDevice);

  // The window's dialogs; when empty, the platform's own are shown. Tests
  // put their answers here.
  // Save: gets the suggested file name, returns the chosen path and the
  // 1-based filter index, or an empty path when cancelled.
  std::function<std::pair<QString, int>(const QString& suggestedName)> RunSaveDialog;
  // Print: may change the printer and its copies count; false on Cancel.
  std::function<bool(QPrinter& printer)> RunPrintDialog;
  // Printer setup: may change the printer's page settings.
  std::function<void(QPrinter& printer)> RunPrintSetupDialog;

  EqualizerHost& Host() const { return host_; }
  TzkPA422Form& Engine() const;
  LineQueue& Line() const;
  // The window's requests in the line queue are this owner's.
  int LineOwner() const { return lineOwner_; }
  // The client size the window was created with (the design size, scaled
  // to the screen): what its sub-window first gives it.
  QSize sizeHint() const override { return createdSize_; }
  OperatorMessages& Messages() const;
  TProgramOptions& Options() const;

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // The controls in their design places: the client area holds the header
  // row, the thirty sliders and the status bar.
  void CreateControls();
  void CreateHeaderRow(QWidget& area);
  void CreateSliders(QWidget& area);
  void CreateStatusBar(QWidget& area);
  void CreateMenus();
  void ConnectHandlers();
  // Every operator's change of a slider, filter, Mute or Bypass also
  // tells the frame (CurveChanged), after the change's own handler.
  void ConnectCurveNotifications();
  // One device operation of the window through the line queue, started
  // when its turn comes with the values given now. Its outcome comes back
  // to the window's own handlers (RequestEnded), whichever window is active.
  struct DeviceRequest {
    std::function<void(TzkPA422Form&)> start;
    LineRequest::Kind kind = LineRequest::Command;
    int parameter = 0;  // the band of an UPDATE_PARAMETER
    bool followUp = false;
    // It changes the curve on the device: UpdatePending holds while it
    // waits. A slider's update changes its slot; anything else that changes
    // the curve carries all of it.
    bool changesCurve = false;
    int slot = 0;
    // A linked send: no box on failure; the link hears of it instead.
    bool quiet = false;
    // Nothing went on the line (the engine refused it, or its start found
    // nothing to do).
    std::function<void()> refused;
    // It ended well; runs after the window's handler of the outcome.
    std::function<void()> succeeded;
  };
  // A window at address 0 has no device and sends nothing: were it to send
  // while another window holds the port open, address byte 0 would go on
  // the line and wait two seconds for nobody. Then `refused` runs.
  void QueueRequest(DeviceRequest request);
  // Passes a transaction's outcome to the handler the window has for it
  // (LinkFailed, TransactionFailed, PresetRecalled, UpdateDone,
  // AllDataReceived), once per transaction.
  void RequestEnded(const LineOutcome& outcome);
  // Counts the window's curve changes waiting or running, by slot (0: the
  // whole curve); UpdatePending is set and cleared here alone.
  void CountCurveRequests(int slot, int delta);
  // Drops what the window has waiting in the line queue; the outcome of
  // what runs is no longer the window's concern.
  void DropWaitingRequests();
  // After a failed transaction: reads the device's current data again, as
  // choosing the address does, before anything else is sent.
  void RereadDevice();
  // Nothing is on its way any more: the window stops waiting for answers.
  void StopWaiting();
  // Notes a write to the window's device by work other than the equalizer
  // windows' (whose effect the device's running preset follows), and reads
  // the device again once that work has nothing more waiting for it.
  void FollowWritesElsewhere(const LineRequest& request, const LineOutcome& outcome);
  // A slider's update (a newer move of the same slider replaces a waiting
  // one) and a whole curve into `preset`.
  void QueueSliderUpdate(int slot, bool quiet = false);
  // Tells the link (OnCurveEdited) of the operator's change of several
  // bands at once; not of the link's own.
  void TellCurveEdited(const CurveState& before, const CurveState& after);
  void QueueCurve(int preset, const pa422::Bytes& payload, bool followUp = false, bool quiet = false);
  // A filter (the high-pass, or the low-pass) or a preset's name stored
  // in the window's preset with the curve the window shows.
  DeviceRequest FilterWrite(bool highPass) const;
  DeviceRequest PresetNameWrite(int preset, const std::string& name) const;
  // A command that changes no curve (Mute, Lock, Bypass, the device name).
  void QueueCommand(std::function<void(TzkPA422Form&)> start) {
    DeviceRequest request;
    request.start = std::move(start);
    QueueRequest(std::move(request));
  }
  // A recall of the chosen preset went nowhere: the window shows the
  // preset it showed before.
  void PresetChoiceRefused();
  void WatchLine();
  // Places the client area and the scroll bar for the window's size.
  void PlaceClientArea();
  // Lays the status panels out in the window's width, above areaHeight.
  void PlaceStatusBar(int areaHeight);
  // Scrolls the client area so that control is in view.
  void ScrollIntoView(QWidget& control);
  // A tiled window keeps its column.s width: the resize is queued, as Qt
  // does not deliver a resize made from inside the window's own resize.
  void QueueWidthSnap();
  // The width of a column of tiled windows in the workspace.
  int TiledWidth() const;

  // Undo, redo and A/B (TMDIChildUndo.cpp).
  class UndoControl;
  void CreateUndoItems();
  void UpdateHistoryItems();
  bool HistoryEditable() const;
  void MoveInHistory(bool forward);
  void ShowEditState(const WindowEditState& state);
  // Lays the measurement where a fit's step, undone or redone, laid it.
  void FollowLevelOffset(const EditStep& step, bool forward);
  void SendCurveChange(const DeviceSend& plan);
  void PumpHistory();
  // The history's transaction ended well, or went nowhere.
  void HistorySent();
  void HistorySendRefused();
  void EndHistorySync();
  void TakeBack(int moves, WindowEditState& state);
  void HistorySendFailed();
  void HistoryAfterFailure();
  void HistoryLinkFailed();
  std::optional<CurveState> HistoryCurveBeforeData() const;
  // Whether the data coming is a new base (an address or preset chosen).
  bool HistoryTakesBase() const;
  void HistoryDataReceived(const std::optional<CurveState>& shown);

  // The fit (TMDIChildMeasurement.cpp): run once the line is free.
  void FitWhenLineFree();
  void RunFit();
  bool fitWaiting_ = false;
  int lineEvents_ = 0;

  UndoControl* undo_ = nullptr;
  LineQueue* line_ = nullptr;
  // A linked move is being shown: it is the link's, not the operator's.
  bool applyingLink_ = false;
  // An undo or redo is being shown: the link hears of it as such.
  bool movingInHistory_ = false;
  int lineOwner_ = 0;
  // Outcomes of requests made before the window last dropped its waiting
  // requests are not the window's concern.
  uint64_t requestEpoch_ = 0;
  uint64_t lastEnd_ = 0;  // the last transaction whose outcome was handled
  std::array<int, kSliderCount + 1> curveRequests_{};
  int presetBeforeRecall_ = 1;
  // Other work wrote to the device since the window last read it (its
  // owner: changedBy_): the window reads before it sends anything.
  bool changedElsewhere_ = false;
  int changedBy_ = 0;
  EqualizerHost& host_;
  bool snapQueued_ = false;
  QSize createdSize_{kDesignClientWidth, kDesignClientHeight};
};
