#include "app/TMainForm.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>

#include "app/AboutBox.h"
#include "app/BusWindow.h"
#include "app/ComPortDlg.h"
#include "app/LinkController.h"
#include "app/LinkJoinDlg.h"
#include "app/LinkWindowsDlg.h"
#include "app/MeasurementCommands.h"
#include "app/MenuMerge.h"
#include "app/OptionsDlg.h"
#include "app/ProgramIcon.h"
#include "app/ResponsePanel.h"
#include "app/ToolBarImages.h"
#include "app/WindowPlacement.h"
#include "controls/ApplicationHint.h"
#include "controls/ToolkitDialogs.h"
#include "controls/zkScale.h"
#include "eq/PresetFormats.h"
#include "eqwindow/OperatorMessages.h"
#include "eqwindow/TiledPlaces.h"
#include "link/InstallationModel.h"
#include "link/LineQueue.h"
#include "link/TzkPA422Form.h"
#include "serial/PortNames.h"
#include "settings/BusSettings.h"
#include "settings/IniFile.h"
#include "settings/SettingsLocation.h"

namespace {
// The frame's design size and place, for a first start.
constexpr int kDesignWidth = 600;
constexpr int kDesignHeight = 411;
constexpr int kDesignLeft = 100;
constexpr int kDesignTop = 100;
// The least a restored frame keeps: its tool bar up to Com Setup, and the
// menu bar, tool bar and status strip around a strip of workspace.
constexpr int kMinimumWidth = 370;
constexpr int kMinimumHeight = 150;
constexpr int kButtonSize = 25;
constexpr int kIconSize = 16;

EqualizerWindow* AsEqualizerWindow(QWidget* w) { return dynamic_cast<EqualizerWindow*>(w); }

QWidget* WindowOf(QMdiSubWindow* sub) { return sub ? sub->widget() : nullptr; }
}  // namespace

TMainForm::TMainForm(LongLivedObjects& objects, OperatorMessages& messages,
                     std::string programDir)
    : objects_(objects), messages_(messages) {
  ProgramDir = std::move(programDir);
  objects_.MainForm = this;
  setWindowTitle("Varlo95");
  QFont design = font();
  design.setPixelSize(11);
  setFont(design);
  resize(kDesignWidth, kDesignHeight);

  ClientPanel = new QWidget(this);
  setCentralWidget(ClientPanel);
  CreateToolBar();
  MdiArea = new QMdiArea(ClientPanel);
  MdiArea->setAccessibleName("Equalizer windows");
  MdiArea->setBackground(QApplication::palette().brush(QPalette::Dark));
  // Windows tiled two or three to a screen stand in columns reached by
  // scrolling.
  MdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  MdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  StatusBar = new QWidget(ClientPanel);
  StatusBar->setObjectName("StatusBar");
  StatusBar->setAccessibleName("Status bar");
  StatusBar->setAutoFillBackground(true);
  CreateMenus();
  CreateResponsePanel();

  connect(MdiArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* sub) {
    UpdateMenuItems();
    MergeActiveWindowMenus();
    ActiveWindowChanged(sub);
    if (sub) BringIntoView(*sub);
  });
  connect(qApp, &QApplication::focusChanged, this, [this] { UpdateMenuItems(); });

  Timer1.setSingleShot(true);
  Timer1.setInterval(kLayoutTimerMs);
  connect(&Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });

  FormCreate();
  PlaceClientControls();
}

void TMainForm::WatchLine() {
  LineEvents events;
  events.ended = [this](const LineRequest&, const LineOutcome&) {
    Response->LineMayBeFree();
    // A member's sends ended: "pending" may be over (after the window has
    // heard of its end).
    if (links_ && links_->Any() && !linkDisplayQueued_) {
      linkDisplayQueued_ = true;
      QTimer::singleShot(0, this, [this] {
        linkDisplayQueued_ = false;
        UpdateLinkDisplays();
      });
    }
  };
  events.idle = [this] { Response->LineMayBeFree(); };
  lineEvents_ = objects_.Line->Subscribe(std::move(events));
  // What the last scans found, until the units are asked again.
  units_ = std::make_unique<InstallationModel>(objects_.Line);
  for (const auto& [address, name] : LoadBusDevices(SettingsPath())) units_->Known(address, name);
  links_->Units = units_.get();
  links_->PublishGroups();
}

TMainForm::~TMainForm() {
  if (objects_.Line) objects_.Line->Unsubscribe(lineEvents_);
  FormDestroy();
  // The windows go with the frame; their going must not reach a frame that
  // is half destroyed.
  tearingDown_ = true;
  disconnect(MdiArea, nullptr, this, nullptr);
  for (QMdiSubWindow* sub : MdiArea->findChildren<QMdiSubWindow*>())
    disconnect(sub, nullptr, this, nullptr);
  // The link goes before the windows: none of them may call it after.
  for (QWidget* w : EqualizerWindows())
    if (EqualizerWindow* eq = AsEqualizerWindow(w)) links_->Detach(*eq);
  // The Bus window views the installation model, which goes with the frame.
  delete Bus();
  if (links_) links_->Units = nullptr;
}

std::string TMainForm::SettingsPath() const { return SettingsFilePath(ProgramDir); }

TProgramOptions& TMainForm::Options() const { return objects_.OptionsDlg->Options; }

