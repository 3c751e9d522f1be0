// What a device holds after the operator's changes: filters, names, their
// undo and redo, and switching between windows leave the device playing
// what the window shows, with devices of both kinds (those that keep moves
// in their working settings until a transmit stores them, and those that
// store every move in the current preset). Trying a curve (undo of a whole
// curve, an A/B swap) never rewrites a stored preset.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QToolButton>

#include "controls/TzkTrackBarAccessible.h"
#include "eq/PresetFiles.h"
#include "eq/PresetFormats.h"
#include "tests/eqwindow/WindowFixture.h"

using namespace pa422;

class WindowDeviceTest : public QObject, public WindowFixture {
  Q_OBJECT

  static void Press(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    w->setFocus();
    QTest::keyClick(w, key, mods);
  }
  bool Move(TMDIChild& w, int slot, Qt::Key key, int steps) {
    for (int i = 0; i < steps; ++i) {
      Press(w.SliderOfSlot(slot), key);
      if (!WaitIdle()) return false;
    }
    return true;
  }
  // The part of a device's preset block a window shows: 30 levels, the two
  // filters and the preset name.
  static Bytes Curve(const Bytes& block) {
    return block.substr(0, 30) + block.substr(all_data::kHighPass - 1, 2) +
           block.substr(all_data::kPresetName - 1, kNameLength);
  }
  static Bytes Curve(const TMDIChild& w) {
    Bytes curve;
    for (int slot = 1; slot <= kSliderCount; ++slot) curve += char(DeviceGainCode(w.Doc.SliderSteps(slot)));
    curve += char(w.Doc.HighPassIndex);
    curve += char(w.Doc.LowPassIndex);
    return curve + Name16(w.Doc.PresetNames[w.Doc.CurrentPreset - 1]);
  }
  // What plays on the device: its working settings.
  Bytes Playing(int address) { return Curve(DeviceBlock(address, 0)); }
  Bytes Stored(int address, int preset) { return Curve(DeviceBlock(address, preset)); }
  void StartWith(const std::string& devices) {
    QFETCH(bool, storeMoves);
    if (storeMoves) simOptions = {"--store-moves"};
    StartProgram(devices);
  }
  static void BothKinds() {
    QTest::addColumn<bool>("storeMoves");
    QTest::newRow("moves in the working settings") << false;
    QTest::newRow("moves stored") << true;
  }

 private slots:
  void initTestCase() { SetUpTestCase(); }
  void init() { SetUp(); }
  void cleanup() { TearDown(); }

