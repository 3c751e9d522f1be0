// Preset files, the copy buffer and Clear in real equalizer windows against
// orbsim: what the devices store afterwards and what the windows show.
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QLineEdit>
#include <QSpinBox>
#include <QToolButton>
#include <QTest>

#include "eq/PresetFiles.h"
#include "eq/PresetFormats.h"
#include "tests/eqwindow/WindowEditTests.h"
#include "tests/eqwindow/WindowFixture.h"

using namespace pa422;

namespace {
// A device's stored level byte of a band (30: the gain).
uint8_t LevelByte(const Bytes& block, int slot) { return uint8_t(block[all_data::kFirstBand - 1 + slot - 1]); }
}  // namespace

class WindowFilesTest : public QObject, public WindowFixture {
  Q_OBJECT

  // The frame's Open command with the operator's answers: Yes to the
  // overwrite question, then this file and filter in the open dialog.
  void OpenThroughFrame(const std::string& path, int filterIndex) {
    messages->answers = {true};
    Frame().RunOpenDialog = [path, filterIndex] {
      return std::pair<QString, int>(QString::fromStdString(path), filterIndex);
    };
    Frame().FileOpenItemClick();
  }

  // The same through the real file dialog: the operator picks the filter
  // and types the file's name.
  void OpenThroughRealDialog(const std::string& path, int filterIndex) {
    messages->answers = {true};
    Frame().RunOpenDialog = nullptr;
    bool seen = false;
    OnNextModal([&seen, path, filterIndex](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      if (!dialog) return;
      seen = true;
      (void)QTest::qWaitForWindowExposed(dialog);
      QTest::qWait(50);  // the dialog settles: its folder loads
      auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
      types->setCurrentIndex(filterIndex - 1);
      emit types->activated(filterIndex - 1);
      auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
      name->clear();
      QTest::keyClicks(name, QString::fromStdString(path));
      // The button, not Return, which the name's completion list may take.
      dialog->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Open)->click();
      if (dialog->isVisible()) dialog->reject();  // did not take the name: fail, not hang
    });
    Frame().FileOpenItemClick();
    QVERIFY(seen);
  }

  // The window on device 1 with band 3 at +4 steps, the line quiet since.
  bool ConnectWithBand3Raised(TMDIChild& w) {
    if (!Connect(w, 1)) return false;
    w.SliderOfSlot(3)->SetPosition(4);
    const bool idle = WaitIdle();
    Frames();
    return idle;
  }

  static TEqualizerDocument Curve() {
    TEqualizerDocument doc;
    doc.BandSteps[0] = 3;
    doc.BandSteps[14] = -7;
    doc.BandSteps[28] = 12;
    doc.GainSteps = -5;
    doc.HighPassIndex = 4;
    doc.LowPassIndex = 17;
    doc.PresetName = "FILE CURVE";
    return doc;
  }

 private slots:
  void initTestCase() { SetUpTestCase(); }
  void init() { SetUp(); }
  void cleanup() { TearDown(); }

  void macFileBeyondTheRangeWidensTheSliders() {
    StartProgram("1");
    Options().SliderRange = 12;  // +/-6 dB
    TMDIChild& w = *NewWindow();
    QVERIFY(Connect(w, 1));
    Frames();
    std::string mac = BuildMacPreset(Curve());
    mac[2 + 5] = 6;  // band 6 at +20 steps: beyond the range of 12
    const std::string path = *dir / "loud.vrl";
    WriteText(path, mac);

    OpenThroughFrame(path, 1);
    QCOMPARE(messages->shown.size(), size_t(2));
    QCOMPARE(messages->shown[0].caption, std::string("Open File Warning"));
    QCOMPARE(messages->shown[1].caption, std::string("Slider Range Error"));
    QCOMPARE(messages->shown[1].icon, MessageIcon::Warning);
    QCOMPARE(Options().SliderRange, 20);
    QCOMPARE(w.SliderOfSlot(6)->Max(), 20);
    QCOMPARE(w.SliderOfSlot(6)->Position(), 20);
    QCOMPARE(w.SliderOfSlot(15)->Position(), -7);
    QCOMPARE(w.CBLowPass->currentIndex(), 17);
    QCOMPARE(w.CBPresetName->currentText(), QString("FILE CURVE"));
    QCOMPARE(w.windowTitle(), QString("loud.vrl"));

    // The file went out as stored, and the device took it.
    QVERIFY(WaitIdle());
    QVERIFY(Frames().startsWith(FrameWord(1, TransmitAllDataFrame(ParseMacPreset(mac).Payload(1)))));
    QCOMPARE(messages->shown.size(), size_t(2));
    QCOMPARE(LevelByte(DeviceBlock(1, 1), 6), uint8_t(6));
  }

  void theRealOpenDialogReadsEachFormat() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connect(w, 1));
    TEqualizerDocument curve = Curve();
    const std::string mac = BuildMacPreset(curve), equ = BuildEquPreset(curve);
    // Each filter, and "All Files" deciding by what the file is: a curve
    // read in the wrong format would put band 15 elsewhere than -7.
    const struct {
      const char* name;
      const std::string& bytes;
      int filter;
    } files[] = {{"curve.V95", mac, 1}, {"OLD.EQU", equ, 2}, {"curve.bin", mac, 3},
                 {"legacy.dat", equ, 3}};
    int band = 0;
    for (const auto& f : files) {
      // A different curve each time, so each arrival is seen.
      w.SliderOfSlot(15)->SetPosition(++band);
      QVERIFY(WaitIdle());
      WriteText(*dir / f.name, f.bytes);
      OpenThroughRealDialog(*dir / f.name, f.filter);
      QCOMPARE(w.SliderOfSlot(15)->Position(), -7);
      QCOMPARE(w.SliderOfSlot(1)->Position(), 3);
      QCOMPARE(w.windowTitle(), QString(f.name));
      QVERIFY(WaitIdle());
      QCOMPARE(LevelByte(DeviceBlock(1, 1), 15), uint8_t(33));
    }
    QCOMPARE(messages->shown.size(), size_t(4));  // the four overwrite questions
  }

  void valuesTheDeviceRefusesAreNeitherShownNorSent() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(ConnectWithBand3Raised(w));
    const QString caption = w.windowTitle();
    // An .equ file with level bytes of 0xFF (-231 steps); a Mac file with
    // level byte 0 (+26 steps); filters beyond the device's 21.
    std::string equ = BuildEquPreset(Curve());
    equ[5] = char(0xFF);
    std::string mac = BuildMacPreset(Curve());
    mac[2] = 0;
    std::string filters = BuildEquPreset(Curve());
    filters[99] = char(255);
    filters[98] = 99;
    const struct {
      const char* name;
      std::string bytes;
      int filter;
      const char* value;
    } files[] = {{"hot.equ", equ, 2, "band 5 (63 Hz) holds level byte 255"},
                 {"loud.V95", mac, 1, "band 1 (25 Hz) holds level byte 0"},
                 {"filters.equ", filters, 2, "high-pass filter index 255"}};
    size_t shown = 0;
    for (const auto& f : files) {
      WriteText(*dir / f.name, f.bytes);
      OpenThroughFrame(*dir / f.name, f.filter);
      shown += 2;  // the overwrite question, then the refusal
      QCOMPARE(messages->shown.size(), shown);
      const std::string& text = messages->shown.back().text;
      QCOMPARE(messages->shown.back().caption, std::string("Open File Error"));
      QVERIFY2(text.find(f.name) != std::string::npos, text.c_str());
      QVERIFY2(text.find(f.value) != std::string::npos, text.c_str());
      // The window keeps its curve, range and caption; nothing is sent.
      QCOMPARE(w.SliderOfSlot(3)->Position(), 4);
      QCOMPARE(w.SliderOfSlot(1)->Position(), 0);
      QCOMPARE(Options().SliderRange, 24);
      QCOMPARE(w.windowTitle(), caption);
      QCOMPARE(SettledFrames(), QString());
    }
  }

  void macFileIntoALockedPresetUnlocksItFirst() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connect(w, 1));
    w.Lock->click();
    QVERIFY(WaitIdle());
    QVERIFY(!w.Paste1->isEnabled());
    Frames();
    const std::string path = *dir / "open.v95";
    WriteText(path, BuildMacPreset(Curve()));  // lock byte 0

    OpenThroughFrame(path, 1);
    QVERIFY(!w.Lock->isChecked());
    QVERIFY(w.Paste1->isEnabled());
    QVERIFY(WaitIdle());
    // The unlock goes first, then the curve, which the device now takes.
    const QString frames = Frames();
    QVERIFY2(frames.startsWith(FrameWord(1, UnlockPresetFrame(1, kDevicePassword))), qPrintable(frames));
    QVERIFY2(frames.contains(" 1:81"), qPrintable(frames));
    const Bytes stored = DeviceBlock(1, 1);
    QCOMPARE(uint8_t(stored[all_data::kLock - 1]), uint8_t(0));
    QCOMPARE(LevelByte(stored, 1), uint8_t(23));
    QCOMPARE(messages->shown.size(), size_t(1));  // only the overwrite question
  }

  void equFileReachesTheDevice() {
    StartProgram("1,2");
    TMDIChild& w = *NewWindow();
    QVERIFY(Connect(w, 2));
    w.SEPresetNumber->setValue(5);
    QVERIFY(WaitIdle());
    Frames();
    const std::string path = *dir / "old.equ";
    WriteText(path, BuildEquPreset(Curve()));

    OpenThroughFrame(path, 2);
    QCOMPARE(w.SliderOfSlot(1)->Position(), 3);
    QCOMPARE(w.SliderOfSlot(29)->Position(), 12);
    QVERIFY(WaitIdle());
    QVERIFY(Frames().startsWith("2:81"));
    const Bytes stored = DeviceBlock(2, 5);
    QCOMPARE(LevelByte(stored, 1), uint8_t(23));
    QCOMPARE(LevelByte(stored, 29), uint8_t(14));
    QCOMPARE(uint8_t(stored[all_data::kHighPass - 1]), uint8_t(4));
    // Device 1 and the other presets are untouched.
    QCOMPARE(LevelByte(DeviceBlock(2, 1), 1), uint8_t(26));
    QCOMPARE(LevelByte(DeviceBlock(1, 5), 1), uint8_t(26));
  }

  void savedFilesOpenAsTheSameCurve() {
    StartProgram("1");
    TMDIChild& source = *NewWindow();
    source.Doc = Curve();
    source.ShowDocument();
    for (int filter : {1, 2}) {
      const std::string path = *dir / (filter == 1 ? "curve.V95" : "curve.equ");
      QString suggested;
      source.RunSaveDialog = [&](const QString& name) {
        suggested = name;
        return std::pair<QString, int>(QString::fromStdString(path), filter);
      };
      source.Save1Click();
      QCOMPARE(suggested, QString("FILE CURVE"));
      QCOMPARE(ReadText(path).size(), filter == 1 ? kMacFileSize : kEquFileSize);

      TMDIChild& reader = *NewWindow();
      reader.Open(QString::fromStdString(path), filter);
      for (int slot = 1; slot <= 30; ++slot)
        QCOMPARE(reader.SliderOfSlot(slot)->Position(), source.SliderOfSlot(slot)->Position());
      QCOMPARE(reader.CBHighPass->currentIndex(), 4);
      QCOMPARE(reader.CBLowPass->currentIndex(), 17);
      // The .equ name keeps its 16 characters.
      QCOMPARE(reader.CBPresetName->currentText().trimmed(), QString("FILE CURVE"));
    }
    // Unconnected windows send nothing.
    QCOMPARE(SettledFrames(), QString());
    QVERIFY(messages->shown.empty());
  }

  void filesThatFailAreReportedAndTheCurveStays() {
    StartProgram("1");
    TMDIChild& w = *NewWindow();
    QVERIFY(ConnectWithBand3Raised(w));

    const std::string missing = *dir / "missing.vrl";
    w.Open(QString::fromStdString(missing), 1);
    QCOMPARE(messages->shown.size(), size_t(1));
    QCOMPARE(messages->shown[0].caption, std::string("Open File Error"));
    QVERIFY(messages->shown[0].text.find("missing.vrl") != std::string::npos);
    const std::string shortFile = *dir / "short.equ";
    WriteText(shortFile, std::string(40, ' '));
    w.Open(QString::fromStdString(shortFile), 2);
    QCOMPARE(messages->shown.size(), size_t(2));
    QVERIFY(messages->shown[1].text.find("short.equ") != std::string::npos);
    QCOMPARE(w.SliderOfSlot(3)->Position(), 4);
    QCOMPARE(SettledFrames(), QString());

    const std::string noFolder = *dir / "no-such-folder/x.V95";
    w.RunSaveDialog = [&](const QString&) {
      return std::pair<QString, int>(QString::fromStdString(noFolder), 1);
    };
    w.Save1Click();
    QCOMPARE(messages->shown.size(), size_t(3));
    QCOMPARE(messages->shown[2].caption, std::string("Save File Error"));
    QVERIFY(messages->shown[2].text.find("x.V95") != std::string::npos);
    // Cancel writes nothing and says nothing.
    w.RunSaveDialog = [](const QString&) { return std::pair<QString, int>(); };
    w.Save1Click();
    QCOMPARE(messages->shown.size(), size_t(3));
  }

  void copyFromOneDevicePastesIntoAnother() {
    StartProgram("1,2");
    QVERIFY(SeedDevice(1, 1, Curve()));
    TMDIChild& from = *NewWindow();
    QVERIFY(Connect(from, 1));
    TMDIChild& to = *NewWindow();
    QVERIFY(Connect(to, 2));

    Activate(from);
    QVERIFY(WaitIdle());
    Frame().CopyBtnClick();
    QVERIFY(Frame().PasteBtn->isEnabled());
    Activate(to);
    QVERIFY(WaitIdle());
    Frames();
    // By default only the 29 bands go across.
    Frame().PasteBtnClick();
    QVERIFY(WaitIdle());
    QVERIFY(Frames().startsWith("2:81"));
    Bytes stored = DeviceBlock(2, 1);
    QCOMPARE(LevelByte(stored, 1), uint8_t(23));
    QCOMPARE(LevelByte(stored, 15), uint8_t(33));
    QCOMPARE(LevelByte(stored, 30), uint8_t(26));
    QCOMPARE(stored.substr(all_data::kPresetName - 1, 16), Name16("PRESET 1"));

    Options().CopyHPLP = Options().CopyPresetName = Options().CopyMasterGain = true;
    Frame().PasteBtnClick();
    QVERIFY(WaitIdle());
    stored = DeviceBlock(2, 1);
    QCOMPARE(LevelByte(stored, 30), uint8_t(31));
    QCOMPARE(uint8_t(stored[all_data::kHighPass - 1]), uint8_t(4));
    QCOMPARE(stored.substr(all_data::kPresetName - 1, 16), Name16("FILE CURVE"));
    QCOMPARE(to.CBPresetName->currentText(), QString("FILE CURVE"));
    // The source device is unchanged.
    QCOMPARE(LevelByte(DeviceBlock(1, 1), 30), uint8_t(31));
    QVERIFY(messages->shown.empty());
  }

  void clearAsksAndFlattensOnlyOnYes() {
    StartProgram("1");
    QVERIFY(SeedDevice(1, 2, Curve()));
    TMDIChild& w = *NewWindow();
    QVERIFY(Connect(w, 1));
    Frames();

    messages->answers = {false};
    Frame().SBFlatBtnClick();
    QCOMPARE(messages->shown.size(), size_t(1));
    QCOMPARE(messages->shown[0].caption, std::string("Open File Warning"));
    QVERIFY(messages->shown[0].question);
    QCOMPARE(w.SliderOfSlot(1)->Position(), 3);
    QCOMPARE(SettledFrames(), QString());

    messages->answers = {true};
    w.Clear1->trigger();
    QCOMPARE(messages->shown.size(), size_t(2));
    for (int slot = 1; slot <= 30; ++slot) QCOMPARE(w.SliderOfSlot(slot)->Position(), 0);
    QVERIFY(WaitIdle());
    QVERIFY(Frames().startsWith("1:81"));
    const Bytes stored = DeviceBlock(1, 2);
    for (int slot = 1; slot <= 30; ++slot) QCOMPARE(LevelByte(stored, slot), uint8_t(26));
    // Both filters out; the name stays.
    QCOMPARE(uint8_t(stored[all_data::kHighPass - 1]), uint8_t(kHighPassOut));
    QCOMPARE(uint8_t(stored[all_data::kLowPass - 1]), uint8_t(kLowPassOut));
    QCOMPARE(w.CBLowPass->currentText(), QString("OUT"));
    QCOMPARE(stored.substr(all_data::kPresetName - 1, 16), Name16("FILE CURVE"));
  }
};

int RunWindowFilesTests(int argc, char** argv) {
  WindowFilesTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "window_files_test.moc"
