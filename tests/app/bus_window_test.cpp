// The Bus window in the program against orbsim: a scan through the real
// Scan Bus dialog fills a row per device (online, or the engine's error),
// keeps them in the settings file for the next start, and a row opens its
// device's equalizer window once. Snapshots: captured through the real
// dialog, compared (a verdict per row, the differences on demand),
// recalled once confirmed (the device's open window reads it again), and a
// later change in the window is shown. Windows follow what the Bus window
// writes, with devices of both kinds. The table shows what the program
// knows of each unit, whoever asked it, and keeps it when the window closes.
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <filesystem>

#include "app/BusWindow.h"
#include "app/ScanBusDlg.h"
#include "app/SnapshotOptionsDlg.h"
#include "controls/StatusPanelAccessible.h"
#include "controls/TzkTrackBarAccessible.h"
#include "eq/SnapshotFile.h"
#include "tests/eqwindow/WindowFixture.h"

class BusWindowTest : public QObject, public WindowFixture {
  Q_OBJECT

  QString Cell(BusWindow& bus, int address, int column) {
    const int row = bus.RowOf(address);
    return row < 0 ? QString("no row") : bus.Table->item(row, column)->text();
  }

 private slots:
  void initTestCase() { SetUpTestCase(); }
  void init() { SetUp(); }
  void cleanup() { TearDown(); }