void TMainForm::FormCreate() {
  // ProgramDir is set by the constructor; an engine that already exists
  // gets a copy (at start-up it comes later and keeps its own, empty).
  if (objects_.PA422Form) objects_.PA422Form->ProgramDir = ProgramDir;
  Timer1.start();
  // Menus, tool tips, message boxes and the file dialogs grow with the
  // forms; the windows carry the program's icon.
  const ScreenMetrics screen = ScreenMetrics::Primary();
  ScaleApplicationToScreen(screen);
  QApplication::setWindowIcon(ProgramIcon());
  ScaleFormToScreen(*this, screen);
  // The button images at the buttons' scaled size (they draw themselves
  // at the size they are shown).
  const int icon = ScaleOf(*this).Of(kIconSize);
  for (QToolButton* b : SpeedPanel->findChildren<QToolButton*>()) b->setIconSize(QSize(icon, icon));
  // The response panel's heights grow with the frame.
  Response->setMinimumHeight(ScaleOf(*this).Of(ResponsePanel::kDesignMinimumHeight));
  responseHeight_ = ScaleOf(*this).Of(ResponsePanel::kDesignHeight);
}

void TMainForm::CreateToolBar() {
  SpeedPanel = new QWidget(ClientPanel);
  SpeedPanel->setObjectName("SpeedPanel");
  SpeedPanel->setAccessibleName("Tool bar");
  SpeedPanel->setAutoFillBackground(true);
  struct Spec {
    QToolButton** button;
    const char* name;
    int left;
    const char* hint;
    ToolGlyph glyph;
    bool enabled;
    void (TMainForm::*command)();
  };
  const Spec buttons[] = {
      {&SpeedButton1, "SpeedButton1", 4, "New|", ToolGlyph::New, true, &TMainForm::FileNewItemClick},
      {&OpenBtn, "OpenBtn", 29, "Open|", ToolGlyph::Open, true, &TMainForm::FileOpenItemClick},
      {&SaveBtn, "SaveBtn", 55, "Save|", ToolGlyph::Save, false, &TMainForm::FileSaveItemClick},
      {&SBPrintBtn, "SBPrintBtn", 80, "Print", ToolGlyph::Print, false, &TMainForm::SBPrintBtnClick},
      {&CopyBtn, "CopyBtn", 120, "Copy|", ToolGlyph::Copy, false, &TMainForm::CopyBtnClick},
      {&PasteBtn, "PasteBtn", 144, "Paste|", ToolGlyph::Paste, false, &TMainForm::PasteBtnClick},
      {&SBFlatBtn, "SBFlatBtn", 168, "Clear", ToolGlyph::Clear, false, &TMainForm::SBFlatBtnClick},
      {&SBTileBtn, "SBTileBtn", 212, "Tile|", ToolGlyph::Tile, false, &TMainForm::WindowTileItemClick},
      {&SBBusBtn, "SBBusBtn", 240, "Bus|Show every device on the line", ToolGlyph::Bus, true,
       &TMainForm::WindowBusItemClick},
      {&SBComSetup, "SBComSetup", 336, "Com Setup", ToolGlyph::ComSetup, true, &TMainForm::SBComSetupClick},
      {&ExitBtn, "ExitBtn", 396, "Exit|", ToolGlyph::Exit, true, &TMainForm::FileExitItemClick},
  };
  for (const Spec& s : buttons) {
    auto* b = new QToolButton(SpeedPanel);
    b->setObjectName(s.name);
    b->setAutoRaise(true);  // flat until the pointer is over it
    b->setIcon(ToolBarIcon(s.glyph));
    b->setIconSize(QSize(kIconSize, kIconSize));
    b->setGeometry(s.left, (kToolBarHeight - kButtonSize) / 2, kButtonSize, kButtonSize);
    b->setFocusPolicy(Qt::NoFocus);
    SetHint(*b, s.hint);
    b->setEnabled(s.enabled);
    connect(b, &QToolButton::clicked, this, [this, command = s.command] { (this->*command)(); });
    *s.button = b;
  }
  ExitBtn->hide();
}

void TMainForm::CreateMenus() {
  auto menu = [this](const QString& title, const QString& hint, int group) {
    auto* m = new QMenu(title, this);
    SetHint(*m->menuAction(), hint);
    frameMenus_.append({group, m});
    return m;
  };
  auto item = [this](QMenu* m, const QString& text, const QString& hint, void (TMainForm::*command)()) {
    QAction* a = m->addAction(text);
    SetHint(*a, "|" + hint);
    connect(a, &QAction::triggered, this, [this, command] { (this->*command)(); });
    return a;
  };
  FileMenu = menu("&File", "File related commands", 0);
  FileNewItem = item(FileMenu, "&New", "Create a new file", &TMainForm::FileNewItemClick);
  FileOpenItem = item(FileMenu, "&Open", "Open an existing file", &TMainForm::FileOpenItemClick);
  FileCloseItem = item(FileMenu, "&Close", "Close current file", &TMainForm::FileCloseItemClick);
  FileMenu->addSeparator();
  Properties1 = item(FileMenu, "Pr&operties", "", &TMainForm::Properties1Click);
  FileMenu->addSeparator();
  FileExitItem = item(FileMenu, "E&xit", "Exit the application", &TMainForm::FileExitItemClick);

  WindowMenu = menu("&Window", "Window related commands such as Tile and Cascade", 9);
  WindowCascadeItem = item(WindowMenu, "&Cascade", "Arrange windows to overlap",
                           &TMainForm::WindowCascadeItemClick);
  WindowTileItem = item(WindowMenu, "&Tile", "Arrange windows without overlap",
                        &TMainForm::WindowTileItemClick);
  WindowArrangeItem = item(WindowMenu, "&Arrange Icons",
                           "Arrange window icons at bottom of main window",
                           &TMainForm::WindowArrangeItemClick);
  WindowMinimizeItem = item(WindowMenu, "&Minimize All", "Minimize all windows",
                            &TMainForm::WindowMinimizeItemClick);
  WindowBusItem = item(WindowMenu, "B&us", "Show every device on the line", &TMainForm::WindowBusItemClick);
  WindowLinkItem = item(WindowMenu, "Lin&k Windows\u2026", "Link equalizer windows so that one move reaches several devices",
                        &TMainForm::WindowLinkItemClick);
  WindowMenu->addSeparator();
  WindowResponseItem = WindowMenu->addAction("&Response");
  WindowResponseItem->setCheckable(true);
  WindowResponseItem->setChecked(true);
  SetHint(*WindowResponseItem, "|Show or hide the computed response of the active window");
  connect(WindowMenu, &QMenu::aboutToShow, this, [this] { FillWindowList(); });

  HelpMenu = menu("&Help", "Help topics", 10);
  HelpAboutItem = item(HelpMenu, "&About", "", &TMainForm::HelpAboutItemClick);
  MergeActiveWindowMenus();
}

