// Equalizer windows driven as the operator drives them, through the real
// engine and serial component against orbsim: what reaches the devices,
// what the windows show, and which controls they let the operator use.
#include <QtTest/qtestspontaneevent.h>

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMdiArea>
#include <QMenu>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolButton>
#include <QWheelEvent>

#include "app/ComPortDlg.h"
#include "controls/StatusPanelAccessible.h"
#include "controls/TzkTrackBarAccessible.h"
#include "tests/eqwindow/WindowFixture.h"

using namespace pa422;

class WindowTest : public QObject, public WindowFixture {
  Q_OBJECT

  static bool SlidersEnabled(TMDIChild& w) {
    for (TzkTrackBar* bar : w.TrackBars)
      if (!bar->isEnabled()) return false;
    return true;
  }
  static bool SlidersDisabled(TMDIChild& w) {
    for (TzkTrackBar* bar : w.TrackBars)
      if (bar->isEnabled()) return false;
    return true;
  }
  void Key(QWidget* w, Qt::Key key) {
    w->setFocus();
    QTest::keyClick(w, key);
  }
  // The texts of the boxes shown so far.
  QStringList ShownTexts() const {
    QStringList texts;
    for (const auto& shown : messages->shown) texts << QString::fromStdString(shown.text);
    return texts;
  }
  // The device is well again by the time the operator has read the box.
  void ClearFaultsWhenShown() {
    messages->whileShown = [this](const RecordingOperatorMessages::Shown&) {
      sim->Ok("fault clear");
    };
  }
  // Notches of the wheel over a control, as the platform delivers them: a
  // spontaneous event to the widget under the pointer, which passes it on
  // to its parents until one takes it (sendEvent would deliver it as the
  // program's own, to that widget alone).
  static void Wheel(QWidget* control, int notches) {
    const QPoint centre = control->rect().center();
    QWidget* under = control->childAt(centre);
    if (!under) under = control;
    const QPoint pos = under->mapFrom(control, centre);
    QWheelEvent event(pos, under->mapToGlobal(pos), QPoint(), QPoint(0, 120 * notches),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&event);
    qApp->notify(under, &event);
  }
  static QString Update(int parameter, int level) {
    return FrameWord(1, UpdateParameterFrame(uint8_t(parameter), kDevicePassword, uint8_t(level)));
  }

 private slots:
  void initTestCase() { SetUpTestCase(); }
  void init() { SetUp(); }
  void cleanup() { TearDown(); }

  void connectingShowsTheDevicesCurrentData() {
    StartProgram("1,2");
    TEqualizerDocument stored;
    stored.BandSteps[4] = 6;
    stored.GainSteps = -24;
    stored.HighPassIndex = 5;
    stored.LowPassIndex = 10;
    stored.PresetName = "Warm Hall";
    QVERIFY(SeedDevice(2, 3, stored));

    TMDIChild& w = *NewWindow();
    QTRY_COMPARE(QApplication::focusWidget(), w.CBAddress);
    QVERIFY(Connect(w, 2));
    QCOMPARE(Frames(), FrameWord(2, RecallAllDataFrame(0)));
    QCOMPARE(w.Doc.Address, 2);
    QCOMPARE(w.Panels[9]->text(), QString("2"));
    QCOMPARE(w.SliderOfSlot(5)->Position(), 6);
    QCOMPARE(w.SliderOfSlot(30)->Position(), -24);
    QCOMPARE(w.CBHighPass->currentText(), QString("31.5 Hz"));
    QCOMPARE(w.CBLowPass->currentText(), QString("6.3 kHz"));
    QCOMPARE(w.CBPresetName->currentText(), QString("WARM HALL"));
    QCOMPARE(w.CBPresetName->itemText(2), QString("WARM HALL"));
    QCOMPARE(w.EBORBName->text(), QString("ORB 2"));
    // The device's current preset shows without starting a recall.
    QCOMPARE(w.SEPresetNumber->value(), 3);
    QVERIFY(!w.RecallPending && !w.SkipPresetChange && w.SEPresetNumber->isEnabled());
    QVERIFY(w.Paste1->isEnabled() && Frame().PasteBtn->isEnabled());
    QCOMPARE(w.focusWidget(), w.TrackBars[0]);
    QVERIFY(messages->shown.empty());

    // The next preset change loads the chosen preset.
    w.SEPresetNumber->setValue(4);
    QVERIFY(WaitIdle());
    QCOMPARE(Frames(), FrameWord(2, ReprogramFromMemoryFrame(4)) + " " +
                           FrameWord(2, RecallAllDataFrame(4)));
    QCOMPARE(w.SEPresetNumber->value(), 4);
    QCOMPARE(w.SliderOfSlot(5)->Position(), 0);
    QCOMPARE(w.CBPresetName->currentText(), QString("PRESET 4"));
  }