  void scanFillsTheTableKeepsItAndOpensWindows() {
    StartProgram("1,3");
    sim->Ok("fault 3 status 5");
    Frame().WindowBusItem->trigger();
    BusWindow* bus = Frame().Bus();
    QVERIFY(bus);
    QCOMPARE(bus->Table->rowCount(), 0);
    OnNextModal([](QWidget* modal) {
      auto* dialog = qobject_cast<TScanBusDlg*>(modal);
      QVERIFY(dialog && dialog->SEFrom->value() == 1 && dialog->SETo->value() == 240);
      QVERIFY(dialog->CostLabel->text().contains("8 min"));
      dialog->SETo->setValue(3);
      QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    });
    bus->ScanBtn->click();
    QVERIFY(bus->StopBtn->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!bus->Scan().Running(), 15000);
    // Address 2 is absent and gets no row.
    QCOMPARE(bus->Table->rowCount(), 2);
    QCOMPARE(Cell(*bus, 1, BusWindow::StateColumn), QString("online"));
    QCOMPARE(Cell(*bus, 1, BusWindow::PresetColumn), QString("1"));
    QVERIFY(Cell(*bus, 3, BusWindow::StateColumn).startsWith("error: "));
    QVERIFY2(bus->StatusLabel->text().contains("1 found"), qPrintable(bus->StatusLabel->text()));
    QVERIFY(ReadText(*dir / "Varlo95.ini").find("[Bus]\nDevice 1=") != std::string::npos);

    // A backup of both rows: the device that answers with an error is
    // named, the other's set is written in its own subfolder.
    const std::string folder = *dir / "backups";
    bus->RunFolderDialog = [&folder] { return QString::fromStdString(folder); };
    QVERIFY(!bus->BackUpBtn->isEnabled());
    bus->Table->selectAll();
    bus->BackUpBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(!bus->Backup().Running(), 15000);
    // Screen readers read the status line itself (its name), as it changes.
    QCOMPARE(QAccessible::queryAccessibleInterface(bus->StatusLabel)->text(QAccessible::Name),
             bus->StatusLabel->text());
    QVERIFY(std::filesystem::exists(folder + "/addr-001/manifest.json"));
    QVERIFY(std::filesystem::exists(folder + "/addr-001/preset-8.V95"));
    QVERIFY(!std::filesystem::exists(folder + "/addr-003"));
    QCOMPARE(messages->shown.back().caption, std::string("Back Up Error"));
    QVERIFY(messages->shown.back().text.find("address 3: reading preset 1") != std::string::npos);
    // One row compared with the whole bus's backup, its own set: the same,
    // then a band that moved since.
    bus->Table->clearSelection();
    bus->Table->selectRow(bus->RowOf(1));
    bus->CompareBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(!bus->Backup().Running(), 15000);
    QCOMPARE(messages->shown.back().caption, std::string("Compare with Backup"));
    QVERIFY2(messages->shown.back().text.find("address 1: no differences") != std::string::npos,
             messages->shown.back().text.c_str());
    TEqualizerDocument moved;
    moved.BandSteps[7] = 6;
    moved.PresetName = "MOVED";
    QVERIFY(SeedDevice(1, 2, moved));
    bus->CompareBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(!bus->Backup().Running(), 15000);
    const std::string& said = messages->shown.back().text;
    QVERIFY2(said.find("preset 2: band 8 (125 Hz) backup 0.0 dB, device +3.0 dB") != std::string::npos, said.c_str());
    QVERIFY2(said.find("preset 2: name backup \"") != std::string::npos && said.find("device \"MOVED\"") != std::string::npos,
             said.c_str());

    // Restored once confirmed: No sends nothing; Yes writes the set back,
    // the device compares the same again and goes on playing what it
    // played (preset 2 with the moved band).
    Frames();
    messages->answers = {false};
    bus->RestoreBtn->click();
    QCOMPARE(messages->shown.back().caption, std::string("Restore"));
    QVERIFY2(messages->shown.back().text.find("Address 1 (") != std::string::npos &&
                 messages->shown.back().text.find(
                     "presets 1, 2, 3, 4, 5, 6, 7, 8 are overwritten from " + folder +
                     "/addr-001") != std::string::npos,
             messages->shown.back().text.c_str());
    QTest::qWait(50);
    QVERIFY(!bus->Restore().Running());
    QCOMPARE(Frames(), QString());
    messages->answers = {true};
    bus->RestoreBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(!bus->Restore().Running(), 20000);
    QVERIFY2(bus->StatusLabel->text().startsWith("Restored 1 device(s)"), qPrintable(bus->StatusLabel->text()));
    QCOMPARE(int(DeviceBlock(1, 0)[pa422::all_data::kPreset - 1]), 2);
    QCOMPARE(DeviceBlock(1, 0).substr(pa422::all_data::kPresetName - 1, 5), std::string("MOVED"));
    bus->CompareBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(!bus->Backup().Running(), 15000);
    QVERIFY2(messages->shown.back().text.find("address 1: no differences") != std::string::npos,
             messages->shown.back().text.c_str());

    // A row without a set in the folder: nothing is asked, the missing
    // set is named and nothing goes out.
    bus->Table->clearSelection();
    bus->Table->selectRow(bus->RowOf(3));
    Frames();
    const size_t boxes = messages->shown.size();
    bus->RestoreBtn->click();
    QCOMPARE(messages->shown.size(), boxes + 1);
    QCOMPARE(messages->shown.back().caption, std::string("Restore Error"));
    QVERIFY2(
        messages->shown.back().text.find(
            "address 3: " + folder + " holds no backup of it (no addr-003)") != std::string::npos,
        messages->shown.back().text.c_str());
    QVERIFY(!bus->Restore().Running());
    QCOMPARE(Frames(), QString());
    // Stopped after a preset, the device is not said to have failed.
    bus->Table->selectAll();
    bus->RestoreBtn->click();
    QVERIFY2(messages->shown.back().text.find("Nothing can be restored to address 3") !=
                 std::string::npos,
             messages->shown.back().text.c_str());
    QTRY_VERIFY(bus->Restore().PresetsDone() >= 1);
    bus->StopClick();
    QTRY_VERIFY_WITH_TIMEOUT(!bus->Restore().Running(), 15000);
    const QString told = bus->Progress->accessibleDescription();
    QVERIFY2(told.startsWith("Restore stopped; restored 0 device(s)") &&
                 told.contains("\naddress 1: stopped before preset") &&
                 told.contains("Failed: address 3: ") && !told.contains("Failed: address 1"),
             qPrintable(told));
    QCOMPARE(int(DeviceBlock(1, 0)[pa422::all_data::kPreset - 1]), 2);
    bus->Table->clearSelection();
    bus->Table->selectRow(bus->RowOf(1));

    // Stopped after its first preset, nothing of the device is written.
    const std::string single = *dir / "single";
    bus->RunFolderDialog = [&single] { return QString::fromStdString(single); };
    bus->BackUpBtn->click();
    QTRY_VERIFY(bus->Backup().PresetsRead() >= 1);
    bus->StopBtn->click();
    QTRY_VERIFY(!bus->Backup().Running());
    QVERIFY(bus->StatusLabel->text().startsWith("Backup stopped; backed up 0 device(s)"));
    QVERIFY(!std::filesystem::exists(single + "/manifest.json"));

    // Enter on a row opens its device's window; again, the same one.
    bus->Table->setCurrentCell(bus->RowOf(1), 0);
    QTest::keyClick(bus->Table, Qt::Key_Return);
    QCOMPARE(Frame().EqualizerWindowCount(), 1);
    auto* w = static_cast<TMDIChild*>(Frame().ActiveEqualizerWidget());
    QCOMPARE(w->Doc.Address, 1);
    QVERIFY(WaitIdle());
    Frame().WindowBusItem->trigger();  // activates the one Bus window
    QCOMPARE(Frame().Bus(), bus);
    bus->OpenCurrentDevice();
    QCOMPARE(Frame().EqualizerWindowCount(), 1);
    QCOMPARE(Frame().ActiveEqualizerWidget(), w);

    // The next start shows the device found, not scanned.
    program.reset();
    const std::string kept = ReadText(*dir / "Varlo95.ini");
    StartProgram("1,3", true, kept.substr(kept.find("[Bus]")));
    Frame().WindowBusItem->trigger();
    QCOMPARE(Frame().Bus()->Table->rowCount(), 1);
    QCOMPARE(Cell(*Frame().Bus(), 1, BusWindow::StateColumn), QString("not scanned"));
  }