void TMainForm::CreateResponsePanel() {
  ResponseDock = new QDockWidget("Response", this);
  ResponseDock->setObjectName("ResponseDock");
  ResponseDock->setAccessibleName("Response panel");
  // Docked along the bottom for good: no title bar, nothing to float or
  // close; the Window menu shows and hides it, its top edge sizes it.
  ResponseDock->setFeatures(QDockWidget::NoDockWidgetFeatures);
  ResponseDock->setAllowedAreas(Qt::BottomDockWidgetArea);
  ResponseDock->setTitleBarWidget(new QWidget(ResponseDock));
  Response = new ResponsePanel(messages_, ResponseDock);
  ResponseDock->setWidget(Response);
  addDockWidget(Qt::BottomDockWidgetArea, ResponseDock);
  ResponseDock->installEventFilter(this);
  // The panel's showing, hiding and sizing resize the client panel, not
  // the frame: the workspace follows the client panel.
  ClientPanel->installEventFilter(this);

  Response->Subject = [this]() -> std::optional<ResponseSubject> {
    QWidget* widget = ActiveEqualizerWidget();
    EqualizerWindow* window = AsEqualizerWindow(widget);
    if (!window) return std::nullopt;
    ResponseSubject subject{window->CurveNow(), widget->windowTitle(), std::nullopt, {}};
    if (const WindowMeasurement* m = window->MeasurementState(); m && m->Loaded()) subject.measurement = *m;
    // The other members of its group, as their windows show them.
    if (const LinkGroup* group = links_ ? links_->GroupOf(window->DeviceAddress()) : nullptr)
      for (QWidget* w : EqualizerWindows())
        if (EqualizerWindow* other = AsEqualizerWindow(w);
            other && other != window && other->DeviceAddress() > 0 && group->Member(other->DeviceAddress()))
          subject.companions.push_back(other->CurveNow());
    return subject;
  };
  Response->SliderRange = [this] {
    return objects_.OptionsDlg ? Options().SliderRange : kDefaultSliderRange;
  };
  Response->LineBusy = [this] { return objects_.PA422Form && objects_.PA422Form->CommState != 0; };


  connect(WindowResponseItem, &QAction::toggled, this, [this](bool shown) { ShowResponsePanel(shown); });
  for (QAction* a : {Response->BandsAction, Response->CopyAction, Response->SaveAction})
    WindowMenu->insertAction(nullptr, a);

  // The active window's measurement, on the Window menu and the picture's.
  Measurement = new MeasurementCommands(messages_, *this);
  Measurement->ActiveWindow = [this] { return ActiveEqualizerWindow(); };
  WindowMenu->addSeparator();
  WindowMenu->addActions(Measurement->Items());
  Response->MeasurementItems = Measurement->Items();
  Response->BeforeMenu = [this] { Measurement->UpdateItems(); };
  connect(WindowMenu, &QMenu::aboutToShow, Measurement, [this] { Measurement->UpdateItems(); });

  links_ = std::make_unique<LinkController>([this] { return SettingsPath(); });
  links_->Windows = [this] {
    std::vector<EqualizerWindow*> windows;
    for (QWidget* w : EqualizerWindows())
      if (EqualizerWindow* eq = AsEqualizerWindow(w)) windows.push_back(eq);
    return windows;
  };
  links_->ShowError = [this](const std::string& message) {
    messages_.ShowMessage("Link Windows", message, MessageIcon::Error);
  };
  const auto ask = [this](const QString& caption, const QString& text, const QString& details,
                         const QStringList& answers) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, this);
    box.setDetailedText(details);
    std::vector<QAbstractButton*> buttons;
    for (const QString& answer : answers) buttons.push_back(box.addButton(answer, QMessageBox::AcceptRole));
    box.addButton(QMessageBox::Cancel);
    box.exec();
    const auto chosen = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    return chosen == buttons.end() ? -1 : static_cast<int>(chosen - buttons.begin());
  };
  // A choice per window, each named whole: a list, not a row of buttons.
  links_->AskJoin = [this](const QString& text, const QString& details,
                           const QStringList& answers) {
    TLinkJoinDlg dialog(text, details, answers, this);
    return dialog.exec() == QDialog::Accepted ? dialog.Choice() : -1;
  };
  links_->AskResync = [ask](const QString& text, const QString& details, const QStringList& answers) {
    return ask("Resync", text, details, answers);
  };
  links_->OnChanged = [this] { UpdateLinkDisplays(); };
}

void TMainForm::ShowResponsePanel(bool shown) {
  ResponseDock->setVisible(shown);
  if (shown) resizeDocks({ResponseDock}, {responseHeight_}, Qt::Vertical);
}