  void connectedSliderMoveIsSentAndMovesMeanwhileFollow() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connect(w, 1));
    Frames();
    TzkTrackBar* band5 = w.SliderOfSlot(5);
    Key(band5, Qt::Key_PageUp);  // one step: the page size is 1
    QCOMPARE(band5->Position(), 1);
    QVERIFY(w.UpdatePending);
    QCOMPARE(w.Panels[3]->text(), QString("0.5"));
    // Moves made before UpdateDone are taken, and go out after it: the
    // latest value of each slider.
    QTest::keyClick(band5, Qt::Key_Up);
    QTest::keyClick(band5, Qt::Key_Up);
    w.SliderOfSlot(30)->SetPosition(4);
    QCOMPARE(band5->Position(), 3);
    QCOMPARE(w.SliderOfSlot(30)->Position(), 4);
    QVERIFY(WaitIdle());
    QVERIFY(!w.UpdatePending);
    QCOMPARE(Frames(), FrameWord(1, UpdateParameterFrame(6, kDevicePassword, 25)) + " " +
                           FrameWord(1, UpdateParameterFrame(6, kDevicePassword, 23)) + " " +
                           FrameWord(1, UpdateParameterFrame(32, kDevicePassword, 22)));
    QCOMPARE(uint8_t(DeviceBlock(1, 0)[4]), uint8_t(23));

    w.SliderOfSlot(30)->SetPosition(-4);
    QVERIFY(WaitIdle());
    QCOMPARE(Frames(), FrameWord(1, UpdateParameterFrame(32, kDevicePassword, 30)));
    QCOMPARE(w.Doc.GainSteps, -4);

    // A level the device cannot take (a range a file widened) is refused
    // by the engine before anything is sent: no UpdateDone will come, so
    // the sliders must not wait for one.
    Options().SliderRange = 26;
    w.FormResize();
    w.SliderOfSlot(2)->SetPosition(25);
    QCOMPARE(messages->shown.size(), size_t(1));
    QCOMPARE(messages->shown[0].text, std::string("Invalid Gain in UpdateParameter"));
    QVERIFY(!w.UpdatePending);
    w.SliderOfSlot(2)->SetPosition(3);
    QVERIFY(WaitIdle());
    QCOMPARE(Frames(), FrameWord(1, UpdateParameterFrame(3, kDevicePassword, 23)));
  }

  // Moves made while the window's preset is being recalled wait their turn
  // on the line and reach the device; the slider stays where it was left.
  void movesMadeDuringARecallReachTheDevice() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connect(w, 1));
    w.SEPresetNumber->setValue(2);
    QVERIFY(Engine().CommState != 0);
    TzkTrackBar* band5 = w.SliderOfSlot(5);
    for (int i = 0; i < 3; ++i) Key(band5, Qt::Key_Up);
    QVERIFY(WaitIdle());
    QCOMPARE(band5->Position(), 3);
    QCOMPARE(uint8_t(DeviceBlock(1, 0)[4]), uint8_t(23));
    QCOMPARE(uint8_t(DeviceBlock(1, 0)[all_data::kPreset - 1]), uint8_t(2));
    QVERIFY(messages->shown.empty());
  }

  void notConnectedNothingIsSentAndNothingBlocks() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    TzkTrackBar* band = w.SliderOfSlot(17);
    Key(band, Qt::Key_Down);
    Key(band, Qt::Key_Down);
    QCOMPARE(band->Position(), -2);
    QCOMPARE(w.Panels[3]->text(), QString("-1"));
    QVERIFY(!w.UpdatePending);
    Key(w.CBHighPass, Qt::Key_Down);
    QCOMPARE(w.Panels[7]->text(), QString("20 Hz"));
    QCOMPARE(w.Doc.HighPassIndex, 1);
    Key(w.CBPresetName, Qt::Key_X);
    QTest::keyClick(w.CBPresetName, Qt::Key_Return);
    QVERIFY(!w.UpdatePending);
    Key(band, Qt::Key_Up);
    QCOMPARE(band->Position(), -1);
    // Released in the preset number box, 0 reaches the shortcuts.
    Key(w.SEPresetNumber, Qt::Key_0);
    QVERIFY(w.Bypass->isChecked());
    QVERIFY(SlidersDisabled(w));
    QVERIFY(!Engine().Connected);
    QCOMPARE(Frames(), QString());
  }

  void addressListAcceptsOnlyChoicesFromTheOpenList() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    Key(w.CBAddress, Qt::Key_Down);
    QCOMPARE(w.CBAddress->currentIndex(), 0);
    QCOMPARE(w.Doc.Address, 0);
    QVERIFY(!Engine().Connected);

    QVERIFY(Connect(w, 1));
    QCOMPARE(w.Doc.Address, 1);
    Key(w.CBAddress, Qt::Key_Down);
    QCOMPARE(w.CBAddress->currentIndex(), 1);
    QCOMPARE(w.Doc.Address, 1);
    // Setting the index from the program runs no handler.
    w.CBAddress->setCurrentIndex(5);
    QCOMPARE(w.Doc.Address, 1);
  }

  void addressZeroDisconnectsEveryWindow() {
    StartProgram("1,2");
    TMDIChild& first = *NewWindow();
    QVERIFY(Connect(first, 1));
    TMDIChild& second = *NewWindow();
    QVERIFY(Connect(second, 2));
    QVERIFY(Engine().Connected);
    ChooseAddress(second, 0);
    QVERIFY(!Engine().Connected);
    QCOMPARE(second.Doc.Address, 0);
    // The other window keeps its address but can send nothing now.
    Activate(first);
    Frames();
    Key(first.SliderOfSlot(1), Qt::Key_Up);
    QVERIFY(!first.UpdatePending);
    QTest::qWait(100);
    QCOMPARE(Frames(), QString());
  }

  void noPortNumberAsksForOneAndCancelResetsTheAddress() {
    StartProgram("1", false);
    TMDIChild& w = *NewWindow();
    OnNextModal([](QWidget* d) { static_cast<QDialog*>(d)->reject(); });
    ChooseAddress(w, 1);
    QCOMPARE(messages->shown.size(), size_t(1));
    QCOMPARE(messages->shown[0].caption, std::string("Com Setup Error"));
    QCOMPARE(messages->shown[0].text, std::string("Invalid Com Port selected.  Connect Aborted."));
    QCOMPARE(w.CBAddress->currentIndex(), 0);
    QCOMPARE(w.Panels[9]->text(), QString("0"));
    QVERIFY(!Engine().Connected);

    OnNextModal([](QWidget* d) {
      static_cast<TComPortDlg*>(d)->SetItemIndex(0);
      static_cast<QDialog*>(d)->accept();
    });
    ChooseAddress(w, 1);
    QVERIFY(WaitIdle());
    QCOMPARE(Engine().ApdComPort.ComNumber(), uint16_t(1));
    QVERIFY(Engine().Connected);
    QCOMPARE(w.EBORBName->text(), QString("ORB 1"));
  }

  void presetKeysAndAStuckRecall() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connect(w, 1));
    Frames();
    // 5 on a slider selects preset 5; 6 before its data came does nothing.
    w.SliderOfSlot(3)->setFocus();
    QTest::keyClick(w.SliderOfSlot(3), Qt::Key_5);
    QVERIFY(w.RecallPending);
    QVERIFY(!w.SEPresetNumber->isEnabled());
    QTest::keyClick(w.SliderOfSlot(3), Qt::Key_6);
    QVERIFY(WaitIdle());
    QCOMPARE(Frames(), FrameWord(1, ReprogramFromMemoryFrame(5)) + " " +
                           FrameWord(1, RecallAllDataFrame(5)));
    QCOMPARE(w.SEPresetNumber->value(), 5);
    QCOMPARE(w.CBPresetName->currentText(), QString("PRESET 5"));
    QVERIFY(!w.RecallPending && w.SEPresetNumber->isEnabled());

    // A recall whose data never comes: the time-out's message, no device,
    // and the preset number free again (nothing to wait for any more).
    sim->Ok("fault 1 short-reply");
    QTest::keyClick(w.SliderOfSlot(3), Qt::Key_F2);
    QVERIFY(WaitIdle());
    QCOMPARE(w.Doc.Address, 0);  // LinkFailed
    QCOMPARE(ShownTexts(), QStringList{"Timeout - Waiting for Data from ORB."});
    QCOMPARE(messages->shown[0].caption, std::string("PA422 Error"));
    QVERIFY(!w.RecallPending && w.SEPresetNumber->isEnabled());
    Frames();
    w.SEPresetNumber->setValue(7);
    QCOMPARE(w.SEPresetNumber->value(), 7);
    QCOMPARE(w.RequestedPreset, 7);
    // Choosing the address again shows what the device runs.
    sim->Ok("fault clear");
    QVERIFY(Connect(w, 1));
    QVERIFY(!w.RecallPending && w.SEPresetNumber->isEnabled());
    QCOMPARE(w.SEPresetNumber->value(), 2);
    QCOMPARE(Frames(), FrameWord(1, RecallAllDataFrame(0)));
  }

  void lockKeyTogglesLockAndPaste() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connect(w, 1));
    Frames();
    Key(w.SliderOfSlot(10), Qt::Key_L);
    QVERIFY(w.Lock->isChecked());
    QVERIFY(!w.Paste1->isEnabled() && !Frame().PasteBtn->isEnabled());
    QVERIFY(SlidersDisabled(w) && !w.CBHighPass->isEnabled() && !w.CBPresetName->isEnabled());
    QVERIFY(WaitIdle());
    QCOMPARE(Frames(), FrameWord(1, LockPresetFrame(1, kDevicePassword)));
    QCOMPARE(uint8_t(DeviceBlock(1, 1)[all_data::kLock - 1]), uint8_t(1));

    // A key pressed while the line is busy waits its turn, as a click does.
    QTest::keyClick(&w, Qt::Key_L);
    QTest::keyClick(&w, Qt::Key_L);
    QTest::keyClick(&w, Qt::Key_L);
    QVERIFY(!w.Lock->isChecked());
    QVERIFY(w.Paste1->isEnabled() && Frame().PasteBtn->isEnabled());
    QVERIFY(SlidersEnabled(w) && w.CBLowPass->isEnabled());
    QVERIFY(WaitIdle());
    QCOMPARE(Frames(), FrameWord(1, UnlockPresetFrame(1, kDevicePassword)) + " " +
                           FrameWord(1, LockPresetFrame(1, kDevicePassword)) + " " +
                           FrameWord(1, UnlockPresetFrame(1, kDevicePassword)));
    QCOMPARE(uint8_t(DeviceBlock(1, 1)[all_data::kLock - 1]), uint8_t(0));

    // Space mutes.
    QTest::keyClick(&w, Qt::Key_Space);
    QVERIFY(WaitIdle());
    QCOMPARE(Frames(), FrameWord(1, MuteAllOutputsFrame()));
    QVERIFY(sim->Ok("device 1").find("mute=1") != std::string::npos);
  }

  void clearingEitherBoxEnablesTheEditControls() {
    StartProgram("none");
    TMDIChild& w = *NewWindow();
    w.Lock->setChecked(true);
    w.Bypass->setChecked(true);
    QVERIFY(SlidersDisabled(w));
    w.Bypass->setChecked(false);
    QVERIFY(SlidersEnabled(w) && w.CBHighPass->isEnabled() && w.CBPresetName->isEnabled());
    QVERIFY(w.Lock->isChecked());
    QVERIFY(!w.Paste1->isEnabled());
  }

  void filterChangeReachesTheStoredPreset() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connect(w, 1));
    Frames();
    Key(w.CBLowPass, Qt::Key_Up);  // "OUT" to "20 kHz"
    QVERIFY(w.UpdatePending);
    QCOMPARE(w.Panels[5]->text(), QString("20 kHz"));
    QVERIFY(WaitIdle());
    QVERIFY(!w.UpdatePending);
    QCOMPARE(uint8_t(DeviceBlock(1, 1)[all_data::kLowPass - 1]), uint8_t(20));
    QVERIFY(Frames().startsWith(FrameWord(1, RecallAllDataFrame(1)) + " 1:81"));

    // The preset name: typed, then Enter sends it; leaving does not again.
    w.CBPresetName->setFocus();
    w.CBPresetName->lineEdit()->selectAll();
    QTest::keyClicks(w.CBPresetName, "Stage");
    QVERIFY(w.PresetNameEdited);
    QTest::keyClick(w.CBPresetName, Qt::Key_Return);
    QVERIFY(!w.PresetNameEdited);
    QVERIFY(WaitIdle());
    w.EBORBName->setFocus();
    QVERIFY(WaitIdle());
    QCOMPARE(Frames().count("1:81"), 1);
    QCOMPARE(DeviceBlock(1, 1).substr(all_data::kPresetName - 1, 16), Name16("Stage"));
    QCOMPARE(w.CBPresetName->itemText(0), QString("Stage"));
    QVERIFY(messages->shown.empty());
  }

  void deviceNameGoesOutOnEnterAndOnLeaving() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connect(w, 1));
    Frames();
    w.EBORBName->setFocus();
    w.EBORBName->selectAll();
    QTest::keyClicks(w.EBORBName, "Front fill");
    QTest::keyClick(w.EBORBName, Qt::Key_Return);
    QVERIFY(WaitIdle());
    w.CBHighPass->setFocus();
    QVERIFY(WaitIdle());
    const QString once = FrameWord(1, SetDeviceNameFrame(kDevicePassword, "Front fill"));
    QCOMPARE(Frames(), once + " " + once);
    QVERIFY(sim->Ok("device 1").find("name=" + Hex(Name16("Front fill"))) != std::string::npos);
  }

  void linkFailureResetsTheActiveWindow() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    ChooseAddress(w, 7);  // nobody answers there
    QCOMPARE(w.Panels[9]->text(), QString("7"));
    QVERIFY(WaitIdle());
    QCOMPARE(w.Doc.Address, 0);
    QCOMPARE(w.CBAddress->currentIndex(), 0);
    QCOMPARE(w.Panels[9]->text(), QString("0"));
    QCOMPARE(messages->shown.size(), size_t(1));
    QVERIFY(Engine().Connected);  // the port stays open
  }

  // A device lost under one window resets that window, not the one active
  // when the time-out ends.
  void aFailureReachesTheWindowThatAsked() {
    StartProgram("1,2");
    TMDIChild& first = *NewWindow();
    QVERIFY(Connect(first, 1));
    TMDIChild& second = *NewWindow();
    QVERIFY(Connect(second, 2));
    Activate(first);
    QVERIFY(WaitIdle());
    sim->Ok("fault 1 mute-frame");
    Key(first.SliderOfSlot(3), Qt::Key_Up);
    Activate(second);
    QVERIFY(WaitIdle());
    QCOMPARE(first.Doc.Address, 0);
    QCOMPARE(second.Doc.Address, 2);
    QCOMPARE(ShownTexts(), QStringList{"Timeout - Waiting for Data from ORB."});
  }

  void activatingAConnectedWindowLoadsItsPresetOnlyWhenAnotherRuns() {
    StartProgram("1,2");
    TEqualizerDocument stored;
    stored.BandSteps[0] = 4;
    QVERIFY(SeedDevice(2, 3, stored));
    TMDIChild& first = *NewWindow();
    QVERIFY(Connect(first, 2));
    QCOMPARE(first.SEPresetNumber->value(), 3);
    TMDIChild& second = *NewWindow();
    QVERIFY(SlidersDisabled(first));
    QVERIFY(ApplicationHint::Instance().HasListener(&second));
    Frames();
    // Back to the first window: its device runs the preset the window
    // shows, so nothing is sent.
    Activate(first);
    QVERIFY(ApplicationHint::Instance().HasListener(&first));
    QVERIFY(SlidersEnabled(first) && SlidersDisabled(second));
    QCOMPARE(SettledFrames(), QString());
    QVERIFY(!first.RecallPending);
    QCOMPARE(first.SliderOfSlot(1)->Position(), 4);

    // The second window makes device 2 run preset 5: the first window,
    // activated, makes it run its preset 2 again, with its own curve.
    first.SEPresetNumber->setValue(2);
    QVERIFY(WaitIdle());
    Activate(second);
    QVERIFY(Connect(second, 2));
    second.SEPresetNumber->setValue(5);
    QVERIFY(WaitIdle());
    Frames();
    Activate(first);
    QVERIFY(WaitIdle());
    QCOMPARE(Frames(), FrameWord(2, ReprogramFromMemoryFrame(2)) + " " +
                           FrameWord(2, TransmitAllDataFrame(CopyVarloDataToORB(first.Doc, 0))));
    QCOMPARE(first.SliderOfSlot(1)->Position(), 0);
    QCOMPARE(first.SEPresetNumber->value(), 2);
  }

  void answersReachTheWindowWhileAnotherProgramHasTheFocus() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connect(w, 1));
    Frames();
    w.SEPresetNumber->setValue(6);
    // The operator switches to another window before the device answers.
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    QVERIFY(QApplication::activeWindow() != &Frame());
    QVERIFY(WaitIdle());
    QCOMPARE(Frames(), FrameWord(1, ReprogramFromMemoryFrame(6)) + " " +
                           FrameWord(1, RecallAllDataFrame(6)));
    QVERIFY(!w.RecallPending && w.SEPresetNumber->isEnabled());
    QCOMPARE(w.CBPresetName->currentText(), QString("PRESET 6"));
    QCOMPARE(Frame().ActiveEqualizerWidget(), &w);
  }

  void closingTheLastConnectedWindowGivesManualControlsBack() {
    StartProgram("1");
    TMDIChild& first = *NewWindow();
    QVERIFY(Connect(first, 1));
    NewWindow();
    Frames();
    Frame().FileCloseItemClick();
    QTRY_COMPARE(Frame().EqualizerWindows().size(), qsizetype(1));
    // The window left takes over; its device runs its preset already, so
    // nothing goes.
    QCOMPARE(SettledFrames(), QString());
    Frame().FileCloseItemClick();
    QTRY_VERIFY(Frame().EqualizerWindows().isEmpty());
    QCOMPARE(SettledFrames(), QString("<253>"));
    // No window is left to hear hints.
    ApplicationHint::Instance().Publish("1 kHz");
  }

  // A status reply other than 0 ends an update without its UpdateDone: the
  // window reads its device again and takes the next move. A device that
  // keeps refusing, or a time-out, leaves the window without a device, with
  // the message, and its sliders free.
  void failedUpdatesRereadTheDeviceAndFreeTheSliders() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connect(w, 1));
    Frames();
    TzkTrackBar* band5 = w.SliderOfSlot(5);
    ClearFaultsWhenShown();
    sim->Ok("fault 1 status 3");
    Key(band5, Qt::Key_Up);
    QVERIFY(WaitIdle());
    QCOMPARE(ShownTexts(), QStringList{"ComStat Error -3"});
    QCOMPARE(Frames(), Update(6, 25) + " " + FrameWord(1, RecallAllDataFrame(0)));
    QCOMPARE(w.Doc.Address, 1);
    QVERIFY(!w.UpdatePending);
    Key(band5, Qt::Key_Up);
    QCOMPARE(band5->Position(), 2);
    QVERIFY(WaitIdle());
    QCOMPARE(Frames(), Update(6, 24));

    // The device keeps refusing: the read fails as well.
    messages->whileShown = nullptr;
    sim->Ok("fault 1 status 3");
    Key(band5, Qt::Key_Up);
    QVERIFY(WaitIdle());
    QCOMPARE(ShownTexts(),
             (QStringList{"ComStat Error -3", "ComStat Error -3", "ComStat Error - 3"}));
    QCOMPARE(Frames(), Update(6, 23) + " " + FrameWord(1, RecallAllDataFrame(0)));
    QCOMPARE(w.Doc.Address, 0);
    QCOMPARE(w.Panels[9]->text(), QString("0"));
    QVERIFY(!w.UpdatePending);
    Key(band5, Qt::Key_Up);
    QCOMPARE(band5->Position(), 4);

    // A time-out (the device never answers the update).
    sim->Ok("fault clear");
    QVERIFY(Connect(w, 1));
    QCOMPARE(band5->Position(), 3);
    Frames();
    sim->Ok("fault 1 mute-frame");
    Key(band5, Qt::Key_Up);
    QVERIFY(WaitIdle());
    QCOMPARE(ShownTexts().last(), QString("Timeout - Waiting for Data from ORB."));
    QCOMPARE(w.Doc.Address, 0);
    QVERIFY(!w.UpdatePending);
    Key(band5, Qt::Key_Down);
    QCOMPARE(band5->Position(), 3);
  }

  // Changes made while a recall runs wait their turn and go out after its
  // data came: the window and the device end with them, and nothing is
  // refused as busy.
  void changesMadeDuringARecallGoOutAfterIt() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connect(w, 1));
    Frames();
    w.SEPresetNumber->setValue(3);  // its recall runs
    QVERIFY(w.RecallPending);
    Key(w.CBHighPass, Qt::Key_Down);
    QVERIFY(w.UpdatePending);
    w.CBPresetName->setFocus();
    QTest::keyClick(w.CBPresetName, Qt::Key_End);
    QTest::keyClicks(w.CBPresetName, "X");
    QTest::keyClick(w.CBPresetName, Qt::Key_Return);
    QVERIFY(WaitIdle());
    QVERIFY(ShownTexts().isEmpty());
    QVERIFY(!w.UpdatePending && !w.RecallPending);
    QCOMPARE(w.CBHighPass->currentIndex(), 1);
    QCOMPARE(w.CBPresetName->currentText(), QString("Preset Name 3X"));
    const pa422::Bytes stored = DeviceBlock(1, 3);
    QCOMPARE(uint8_t(stored[all_data::kHighPass - 1]), uint8_t(1));
    QCOMPARE(QByteArray(stored.data() + all_data::kPresetName - 1, 14), QByteArray("PRESET NAME 3X"));
    TzkTrackBar* band = w.SliderOfSlot(8);
    Key(band, Qt::Key_Down);
    QVERIFY(WaitIdle());
    Frames();

    // Deactivated before its update was answered (the answer went to the
    // window active then), the window moves again once it is active.
    Key(band, Qt::Key_Down);
    QVERIFY(w.UpdatePending);
    NewWindow();
    QVERIFY(SlidersDisabled(w));
    QVERIFY(WaitIdle());
    Activate(w);
    QVERIFY(WaitIdle());
    QCOMPARE(band->Position(), -2);  // the device runs the window's preset: nothing reloaded
    Frames();
    Key(band, Qt::Key_Down);
    QVERIFY(WaitIdle());
    QCOMPARE(Frames(), Update(9, 29));
  }

  // A read that fails after the device took the chosen preset: the window
  // reads the device again and shows the preset it runs, so the next move
  // starts from the right curve.
  void failedReadOfAChosenPresetRereadsTheDevice() {
    StartProgram("1");
    TEqualizerDocument loud;
    loud.BandSteps[0] = 4;
    QVERIFY(SeedDevice(1, 5, loud));
    QVERIFY(SeedDevice(1, 1, TEqualizerDocument()));
    TMDIChild& w = *NewWindow();
    QVERIFY(Connect(w, 1));
    Frames();
    QCOMPARE(w.SEPresetNumber->value(), 1);
    ClearFaultsWhenShown();
    sim->Ok("fault 1 after 1 long-reply");
    w.SEPresetNumber->setValue(5);
    QVERIFY(WaitIdle());
    QCOMPARE(ShownTexts(), QStringList{"Too many chars Recieved."});
    QCOMPARE(Frames(), FrameWord(1, ReprogramFromMemoryFrame(5)) + " " +
                           FrameWord(1, RecallAllDataFrame(5)) + " " +
                           FrameWord(1, RecallAllDataFrame(0)));
    QCOMPARE(w.SEPresetNumber->value(), 5);
    QVERIFY(w.SEPresetNumber->isEnabled() && !w.RecallPending);
    QCOMPARE(w.SliderOfSlot(1)->Position(), 4);
    Key(w.SliderOfSlot(1), Qt::Key_Up);
    QVERIFY(WaitIdle());
    QCOMPARE(Frames(), Update(2, 21));
  }

  // Over a network serial server the DT/ID may come in two pieces; the move
  // still reaches the device.
  void dtIdInTwoPiecesStillCarriesTheMove() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connect(w, 1));
    Frames();
    sim->Ok("fault 1 split-dtid");
    Key(w.SliderOfSlot(12), Qt::Key_Up);
    QVERIFY(WaitIdle());
    QCOMPARE(Frames(), Update(13, 25));
    QCOMPARE(w.Doc.Address, 1);
    QVERIFY(!w.UpdatePending);
    QVERIFY(messages->shown.empty());
  }

  // A window at address 0 has no device: nothing it does goes on the line,
  // even while another window holds the port open, nor for a file opened
  // once the last window was closed.
  void windowWithoutADeviceNeverSends() {
    StartProgram("1");
    TMDIChild& first = *NewWindow();
    QVERIFY(Connect(first, 1));
    TMDIChild& w = *NewWindow();
    QVERIFY(WaitIdle());
    Frames();
    sim->Ok("recv");
    Key(w.SliderOfSlot(4), Qt::Key_Up);
    QVERIFY(!w.UpdatePending);
    Key(w.CBHighPass, Qt::Key_Down);
    Key(w.CBLowPass, Qt::Key_Up);
    w.SEPresetNumber->setValue(3);
    QVERIFY(!w.RecallPending && w.SEPresetNumber->isEnabled());
    w.CBPresetName->setFocus();
    QTest::keyClicks(w.CBPresetName, "Y");
    QTest::keyClick(w.CBPresetName, Qt::Key_Return);
    QTest::keyClicks(w.CBPresetName, "Z");
    Key(w.EBORBName, Qt::Key_A);
    QTest::keyClick(w.EBORBName, Qt::Key_Return);
    w.SliderOfSlot(4)->setFocus();
    w.FlatClick();
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_L, Qt::Key_0, Qt::Key_L, Qt::Key_0})
      QTest::keyClick(&w, key);
    QVERIFY(!w.UpdatePending);
    QTest::qWait(300);
    QVERIFY(WaitIdle());
    // Only Clear's question; no message of the link.
    QCOMPARE(messages->shown.size(), size_t(1));
    QVERIFY(messages->shown[0].question);
    QCOMPARE(QString::fromStdString(sim->Ok("recv")), QString("ok "));

    const std::string path = *dir / "curve.V95";
    w.RunSaveDialog = [&](const QString&) {
      return std::pair<QString, int>(QString::fromStdString(path), 1);
    };
    w.Save1Click();
    Frame().FileCloseItemClick();
    QVERIFY(WaitIdle());
    Frame().FileCloseItemClick();
    QTRY_VERIFY(Frame().EqualizerWindows().isEmpty());
    QVERIFY(Engine().Connected);
    QVERIFY(SettledFrames().endsWith("<253>"));
    sim->Ok("recv");
    Frame().RunOpenDialog = [&] {
      return std::pair<QString, int>(QString::fromStdString(path), 1);
    };
    Frame().FileOpenItemClick();
    QCOMPARE(Frame().EqualizerWindows().size(), qsizetype(1));
    QTest::qWait(300);
    QVERIFY(WaitIdle());
    QCOMPARE(QString::fromStdString(sim->Ok("recv")), QString("ok "));
    QCOMPARE(messages->shown.size(), size_t(2));
    QCOMPARE(messages->shown[1].caption, std::string("Unconnected"));
  }

  // Only keys that change the preset name count as an edit of it.
  void presetNameCountsOnlyKeysThatChangeIt() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connect(w, 1));
    Frames();
    w.CBPresetName->setFocus();
    for (Qt::Key key : {Qt::Key_Home, Qt::Key_End, Qt::Key_Left, Qt::Key_Right, Qt::Key_Shift})
      QTest::keyClick(w.CBPresetName, key);
    QVERIFY(!w.PresetNameEdited);
    QTest::keyClick(w.CBPresetName, Qt::Key_Tab);
    QVERIFY(!w.CBPresetName->hasFocus());
    QCOMPARE(SettledFrames(), QString());

    w.CBPresetName->setFocus();
    QTest::keyClick(w.CBPresetName, Qt::Key_End);
    QTest::keyClick(w.CBPresetName, Qt::Key_Backspace);
    QVERIFY(w.PresetNameEdited);
    QTest::keyClick(w.CBPresetName, Qt::Key_Tab);
    QVERIFY(!w.PresetNameEdited);
    const QString frames = SettledFrames();
    QVERIFY2(frames.startsWith(FrameWord(1, RecallAllDataFrame(1)) + " 1:81") &&
                 frames.count(' ') == 1,
             qPrintable(frames));
    QCOMPARE(DeviceBlock(1, 1).substr(all_data::kPresetName - 1, 16), Name16("PRESET "));
    QVERIFY(messages->shown.empty());
  }

  // The wheel turns a filter, the preset name or the preset number only
  // once the operator has put the focus there.
  void wheelChangesOnlyAFocusedControl() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connect(w, 1));
    Frames();
    TzkTrackBar* band = w.SliderOfSlot(3);
    band->setFocus();
    Wheel(w.CBHighPass, -1);
    Wheel(w.CBLowPass, 1);
    Wheel(w.CBPresetName, -1);
    Wheel(w.SEPresetNumber, 1);
    QVERIFY(band->hasFocus());
    QCOMPARE(w.CBHighPass->currentIndex(), 0);
    QCOMPARE(w.CBLowPass->currentIndex(), 21);
    QCOMPARE(w.CBPresetName->currentIndex(), 0);
    QCOMPARE(w.SEPresetNumber->value(), 1);
    QCOMPARE(SettledFrames(), QString());

    w.CBHighPass->setFocus();
    Wheel(w.CBHighPass, -1);
    QCOMPARE(w.CBHighPass->currentIndex(), 1);
    QVERIFY(SettledFrames().startsWith(FrameWord(1, RecallAllDataFrame(1)) + " 1:81"));
    w.SEPresetNumber->setFocus();
    Wheel(w.SEPresetNumber, 1);
    QCOMPARE(w.SEPresetNumber->value(), 2);
    QCOMPARE(SettledFrames(), FrameWord(1, ReprogramFromMemoryFrame(2)) + " " +
                                  FrameWord(1, RecallAllDataFrame(2)));
  }

  // While a recall runs the preset cannot change, from the name list
  // either: the window reads the preset the device runs.
  void presetNameChosenDuringARecallIsRefused() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connect(w, 1));
    Frames();
    w.SEPresetNumber->setValue(5);
    QVERIFY(w.RecallPending);
    w.CBPresetName->setFocus();
    QTest::keyClick(w.CBPresetName, Qt::Key_Down);  // the next entry, PRESET 6
    QCOMPARE(w.RequestedPreset, 5);
    QCOMPARE(w.SEPresetNumber->value(), 5);
    QVERIFY(WaitIdle());
    QCOMPARE(Frames(), FrameWord(1, ReprogramFromMemoryFrame(5)) + " " +
                           FrameWord(1, RecallAllDataFrame(5)));
    QCOMPARE(w.SEPresetNumber->value(), 5);
    QCOMPARE(w.CBPresetName->currentIndex(), 4);
    QCOMPARE(w.CBPresetName->currentText(), QString("PRESET 5"));
    // Once the data came, a choice from the list selects that preset.
    QTest::keyClick(w.CBPresetName, Qt::Key_Down);
    QVERIFY(WaitIdle());
    QCOMPARE(Frames(), FrameWord(1, ReprogramFromMemoryFrame(6)) + " " +
                           FrameWord(1, RecallAllDataFrame(6)));
    QCOMPARE(w.SEPresetNumber->value(), 6);
    QVERIFY(messages->shown.empty());
  }

  void layoutFollowsTheOptions() {
    StartProgram("none");
    // A workspace 800 wide.
    Frame().resize(Frame().width() + 800 - Frame().MdiArea->contentsRect().width(),
                   Frame().height());
    TMDIChild& w = *NewWindow();
    QMdiSubWindow* sub = SubWindow(w);
    // Tiled two to a column (the default), the window takes the
    // workspace's width once it is shown.
    QTRY_COMPARE(sub->width(), 800);
    sub->resize(sub->width(), sub->height() + 285 - w.height());
    QCOMPARE(w.height(), 285);
    QCOMPARE(w.TrackBars[0]->height(), 241);
    QCOMPARE(w.TrackBars[29]->geometry(), QRect(728, 25, 30, 241));
    QCOMPARE(w.TrackBars[2]->geometry(), QRect(64, 25, 30, 241));
    QCOMPARE(w.StatusBar1->geometry().bottom(), 284);
    // The check boxes keep their places and show their whole captions
    // without reaching the next box.
    QCOMPARE(w.Mute->pos(), QPoint(632, 8));
    QCOMPARE(w.Bypass->pos(), QPoint(728, 8));
    QVERIFY(w.Mute->width() >= std::min(w.Mute->sizeHint().width(), 47));
    QVERIFY(w.Mute->geometry().right() < w.Lock->x());
    QVERIFY(w.Lock->geometry().right() < w.Bypass->x());
    QVERIFY(w.Bypass->geometry().right() < 792);
    QVERIFY(w.AddressLabel->geometry().right() < w.CBAddress->x());
    QCOMPARE(Options().SliderHeight, 241);
    QCOMPARE(Options().SliderWidth, 49);
    QCOMPARE(Options().ChildWindowHeight, sub->height());
    // Tiled two to a column, a window keeps its column's width.
    sub->resize(500, sub->height());
    QTRY_COMPARE(sub->width(), 800);
    QCOMPARE(w.StatusBar1->width(), w.width());
    Options().TileOptions = 0;
    sub->resize(500, sub->height());
    QTest::qWait(20);
    QCOMPARE(sub->width(), 500);
    QCOMPARE(Options().ChildWindowWidth, 500);
    // Narrower than its controls, the window scrolls them sideways; the
    // scroll bar takes its height from the client area.
    QVERIFY(w.HorzScrollBar->isVisible());
    QCOMPARE(w.ClientArea->height(), 285 - w.HorzScrollBar->height());
    sub->resize(800, sub->height());
    QVERIFY(w.HorzScrollBar->isHidden());

    Options().TaskBarEnabled = false;
    Options().SliderRange = 12;
    w.FormResize();
    QVERIFY(w.StatusBar1->isHidden());
    QCOMPARE(w.TrackBars[0]->height(), 285 - 28);
    QCOMPARE(w.TrackBars[17]->height(), 285 - 28);
    QCOMPARE(w.TrackBars[17]->Max(), 12);
    QCOMPARE(w.TrackBars[17]->Min(), -12);
    Options().TaskBarEnabled = true;
    Options().SliderRange = 25;
    w.FormResize();
    QVERIFY(!w.StatusBar1->isHidden());
    QCOMPARE(w.Panels[11]->text(), QString("12"));

    int32_t max = 3;
    w.SliderOfSlot(30)->SetPositionNC(-9);
    w.ScanBandExcursion(max);
    QCOMPARE(max, 9);
  }

  void hintReadoutShowsTheHintedSlider() {
    StartProgram("none");
    TMDIChild& w = *NewWindow();
    // Entering a slider marks its track and reads it out.
    TzkTrackBar* bar = w.SliderOfSlot(9);
    bar->SetPositionNC(3);
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason), out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(bar, &in);
    QCOMPARE(bar->TrackColor(), QColor(255, 255, 0));
    QCOMPARE(w.Panels[1]->text(), QString("160 Hz"));
    QCOMPARE(w.Panels[3]->text(), QString("1.5"));
    QApplication::sendEvent(bar, &out);
    QCOMPARE(bar->TrackColor(), QColor(Qt::white));

    w.SliderOfSlot(17)->SetPositionNC(-5);
    ApplicationHint::Instance().Publish("1 kHz");
    QCOMPARE(w.Panels[1]->text(), QString("1 kHz"));
    QCOMPARE(w.Panels[3]->text(), QString("-2.5"));
    ApplicationHint::Instance().Publish("Preset Name");
    QCOMPARE(w.Panels[1]->text(), QString("Preset Name"));
    QCOMPARE(w.Panels[3]->text(), QString("-2.5"));
    ApplicationHint::Instance().Publish("");
    QCOMPARE(w.Panels[3]->text(), QString(" "));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    w.SliderOfSlot(30)->SetPositionNC(7);
    ApplicationHint::Instance().Publish("Gain");
    QLocale::setDefault(QLocale::c());
    QCOMPARE(w.Panels[3]->text(), QString("3,5"));
  }

  void ticksAndScaleLabelsAreDrawn() {
    StartProgram("none");
    TMDIChild& w = *NewWindow();
    auto pixel = [](TzkTrackBar* bar, int x, int y) { return bar->grab().toImage().pixel(x, y); };
    TzkTrackBar* band = w.SliderOfSlot(5);
    const int x = band->width() / 3 - 2;
    QCOMPARE(pixel(band, x, band->TickLine(0) - 1), QColor(Qt::red).rgb());
    QCOMPARE(pixel(band, x, band->TickLine(6) - 1), QColor(Qt::blue).rgb());
    QCOMPARE(pixel(band, x, band->TickLine(-12) - 1), QColor(Qt::blue).rgb());
    const QRgb shadow = band->palette().color(QPalette::Dark).rgb();
    QCOMPARE(pixel(band, x, band->TickLine(2) - 1), shadow);
    // Half-decibel ticks are 4 pixels long, whole decibels 8.
    QCOMPARE(pixel(band, band->width() / 3 - 6, band->TickLine(3) - 1), band->palette().color(QPalette::Window).rgb());
    QCOMPARE(pixel(band, band->width() / 3 - 6, band->TickLine(4) - 1), shadow);
    QCOMPARE(pixel(band, x, band->TickLine(0)), band->palette().color(QPalette::Light).rgb());
    // The first slider draws labels, no tick lines.
    TzkTrackBar* scale = w.SliderOfSlot(1);
    const QImage image = scale->grab().toImage();
    bool red = false, ink = false;
    for (int y = 0; y < image.height(); ++y)
      for (int xx = 0; xx < scale->width() / 3; ++xx) {
        red = red || image.pixel(xx, y) == QColor(Qt::red).rgb();
        ink = ink || image.pixel(xx, y) == scale->palette().color(QPalette::WindowText).rgb();
      }
    QVERIFY(!red);
    QVERIFY(ink);
  }

  void controlsAreNamedForAssistiveTools() {
    StartProgram("none");
    TMDIChild& w = *NewWindow();
    for (int slot = 1; slot <= 30; ++slot) {
      QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w.SliderOfSlot(slot));
      QVERIFY(a);
      QCOMPARE(a->text(QAccessible::Name), QString::fromStdString(SlotLabel(slot)));
    }
    QCOMPARE(w.CBAddress->accessibleDescription(), QString("ORB Address"));
    QCOMPARE(w.CBHighPass->accessibleDescription(), QString("High Pass"));
    QCOMPARE(w.CBLowPass->accessibleDescription(), QString("Low Pass"));
    QCOMPARE(w.CBPresetName->accessibleDescription(), QString("Preset Name"));
    QCOMPARE(w.SEPresetNumber->accessibleName(), QString("Preset No."));
    QVERIFY(!w.EBORBName->accessibleName().isEmpty());
    // Left and right arrows move through the window's controls.
    w.SliderOfSlot(5)->setFocus();
    QTest::keyClick(w.SliderOfSlot(5), Qt::Key_Right);
    QVERIFY(w.SliderOfSlot(6)->hasFocus());
    QTest::keyClick(w.SliderOfSlot(6), Qt::Key_Left);
    QTest::keyClick(w.SliderOfSlot(5), Qt::Key_Left);
    QVERIFY(w.SliderOfSlot(4)->hasFocus());
  }

  void screenReadersReadLevelsInDecibelsAndThePanelsTexts() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connect(w, 1));
    Frames();
    // The band's value is its level in dB; set, it goes to the device as
    // an operator's move does.
    QAccessibleInterface* band = QAccessible::queryAccessibleInterface(w.SliderOfSlot(5));
    QCOMPARE(band->valueInterface()->maximumValue().toDouble(), 12.0);
    QCOMPARE(band->valueInterface()->minimumStepSize().toDouble(), 0.5);
    band->valueInterface()->setCurrentValue(1.5);
    QCOMPARE(w.SliderOfSlot(5)->Position(), 3);
    QVERIFY(WaitIdle());
    QCOMPARE(Frames(), Update(6, 23));
    QCOMPARE(QAccessible::queryAccessibleInterface(w.SliderOfSlot(30))->valueInterface()->minimumValue().toDouble(),
             -12.0);
    // The status panels read their captions and what they show.
    QCOMPARE(QAccessible::queryAccessibleInterface(w.Panels[3])->text(QAccessible::Name),
             QString("Level value: 1.5"));
    QCOMPARE(QAccessible::queryAccessibleInterface(w.Panels[9])->text(QAccessible::Value), QString("1"));
    QCOMPARE(QAccessible::queryAccessibleInterface(w.Panels[8])->text(QAccessible::Name), QString("Address"));
  }

  void menusOfTheWindow() {
    StartProgram("none");
    TMDIChild& w = *NewWindow();
    QStringList file;
    for (QAction* a : w.FileMenu->actions()) file << (a->isSeparator() ? "-" : a->text());
    QCOMPARE(file, (QStringList{"&New", "&Open", "&Close", "-", "&Save", "Save &As", "Save A&ll",
                                "-", "P&rint Setup", "&Print", "-", "Pr&operties", "-", "&Exit"}));
    QCOMPARE(w.Copy1->shortcut(), QKeySequence("Ctrl+C"));
    QCOMPARE(w.Clear1->shortcut(), QKeySequence("Ctrl+X"));
    QVERIFY(!w.Paste1->isEnabled());
    QCOMPARE(w.Menus().size(), qsizetype(3));
    w.FileMenu->actions().at(0)->trigger();  // New
    QCOMPARE(Frame().EqualizerWindows().size(), qsizetype(2));
    Activate(w);
    w.FileMenu->actions().at(2)->trigger();  // Close
    QTRY_COMPARE(Frame().EqualizerWindows().size(), qsizetype(1));
  }
};

int main(int argc, char** argv) {
  InstallTrackBarAccessibility();
  InstallStatusPanelAccessibility();
  TApplication app(argc, argv);
  ApplicationHint::Install(app);
  QLocale::setDefault(QLocale::c());
  WindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "window_test.moc"
