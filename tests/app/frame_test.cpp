// The frame on the offscreen platform: start-up and shutdown with the
// settings file, the com setup command, the tool bar and menus following
// the equalizer windows, hints, tiling, and the link to orbsim at shutdown.
#include <signal.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QToolTip>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "app/ComPortDlg.h"
#include "app/ComSelectForm.h"
#include "app/MenuMerge.h"
#include "app/QtUiPoster.h"
#include "app/TApplication.h"
#include "app/VarloProgram.h"
#include "controls/ApplicationHint.h"
#include "controls/zkScale.h"
#include "link/TzkPA422Form.h"
#include "settings/IniFile.h"
#include "tests/app/FakeEqualizerWindow.h"
#include "testsupport/FakePortTree.h"
#include "testsupport/OnNextModal.h"
#include "testsupport/OrbSimProcess.h"
#include "testsupport/PortAccess.h"
#include "testsupport/Pty.h"
#include "testsupport/RecordingOperatorMessages.h"
#include "testsupport/TempDir.h"

using Clock = std::chrono::steady_clock;

namespace {
int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace

class FrameTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TempDir> dir;
  std::unique_ptr<RecordingOperatorMessages> messages;
  std::unique_ptr<VarloProgram> program;
  QStringList log;

  std::string SettingsPath() { return *dir / "Varlo95.ini"; }
  TMainForm& Frame() { return program->MainForm(); }
  TzkPA422Form& Engine() { return program->PA422Form(); }

  void Start(const std::string& ini = "") {
    if (!ini.empty()) WriteText(SettingsPath(), ini);
    program = std::make_unique<VarloProgram>(*messages, *messages, dir->Path());
    // No trace files in the build folder.
    Engine().ApdComPort.SetTracing(tlOff);
    Engine().ApdComPort.SetLogging(tlOff);
    Frame().EqualizerWindowFactory = [this](TMainForm&) { return new FakeEqualizerWindow(&log); };
    Frame().ShowFrame();
  }
  void Stop() { program.reset(); }
  int ReadIni(const char* section, const char* key, int fallback) {
    return IniFile(SettingsPath()).ReadInteger(section, key, fallback);
  }