std::function<void(QPainter&, const QRect&)> TMainForm::PrintedBelowWindow(
    const TEqualizerDocument& curve) {
  if (!WindowResponseItem->isChecked()) return {};
  QWidget* active = ActiveEqualizerWidget();
  const QString name = active ? active->windowTitle() : QString();
  QPointer<ResponsePanel> panel(Response);
  return [panel, curve, name](QPainter& painter, const QRect& area) {
    if (panel) panel->PaintOnPage(painter, area, curve, name);
  };
}

void TMainForm::MergeActiveWindowMenus() {
  QList<MenuGroup> childMenus;
  if (EqualizerWindow* w = ActiveEqualizerWindow()) childMenus = w->Menus();
  QMenuBar* bar = menuBar();
  bar->clear();
  for (QMenu* m : MergeMenus(frameMenus_, childMenus)) bar->addMenu(m);
}

void TMainForm::ActiveWindowChanged(QMdiSubWindow* sub) {
  Response->CurveMayHaveChanged();
  if (Measurement) Measurement->UpdateItems();
  // A null activation (a dialog or another program took the focus) is no
  // change of the active window.
  if (!sub) return;
  QWidget* now = WindowOf(sub);
  if (now == activeWindow_) return;
  if (EqualizerWindow* old = AsEqualizerWindow(activeWindow_)) old->FormDeactivate();
  activeWindow_ = now;
  if (EqualizerWindow* window = AsEqualizerWindow(now)) window->FormActivate();
}

void TMainForm::FillWindowList() {
  for (QAction* a : windowListItems_) {
    WindowMenu->removeAction(a);
    a->deleteLater();
  }
  windowListItems_.clear();
  const QList<QWidget*> windows = EqualizerWindows();
  if (windows.isEmpty()) return;
  windowListItems_.append(WindowMenu->addSeparator());
  QWidget* active = ActiveEqualizerWidget();
  int n = 0;
  for (QWidget* w : windows) {
    QAction* a = WindowMenu->addAction(QString("&%1 %2").arg(++n).arg(w->windowTitle()));
    a->setCheckable(true);
    a->setChecked(w == active);
    QPointer<QWidget> target(w);
    connect(a, &QAction::triggered, this, [this, target] {
      if (target) ActivateEqualizerWindow(target);
    });
    windowListItems_.append(a);
  }
}

int TMainForm::ClientHeight() const { return ClientPanel->height(); }

void TMainForm::PlaceClientControls() {
  // The tool bar and the status strip keep their design heights; the
  // workspace takes the rest.
  const QSize size = ClientPanel->size();
  const FormScale scale = ScaleOf(*this);
  const int toolBar = scale.Of(kToolBarHeight);
  const int status = scale.Of(kStatusBarHeight);
  SpeedPanel->setGeometry(0, 0, size.width(), toolBar);
  StatusBar->setGeometry(0, size.height() - status, size.width(), status);
  MdiArea->setGeometry(0, toolBar, size.width(), std::max(0, size.height() - toolBar - status));
}

void TMainForm::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  PlaceClientControls();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ClientPanel && event->type() == QEvent::Resize) PlaceClientControls();
  // The height the operator gave the response panel, kept while it shows.
  if (watched == ResponseDock && event->type() == QEvent::Resize && ResponseDock->isVisible() &&
      shown_ && !isMinimized())
    responseHeight_ = ResponseDock->height();
  return QMainWindow::eventFilter(watched, event);
}

bool TMainForm::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::StatusTip:
      // Menu items' long hints go to the application's hint listener; the
      // frame's own status strip stays empty.
      ApplicationHint::Instance().Publish(static_cast<QStatusTipEvent*>(event)->tip());
      return true;
    case QEvent::WindowActivate:
      FormActivate();
      break;
    case QEvent::Move:
    case QEvent::Resize:
      if (awaitingDecorations_ && frameGeometry().size() != geometry().size()) {
        awaitingDecorations_ = false;
        if (outerGeometry_ && windowState() == Qt::WindowNoState)
          ApplyOuterGeometry(*outerGeometry_);
      }
      break;
    default:
      break;
  }
  return QMainWindow::event(event);
}

void TMainForm::ShowFrame() {
  FormShow();
  show();
  shown_ = true;
  // The decorations are known once the frame is shown: the stored outer
  // size is the frame's size with them.
  if (outerGeometry_ && windowState() == Qt::WindowNoState) {
    ApplyOuterGeometry(*outerGeometry_);
    // Under a window manager they come a moment later, when it has framed
    // the window: placed once more then, so that the frame fits.
    awaitingDecorations_ = frameGeometry().size() == geometry().size();
  }
  // The panel's height holds once the frame has its size.
  if (WindowResponseItem->isChecked()) ShowResponsePanel(true);
}

void TMainForm::ApplyOuterGeometry(const QRect& outer) {
  const QSize margins = frameGeometry().size() - geometry().size();
  resize(std::max(1, outer.width() - margins.width()), std::max(1, outer.height() - margins.height()));
  move(outer.topLeft());
}

void TMainForm::FormShow() { LoadSettings(SettingsPath()); }