  void filterAndNameChangesKeepTheMoves_data() { BothKinds(); }
  void filterAndNameChangesKeepTheMoves() {
    StartWith("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connect(w, 1));
    QVERIFY(Move(w, 17, Qt::Key_Up, 3));    // 1 kHz
    QVERIFY(Move(w, 7, Qt::Key_Down, 2));   // 100 Hz
    QVERIFY(Move(w, 26, Qt::Key_Up, 2));    // 8 kHz
    Frames();

    // A filter: its read-modify-write stores the window's bands with it.
    Press(w.CBHighPass, Qt::Key_Down);
    QVERIFY(WaitIdle());
    QCOMPARE(w.Doc.HighPassIndex, 1);
    QCOMPARE(Playing(1), Curve(w));
    QCOMPARE(Stored(1, 1), Curve(w));

    // A name: the same.
    QVERIFY(Move(w, 17, Qt::Key_Up, 1));
    w.CBPresetName->setFocus();
    w.CBPresetName->lineEdit()->selectAll();
    QTest::keyClicks(w.CBPresetName, "Stage");
    QTest::keyClick(w.CBPresetName, Qt::Key_Return);
    QVERIFY(WaitIdle());
    QCOMPARE(Playing(1), Curve(w));
    QCOMPARE(Stored(1, 1), Curve(w));

    // With nothing typed since, Ctrl+Z in the name box undoes the rename,
    // as the Edit menu's item does, and Ctrl+Y redoes it.
    QCOMPARE(w.Undo1->text(), QString("&Undo Preset Name"));
    QTest::keyClick(w.CBPresetName, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(WaitIdle());
    QCOMPARE(w.CBPresetName->currentText(), QString("PRESET 1"));
    QCOMPARE(Stored(1, 1), Curve(w));
    QTest::keyClick(w.CBPresetName, Qt::Key_Y, Qt::ControlModifier);
    QVERIFY(WaitIdle());
    QCOMPARE(w.CBPresetName->currentText(), QString("Stage"));
    QCOMPARE(Stored(1, 1), Curve(w));

    // Undo and redo of the filter, with a move made between.
    QVERIFY(Move(w, 26, Qt::Key_Down, 1));
    w.Undo1->trigger();  // 8 kHz
    w.Undo1->trigger();  // Preset Name
    w.Undo1->trigger();  // 1 kHz
    w.Undo1->trigger();  // High Pass
    QVERIFY(WaitIdle());
    QCOMPARE(w.Doc.HighPassIndex, 0);
    QCOMPARE(Playing(1), Curve(w));
    QVERIFY(Move(w, 7, Qt::Key_Down, 1));  // a new step ends the redo
    w.Undo1->trigger();
    w.Redo1->trigger();
    QVERIFY(WaitIdle());
    QCOMPARE(Playing(1), Curve(w));
    QVERIFY(messages->shown.empty());
  }

  void switchingWindowsLosesNothing_data() { BothKinds(); }
  void switchingWindowsLosesNothing() {
    StartWith("1,2");
    TMDIChild& a = *NewWindow();
    QVERIFY(Connect(a, 1));
    TMDIChild& b = *NewWindow();
    QVERIFY(Connect(b, 2));
    Activate(a);
    QVERIFY(Move(a, 14, Qt::Key_Down, 4));  // 500 Hz
    Frames();

    // Looking at another device's window and back changes no device.
    Activate(b);
    Activate(a);
    QCOMPARE(SettledFrames(), QString());
    QCOMPARE(a.SliderOfSlot(14)->Position(), -4);
    QCOMPARE(a.Undo1->text(), QString("&Undo 500 Hz"));
    QCOMPARE(Playing(1), Curve(a));

    // A second window of device 1 runs preset 2: back in the first window,
    // the device runs its preset 1 again, with the window's moves.
    TMDIChild& c = *NewWindow();
    QVERIFY(Connect(c, 1));
    c.SEPresetNumber->setValue(2);
    QVERIFY(WaitIdle());
    QVERIFY(Move(c, 3, Qt::Key_Up, 2));
    Frames();
    Activate(a);
    QCOMPARE(SettledFrames(),
             FrameWord(1, ReprogramFromMemoryFrame(1)) + " " +
                 FrameWord(1, TransmitAllDataFrame(CopyVarloDataToORB(a.Doc, 0))));
    QCOMPARE(Playing(1), Curve(a));
    QCOMPARE(a.SliderOfSlot(14)->Position(), -4);
    Activate(c);
    QVERIFY(WaitIdle());
    QCOMPARE(Playing(1), Curve(c));
    QCOMPARE(Pos(DeviceBlock(1, 0), all_data::kPreset), 2);
    Frames();
    Activate(b);
    QCOMPARE(SettledFrames(), QString());
    QVERIFY(messages->shown.empty());
  }

  // Trying curves (an A/B swap, undo of a paste) leaves the stored preset
  // as it was; Paste and Clear store theirs.
  void tryingACurveLeavesTheStoredPresetAlone() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connect(w, 1));
    w.StoreB1->trigger();
    QVERIFY(Move(w, 10, Qt::Key_Up, 2));
    const Bytes stored = Stored(1, 1);
    w.CompareAB1->trigger();
    QVERIFY(WaitIdle());
    QCOMPARE(Playing(1), Curve(w));
    QCOMPARE(Stored(1, 1), stored);
    w.CompareAB1->trigger();  // A again, with its move
    QVERIFY(WaitIdle());
    QCOMPARE(Playing(1), Curve(w));
    QCOMPARE(Stored(1, 1), stored);

    w.Copy1Click();
    w.Clear1->trigger();
    QVERIFY(WaitIdle());
    QCOMPARE(Stored(1, 1), Curve(w));
    const Bytes cleared = Curve(w);
    w.Paste1->trigger();
    QVERIFY(WaitIdle());
    const Bytes pasted = Stored(1, 1);
    QCOMPARE(pasted, Curve(w));
    w.Undo1->trigger();  // the paste
    QVERIFY(WaitIdle());
    QCOMPARE(Curve(w), cleared);
    QCOMPARE(Playing(1), Curve(w));
    QCOMPARE(Stored(1, 1), pasted);
  }

  // The caption names what the window shows: an undone Open takes the
  // file's name back, a redo brings it again.
  void undoOfAnOpenRestoresTheCaption() {
    StartProgram("none");
    TMDIChild& w = *NewWindow();
    TEqualizerDocument doc;
    doc.BandSteps[4] = 6;
    const std::string path = *dir / "hall.V95";
    SavePresetFile(doc, path, PresetFormat::Mac);
    messages->answers = {true};
    Frame().RunOpenDialog = [path] { return std::pair<QString, int>(QString::fromStdString(path), 1); };
    Frame().FileOpenItemClick();
    QCOMPARE(w.windowTitle(), QString("hall.V95"));
    w.Undo1->trigger();
    QCOMPARE(w.windowTitle(), QString("NONAME1"));
    QCOMPARE(w.SliderOfSlot(5)->Position(), 0);
    w.Redo1->trigger();
    QCOMPARE(w.windowTitle(), QString("hall.V95"));
    Frame().RunOpenDialog = nullptr;
  }

  // Clear is offered only while the preset takes a curve, in the Edit menu
  // and on the tool bar.
  void clearFollowsTheLock() {
    StartProgram("none");
    TMDIChild& w = *NewWindow();
    auto* button = Frame().findChild<QToolButton*>("SBFlatBtn");
    QVERIFY(button && button->isEnabled() && w.Clear1->isEnabled());
    Press(w.SliderOfSlot(1), Qt::Key_L);
    QVERIFY(w.Lock->isChecked());
    QVERIFY(!w.Clear1->isEnabled() && !button->isEnabled());
    Press(w.SliderOfSlot(1), Qt::Key_L);
    QVERIFY(w.Clear1->isEnabled() && button->isEnabled());
    w.Bypass->click();
    QVERIFY(!w.Clear1->isEnabled() && !button->isEnabled());
  }

 private:
  static uint8_t Pos(const Bytes& block, int position) { return uint8_t(block[position - 1]); }
};

int main(int argc, char** argv) {
  InstallTrackBarAccessibility();
  TApplication app(argc, argv);
  ApplicationHint::Install(app);
  WindowDeviceTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "window_device_test.moc"