 private slots:
  void initTestCase() {
    static TempDir config;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.Path()));
    ::signal(SIGXFSZ, SIG_IGN);
  }
  void init() {
    dir = std::make_unique<TempDir>();
    messages = std::make_unique<RecordingOperatorMessages>();
    static_cast<TApplication*>(qApp)->SetExceptionDisplay(messages.get());
    log.clear();
  }
  void cleanup() {
    program.reset();
    static_cast<TApplication*>(qApp)->SetExceptionDisplay(nullptr);
  }

  void firstStartWithoutSettingsFile() {
    const ScreenMetrics screen = ScreenMetrics::Primary();
    QCOMPARE(screen.width, 800);  // the design screen: nothing is scaled
    Start();
    QCOMPARE(Frame().windowTitle(), QString("Varlo95"));
    QCOMPARE(Frame().frameGeometry(), QRect(100, 100, 600, 411));
    QCOMPARE(Frame().Options(), TProgramOptions{});
    QCOMPARE(Engine().ApdComPort.ComNumber(), uint16_t(0));
    Stop();
    // Shutdown writes the frame and the options, never the port.
    QCOMPARE(ReadIni("Workspace Size", "Width", -1), 600);
    QCOMPARE(ReadIni("Workspace Size", "Left", -1), 100);
    QCOMPARE(ReadIni("Scaling", "TileOptions", -1), 1);
    QCOMPARE(ReadIni("Communications", "Com Port", -1), -1);
  }

  void maximizedFrameKeepsStoredGeometry() {
    Start("[Workspace Size]\nWindowState=2\nHeight=300\nWidth=500\nTop=7\nLeft=9\n"
          "[Scaling]\nSliderRange=0x18\nTileOptions=2\n[Communications]\nCom Port=3\n");
    QVERIFY(Frame().isMaximized());
    QCOMPARE(Frame().Options().TileOptions, 2);
    QCOMPARE(Engine().ApdComPort.ComNumber(), uint16_t(3));
    Stop();
    const std::string text = ReadText(SettingsPath());
    QVERIFY(text.find("Height=300\n") != std::string::npos);
    QVERIFY(text.find("Left=9\n") != std::string::npos);
    QCOMPARE(ReadIni("Workspace Size", "WindowState", -1), 2);
    QCOMPARE(ReadIni("Scaling", "SliderRange", -1), 24);
  }

  void theWindowThatLosesTheFocusHearsFirst() {
    Start();
    QStringList order;
    Frame().EqualizerWindowFactory = [this, &order](TMainForm&) {
      auto* w = new FakeEqualizerWindow(&log);
      w->activations = &order;
      return w;
    };
    Frame().FileNewItemClick();
    Frame().FileNewItemClick();
    QWidget* first = Frame().EqualizerWindows().first();
    Frame().ActivateEqualizerWindow(first);
    QCOMPARE(order, (QStringList{"+NONAME1", "-NONAME1", "+NONAME2", "-NONAME2", "+NONAME1"}));
    // A dialog taking the focus is no change of the active window.
    emit Frame().MdiArea->subWindowActivated(nullptr);
    QCOMPARE(order.size(), 5);
  }

  void storedGeometryIsFittedToTheScreen() {
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    // Sizes beyond the screen shrink to it; a place off it comes back.
    Start("[Workspace Size]\nHeight=100000\nWidth=2147483647\nTop=-3000\nLeft=-3000\n");
    QCOMPARE(Frame().frameGeometry(), available);
    Stop();
    QCOMPARE(ReadIni("Workspace Size", "Width", -1), available.width());
    QCOMPARE(ReadIni("Workspace Size", "Top", -1), available.top());
    // Too small to use: the least usable size, where it was.
    Start("[Workspace Size]\nHeight=-5\nWidth=1\nTop=10\nLeft=20\n");
    QCOMPARE(Frame().frameGeometry(), QRect(20, 10, 370, 150));
    Stop();
    // Partly beyond the right and lower edges: moved back, size kept.
    Start("[Workspace Size]\nHeight=300\nWidth=500\nTop=500\nLeft=700\n");
    QCOMPARE(Frame().frameGeometry(),
             QRect(available.right() + 1 - 500, available.bottom() + 1 - 300, 500, 300));
    Stop();
    // What fits stays as stored.
    Start("[Workspace Size]\nHeight=300\nWidth=500\nTop=7\nLeft=9\n");
    QCOMPARE(Frame().frameGeometry(), QRect(9, 7, 500, 300));
  }

  void aSettingsFileThatIsNoFileNeitherStopsNorStallsTheProgram() {
    // A folder: the operator is told, the defaults hold, shutdown says it
    // cannot write there.
    std::filesystem::create_directory(SettingsPath());
    Start();
    QCOMPARE(messages->shown.size(), size_t(1));
    QVERIFY(messages->shown[0].text.find("it is not a regular file") != std::string::npos);
    QCOMPARE(Frame().Options(), TProgramOptions{});
    Stop();
    QCOMPARE(messages->shown.back().text, "Unable to write to " + SettingsPath());
    // A pipe nobody writes to: the program starts all the same.
    std::filesystem::remove(SettingsPath());
    QCOMPARE(::mkfifo(SettingsPath().c_str(), 0600), 0);
    messages->shown.clear();
    Start();
    QVERIFY(Frame().isVisible());
    QCOMPARE(messages->shown.size(), size_t(1));
    Stop();
  }

  void settingsThatCannotBeWrittenAreReported() {
    Start();
    // A full disk: every write of the settings file fails.
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit none = old;
    none.rlim_cur = 0;
    ::setrlimit(RLIMIT_FSIZE, &none);
    Stop();
    ::setrlimit(RLIMIT_FSIZE, &old);
    QCOMPARE(messages->shown.size(), size_t(1));
    QCOMPARE(QString::fromStdString(messages->shown[0].text),
             QString::fromStdString("Unable to write to " + SettingsPath()));
  }

  void comSetupWritesThePortAtOnce() {
    Start("[Communications]\nCom Port=7\n");
    int preselected = -2;
    OnNextModal([&](QWidget* w) {
      auto* dlg = qobject_cast<TComPortDlg*>(w);
      QVERIFY(dlg);
      preselected = dlg->ItemIndex();
      dlg->SetItemIndex(1);
      dlg->accept();
    });
    Frame().SBComSetupClick();
    QCOMPARE(preselected, 3);  // a port above 4 shows as "Com 4"
    QCOMPARE(Engine().ApdComPort.ComNumber(), uint16_t(2));
    QCOMPARE(ReadIni("Communications", "Com Port", -1), 2);
    // Quitting does not write the port again, whatever it is by then.
    Engine().ApdComPort.SetComNumber(4);
    Stop();
    QCOMPARE(ReadIni("Communications", "Com Port", -1), 2);
  }

  // The system's ports in the dialog: an adapter with a serial number is
  // kept by its by-id link, one without by its USB socket (and the
  // operator is told), a stored link whose device is gone is named so.
  void comSetupMapsASystemPortByItsStableLink() {
    const FakePortTree tree(*dir / "tree");
    const std::string gone = tree.Dev() + "/serial/by-id/usb-Gone_Adapter-if00-port0";
    Start("[Communications]\nCom Port=1\nCom 2 Device=" + gone + "\n");
    Frame().PortTreeRoots = {tree.Sys(), tree.Dev()};
    const auto choose = [](int item, const std::string& name, QString* shown) {
      OnNextModal([=](QWidget* w) {
        auto* dlg = qobject_cast<TComPortDlg*>(w);
        QVERIFY(dlg);
        dlg->SetItemIndex(1);
        if (shown) *shown = dlg->MappingLabel->text();
        dlg->SetItemIndex(item);
        for (int i = 1; i < dlg->CBDevice->count(); ++i)
          if (dlg->CBDevice->itemText(i).contains(QString::fromStdString(name))) dlg->CBDevice->setCurrentIndex(i);
        dlg->accept();
      });
    };
    QString mapping;
    choose(2, "/ttyUSB0", &mapping);
    Frame().SBComSetupClick();
    QCOMPARE(mapping, QString::fromStdString("Com 2 now: " + gone + " (not present)"));
    QCOMPARE(IniFile(SettingsPath()).ReadString("Communications", "Com 3 Device", ""),
             tree.Dev() + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0");
    QCOMPARE(ReadIni("Communications", "Com Port", -1), 3);
    QVERIFY(messages->shown.empty());
    choose(3, "/ttyUSB1", nullptr);
    Frame().SBComSetupClick();
    QCOMPARE(IniFile(SettingsPath()).ReadString("Communications", "Com 4 Device", ""),
             tree.Dev() + "/serial/by-path/pci-0000:00:14.0-usb-0:1.3:1.0-port0");
    QCOMPARE(messages->shown.back().caption, std::string("Com Setup"));
    QVERIFY(messages->shown.back().text.find("no serial number") != std::string::npos);
  }

  void comSetupWithoutChoiceStoresNoPortAndCancelKeepsAll() {
    Start("[Communications]\nCom Port=2\n");
    OnNextModal([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    Frame().SBComSetupClick();
    QCOMPARE(Engine().ApdComPort.ComNumber(), uint16_t(2));

    Engine().ApdComPort.SetComNumber(0);
    int preselected = -2;
    OnNextModal([&](QWidget* w) {
      preselected = static_cast<TComPortDlg*>(w)->ItemIndex();
      static_cast<QDialog*>(w)->accept();
    });
    Frame().SBComSetupClick();
    QCOMPARE(preselected, -1);
    QCOMPARE(ReadIni("Communications", "Com Port", -1), 0);
  }

  void connectWithoutPortAsksAndCancelReachesTheExceptionDisplay() {
    Start();
    bool asked = false;
    OnNextModal([&](QWidget* w) {
      asked = qobject_cast<TComSelectForm*>(w) != nullptr;
      static_cast<QDialog*>(w)->reject();
    });
    QTimer::singleShot(0, [this] { Engine().Connect(); });
    QTRY_COMPARE_WITH_TIMEOUT(messages->exceptions.size(), size_t(1), 10000);
    QVERIFY(asked);
    QCOMPARE(QString::fromStdString(messages->exceptions[0]),
             QString("The ComNumber property of the TApdComPort has not been set"));
    QVERIFY(!Engine().ApdComPort.Open());
  }

  // The program's Select Port list offers a port the user may not open and,
  // when it is chosen, explains in the program's own message box.
  void choosingAPortWithoutPermissionSaysWhyInTheProgramsMessageBox() {
    Pty denied;
    QCOMPARE(chmod(denied.slave.c_str(), 0), 0);
    Start("[Communications]\nCom 1 Device=" + denied.slave + "\n");
    QString first;
    size_t shownBeforeCancel = 0;
    // A message box of the dialog's own would wait inside OK: close it, so
    // the test fails instead of hanging. The timer ends with the test.
    QTimer closeStrayBox;
    closeStrayBox.setSingleShot(true);
    connect(&closeStrayBox, &QTimer::timeout, [] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->close();
    });
    OnNextModal([&](QWidget* w) {
      auto* form = qobject_cast<TComSelectForm*>(w);
      if (!form) return static_cast<QDialog*>(w)->reject();
      first = form->PortsComboBox->itemText(0);
      closeStrayBox.start(2000);
      form->OkBtn->click();
      shownBeforeCancel = messages->shown.size();
      form->AbortBtn->click();
    });
    {
      FilePermissionsEnforced asAnotherUser;
      QTimer::singleShot(0, [this] { Engine().Connect(); });
      QTRY_COMPARE_WITH_TIMEOUT(messages->exceptions.size(), size_t(1), 10000);
    }
    QCOMPARE(first, QString("COM1"));
    QCOMPARE(shownBeforeCancel, size_t(1));
    QVERIFY(messages->shown[0].text.find("dialout") != std::string::npos);
    QVERIFY(!Engine().ApdComPort.Open());
  }

  void shutdownWhileConnectedGivesManualControlsBackThenWaits() {
    const std::string logPath = *dir / "orbsim.log";
    OrbSimProcess sim({"--devices", "1", "--log", logPath});
    Start("[Communications]\nCom Port=1\nCom 1 Device=" + sim.Url() + "\n");
    Engine().Connect();
    QVERIFY(Engine().Connected);
    const auto start = Clock::now();
    Frame().close();
    const auto closed = Clock::now();
    QVERIFY(MsSince(start) >= TMainForm::kCloseWaitMs);
    const std::string frames = sim.Ok("frames");
    QVERIFY2(frames.find("<253>") != std::string::npos, frames.c_str());
    // The group byte was on the line before the wait ended: orbsim logged
    // it (monotonic nanoseconds) at least most of a second before.
    const std::string text = ReadText(logPath);
    const auto at = text.find("\"group\"");
    QVERIFY2(at != std::string::npos, text.c_str());
    const auto line = text.rfind('\n', at) == std::string::npos ? 0 : text.rfind('\n', at) + 1;
    const auto endNs = std::stoll(text.substr(text.find("\"end_ns\":", line) + 9));
    const auto closedNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(closed.time_since_epoch()).count();
    QVERIFY(closedNs - endNs >= 900'000'000LL);
  }

  // The group byte never goes into a running transaction: it waits for
  // the time-out of a read of an absent device, then the devices get
  // their second.
  void shutdownWaitsForTheRunningTransaction() {
    OrbSimProcess sim({"--devices", "1"});
    Start("[Communications]\nCom Port=1\nCom 1 Device=" + sim.Url() + "\n");
    Engine().Connect();
    Engine().RecallAllData(7, 0);
    const auto start = Clock::now();
    Frame().close();
    QVERIFY(MsSince(start) >= 1500 + TMainForm::kCloseWaitMs);
    QVERIFY(sim.Ok("frames").find("<253>") != std::string::npos);
  }

  void shutdownWhileNotConnectedDoesNotWait() {
    Start();
    const auto start = Clock::now();
    Frame().close();
    QVERIFY(MsSince(start) < 500);
  }

  void toolBarAndMenusFollowTheWindows() {
    Start();
    auto enabled = [this] {
      QString s;
      for (QToolButton* b : {Frame().SpeedButton1, Frame().OpenBtn, Frame().SaveBtn,
                             Frame().SBPrintBtn, Frame().CopyBtn, Frame().PasteBtn,
                             Frame().SBFlatBtn, Frame().SBTileBtn, Frame().SBComSetup})
        s += b->isEnabled() ? '1' : '0';
      return s;
    };
    auto bar = [this] {
      QStringList titles;
      for (QAction* a : Frame().menuBar()->actions()) titles << a->text();
      return titles;
    };
    QCOMPARE(enabled(), QString("110000001"));
    QVERIFY(Frame().ExitBtn->isHidden());
    QCOMPARE(bar(), (QStringList{"&File", "&Window", "&Help"}));
    Frame().CopyBtnClick();  // no window: nothing
    QVERIFY(log.isEmpty());

    Frame().FileNewItemClick();
    Frame().FileNewItemClick();
    QCOMPARE(enabled(), QString("111110111"));
    QCOMPARE(Frame().ActiveEqualizerWidget()->windowTitle(), QString("NONAME2"));
    auto* active = static_cast<FakeEqualizerWindow*>(Frame().ActiveEqualizerWidget());
    QCOMPARE(Frame().menuBar()->actions().at(0), active->fileMenu_->menuAction());
    QCOMPARE(bar(), (QStringList{"&File", "&Edit", "&Window", "&Help"}));
    Frame().CopyBtnClick();
    Frame().SBFlatBtnClick();
    Frame().FileSaveItemClick();
    QCOMPARE(log, (QStringList{"NONAME2: Copy", "NONAME2: Clear", "NONAME2: Save"}));

    // Numbers count windows; they are not kept unique.
    Frame().ActivateEqualizerWindow(Frame().EqualizerWindows().first());
    Frame().FileCloseItemClick();
    QTRY_COMPARE(Frame().EqualizerWindows().size(), qsizetype(1));
    Frame().FileNewItemClick();
    QCOMPARE(Frame().ActiveEqualizerWidget()->windowTitle(), QString("NONAME2"));

    // Paste is the windows' to switch; closing them all leaves it alone.
    Frame().PasteBtn->setEnabled(true);
    for (QMdiSubWindow* sub : Frame().MdiArea->subWindowList()) sub->close();
    QTRY_VERIFY(Frame().EqualizerWindows().isEmpty());
    QCOMPARE(enabled(), QString("110001001"));
    QCOMPARE(bar(), (QStringList{"&File", "&Window", "&Help"}));
    log.clear();
    Frame().PasteBtnClick();
    QVERIFY(log.isEmpty());
  }

  void menuMergingByGroup() {
    QMenu f0, w9, h10, c0, c1, c10, c5;
    QCOMPARE(MergeMenus({{0, &f0}, {9, &w9}, {10, &h10}}, {{0, &c0}, {1, &c1}, {10, &c10}}),
             (QList<QMenu*>{&c0, &c1, &w9, &c10}));
    QCOMPARE(MergeMenus({{0, &f0}, {9, &w9}, {10, &h10}}, {{5, &c5}}),
             (QList<QMenu*>{&f0, &c5, &w9, &h10}));
  }

  void hintsSplitIntoToolTipAndLongHint() {
    Start();
    QStringList heard;
    ApplicationHint::Instance().SetListener(this, [&](const QString& h) { heard << h; });
    auto enter = [](QWidget* w) {
      QEnterEvent ev(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
      QApplication::sendEvent(w, &ev);
    };
    enter(Frame().SBComSetup);
    enter(Frame().SpeedButton1);
    Frame().FileNewItem->showStatusText(&Frame());
    QCOMPARE(heard, (QStringList{"Com Setup", "", "Create a new file"}));
    QCOMPARE(Frame().SpeedButton1->toolTip(), QString("New"));
    QCOMPARE(Frame().SpeedButton1->accessibleName(), QString("New"));
    QCOMPARE(Frame().SBComSetup->toolTip(), QString("Com Setup"));
    QCOMPARE(QToolTip::palette().color(QPalette::ToolTipBase), QColor(255, 255, 0));
    QCOMPARE(qApp->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 1000);
    ApplicationHint::Instance().RemoveListener(this);
    QVERIFY(!ApplicationHint::Instance().HasListener(this));

    // The options command switches the tool bar's tool tips.
    QVERIFY(ShowsHint(*Frame().CopyBtn));
    Frame().Options().HintsOnPage = false;
    OnNextModal([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    Frame().Properties1Click();
    QVERIFY(!ShowsHint(*Frame().CopyBtn));
  }

  void optionsCommandMeasuresTheWindows() {
    Start();
    OnNextModal([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    Frame().Properties1Click();
    QCOMPARE(Frame().MaxBandExcursion, 0);
    Frame().FileNewItemClick();
    static_cast<FakeEqualizerWindow*>(Frame().ActiveEqualizerWidget())->excursion = 10;
    Frame().FileNewItemClick();
    static_cast<FakeEqualizerWindow*>(Frame().ActiveEqualizerWidget())->excursion = 4;
    OnNextModal([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    Frame().Properties1Click();
    QCOMPARE(Frame().MaxBandExcursion, 10);
    for (QWidget* w : Frame().EqualizerWindows())
      QVERIFY(static_cast<FakeEqualizerWindow*>(w)->layouts >= 1);
  }

  void tilingTwoAndThreeToAScreen() {
    Start();
    Frame().resize(700, 500);
    for (int i = 0; i < 5; ++i) Frame().FileNewItemClick();
    auto tops = [this] {
      QList<QPoint> places;
      for (QWidget* w : Frame().EqualizerWindowsByActivation())
        places << w->parentWidget()->geometry().topLeft();
      return places;
    };
    QCOMPARE(Frame().ActiveEqualizerWidget()->windowTitle(), QString("NONAME5"));
    Frame().Options().TileOptions = 1;
    Frame().WindowTileItemClick();
    // Two to a column, three columns side by side in the workspace.
    QSize area = Frame().MdiArea->viewport()->size();
    const int w3 = area.width() / 3, h2 = area.height() / 2;
    QCOMPARE(tops(), (QList<QPoint>{{0, 0}, {0, h2}, {w3, 0}, {w3, h2}, {2 * w3, 0}}));
    QCOMPARE(Frame().EqualizerWindowsByActivation().last()->windowTitle(), QString("NONAME5"));
    for (QWidget* w : Frame().EqualizerWindows()) {
      QTRY_COMPARE(w->parentWidget()->width(), w3);
      QVERIFY(QRect(QPoint(), area).contains(w->parentWidget()->geometry()));
    }

    Frame().resize(700, 400 + Frame().height() - Frame().ClientHeight());
    QCOMPARE(Frame().ClientHeight(), 400);
    Frame().Options().TileOptions = 2;
    Frame().WindowTileItemClick();
    area = Frame().MdiArea->viewport()->size();
    const int w2 = area.width() / 2, h3 = area.height() / 3;
    QCOMPARE(tops(),
             (QList<QPoint>{{0, 0}, {0, h3}, {0, area.height() * 2 / 3}, {w2, 0}, {w2, h3}}));

    Frame().WindowMinimizeItemClick();
    for (QWidget* w : Frame().EqualizerWindows()) QVERIFY(w->parentWidget()->isMinimized());
  }

  void posterHandsOverAndGivesUpAfterItsBound() {
    QtUiPoster poster(qApp);
    std::atomic<bool> ran{false}, handedOver{false};
    std::thread worker([&] {
      handedOver = poster.PostAndWait([&] { ran = true; }, 1000);
    });
    QTRY_VERIFY(ran.load());
    worker.join();
    QVERIFY(handedOver.load());

    // A busy user-interface thread: the wait ends at its bound and the task
    // still runs afterwards.
    ran = false;
    std::atomic<int64_t> waited{0};
    worker = std::thread([&] {
      const auto start = Clock::now();
      handedOver = poster.PostAndWait([&] { ran = true; }, 200);
      waited = MsSince(start);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    worker.join();
    QVERIFY(!handedOver.load());
    QVERIFY(waited.load() >= 200 && waited.load() < 600);
    QVERIFY(!ran.load());
    QTRY_VERIFY(ran.load());

    // A pause still running when the poster goes is dropped with it.
    bool paused = false;
    {
      QtUiPoster gone(qApp);
      gone.PostAfter(20, [&paused] { paused = true; });
    }
    QTest::qWait(60);
    QVERIFY(!paused);
  }
};

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  ApplicationHint::Install(app);
  FrameTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "frame_test.moc"