void TMainForm::LoadSettings(const std::string& path) {
  // Without stored keys the frame takes the design's size and place, grown
  // with the frame's contents: unscaled, they would cut off the scaled
  // tool bar.
  if (auto problem = SettingsReadProblem(path))
    messages_.ShowMessage("Varlo95", *problem, MessageIcon::Warning);
  const FormScale scale = ScaleOf(*this);
  FrameGeometry frame;
  frame.Width = scale.Of(kDesignWidth);
  frame.Height = scale.Of(kDesignHeight);
  frame.Left = scale.Of(kDesignLeft);
  frame.Top = scale.Of(kDesignTop);
  const int32_t port = ::LoadSettings(path, frame, Options());
  switch (frame.WindowState) {
    case 1: setWindowState(Qt::WindowMinimized); break;
    case 2: setWindowState(Qt::WindowMaximized); break;
    default:
      setWindowState(Qt::WindowNoState);
      outerGeometry_ = FitOnScreen(frame.Left, frame.Top, frame.Width, frame.Height,
                                   AvailableScreenArea(frame),
                                   QSize(scale.Of(kMinimumWidth), scale.Of(kMinimumHeight)));
      ApplyOuterGeometry(*outerGeometry_);
      break;
  }
  if (objects_.PA422Form)
    objects_.PA422Form->ApdComPort.SetComNumber(static_cast<uint16_t>(port < 0 || port > 0xFFFF ? 0 : port));
  const ResponsePanelSettings panel = LoadResponsePanelSettings(path);
  if (panel.Height > 0) responseHeight_ = panel.Height;
  WindowResponseItem->setChecked(panel.Visible);
  ShowResponsePanel(panel.Visible);
}

QRect TMainForm::AvailableScreenArea(const FrameGeometry& frame) const {
  // The screen under the middle of the stored place, so that a frame kept
  // on a second screen stays there; the primary screen otherwise.
  auto middle = [](int32_t start, int32_t length) {
    return int(std::clamp<int64_t>(int64_t(start) + length / 2, INT32_MIN, INT32_MAX));
  };
  QScreen* screen = QGuiApplication::screenAt(
      QPoint(middle(frame.Left, frame.Width), middle(frame.Top, frame.Height)));
  if (!screen) screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect();
}

bool TMainForm::SaveSettings(const std::string& path) {
  FrameGeometry frame;
  if (isMinimized())
    frame.WindowState = 1;
  else if (isMaximized())
    frame.WindowState = 2;
  const QRect outer = frameGeometry();
  frame.Height = outer.height();
  frame.Width = outer.width();
  frame.Top = outer.top();
  frame.Left = outer.left();
  std::optional<std::string> failure = ::SaveSettings(path, frame, Options());
  if (!failure)
    failure = SaveResponsePanelSettings(path, {WindowResponseItem->isChecked(), responseHeight_});
  if (failure) {
    messages_.ShowMessage("Varlo95", *failure, MessageIcon::Error);
    return false;
  }
  return true;
}

void TMainForm::FormActivate() { LayoutEqualizerWindows(); }

bool TMainForm::FormCloseQuery() {
  for (QWidget* w : EqualizerWindows())
    if (EqualizerWindow* eq = AsEqualizerWindow(w)) eq->FormCloseQuery();
  TzkPA422Form* engine = objects_.PA422Form;
  if (engine && engine->Connected) {
    // The group byte goes out between transactions (a running one ends
    // within its time-outs); then the devices need a moment to take their
    // manual controls back before the port closes. The program keeps
    // answering meanwhile (its windows repaint), but takes no input.
    QEventLoop wait;
    auto sent = std::make_shared<bool>(false);
    auto pause = [&wait, sent] {
      if (std::exchange(*sent, true)) return;
      QTimer::singleShot(kCloseWaitMs, Qt::PreciseTimer, &wait, &QEventLoop::quit);
    };
    if (objects_.Line) {
      LineRequest request;
      request.owner = objects_.Line->NewOwner();
      request.ownOutcome = true;
      request.start = [](TzkPA422Form& e) { e.EnableManualControls(); };
      request.done = [pause](const LineOutcome&) { pause(); };
      objects_.Line->Submit(std::move(request));
      // However long the line stays busy, the program closes.
      QTimer::singleShot(kCloseLineWaitMs, Qt::PreciseTimer, &wait, pause);
    } else {
      engine->EnableManualControls();
      pause();
    }
    wait.exec(QEventLoop::ExcludeUserInputEvents);
  }
  return true;
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (!closeQueried_) {
    closeQueried_ = true;
    FormCloseQuery();
  }
  event->accept();
  QMainWindow::closeEvent(event);
}

void TMainForm::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  disconnect(qApp, nullptr, this, nullptr);
  if (objects_.OptionsDlg) SaveSettings(SettingsPath());
}

int TMainForm::EqualizerWindowCount() const { return static_cast<int>(EqualizerWindows().size()); }

void TMainForm::SetPasteEnabled(bool enabled) {
  PasteBtn->setEnabled(enabled);
  // The Lock box changed: Clear follows it.
  UpdateMenuItems();
}

std::optional<uint16_t> TMainForm::AskComPort() { return RunComPortDialog(); }

std::string TMainForm::DeviceForPortNumber(uint16_t n) const {
  const IniFile ini(SettingsPath());
  return DeviceForPort(n, [&ini](const std::string& section, const std::string& key) {
    return ini.ReadString(section, key, "");
  });
}

bool TMainForm::PortMapped(uint16_t n) const {
  return IniFile(SettingsPath()).ReadValue("Communications", PortDeviceKey(n)).has_value();
}

bool TMainForm::MapPort(uint16_t n, const std::string& device) {
  if (IniFile(SettingsPath()).WriteString("Communications", PortDeviceKey(n), device)) return true;
  messages_.ShowMessage("Varlo95", UnableToWriteMessage(SettingsPath()), MessageIcon::Error);
  return false;
}