  void snapshotsAreCapturedComparedAndRecalled() {
    StartProgram("1,2");
    Frame().WindowBusItem->trigger();
    BusWindow* bus = Frame().Bus();
    bus->RunScanDialog = [] { return std::optional<std::pair<int, int>>({1, 2}); };
    bus->ScanBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(!bus->Scan().Running(), 15000);
    const std::string folder = *dir / "show";
    bus->RunFolderDialog = [&folder] { return QString::fromStdString(folder); };

    // Captured through the real dialog, the stored presets included.
    OnNextModal([](QWidget* modal) {
      auto* dialog = qobject_cast<TSnapshotOptionsDlg*>(modal);
      QVERIFY(dialog && dialog->PresetsCB->isChecked() && dialog->AllRB->isChecked());
      QVERIFY(!dialog->MuteBypassCB->isVisible());
      QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    });
    bus->CaptureBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(!bus->Busy(), 20000);
    QVERIFY2(bus->StatusLabel->text().startsWith("Captured 2 device(s)"), qPrintable(bus->StatusLabel->text()));
    QVERIFY(std::filesystem::exists(folder + "/snapshot.json"));
    QVERIFY(std::filesystem::exists(folder + "/addr-002/preset-8.V95"));
    QCOMPARE(Cell(*bus, 1, BusWindow::SnapshotColumn), QString("captured"));

    // The platform dialog opens beside the last folder with it selected,
    // can make folders, and takes a name that does not exist yet.
    bus->RunFolderDialog = nullptr;
    QStringList seen;
    OnNextModal([&](QWidget* modal) {
      if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
        seen = dialog->selectedFiles();
        if (dialog->testOption(QFileDialog::ReadOnly)) seen.clear();
        dialog->selectFile("new show");
        QMetaObject::invokeMethod(dialog, "accept");  // a slot, protected in QFileDialog
      }
      modal->close();
    });
    bus->RecallBtn->click();
    QCOMPARE(seen, QStringList{QString::fromStdString(folder)});
    QCOMPARE(messages->shown.back().caption, std::string("Recall Snapshot Error"));
    QVERIFY2(messages->shown.back().text.find(*dir / "new show") != std::string::npos,
             messages->shown.back().text.c_str());
    bus->RunFolderDialog = [&folder] { return QString::fromStdString(folder); };

    // A visitor's preset on device 1: it differs, device 2 matches.
    TEqualizerDocument moved;
    moved.BandSteps[7] = 6;
    moved.PresetName = "VISITOR";
    QVERIFY(SeedDevice(1, 2, moved));
    SnapshotChoice all;
    bus->RunSnapshotDialog = [&all](TSnapshotOptionsDlg::Kind, bool) { return std::optional<SnapshotChoice>(all); };
    bus->SnapshotCompareBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(!bus->Busy(), 15000);
    QCOMPARE(Cell(*bus, 1, BusWindow::SnapshotColumn), QString("differs"));
    QCOMPARE(Cell(*bus, 2, BusWindow::SnapshotColumn), QString("match"));
    bus->Table->setCurrentCell(bus->RowOf(1), 0);
    QVERIFY(bus->DifferencesBtn->isEnabled());
    bus->DifferencesBtn->click();
    QCOMPARE(messages->shown.back().caption, std::string("Differences"));
    QVERIFY2(messages->shown.back().text.find("band 8 (125 Hz) 0.0 dB \u2192 +3.0 dB") != std::string::npos,
             messages->shown.back().text.c_str());

