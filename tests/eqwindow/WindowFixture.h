#pragma once
// Equalizer windows in the real program: the long-lived objects, the frame
// making TMDIChild windows, the real engine and serial component talking to
// orbsim on loopback. Message boxes are recorded, not shown. A Qt Test
// class derives from it and calls SetUp() in init() and TearDown() in
// cleanup(); its main() uses MakeTestApplication's order (slider
// accessibility before the application, then the hint filter).
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "app/TApplication.h"
#include "app/VarloProgram.h"
#include "controls/ApplicationHint.h"
#include "controls/TzkTrackBar.h"
#include "eq/DeviceBlock.h"
#include "eqwindow/TMDIChild.h"
#include "link/TzkPA422Form.h"
#include "testsupport/Hex.h"
#include "testsupport/OnNextModal.h"
#include "testsupport/OrbSimProcess.h"
#include "testsupport/RecordingOperatorMessages.h"
#include "testsupport/TempDir.h"


class WindowFixture {
 public:
  // Once per test executable: the settings of the person running the
  // tests stay out of it.
  static void SetUpTestCase() {
    static TempDir config;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.Path()));
  }

  void SetUp() {
    dir = std::make_unique<TempDir>();
    simOptions.clear();
    messages = std::make_unique<RecordingOperatorMessages>();
    static_cast<TApplication*>(qApp)->SetExceptionDisplay(messages.get());
  }

  void TearDown() {
    program.reset();
    sim.reset();
    static_cast<TApplication*>(qApp)->SetExceptionDisplay(nullptr);
    ApplicationHint::Instance().Publish("");
  }

  // orbsim with these devices ("1,2", "none") and the program with Com 1
  // mapped to it; withPort false leaves the port number unset. moreIni is
  // added to the settings file.
  void StartProgram(const std::string& devices = "1,2", bool withPort = true,
                    const std::string& moreIni = "") {
    std::vector<std::string> args{"--devices", devices};
    args.insert(args.end(), simOptions.begin(), simOptions.end());
    sim = std::make_unique<OrbSimProcess>(args);
    std::string ini = "[Communications]\n";
    if (withPort) ini += "Com Port=1\n";
    ini += "Com 1 Device=" + sim->Url() + "\n" + moreIni;
    WriteText(*dir / "Varlo95.ini", ini);
    program = std::make_unique<VarloProgram>(*messages, *messages, dir->Path());
    // No trace or log files in the build folder.
    Engine().ApdComPort.SetTracing(tlOff);
    Engine().ApdComPort.SetLogging(tlOff);
    Frame().EqualizerWindowFactory = [](TMainForm& f) { return new TMDIChild(f); };
    Frame().ShowFrame();
    Frame().activateWindow();
    // Activation may not come on every platform; the tests check what they need.
    (void)QTest::qWaitForWindowActive(&Frame());
  }

  TMainForm& Frame() { return program->MainForm(); }
  TzkPA422Form& Engine() { return program->PA422Form(); }
  TProgramOptions& Options() { return Frame().Options(); }

  TMDIChild* NewWindow() {
    Frame().FileNewItemClick();
    return static_cast<TMDIChild*>(Frame().ActiveEqualizerWidget());
  }
  QMdiSubWindow* SubWindow(TMDIChild& w) { return qobject_cast<QMdiSubWindow*>(w.parentWidget()); }
  void Activate(TMDIChild& w) { Frame().ActivateEqualizerWindow(&w); }

  // Waits (bounded) until the engine has been idle for a moment: a
  // notification may start the next transfer at once.
  bool WaitIdle(int ms = 8000) {
    QElapsedTimer timer;
    timer.start();
    int quiet = 0;
    while (timer.elapsed() < ms) {
      QTest::qWait(10);
      quiet = Engine().CommState == 0 ? quiet + 1 : 0;
      if (quiet >= 5) return true;
    }
    return false;
  }

  // The frames the devices received since the last call: "1:96..." words
  // and "<253>" group bytes, separated by blanks.
  QString Frames() {
    const std::string reply = sim->Ok("frames");
    return QString::fromStdString(reply.size() > 3 ? reply.substr(3) : "");
  }
  // Frames once the line has been quiet for a moment.
  QString SettledFrames() {
    WaitIdle();
    QTest::qWait(100);
    return Frames();
  }
  // One frame as Frames() lists it.
  static QString FrameWord(int address, const pa422::Bytes& frame) {
    return QString::fromStdString(std::to_string(address) + ":" + Hex(frame));
  }
  // The 70-byte all-data block of a device's preset (0: working settings).
  pa422::Bytes DeviceBlock(int address, int preset) {
    return Unhex(sim->Ok("preset " + std::to_string(address) + " " + std::to_string(preset)).substr(3));
  }

  // The operator's choice of an address: the list drops down and the entry
  // is picked in it.
  void ChooseAddress(TMDIChild& w, int address) {
    w.CBAddress->showPopup();
    QAbstractItemView* view = w.CBAddress->view();
    view->setCurrentIndex(view->model()->index(address, 0));
    QTest::keyClick(view, Qt::Key_Return);
    // The offscreen platform leaves the closed list as the active window; a
    // desktop gives the frame its activation back.
    (void)QTest::qWaitFor([view] { return !view->window()->isVisible(); }, 2000);
    RestoreActiveFrame();
  }
  void RestoreActiveFrame() {
    QTest::qWait(20);
    if (QApplication::activeWindow() != &Frame()) QApplication::setActiveWindow(&Frame());
  }
  // Chooses the address and waits until the device's data is shown.
  bool Connect(TMDIChild& w, int address) {
    ChooseAddress(w, address);
    const bool idle = WaitIdle();
    RestoreActiveFrame();
    return idle;
  }

  // Stores a document in a device's preset through the engine (which makes
  // it the device's current preset), as another program would have.
  bool SeedDevice(int address, int preset, TEqualizerDocument doc) {
    doc.CurrentPreset = preset;
    Engine().Connect();
    Engine().TransmitAllData(address, preset, CopyVarloDataToORB(doc));
    const bool done = WaitIdle();
    Frames();
    return done;
  }

  // More of orbsim's options, for the next StartProgram ("--store-moves").
  std::vector<std::string> simOptions;
  std::unique_ptr<TempDir> dir;
  std::unique_ptr<RecordingOperatorMessages> messages;
  std::unique_ptr<OrbSimProcess> sim;
  std::unique_ptr<VarloProgram> program;
};