std::optional<uint16_t> TMainForm::RunComPortDialog() {
  TComPortDlg& dialog = *objects_.ComPortDlg;
  dialog.SetPorts(ListSystemPorts(PortTreeRoots), [this](int n) { return DeviceForPortNumber(uint16_t(n)); });
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const auto number = static_cast<uint16_t>(dialog.ItemIndex() + 1);
  if (const std::optional<SystemPort> chosen = dialog.ChosenPort(); chosen && number > 0) {
    // The stable link, so that re-plugging or renumbering keeps the mapping.
    const std::string& link = chosen->StableLink();
    if (MapPort(number, link) && chosen->kind == "usb" && chosen->serial.empty())
      messages_.ShowMessage("Com Setup",
                            chosen->Description() + " has no serial number: Com " + std::to_string(number) +
                                " is kept by the USB socket it is plugged into (" + link +
                                "). Plug it into the same socket.",
                            MessageIcon::Information);
  }
  return number;
}

void TMainForm::UpdateMenuItems() {
  const bool any = !EqualizerWindows().isEmpty();
  for (QToolButton* b : {CopyBtn, SaveBtn, SBPrintBtn, SBFlatBtn, SBTileBtn}) b->setEnabled(any);
  if (const EqualizerWindow* active = ActiveEqualizerWindow())
    SBFlatBtn->setEnabled(active->ClearEnabled());
}

void TMainForm::Timer1Timer() {
  Timer1.stop();
  LayoutEqualizerWindows();
}

QList<QWidget*> TMainForm::EqualizerWindows() const {
  QList<QWidget*> windows;
  for (QMdiSubWindow* sub : MdiArea->subWindowList(QMdiArea::CreationOrder))
    if (QWidget* w = WindowOf(sub); w && AsEqualizerWindow(w)) windows.append(w);
  return windows;
}

QList<QWidget*> TMainForm::EqualizerWindowsByActivation() const {
  QList<QWidget*> windows;
  for (QMdiSubWindow* sub : MdiArea->subWindowList(QMdiArea::ActivationHistoryOrder))
    if (QWidget* w = WindowOf(sub); w && AsEqualizerWindow(w)) windows.append(w);
  // The active window comes last, whatever the history says.
  if (QWidget* active = ActiveEqualizerWidget()) {
    windows.removeAll(active);
    windows.append(active);
  }
  return windows;
}

QWidget* TMainForm::ActiveEqualizerWidget() const {
  // The current sub-window stays the active one while a dialog or another
  // program has the focus: the engine's notifications must still reach it.
  QWidget* w = WindowOf(MdiArea->currentSubWindow());
  return w && AsEqualizerWindow(w) ? w : nullptr;
}

EqualizerWindow* TMainForm::ActiveEqualizerWindow() const {
  return AsEqualizerWindow(ActiveEqualizerWidget());
}

void TMainForm::ActivateEqualizerWindow(QWidget* window) {
  for (QMdiSubWindow* sub : MdiArea->subWindowList())
    if (sub->widget() == window) {
      if (sub->isMinimized()) sub->showNormal();
      MdiArea->setActiveSubWindow(sub);
    }
}

void TMainForm::LayoutEqualizerWindows() {
  for (QWidget* w : EqualizerWindows())
    if (EqualizerWindow* eq = AsEqualizerWindow(w)) eq->FormResize();
  // The slider range may have changed, and with it the level axis.
  Response->CurveMayHaveChanged();
}

QWidget* TMainForm::CreateEqualizerWindow(const QString& caption) {
  if (!EqualizerWindowFactory) return nullptr;
  QWidget* window = EqualizerWindowFactory(*this);
  if (!window) return nullptr;
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowTitle(caption);
  QMdiSubWindow* sub = MdiArea->addSubWindow(window);
  sub->setAttribute(Qt::WA_DeleteOnClose);
  connect(sub, &QObject::destroyed, this, [this] {
    if (tearingDown_) return;
    UpdateMenuItems();
    MergeActiveWindowMenus();
    Response->CurveMayHaveChanged();
    // A member whose window closed has no state in its group until it opens again.
    if (links_->Any()) QTimer::singleShot(0, this, [this] { links_->PublishGroups(); });
  });
  // The response panel follows the active window's curve.
  if (EqualizerWindow* eq = AsEqualizerWindow(window)) {
    QPointer<QWidget> target(window);
    eq->OnCurveChanged = [this, target, eq] {
      if (tearingDown_ || !target) return;
      if (target != ActiveEqualizerWidget()) {
        // A member of the active window's group: its faint curve moved.
        const EqualizerWindow* active = ActiveEqualizerWindow();
        const LinkGroup* group = active ? links_->GroupOf(active->DeviceAddress()) : nullptr;
        if (group && eq->DeviceAddress() > 0 && group->Member(eq->DeviceAddress())) Response->CurveMayHaveChanged();
        return;
      }
      Response->CurveMayHaveChanged();
      UpdateMenuItems();  // Bypass switched: Clear follows it
    };
    links_->Attach(*eq);
    eq->OnUnlink = [this, eq] { links_->Unlink(*eq); };
    eq->OnResync = [this, eq] { links_->Resync(*eq); };
  }
  sub->show();
  MdiArea->setActiveSubWindow(sub);
  UpdateMenuItems();
  return window;
}

BusWindow* TMainForm::Bus() const {
  for (QMdiSubWindow* sub : MdiArea->subWindowList())
    if (auto* bus = qobject_cast<BusWindow*>(WindowOf(sub))) return bus;
  return nullptr;
}