    // Device 1's window is open. Recall: No sends nothing; Yes brings the
    // device back, and the window reads it again.
    bus->OpenDevice(1);
    auto* w = static_cast<TMDIChild*>(Frame().ActiveEqualizerWidget());
    QVERIFY(WaitIdle());
    QCOMPARE(w->Doc.BandSteps[7], 6);
    Frames();
    all.presets = true;
    messages->answers = {false};
    bus->RecallBtn->click();
    QCOMPARE(messages->shown.back().caption, std::string("Recall Snapshot"));
    // Names are left as they are: no rename is announced.
    const std::string& question = messages->shown.back().text;
    QVERIFY2(question.find("address 1: working settings of preset") != std::string::npos &&
                 question.find("stored presets 1-8; Mute and Bypass left as they are") !=
                     std::string::npos &&
                 question.find("device name") == std::string::npos,
             question.c_str());
    QTest::qWait(50);
    QCOMPARE(Frames(), QString());
    messages->answers = {true};
    bus->RecallBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(!bus->Busy(), 30000);
    QVERIFY2(bus->StatusLabel->text().startsWith("Recalled 2 of 2 device(s)"), qPrintable(bus->StatusLabel->text()));
    QCOMPARE(Cell(*bus, 1, BusWindow::SnapshotColumn), QString("recalled"));
    QTRY_COMPARE_WITH_TIMEOUT(w->Doc.BandSteps[7], 0, 5000);
    QVERIFY(WaitIdle());

