// Undo, redo and the A/B compare of equalizer windows driven as the
// operator drives them, through the real engine against orbsim: what
// reaches the device for each step, how waiting changes and failures are
// handled, and the Edit menu's items.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>

#include "controls/TzkTrackBarAccessible.h"
#include "eq/PresetFiles.h"
#include "eq/PresetFormats.h"
#include "tests/eqwindow/WindowFixture.h"

using namespace pa422;

namespace {
// A device block's level byte of a slot (30: the gain).
uint8_t Level(const Bytes& block, int slot) { return uint8_t(block[all_data::kFirstBand - 1 + slot - 1]); }
uint8_t HighPass(const Bytes& block) { return uint8_t(block[all_data::kHighPass - 1]); }
std::string Name(const Bytes& block) { return block.substr(all_data::kPresetName - 1, 16); }
}  // namespace

class WindowUndoTest : public QObject, public WindowFixture {
  Q_OBJECT

  static QString Update(int slot, int steps) {
    return FrameWord(1, UpdateParameterFrame(uint8_t(DeviceBandNumber(slot)), kDevicePassword,
                                             DeviceGainCode(steps)));
  }
  static QString Recall(int preset) { return FrameWord(1, RecallAllDataFrame(uint8_t(preset))); }
  // Frames that are TRANSMIT_ALL_DATA to device 1.
  static int Transmits(const QString& frames) { return int(frames.count("1:81")); }
  QStringList Texts() const {
    QStringList texts;
    for (const auto& shown : messages->shown) texts << QString::fromStdString(shown.text);
    return texts;
  }
  // A key on a control that has the focus, as the operator presses it.
  static void Press(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    w->setFocus();
    QTest::keyClick(w, key, mods);
  }
  // One slider step up, sent and acknowledged.
  bool Raise(TMDIChild& w, int slot, int steps = 1) {
    for (int i = 0; i < steps; ++i) {
      Press(w.SliderOfSlot(slot), Qt::Key_Up);
      if (!WaitIdle() || w.UpdatePending) return false;
    }
    return true;
  }
  // The window on device 1 with the line quiet and nothing recorded.
  bool Connected(TMDIChild& w) {
    if (!Connect(w, 1)) return false;
    Frames();
    return !w.History().CanUndo();
  }
  // Connected to device 1 with band 7 raised two steps, copied, cleared and
  // pasted back: the history ends "Paste", "Clear", the device has the curve.
  bool PastedOverAClear(TMDIChild& w) {
    if (!Connected(w) || !Raise(w, 7, 2)) return false;
    w.Copy1Click();
    w.Clear1->trigger();
    if (!WaitIdle()) return false;
    w.Paste1->trigger();
    return WaitIdle();
  }
  // The same, then High Pass 31.5 Hz: stored with the pasted curve.
  bool FilterOverAPaste(TMDIChild& w) {
    if (!PastedOverAClear(w)) return false;
    Press(w.CBHighPass, Qt::Key_Down);
    return WaitIdle() && w.CBHighPass->currentIndex() == 1;
  }
  static QStringList EditItems(TMDIChild& w) {
    QStringList items;
    for (QAction* a : w.EditMenu->actions()) items << (a->isSeparator() ? "-" : a->text());
    return items;
  }

 private slots:
  void initTestCase() { SetUpTestCase(); }
  void init() { SetUp(); }
  void cleanup() { TearDown(); }