void TMainForm::WindowBusItemClick() {
  if (BusWindow* open = Bus()) {
    ActivateEqualizerWindow(open);
    return;
  }
  if (!units_) return;  // no line yet
  auto* bus = new BusWindow(Line(), *units_, messages_, SettingsPath());
  bus->setAttribute(Qt::WA_DeleteOnClose);
  bus->PrepareLine = [this] { return PrepareBusLine(); };
  bus->OpenDevice = [this](int address) { OpenDeviceWindow(address); };
  bus->LineDescription = [this] { return DeviceForPortNumber(Engine().ApdComPort.ComNumber()); };
  bus->DeviceRecalled = [this](int address) {
    for (QWidget* w : EqualizerWindows())
      if (EqualizerWindow* window = AsEqualizerWindow(w); window->DeviceAddress() == address) window->ReloadFromDevice();
  };
  QMdiSubWindow* sub = MdiArea->addSubWindow(bus);
  sub->setAttribute(Qt::WA_DeleteOnClose);
  sub->show();
  // As wide as the workspace: the table's columns take the room.
  sub->setGeometry(0, sub->y(), MdiArea->viewport()->width(), sub->height());
  MdiArea->setActiveSubWindow(sub);
}

bool TMainForm::PrepareBusLine() {
  TzkPA422Form& engine = Engine();
  if (engine.ApdComPort.ComNumber() == 0) {
    const std::optional<uint16_t> port = AskComPort();
    if (!port) return false;
    engine.ApdComPort.SetComNumber(*port);
  }
  // The engine says why a port cannot be opened.
  engine.Connect();
  return engine.Connected;
}

void TMainForm::OpenDeviceWindow(int address) {
  for (QWidget* w : EqualizerWindows())
    if (AsEqualizerWindow(w)->DeviceAddress() == address) {
      ActivateEqualizerWindow(w);
      return;
    }
  if (QWidget* w = CreateEqualizerWindow(NewWindowCaption()))
    if (EqualizerWindow* window = AsEqualizerWindow(w)) window->ChooseAddress(address);
}

void TMainForm::FileNewItemClick() { CreateEqualizerWindow(NewWindowCaption()); }

void TMainForm::FileOpenItemClick() {
  QWidget* active = ActiveEqualizerWidget();
  if (!active) {
    messages_.ShowMessage("Unconnected",
                          "Warning - You are not connected to a ORB.  Opening a file will display "
                          "the curve.  To download a file, connect first then open a file.",
                          MessageIcon::Information);
  } else if (!messages_.AskYesNo("Open File Warning",
                                 "Warning!  This operation will overwrite the current preset.  "
                                 "Continue?",
                                 MessageIcon::Warning)) {
    return;
  }
  std::pair<QString, int> chosen;
  if (RunOpenDialog) {
    chosen = RunOpenDialog();
  } else {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix("vrl");
    dialog.setNameFilters({"Varlo 95 / Mac (*.V95 *.VRL *.v95 *.vrl)",
                           "Varlo for Windows 3.X (*.equ) (*.equ *.EQU)", "All Files (*)"});
    FitToolkitDialog(dialog, kFileDialogDesignSize);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    // The dialog hands back its filter as it keeps it (blanks simplified),
    // so it is looked up in the dialog's own list; a filter not found there
    // lets the file itself decide, as "All Files" does.
    const int index = static_cast<int>(dialog.nameFilters().indexOf(dialog.selectedNameFilter()));
    chosen = {dialog.selectedFiles().first(), index >= 0 ? index + 1 : kOpenAllFilesFilter};
  }
  if (chosen.first.isEmpty()) return;
  QWidget* target = active ? active : CreateEqualizerWindow(NewWindowCaption());
  if (!target) return;
  // The window takes the file's name only once the file is in it.
  if (EqualizerWindow* eq = AsEqualizerWindow(target); eq && eq->Open(chosen.first, chosen.second))
    target->setWindowTitle(QFileInfo(chosen.first).fileName());
}

QString TMainForm::NewWindowCaption() const {
  return QString("NONAME%1").arg(EqualizerWindows().size() + 1);
}

void TMainForm::FileCloseItemClick() {
  if (QMdiSubWindow* sub = MdiArea->currentSubWindow(); sub && ActiveEqualizerWidget()) sub->close();
}

void TMainForm::FileSaveItemClick() {
  if (EqualizerWindow* w = ActiveEqualizerWindow()) w->Save();
}

void TMainForm::FileExitItemClick() { close(); }

void TMainForm::WindowCascadeItemClick() { MdiArea->cascadeSubWindows(); }

void TMainForm::WindowTileItemClick() {
  switch (Options().TileOptions) {
    case 0: {
      // Stacked one above another, each as wide as the workspace, while
      // there are few; more windows share a grid.
      // Minimized windows keep their icons and take no share.
      QList<QWidget*> windows;
      for (QWidget* w : EqualizerWindowsByActivation())
        if (!w->parentWidget()->isMinimized()) windows.append(w);
      if (windows.size() > 3) {
        MdiArea->tileSubWindows();
        break;
      }
      const QSize area = MdiArea->viewport()->size();
      const int n = static_cast<int>(windows.size());
      int row = 0;
      for (QWidget* w : windows) {
        QWidget* sub = w->parentWidget();
        sub->setGeometry(0, area.height() * row / n, area.width(),
                         area.height() * (row + 1) / n - area.height() * row / n);
        ++row;
      }
      break;
    }
    case 1: TileColumns(2); break;
    case 2: TileColumns(3); break;
    default: break;
  }
  LayoutEqualizerWindows();
}

void TMainForm::TileColumns(int perColumn) {
  const QList<QWidget*> windows = EqualizerWindowsByActivation();
  // The workspace without its scroll bars: the windows tiled inside it
  // need none.
  const QSize area = MdiArea->contentsRect().size();
  int index = 0;
  for (QWidget* w : windows) {
    QWidget* sub = w->parentWidget();
    if (sub->isMinimized() || sub->isMaximized()) sub->showNormal();
    sub->setGeometry(TiledPlace(index++, int(windows.size()), perColumn, area));
  }
}

