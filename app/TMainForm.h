#pragma once
// The main frame: a multiple-document window with the tool bar, the menus,
// an empty status strip and the equalizer windows in its client area. It
// loads the settings when first shown and saves them when destroyed, and
// runs the commands of its tool bar and menus.
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "eq/CurveClipboard.h"
#include "eqwindow/EqualizerHost.h"
#include "eqwindow/EqualizerWindow.h"
#include "serial/PortList.h"
#include "settings/Settings.h"

class QDockWidget;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QAction;
class QToolButton;
class QWidget;
class BusWindow;
class InstallationModel;
class LinkController;
class OperatorMessages;
class MeasurementCommands;
class ResponsePanel;
class TAboutBox;
class TComPortDlg;
class TOptionsDlg;
class LineQueue;
class TzkPA422Form;
struct TProgramOptions;

// The program's five long-lived objects, created in this order at start-up
// and alive until the program ends. The frame reaches the others here.
struct LongLivedObjects {
  class TMainForm* MainForm = nullptr;
  TOptionsDlg* OptionsDlg = nullptr;
  TzkPA422Form* PA422Form = nullptr;
  LineQueue* Line = nullptr;  // in front of the engine
  TComPortDlg* ComPortDlg = nullptr;
  TAboutBox* AboutBox = nullptr;
};

class TMainForm : public QMainWindow, public EqualizerHost {
  Q_OBJECT
 public:
  static constexpr int kToolBarHeight = 30;
  static constexpr int kStatusBarHeight = 19;
  static constexpr int kLayoutTimerMs = 1000;
  static constexpr int kCloseWaitMs = 1000;
  // The longest wait for the line at closing: a transaction's time-outs.
  static constexpr int kCloseLineWaitMs = 5000;

  // programDir: the directory of the executable, with its trailing "/".
  TMainForm(LongLivedObjects& objects, OperatorMessages& messages, std::string programDir);
  ~TMainForm() override;

  // Creates an equalizer window for the frame (set by the program once the
  // window class exists). Without it New and Open create nothing.
  std::function<QWidget*(TMainForm&)> EqualizerWindowFactory;

  std::string ProgramDir;
  int32_t MaxBandExcursion = 0;
  // The curves copied by any equalizer window, for pasting into any other.
  TCurveClipboard CurveClipboard;

  // The other long-lived objects and the operator's message boxes, for the
  // equalizer windows.
  LongLivedObjects& Objects() const { return objects_; }
  OperatorMessages& Messages() const override { return messages_; }

  // The settings file: ProgramDir + "Varlo95.ini" (or the per-user file
  // where the program's directory cannot be written).
  std::string SettingsPath() const;
  TProgramOptions& Options() const override;

  // EqualizerHost (what the equalizer windows ask of the frame).
  TzkPA422Form& Engine() const override { return *objects_.PA422Form; }
  LineQueue& Line() const override { return *objects_.Line; }
  // What a window's menus ask of the frame: its own commands.
  void NewEqualizerWindow() override { FileNewItemClick(); }
  void OpenPresetFile() override { FileOpenItemClick(); }
  void ShowOptions() override { Properties1Click(); }
  void ExitProgram() override { FileExitItemClick(); }
  void ShowAbout() override { HelpAboutItemClick(); }
  // Once the line queue exists: the response panel draws when the line
  // becomes free, and the installation model hears every outcome.
  void WatchLine();
  TCurveClipboard& Clipboard() override { return CurveClipboard; }
  void RecordMaxBandExcursion(int32_t excursion) override { MaxBandExcursion = excursion; }
  int EqualizerWindowCount() const override;
  void SetPasteEnabled(bool enabled) override;
  std::optional<uint16_t> AskComPort() override;
  // With the response panel shown: its picture of the curve, below the
  // window's on the printed page.
  std::function<void(QPainter&, const QRect&)> PrintedBelowWindow(
      const TEqualizerDocument& curve) override;

  // Port numbers and devices in the settings file: the device port n
  // stands for, whether a key maps it, and mapping it (false when that
  // could not be written: the operator was told).
  std::string DeviceForPortNumber(uint16_t n) const;
  bool PortMapped(uint16_t n) const;
  bool MapPort(uint16_t n, const std::string& device);

  // Reads the settings and shows the frame (the first showing).
  void ShowFrame();

  // Event handlers.
  void FormCreate();
  void FormShow();
  void FormActivate();
  // Runs the equalizer windows' close queries, then gives the devices
  // their manual controls back while connected. Never refuses.
  bool FormCloseQuery();
  void FormDestroy();
  void UpdateMenuItems();
  void Timer1Timer();

  void LoadSettings(const std::string& path);
  // False when a key could not be written (the operator was told).
  bool SaveSettings(const std::string& path);

  // Commands.
  void FileNewItemClick();
  void FileOpenItemClick();
  void FileCloseItemClick();
  void FileSaveItemClick();
  void FileExitItemClick();
  void WindowCascadeItemClick();
  void WindowTileItemClick();
  void WindowArrangeItemClick();
  void WindowMinimizeItemClick();
  // Opens the Bus window, or activates it when it is open.
  void WindowBusItemClick();
  // Link Windows: the windows chosen in the dialog become a group.
  void WindowLinkItemClick();
  // Shows each window's group and state in its link panel.
  void UpdateLinkDisplays();
  void CopyBtnClick();
  void PasteBtnClick();
  void SBFlatBtnClick();
  void SBPrintBtnClick();
  void Properties1Click();
  void SBComSetupClick();
  void HelpAboutItemClick();