    // A move in the window afterwards is shown in the bus window.
    Activate(*w);
    QTest::keyClick(w->TrackBars[7], Qt::Key_Up);
    QTRY_COMPARE_WITH_TIMEOUT(Cell(*bus, 1, BusWindow::SnapshotColumn), QString("modified since recalled"), 5000);
    QCOMPARE(Cell(*bus, 2, BusWindow::SnapshotColumn), QString("recalled"));
  }

  // An open window reads what a restore or a snapshot recall wrote to its
  // device and sends nothing back: neither its older curve when activated
  // again, nor the Mute it read.
  void windowsReadWhatTheBusWrote_data() {
    QTest::addColumn<bool>("storeMoves");
    QTest::newRow("moves in the working settings") << false;
    QTest::newRow("moves stored") << true;
  }
  void windowsReadWhatTheBusWrote() {
    QFETCH(bool, storeMoves);
    if (storeMoves) simOptions = {"--store-moves"};
    StartProgram("1");
    Frame().WindowBusItem->trigger();
    BusWindow* bus = Frame().Bus();
    bus->RunScanDialog = [] { return std::optional<std::pair<int, int>>({1, 1}); };
    bus->ScanBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(!bus->Scan().Running(), 15000);
    std::string folder = *dir / "set";
    bus->RunFolderDialog = [&folder] { return QString::fromStdString(folder); };
    bus->Table->selectRow(bus->RowOf(1));
    bus->BackUpBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(!bus->Backup().Running(), 15000);

    // The window moves a band and renames the device after the backup; the
    // restore gives the device the backup's name and leaves it playing the
    // move, and the window shows both.
    bus->OpenDevice(1);
    auto* w = static_cast<TMDIChild*>(Frame().ActiveEqualizerWidget());
    QVERIFY(WaitIdle());
    const QString name = w->EBORBName->text();
    QTest::keyClick(w->TrackBars[7], Qt::Key_Up);
    QTest::keyClick(w->TrackBars[7], Qt::Key_Up);
    w->EBORBName->setFocus();
    w->EBORBName->selectAll();
    QTest::keyClicks(w->EBORBName, "Front fill");
    QTest::keyClick(w->EBORBName, Qt::Key_Return);
    QVERIFY(WaitIdle());
    messages->answers = {true};
    bus->RestoreBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(!bus->Restore().Running(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(w->EBORBName->text(), name, 5000);
    QCOMPARE(w->Doc.BandSteps[7], 2);
    QVERIFY(WaitIdle());
    Frames();
    Frame().WindowBusItem->trigger();
    Activate(*w);
    QCOMPARE(SettledFrames(), QString());
    QCOMPARE(DeviceFromWorkingBlock(1, DeviceBlock(1, 0)).working->bands[7], 2);
    QCOMPARE(QString::fromStdString(DeviceFromWorkingBlock(1, DeviceBlock(1, 0)).deviceName), name);

    // Muted in the window after a capture, then recalled with Mute and
    // Bypass as captured: one Unmute, the recall's.
    folder = *dir / "show";
    SnapshotChoice choice;
    bus->RunSnapshotDialog = [&choice](TSnapshotOptionsDlg::Kind, bool) { return std::optional<SnapshotChoice>(choice); };
    bus->CaptureBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(!bus->Busy(), 20000);
    w->Mute->click();
    QVERIFY(WaitIdle());
    Frames();
    choice.muteBypass = true;
    messages->answers = {true};
    bus->RecallBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(!bus->Busy(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!w->Mute->isChecked(), 5000);
    QCOMPARE(SettledFrames().count(FrameWord(1, pa422::UnmuteAllOutputsFrame())), 1);
    QCOMPARE(Cell(*bus, 1, BusWindow::SnapshotColumn), QString("recalled"));
  }

  void tableShowsWhatTheProgramKnowsOfEachUnit() {
    std::string offsets = "0";
    for (int i = 1; i < 30; ++i) offsets += ",0";
    StartProgram("1,2", true,
                 "[Group 1]\nName=L+R\nMode=Relative\nFollows=Bands\nMembers=1,2\nOffsets 1=" +
                     offsets + "\nOffsets 2=" + offsets + "\n");
    Frame().WindowBusItem->trigger();
    BusWindow* bus = Frame().Bus();
    // A kept group with no window open: no state yet.
    QCOMPARE(Cell(*bus, 1, BusWindow::GroupColumn), QString("L+R"));
    bus->RunScanDialog = [] { return std::optional<std::pair<int, int>>({1, 2}); };
    bus->ScanBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(!bus->Scan().Running(), 15000);
    QCOMPARE(Cell(*bus, 1, BusWindow::MuteColumn), QString("no"));

    // Mute and a name from device 1's window reach its row.
    bus->OpenDevice(1);
    auto* w = static_cast<TMDIChild*>(Frame().ActiveEqualizerWidget());
    QVERIFY(WaitIdle());
    w->Mute->click();
    w->EBORBName->setFocus();
    w->EBORBName->selectAll();
    QTest::keyClicks(w->EBORBName, "Front fill");
    QTest::keyClick(w->EBORBName, Qt::Key_Return);
    QVERIFY(WaitIdle());
    QCOMPARE(Cell(*bus, 1, BusWindow::MuteColumn), QString("yes"));
    QCOMPARE(Cell(*bus, 1, BusWindow::NameColumn), QString("FRONT FILL"));

    // Closed and opened again, the Bus window shows the same.
    qobject_cast<QMdiSubWindow*>(bus->parentWidget())->close();
    QTRY_VERIFY(!Frame().Bus());
    Frame().WindowBusItem->trigger();
    bus = Frame().Bus();
    QCOMPARE(Cell(*bus, 1, BusWindow::StateColumn), QString("online"));
    QCOMPARE(Cell(*bus, 2, BusWindow::StateColumn), QString("online"));
    QCOMPARE(Cell(*bus, 1, BusWindow::MuteColumn), QString("yes"));

    // A backup is an answer: "Last Seen" moves on.
    const QString seen = bus->Table->item(bus->RowOf(2), BusWindow::SeenColumn)->toolTip();
    QVERIFY(!seen.isEmpty());
    QTest::qWait(1100);
    const std::string folder = *dir / "two";
    bus->RunFolderDialog = [&folder] { return QString::fromStdString(folder); };
    bus->Table->selectRow(bus->RowOf(2));
    bus->BackUpBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(!bus->Busy(), 15000);
    QVERIFY(bus->Table->item(bus->RowOf(2), BusWindow::SeenColumn)->toolTip() != seen);

    // A restore that fails leaves its row no longer "online".
    sim->Ok("fault 2 status 5");
    messages->answers = {true};
    bus->RestoreBtn->click();
    QTRY_VERIFY_WITH_TIMEOUT(!bus->Busy(), 15000);
    QCOMPARE(messages->shown.back().caption, std::string("Restore Error"));
    QVERIFY2(Cell(*bus, 2, BusWindow::StateColumn).startsWith("error: "),
             qPrintable(Cell(*bus, 2, BusWindow::StateColumn)));
  }
};

int main(int argc, char** argv) {
  InstallTrackBarAccessibility();
  InstallStatusPanelAccessibility();
  TApplication app(argc, argv);
  ApplicationHint::Install(app);
  BusWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "bus_window_test.moc"