  void editMenuItemsFollowTheHistoryAndTheLock() {
    StartProgram("none");
    TMDIChild& w = *NewWindow();
    QCOMPARE(EditItems(w), (QStringList{"&Undo", "&Redo", "-", "&Copy", "&Paste", "C&lear",
                                        "&Normalize", "-", "Store &B", "Compare &A/B", "-", "Un&link",
                                        QString::fromUtf8("Res&ync\u2026")}));
    QVERIFY(!w.Undo1->isEnabled() && !w.Redo1->isEnabled());
    QVERIFY(w.StoreB1->isEnabled() && !w.CompareAB1->isEnabled());
    QCOMPARE(w.Undo1->shortcut(), QKeySequence("Ctrl+Z"));
    QCOMPARE(w.Redo1->shortcuts(), (QList<QKeySequence>{QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")}));
    QCOMPARE(w.CompareAB1->shortcut(), QKeySequence("Ctrl+B"));
    QCOMPARE(w.StoreB1->shortcut(), QKeySequence("Ctrl+Shift+B"));
    QCOMPARE(w.CompareAB1->toolTip(), QString("Compare A/B"));
    QVERIFY(!w.CompareAB1->statusTip().isEmpty() && !w.Undo1->statusTip().isEmpty());
    QCOMPARE(w.Panels[12]->accessibleName(), QString("Live curve"));
    // The frame's bar shows the window's Edit menu, with these items.
    QVERIFY(Frame().menuBar()->actions().contains(w.EditMenu->menuAction()));

    // Keys on a focused slider: Ctrl+Z reaches the Edit menu; the window's
    // own keys still work.
    TzkTrackBar* band = w.SliderOfSlot(17);
    Press(band, Qt::Key_Up);
    Press(band, Qt::Key_Up);
    QCOMPARE(w.Undo1->text(), QString("&Undo 1 kHz"));
    QVERIFY(w.Undo1->isEnabled());
    QTest::keyClick(band, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(band->Position(), 0);
    QVERIFY(!w.Undo1->isEnabled());
    QCOMPARE(w.Redo1->text(), QString("&Redo 1 kHz"));
    QTest::keyClick(band, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(band->Position(), 2);
    QTest::keyClick(band, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(band, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(band->Position(), 2);
    QCOMPARE(w.Doc.BandSteps[16], 2);
    QTest::keyClick(band, Qt::Key_Space);
    QVERIFY(w.Mute->isChecked());
    // After a redo, a move is a step of its own.
    QTest::keyClick(band, Qt::Key_Up);
    QCOMPARE(band->Position(), 3);
    QCOMPARE(w.History().Size(), size_t(2));

    // A locked preset: no undo, redo or swap; Store B only keeps a curve.
    w.StoreB1->trigger();
    QCOMPARE(w.Panels[12]->text(), QString("A live"));
    QVERIFY(w.CompareAB1->isEnabled());
    QTest::keyClick(band, Qt::Key_L);
    QVERIFY(w.Lock->isChecked());
    QVERIFY(!w.Undo1->isEnabled() && !w.CompareAB1->isEnabled());
    w.Undo1Click();
    w.CompareAB1Click();
    QCOMPARE(band->Position(), 3);
    QCOMPARE(w.Panels[12]->text(), QString("A live"));
    w.Lock->click();
    QVERIFY(w.Undo1->isEnabled() && w.CompareAB1->isEnabled());
    w.Bypass->click();
    QVERIFY(!w.Undo1->isEnabled());
    w.Bypass->click();

    // Not connected, nothing went out.
    QVERIFY(!Engine().Connected);
    QCOMPARE(Frames(), QString());
    QVERIFY(messages->shown.empty());
  }

  void aDragIsOneStepAndItsUndoReachesTheDevice() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connected(w));
    TzkTrackBar* bar = w.SliderOfSlot(17);  // 1 kHz
    bar->setFocus();
    const int x = bar->ThumbRect().center().x();
    int y = bar->ThumbRect().center().y();
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
    // Up a pixel at a time; each new level goes out, and the next move
    // waits until it is acknowledged.
    for (int value = 1; value <= 4; ++value) {
      while (bar->Position() < value && y > 0) {
        const QPointF at(x, --y);
        QMouseEvent move(QEvent::MouseMove, at, bar->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(bar, &move);
      }
      QTRY_VERIFY(!w.UpdatePending);
    }
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
    QCOMPARE(bar->Position(), 4);
    QCOMPARE(SettledFrames(), Update(17, 1) + " " + Update(17, 2) + " " + Update(17, 3) + " " +
                                  Update(17, 4));
    QCOMPARE(w.History().Size(), size_t(1));
    QCOMPARE(w.Undo1->text(), QString("&Undo 1 kHz"));

    // The whole drag comes back in one update.
    QTest::keyClick(bar, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(bar->Position(), 0);
    QCOMPARE(SettledFrames(), Update(17, 0));
    QCOMPARE(Level(DeviceBlock(1, 0), 17), uint8_t(26));
    QTest::keyClick(bar, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(SettledFrames(), Update(17, 4));
    QCOMPARE(Level(DeviceBlock(1, 0), 17), uint8_t(22));

    // After a pause of half a second the next key is a step of its own.
    QTest::qWait(600);
    QVERIFY(Raise(w, 17));
    QCOMPARE(w.History().Size(), size_t(2));
    Frames();
    w.Undo1->trigger();
    QCOMPARE(SettledFrames(), Update(17, 4));
    QVERIFY(messages->shown.empty());
  }

  void undoAndRedoOfTheGainAFilterAndAName() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connected(w));
    QVERIFY(Raise(w, 30, 2));  // one gesture
    Press(w.CBHighPass, Qt::Key_Down);
    QVERIFY(WaitIdle());
    w.CBPresetName->setFocus();
    w.CBPresetName->lineEdit()->selectAll();
    QTest::keyClicks(w.CBPresetName, "Choir");
    QTest::keyClick(w.CBPresetName, Qt::Key_Return);
    QVERIFY(WaitIdle());
    Frames();
    QCOMPARE(Name(DeviceBlock(1, 1)), std::string("CHOIR           "));
    QCOMPARE(w.Undo1->text(), QString("&Undo Preset Name"));

    // The name: read, patched and written back, as the edit itself went.
    w.Undo1->trigger();
    QCOMPARE(w.CBPresetName->currentText(), QString("PRESET 1"));
    QCOMPARE(w.CBPresetName->itemText(0), QString("PRESET 1"));
    const QString nameFrames = SettledFrames();
    QVERIFY2(nameFrames.startsWith(Recall(1) + " 1:81"), qPrintable(nameFrames));
    QCOMPARE(Transmits(nameFrames), 1);
    QCOMPARE(Name(DeviceBlock(1, 1)), std::string("PRESET 1        "));

    // The filter.
    QCOMPARE(w.Undo1->text(), QString("&Undo High Pass"));
    QCOMPARE(HighPass(DeviceBlock(1, 1)), uint8_t(1));
    w.Undo1->trigger();
    QCOMPARE(w.CBHighPass->currentIndex(), 0);
    QCOMPARE(w.Panels[7]->text(), QString("OUT"));
    const QString filterFrames = SettledFrames();
    QVERIFY2(filterFrames.startsWith(Recall(1) + " 1:81"), qPrintable(filterFrames));
    QCOMPARE(Transmits(filterFrames), 1);
    QCOMPARE(HighPass(DeviceBlock(1, 1)), uint8_t(0));

    QCOMPARE(w.Undo1->text(), QString("&Undo Gain"));
    w.Undo1->trigger();
    QCOMPARE(SettledFrames(), Update(30, 0));
    QVERIFY(!w.Undo1->isEnabled());

    // And forward again, each the way it came.
    w.Redo1->trigger();
    QCOMPARE(SettledFrames(), Update(30, 2));
    QCOMPARE(Level(DeviceBlock(1, 0), 30), uint8_t(24));
    w.Redo1->trigger();
    QCOMPARE(Transmits(SettledFrames()), 1);
    QCOMPARE(HighPass(DeviceBlock(1, 1)), uint8_t(1));
    w.Redo1->trigger();
    QCOMPARE(Transmits(SettledFrames()), 1);
    QCOMPARE(Name(DeviceBlock(1, 1)), std::string("CHOIR           "));
    QVERIFY(messages->shown.empty());
  }

  void undoAndRedoOfPasteClearAndAFile() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connected(w));
    QVERIFY(Raise(w, 5, 3));
    w.Copy1Click();
    QVERIFY(Raise(w, 9, 2));
    Frames();
    // Clear asks first; the recorder answers Yes.
    w.Clear1->trigger();
    QCOMPARE(Transmits(SettledFrames()), 1);
    w.Paste1->trigger();
    QCOMPARE(Transmits(SettledFrames()), 1);
    QCOMPARE(Level(DeviceBlock(1, 0), 5), uint8_t(23));
    QCOMPARE(Level(DeviceBlock(1, 0), 9), uint8_t(26));
    QCOMPARE(w.Undo1->text(), QString("&Undo Paste"));

    // Each whole-curve step comes back in one transmit.
    w.Undo1->trigger();
    QCOMPARE(SettledFrames().split(' ').size(), 1);
    QCOMPARE(Level(DeviceBlock(1, 0), 5), uint8_t(26));
    QCOMPARE(w.Undo1->text(), QString("&Undo Clear"));
    w.Undo1->trigger();
    QCOMPARE(Transmits(SettledFrames()), 1);
    QCOMPARE(Level(DeviceBlock(1, 0), 5), uint8_t(23));
    QCOMPARE(Level(DeviceBlock(1, 0), 9), uint8_t(24));
    QCOMPARE(w.SliderOfSlot(9)->Position(), 2);
    w.Redo1->trigger();
    QCOMPARE(Transmits(SettledFrames()), 1);
    QCOMPARE(Level(DeviceBlock(1, 0), 9), uint8_t(26));

    // A file loaded into the window; saving one leaves the history alone.
    TEqualizerDocument file;
    file.BandSteps[20] = -6;
    file.HighPassIndex = 3;
    file.LowPassIndex = 19;
    file.PresetName = "FILE";
    const std::string path = *dir / "file.V95";
    SavePresetFile(file, path, PresetFormat::Mac);
    QVERIFY(w.Open(QString::fromStdString(path), 1));
    QCOMPARE(Transmits(SettledFrames()), 1);
    QCOMPARE(Level(DeviceBlock(1, 0), 21), uint8_t(32));
    QCOMPARE(w.Undo1->text(), QString("&Undo Open"));
    w.RunSaveDialog = [this](const QString&) {
      return std::pair<QString, int>(QString::fromStdString(*dir / "saved.V95"), 1);
    };
    w.Save1Click();
    QCOMPARE(w.Undo1->text(), QString("&Undo Open"));
    w.Undo1->trigger();
    QCOMPARE(Transmits(SettledFrames()), 1);
    const Bytes undone = DeviceBlock(1, 0);
    QCOMPARE(Level(undone, 21), uint8_t(26));
    QCOMPARE(HighPass(undone), uint8_t(0));
    QCOMPARE(Level(undone, 5), uint8_t(26));  // Clear redone before the file
    w.Redo1->trigger();
    QCOMPARE(Transmits(SettledFrames()), 1);
    QCOMPARE(Level(DeviceBlock(1, 0), 21), uint8_t(32));
    QCOMPARE(w.CBPresetName->currentText(), QString("FILE"));
    for (const auto& shown : messages->shown) QVERIFY(shown.question);
  }

  void undoWhileATransferRunsWaitsAndThenSends() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connected(w));

    // During a filter's read-modify-write (a recall, then a transmit).
    Press(w.CBHighPass, Qt::Key_Down);
    QVERIFY(Engine().CommState != 0);
    w.Undo1->trigger();
    QCOMPARE(w.CBHighPass->currentIndex(), 0);
    const QString filter = SettledFrames();
    QCOMPARE(filter.count(Recall(1)), 2);
    QCOMPARE(Transmits(filter), 2);
    QCOMPARE(HighPass(DeviceBlock(1, 1)), uint8_t(0));

    // During a recall of the window's preset: the undo waits for its data
    // and then sends what the device lacks.
    QVERIFY(Raise(w, 5));
    QVERIFY(Raise(w, 9));
    Frames();
    w.SelectDevicePreset(1, 1);  // the device loads the window's preset again
    QVERIFY(w.RecallPending);
    w.Undo1->trigger();
    QCOMPARE(SettledFrames(), FrameWord(1, ReprogramFromMemoryFrame(1)) + " " + Recall(1) + " " +
                                  Update(5, 1));
    QCOMPARE(w.SliderOfSlot(5)->Position(), 1);
    QCOMPARE(w.SliderOfSlot(9)->Position(), 0);
    QCOMPARE(Level(DeviceBlock(1, 0), 5), uint8_t(25));
    QCOMPARE(Level(DeviceBlock(1, 0), 9), uint8_t(26));

    // Undos pressed faster than the line: none is lost, none is refused.
    QVERIFY(Raise(w, 12));
    QVERIFY(Raise(w, 14));
    QVERIFY(Raise(w, 16));
    Frames();
    TzkTrackBar* focused = w.SliderOfSlot(16);
    for (int i = 0; i < 4; ++i) QTest::keyClick(focused, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(!w.History().CanUndo());
    const QString quick = SettledFrames();
    // The first goes at once; the rest wait and go together.
    QVERIFY2(quick.startsWith(Update(16, 0) + " 1:81"), qPrintable(quick));
    QCOMPARE(quick.split(' ').size(), 2);
    const Bytes device = DeviceBlock(1, 0);
    for (int slot = 1; slot <= 30; ++slot)
      QCOMPARE(Level(device, slot), DeviceGainCode(w.SliderOfSlot(slot)->Position()));
    QVERIFY2(!Texts().contains("ERROR - Data Transfer In Progress"), qPrintable(Texts().join("; ")));
    QVERIFY(messages->shown.empty());
  }

  void failedUndoLeavesTheHistoryWhereTheDeviceIs() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(FilterOverAPaste(w));
    messages->shown.clear();

    // The preset was locked behind the window's back: the device refuses
    // the filter's write and keeps its filter; so does the history.
    Engine().LockPreset(1, 1, kDevicePassword);
    QVERIFY(WaitIdle());
    Frames();
    w.Undo1->trigger();
    QCOMPARE(w.CBHighPass->currentIndex(), 0);
    QVERIFY(WaitIdle());
    QCOMPARE(Texts(), (QStringList{"ComStat Error -4",
                                   "The device did not take the change.  The window shows what it "
                                   "runs, and undo goes on from there."}));
    QVERIFY(Frames().contains(Recall(0)));  // read again
    QCOMPARE(w.CBHighPass->currentIndex(), 1);
    QCOMPARE(w.Undo1->text(), QString("&Undo High Pass"));
    QCOMPARE(w.Redo1->text(), QString("&Redo"));
    QCOMPARE(w.Doc.Address, 1);
    QVERIFY(w.Lock->isChecked());  // as the device has it
    w.Lock->click();
    QVERIFY(WaitIdle());
    w.Undo1->trigger();  // unlocked, the filter's undo goes through
    QVERIFY(WaitIdle());
    QCOMPARE(HighPass(DeviceBlock(1, 1)), uint8_t(0));

    // A device that carries the change out but answers with an error: the
    // read shows the change made, and the history keeps it.
    messages->shown.clear();
    sim->Ok("fault 1 status 3");
    ClearFaultsWhenShown();
    w.Undo1->trigger();
    QVERIFY(WaitIdle());
    QCOMPARE(messages->shown.size(), size_t(2));
    QCOMPARE(w.SliderOfSlot(7)->Position(), 0);
    QCOMPARE(Level(DeviceBlock(1, 0), 7), uint8_t(26));
    QCOMPARE(w.Redo1->text(), QString("&Redo Paste"));
    QCOMPARE(w.Undo1->text(), QString("&Undo Clear"));

    // A device that stops answering: the window lets go of it, and the
    // history and the window go back to where the device was.
    messages->shown.clear();
    sim->Ok("fault 1 absent");
    w.Redo1->trigger();
    QCOMPARE(w.SliderOfSlot(7)->Position(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(w.Doc.Address, 0, 8000);
    QCOMPARE(Texts(), (QStringList{"ORB Not Found.", "The device did not take the change.  Undo goes "
                                                     "on from the curve it was last known to run."}));
    QCOMPARE(w.SliderOfSlot(7)->Position(), 0);
    QCOMPARE(w.Redo1->text(), QString("&Redo Paste"));
  }

  void aFailureReportedInAModalBoxIsStillAFailure() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(FilterOverAPaste(w));
    Engine().LockPreset(1, 1, kDevicePassword);
    QVERIFY(WaitIdle());
    messages->shown.clear();
    Frames();
    // The program's message boxes run the event loop while they are open,
    // and the engine tells the window of the failure only once its box is
    // closed: meanwhile the line is free, but the device took nothing.
    messages->whileShown = [](const RecordingOperatorMessages::Shown&) { QTest::qWait(150); };
    w.Undo1->trigger();
    QVERIFY(WaitIdle());
    messages->whileShown = nullptr;
    QCOMPARE(Texts(), (QStringList{"ComStat Error -4",
                                   "The device did not take the change.  The window shows what it "
                                   "runs, and undo goes on from there."}));
    QVERIFY(Frames().contains(Recall(0)));  // read again
    QCOMPARE(w.CBHighPass->currentIndex(), 1);
    QCOMPARE(w.Undo1->text(), QString("&Undo High Pass"));
    QCOMPARE(w.Redo1->text(), QString("&Redo"));
  }

  void aNewPresetOrAddressStartsANewHistory() {
    StartProgram("1,2");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connected(w));
    QVERIFY(Raise(w, 3));
    w.StoreB1->trigger();
    QVERIFY(Raise(w, 4));
    w.CompareAB1->trigger();
    QVERIFY(WaitIdle());
    QCOMPARE(w.Panels[12]->text(), QString("B live"));

    // Another preset: nothing to undo, from the choice on; B stays, and
    // the preset's curve is A.
    w.SEPresetNumber->setValue(2);
    QVERIFY(!w.Undo1->isEnabled());
    QVERIFY(WaitIdle());
    QVERIFY(!w.History().CanUndo() && !w.History().CanRedo());
    QCOMPARE(w.Panels[12]->text(), QString("A live"));
    QVERIFY(Raise(w, 6));
    QCOMPARE(w.Undo1->text(), QString("&Undo 80 Hz"));
    Frames();
    w.Undo1->trigger();
    QCOMPARE(SettledFrames(), Update(6, 0));

    QVERIFY(Raise(w, 6));
    ChooseAddress(w, 2);
    QVERIFY(WaitIdle());
    QVERIFY(!w.History().CanUndo());
    QCOMPARE(w.Doc.Address, 2);

    // Not connected: a preset change starts a new history too.
    ChooseAddress(w, 0);
    Press(w.SliderOfSlot(6), Qt::Key_Up);
    QVERIFY(w.Undo1->isEnabled());
    w.SEPresetNumber->setValue(3);
    QVERIFY(!w.Undo1->isEnabled());
    QVERIFY(messages->shown.empty());
  }

  void abSwapsReachTheDevice() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connected(w));
    QVERIFY(Raise(w, 5, 2));
    QTest::keyClick(w.SliderOfSlot(5), Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);  // Store B
    QCOMPARE(w.Panels[12]->text(), QString("A live"));
    w.SliderOfSlot(5)->SetPosition(-2);
    QVERIFY(WaitIdle());
    QVERIFY(Raise(w, 20));
    Frames();

    // Each swap is one transmit, and the device runs the curve shown.
    QTest::keyClick(w.SliderOfSlot(20), Qt::Key_B, Qt::ControlModifier);
    QCOMPARE(w.Panels[12]->text(), QString("B live"));
    QVERIFY(!w.StoreB1->isEnabled());
    QString frames = SettledFrames();
    QCOMPARE(frames.split(' ').size(), 1);
    QCOMPARE(Transmits(frames), 1);
    QCOMPARE(Level(DeviceBlock(1, 0), 5), uint8_t(24));
    QCOMPARE(Level(DeviceBlock(1, 0), 20), uint8_t(26));
    QCOMPARE(w.SliderOfSlot(5)->Position(), 2);

    QTest::keyClick(w.SliderOfSlot(20), Qt::Key_B, Qt::ControlModifier);
    QCOMPARE(w.Panels[12]->text(), QString("A live"));
    frames = SettledFrames();
    QCOMPARE(frames.split(' ').size(), 1);
    QCOMPARE(Level(DeviceBlock(1, 0), 5), uint8_t(28));
    QCOMPARE(Level(DeviceBlock(1, 0), 20), uint8_t(25));

    // A swap is an undo step: undone, B is live again.
    QCOMPARE(w.Undo1->text(), QString("&Undo Compare A/B"));
    w.Undo1->trigger();
    QCOMPARE(w.Panels[12]->text(), QString("B live"));
    frames = SettledFrames();
    QCOMPARE(frames.split(' ').size(), 1);
    QCOMPARE(Transmits(frames), 1);
    QCOMPARE(Level(DeviceBlock(1, 0), 5), uint8_t(24));
    QCOMPARE(Level(DeviceBlock(1, 0), 20), uint8_t(26));

    // Flipped faster than the line: the device ends on the curve shown.
    for (int i = 0; i < 3; ++i) w.CompareAB1->trigger();
    QCOMPARE(w.Panels[12]->text(), QString("A live"));
    frames = SettledFrames();
    QVERIFY(Transmits(frames) >= 1 && Transmits(frames) <= 3);
    QCOMPARE(Level(DeviceBlock(1, 0), 5), uint8_t(28));
    QCOMPARE(Level(DeviceBlock(1, 0), 20), uint8_t(25));
    QVERIFY(messages->shown.empty());
  }

 private:
  void ClearFaultsWhenShown() {
    messages->whileShown = [this](const RecordingOperatorMessages::Shown&) { sim->Ok("fault clear"); };
  }
};

int main(int argc, char** argv) {
  InstallTrackBarAccessibility();
  TApplication app(argc, argv);
  ApplicationHint::Install(app);
  QLocale::setDefault(QLocale::c());
  WindowUndoTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "window_undo_test.moc"