  // Equalizer windows.
  QWidget* CreateEqualizerWindow(const QString& caption);
  // "NONAME" and the number of open equalizer windows plus one.
  QString NewWindowCaption() const;
  QList<QWidget*> EqualizerWindows() const;
  // From the least recently active to the active one.
  QList<QWidget*> EqualizerWindowsByActivation() const;
  EqualizerWindow* ActiveEqualizerWindow() const;
  QWidget* ActiveEqualizerWidget() const;
  void ActivateEqualizerWindow(QWidget* window);
  // The equalizer window of the device at an address: the one open is
  // activated, else a new one connects to it.
  void OpenDeviceWindow(int address);
  // The Bus window while it is open.
  BusWindow* Bus() const;
  // Lays out every equalizer window again.
  void LayoutEqualizerWindows();
  // Where the system's serial ports are found (tests give fake trees).
  PortRoots PortTreeRoots;
  // The open dialog; returns the chosen path and the 1-based filter index,
  // or an empty path when cancelled. Tests replace it.
  std::function<std::pair<QString, int>()> RunOpenDialog;

  // Controls.
  QWidget* ClientPanel = nullptr;  // tool bar, workspace and status strip
  QWidget* SpeedPanel = nullptr;
  QToolButton* SpeedButton1 = nullptr;
  QToolButton* OpenBtn = nullptr;
  QToolButton* SaveBtn = nullptr;
  QToolButton* SBPrintBtn = nullptr;
  QToolButton* CopyBtn = nullptr;
  QToolButton* PasteBtn = nullptr;
  QToolButton* SBFlatBtn = nullptr;
  QToolButton* SBTileBtn = nullptr;
  QToolButton* SBBusBtn = nullptr;
  QToolButton* SBComSetup = nullptr;
  QToolButton* ExitBtn = nullptr;
  QMdiArea* MdiArea = nullptr;
  QWidget* StatusBar = nullptr;
  // The computed response of the active equalizer window, docked along the
  // bottom of the frame.
  QDockWidget* ResponseDock = nullptr;
  ResponsePanel* Response = nullptr;
  // The active window's measurement commands (Window menu and the
  // response picture's menu).
  MeasurementCommands* Measurement = nullptr;
  // The linked windows' groups.
  LinkController& Links() { return *links_; }
  // Every unit the program has heard of (the Bus window shows it); made by
  // WatchLine.
  InstallationModel* Units() const { return units_.get(); }
  QMenu* FileMenu = nullptr;
  QMenu* WindowMenu = nullptr;
  QMenu* HelpMenu = nullptr;
  QAction* FileNewItem = nullptr;
  QAction* FileOpenItem = nullptr;
  QAction* FileCloseItem = nullptr;
  QAction* Properties1 = nullptr;
  QAction* FileExitItem = nullptr;
  QAction* WindowCascadeItem = nullptr;
  QAction* WindowTileItem = nullptr;
  QAction* WindowArrangeItem = nullptr;
  QAction* WindowMinimizeItem = nullptr;
  QAction* WindowBusItem = nullptr;
  QAction* WindowLinkItem = nullptr;
  QAction* WindowResponseItem = nullptr;  // shows or hides the response panel
  QAction* HelpAboutItem = nullptr;
  QTimer Timer1;

  // The frame's client height as the tiling rule counts it: tool bar,
  // workspace and status strip.
  int ClientHeight() const;

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreateToolBar();
  void CreateMenus();
  // The response panel's dock, its menu items and its source of curves.
  void CreateResponsePanel();
  // Shows or hides the response panel at the height it keeps.
  void ShowResponsePanel(bool shown);
  void PlaceClientControls();
  // Tells the windows that the active one changed: the one that lost it,
  // then the one that has it.
  void ActiveWindowChanged(QMdiSubWindow* sub);
  void MergeActiveWindowMenus();
  void FillWindowList();
  void TileColumns(int perColumn);
  // Scrolls the workspace (or, beyond its reach, moves the window) so
  // that the window chosen is in view.
  void BringIntoView(QMdiSubWindow& sub);
  // Outer size and place: the decorations, when known, come off the size.
  void ApplyOuterGeometry(const QRect& outer);
  // The available area of the screen a stored frame place belongs to.
  QRect AvailableScreenArea(const FrameGeometry& frame) const;

  LongLivedObjects& objects_;
  OperatorMessages& messages_;
  QList<MenuGroup> frameMenus_;
  QList<QAction*> windowListItems_;
  bool closeQueried_ = false;
  bool destroyed_ = false;
  bool tearingDown_ = false;
  std::optional<QRect> outerGeometry_;
  bool shown_ = false;
  // Shown before the window manager framed it: placed again once it has.
  bool awaitingDecorations_ = false;
  // The equalizer window last made active; it hears FormDeactivate when
  // another one takes its place.
  QPointer<QWidget> activeWindow_;
  // The response panel's height (the dock's, in pixels) while shown, kept
  // for the settings file and for showing it again.
  int responseHeight_ = 0;
  // Shows the Com Port Setup dialog with the system's ports; on OK, a
  // system port chosen is mapped to the port number in the settings file.
  // The port number, or nothing on Cancel.
  std::optional<uint16_t> RunComPortDialog();
  // The line made ready for a scan: a port chosen and open.
  bool PrepareBusLine();
  // Its subscription to the line queue's events.
  int lineEvents_ = 0;
  std::unique_ptr<InstallationModel> units_;
  std::unique_ptr<LinkController> links_;
  bool linkDisplayQueued_ = false;
};