void TMainForm::BringIntoView(QMdiSubWindow& sub) {
  // Scrolled as far as the workspace's scroll bars reach, its title bar
  // first; a window they cannot bring in (left beyond a workspace grown
  // smaller) is moved in.
  const QRect view = MdiArea->viewport()->rect();
  QRect g = sub.geometry();
  if (view.contains(g)) return;
  QScrollBar* horizontal = MdiArea->horizontalScrollBar();
  QScrollBar* vertical = MdiArea->verticalScrollBar();
  const int dx = g.right() > view.right() ? std::min(g.left(), g.right() - view.right())
                                          : std::min(0, g.left());
  const int dy = g.bottom() > view.bottom() ? std::min(g.top(), g.bottom() - view.bottom())
                                            : std::min(0, g.top());
  horizontal->setValue(horizontal->value() + dx);
  vertical->setValue(vertical->value() + dy);
  g = sub.geometry();
  if (!view.contains(g.topLeft())) {
    const QRect fitted =
        FitOnScreen(g.left(), g.top(), g.width(), g.height(), view, sub.minimumSizeHint());
    sub.move(fitted.topLeft());
  }
}

void TMainForm::WindowArrangeItemClick() {
  // Minimized windows in a row along the bottom of the workspace.
  const QSize area = MdiArea->viewport()->size();
  int left = 0, row = 0;
  for (QMdiSubWindow* sub : MdiArea->subWindowList(QMdiArea::CreationOrder)) {
    if (!sub->isMinimized()) continue;
    const QSize icon = sub->size();
    if (left > 0 && left + icon.width() > area.width()) {
      left = 0;
      ++row;
    }
    sub->move(left, area.height() - icon.height() * (row + 1));
    left += icon.width();
  }
}

void TMainForm::WindowMinimizeItemClick() {
  for (QWidget* w : EqualizerWindowsByActivation()) w->parentWidget()->showMinimized();
}

void TMainForm::CopyBtnClick() {
  if (EqualizerWindow* w = ActiveEqualizerWindow()) w->Copy();
}

void TMainForm::PasteBtnClick() {
  if (EqualizerWindow* w = ActiveEqualizerWindow()) w->Paste();
}

void TMainForm::SBFlatBtnClick() {
  if (EqualizerWindow* w = ActiveEqualizerWindow()) w->Clear();
}

void TMainForm::SBPrintBtnClick() {
  if (EqualizerWindow* w = ActiveEqualizerWindow()) w->Print();
}

void TMainForm::Properties1Click() {
  MaxBandExcursion = 0;
  for (QWidget* w : EqualizerWindows())
    if (EqualizerWindow* eq = AsEqualizerWindow(w)) eq->ScanBandExcursion(MaxBandExcursion);
  objects_.OptionsDlg->exec();
  SetShowHint(*SpeedPanel, Options().HintsOnPage);
  SetShowHint(*StatusBar, Options().HintsOnPage);
  LayoutEqualizerWindows();
}

void TMainForm::SBComSetupClick() {
  TApdComPort& port = objects_.PA422Form->ApdComPort;
  const int current = port.ComNumber();
  objects_.ComPortDlg->SetItemIndex(std::min(current, 4) - 1);
  const std::optional<uint16_t> chosen = RunComPortDialog();
  if (!chosen) return;
  port.SetComNumber(*chosen);
  if (auto failure = SaveComPort(SettingsPath(), port.ComNumber()))
    messages_.ShowMessage("Varlo95", *failure, MessageIcon::Error);
}

void TMainForm::HelpAboutItemClick() { objects_.AboutBox->exec(); }

void TMainForm::WindowLinkItemClick() {
  std::vector<EqualizerWindow*> windows;
  TLinkWindowsDlg dialog(this);
  for (QWidget* w : EqualizerWindows())
    if (EqualizerWindow* eq = AsEqualizerWindow(w); eq && eq->DeviceAddress() > 0) {
      windows.push_back(eq);
      dialog.AddWindow(eq->Caption(), eq->DeviceAddress(), eq == ActiveEqualizerWindow());
    }
  if (windows.size() < 2) {
    messages_.ShowMessage("Link Windows",
                          "Linking needs two or more equalizer windows on devices: choose each window's address first.",
                          MessageIcon::Information);
    return;
  }
  if (dialog.exec() != QDialog::Accepted) return;
  std::vector<EqualizerWindow*> chosen;
  for (int row : dialog.CheckedRows()) chosen.push_back(windows.at(static_cast<size_t>(row)));
  links_->Link(chosen, dialog.Mode(), dialog.Follows());
}

void TMainForm::UpdateLinkDisplays() {
  // A colour per group, light enough under black text.
  static const QColor kGroupColours[] = {QColor(0xFF, 0xE0, 0x99), QColor(0xB8, 0xE0, 0xFF), QColor(0xC8, 0xF0, 0xB8),
                                         QColor(0xF4, 0xC2, 0xE8), QColor(0xFF, 0xC8, 0xB0), QColor(0xD8, 0xD0, 0xFF)};
  for (QWidget* w : EqualizerWindows()) {
    EqualizerWindow* eq = AsEqualizerWindow(w);
    if (!eq) continue;
    // A member whose unit went away keeps showing its group.
    const int address = links_->MemberAddress(*eq);
    const int number = links_->GroupNumber(address);
    eq->ShowLink(links_->LinkText(address), number > 0 ? kGroupColours[(number - 1) % 6] : QColor(),
                 links_->NeedsResync(address));
  }
  links_->PublishGroups();
}
