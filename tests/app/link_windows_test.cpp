// Linked windows in the program against orbsim: a move of one member's
// band moves the others by the same steps through their own windows, a
// member held at the range's end comes back to its difference exactly, a
// locked member is left alone, a member that stops answering is marked
// and the others go on, and the group is kept in the settings file.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>

#include "app/BusWindow.h"
#include "app/LinkController.h"
#include "app/LinkJoinDlg.h"
#include "app/LinkWindowsDlg.h"
#include "app/ResponsePanel.h"
#include "controls/TzkTrackBar.h"
#include "link/PA422Messages.h"
#include "settings/GroupSettings.h"
#include "tests/eqwindow/WindowFixture.h"

namespace all = pa422::all_data;

class LinkWindowsTest : public QObject, public WindowFixture {
  Q_OBJECT

  int DeviceBand(int address, int slot) {
    return StepsFromDeviceGainCode(static_cast<uint8_t>(pa422::BlockByte(DeviceBlock(address, 0), all::kFirstBand + slot - 1)));
  }
  TMDIChild* WindowOn(int address) {
    TMDIChild* w = NewWindow();
    return Connect(*w, address) ? w : nullptr;
  }

 private slots:
  void initTestCase() { SetUpTestCase(); }
  void init() { SetUp(); }
  void cleanup() { TearDown(); }

  void aMoveReachesEveryMemberWithItsOffset() {
    StartProgram("1,3,4");
    TEqualizerDocument louder;
    louder.BandSteps[7] = 10;  // band 8 five dB above the others
    QVERIFY(SeedDevice(3, 1, louder));
    TMDIChild* left = WindowOn(1);
    TMDIChild* right = WindowOn(3);
    TMDIChild* fill = WindowOn(4);
    QVERIFY(left && right && fill);
    QCOMPARE(right->SliderOfSlot(8)->Position(), 10);

    // Through the real dialog and question: the curves differ, and the
    // operator keeps the differences.
    QString asked;
    OnNextModal([&](QWidget* modal) {
      auto* dialog = qobject_cast<TLinkWindowsDlg*>(modal);
      QVERIFY(dialog && dialog->WindowList->count() == 3 && !dialog->OKBtn->isEnabled());
      for (int row = 0; row < 3; ++row) dialog->WindowList->item(row)->setCheckState(Qt::Checked);
      QVERIFY(dialog->CBBands->isChecked() && !dialog->CBFilters->isChecked());
      OnNextModal([&](QWidget* question) {
        auto* join = qobject_cast<TLinkJoinDlg*>(question);
        QVERIFY(join);
        asked = join->DetailsBox->toPlainText();
        QCOMPARE(join->ChoiceList->item(0)->text(), QString("Keep Differences"));
        join->ChoiceList->setCurrentRow(0);
        QTest::mouseClick(join->OKBtn, Qt::LeftButton);
      });
      QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    });
    Frame().WindowLinkItem->trigger();
    QVERIFY2(asked.contains(QString::fromUtf8("band 8 (125 Hz) 0.0 dB \u2192 +5.0 dB")), qPrintable(asked));
    QCOMPARE(right->LinkPanel->text(), QString("Group 1: following"));
    // The response panel draws the other members faint.
    Activate(*left);
    QTRY_COMPARE(Frame().Response->Companions().size(), size_t(2));
    Frames();

    left->SliderOfSlot(8)->SetPosition(12);
    QCOMPARE(right->SliderOfSlot(8)->Position(), 22);
    QCOMPARE(fill->SliderOfSlot(8)->Position(), 12);
    QVERIFY(WaitIdle());
    QCOMPARE(DeviceBand(3, 8), 22);
    QCOMPARE(DeviceBand(4, 8), 12);
    // Past the end: held there, and the difference comes back exactly.
    left->SliderOfSlot(8)->SetPosition(16);
    QCOMPARE(right->SliderOfSlot(8)->Position(), 24);
    QCOMPARE(Frame().Links().LinkText(3), QString("Group 1: pending"));
    QTRY_COMPARE(right->LinkPanel->text(), QString("Group 1: clamped (1 band)"));
    left->SliderOfSlot(8)->SetPosition(2);
    QCOMPARE(right->SliderOfSlot(8)->Position(), 12);
    QTRY_COMPARE(Frame().Links().LinkText(3), QString("Group 1: following"));

    // A whole curve (Clear) reaches each member whole, with its offset;
    // undo brings the band back in all.
    left->SliderOfSlot(1)->SetPosition(-6);
    QVERIFY(WaitIdle());
    Frames();
    messages->answers = {true};
    left->Clear1->trigger();
    QCOMPARE(right->SliderOfSlot(8)->Position(), 10);
    QCOMPARE(fill->SliderOfSlot(1)->Position(), 0);
    QVERIFY(WaitIdle());
    QCOMPARE(DeviceBand(3, 8), 10);
    QCOMPARE(DeviceBand(4, 1), 0);
    const QString sent = Frames();
    QCOMPARE(sent.count(QRegularExpression("\\b3:81")), 1);  // one TRANSMIT_ALL_DATA
    QCOMPARE(sent.count(QRegularExpression("\\b4:81")), 1);
    // Undo in one member undoes the group's step in every member's own
    // history; redo in another redoes it in all.
    left->Undo1->trigger();
    QCOMPARE(right->SliderOfSlot(8)->Position(), 12);
    QCOMPARE(fill->SliderOfSlot(1)->Position(), -6);
    QVERIFY(right->History().CanRedo() && fill->History().CanRedo());
    right->Redo1->trigger();
    QCOMPARE(left->SliderOfSlot(1)->Position(), 0);
    QCOMPARE(fill->SliderOfSlot(1)->Position(), 0);
    right->Undo1->trigger();
    QCOMPARE(left->SliderOfSlot(8)->Position(), 2);
    QVERIFY(WaitIdle());
    QCOMPARE(DeviceBand(4, 1), -6);

    // A locked member says so at once, and is not moved; the others are.
    right->Lock->click();
    QCOMPARE(Frame().Links().LinkText(3), QString("Group 1: locked"));
    QVERIFY(WaitIdle());
    left->SliderOfSlot(8)->SetPosition(4);
    QCOMPARE(right->SliderOfSlot(8)->Position(), 12);
    QCOMPARE(fill->SliderOfSlot(8)->Position(), 4);
    // Unlocked: at once out of step, as it missed that move; resynced
    // through the real question, it takes the group's value with its
    // offset.
    right->Lock->click();
    QCOMPARE(Frame().Links().LinkText(3), QString("Group 1: out of step"));
    QCOMPARE(right->LinkPanel->text(), QString("Group 1: out of step"));
    QVERIFY(WaitIdle());
    QVERIFY(right->Resync1->isEnabled());
    OnNextModal([](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      QVERIFY(box && box->windowTitle() == "Resync");
      for (QAbstractButton* b : box->buttons())
        if (b->text() == "Send Group Values") b->click();
    });
    right->Resync1->trigger();
    QCOMPARE(right->SliderOfSlot(8)->Position(), 14);
    QVERIFY(WaitIdle());
    QCOMPARE(DeviceBand(3, 8), 14);
    QTRY_COMPARE(Frame().Links().LinkText(3), QString("Group 1: following"));

    // A member that stops answering is marked, without a box, and the
    // others go on. Its window lets go of the unit but stays the member's:
    // its group and state shown, Unlink and Resync offered.
    sim->Ok("fault 4 absent");
    left->SliderOfSlot(8)->SetPosition(6);
    QTRY_COMPARE_WITH_TIMEOUT(Frame().Links().LinkText(4),
                              QString("Group 1: not following: ORB Not Found"), 10000);
    left->SliderOfSlot(8)->SetPosition(8);
    QVERIFY(WaitIdle());
    QCOMPARE(DeviceBand(1, 8), 8);
    for (const auto& box : messages->shown) QVERIFY2(box.caption != "Error", box.text.c_str());
    QTRY_COMPARE(fill->LinkPanel->text(), QString("Group 1: not following: ORB Not Found"));
    QVERIFY(fill->LinkPanel->isVisible() && fill->Unlink1->isEnabled() &&
            fill->Resync1->isEnabled());
    // The unit answers again: Resync reads it, finds it missed the moves,
    // and asks; it takes the group's values.
    sim->Ok("fault 4 clear");
    bool resyncAsked = false;
    OnNextModal([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      QVERIFY(box && box->windowTitle() == "Resync");
      resyncAsked = box->text().contains("is out of step");
      for (QAbstractButton* b : box->buttons())
        if (b->text() == "Send Group Values") b->click();
    });
    fill->Resync1->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(resyncAsked, 10000);
    QCOMPARE(fill->SliderOfSlot(8)->Position(), 8);
    QVERIFY(WaitIdle());
    QCOMPARE(DeviceBand(4, 8), 8);
    QTRY_COMPARE(Frame().Links().LinkText(4), QString("Group 1: following"));

    // Kept in the settings file with the offsets.
    const std::vector<StoredGroup> kept = LoadGroups(Frame().SettingsPath());
    QCOMPARE(kept.size(), size_t(1));
    QCOMPARE(kept[0].members, (std::vector<int>{1, 3, 4}));
    QCOMPARE(kept[0].offsets.at(3)[7], 10);
    left->Unlink1->trigger();
    QCOMPARE(Frame().Links().LinkText(1), QString());
    QVERIFY(!left->LinkPanel->isVisible() && !left->Unlink1->isEnabled());
    QCOMPARE(LoadGroups(Frame().SettingsPath())[0].members, (std::vector<int>{3, 4}));
  }

  void aKeptGroupComesBackWithItsOffsets() {
    std::string zeros, raisedBand8;
    for (int slot = 1; slot <= 30; ++slot) {
      zeros += slot > 1 ? ",0" : "0";
      raisedBand8 += std::string(slot > 1 ? "," : "") + (slot == 8 ? "4" : "0");
    }
    // Units that keep their moves in the preset, the other kind of unit.
    simOptions = {"--store-moves"};
    StartProgram(
        "1,3,4,5", true,
        "[Group 2]\nName=STACKS\nFollows=Bands,Filters,MuteBypass\nMembers=1,3,4,5\nOffsets 1=" +
            zeros + "\nOffsets 3=" + raisedBand8 + "\nOffsets 5=" + zeros +
            "\n[Bus]\nDevice 3=RIGHT\n");
    TEqualizerDocument raised;
    raised.BandSteps[7] = 4;
    QVERIFY(SeedDevice(3, 1, raised));
    // Unit 5 was changed while the program was closed.
    TEqualizerDocument changed;
    changed.BandSteps[1] = 6;
    QVERIFY(SeedDevice(5, 1, changed));
    // Not compared with its unit yet: not said to follow.
    QCOMPARE(Frame().Links().LinkText(5), QString("STACKS: pending"));
    TMDIChild* left = WindowOn(1);
    TMDIChild* right = WindowOn(3);
    TMDIChild* fill = WindowOn(4);
    TMDIChild* sub = WindowOn(5);
    QVERIFY(left && right && fill && sub);
    // Compared on connecting, before the group moves anything.
    QCOMPARE(Frame().Links().LinkText(5), QString("STACKS: out of step"));
    QCOMPARE(Frame().Links().LinkText(3), QString("STACKS: following"));
    Frames();
    // Address 4 has no offsets kept: it waits for a resync; 3 follows with
    // its kept offset.
    left->SliderOfSlot(8)->SetPosition(2);
    QCOMPARE(right->SliderOfSlot(8)->Position(), 6);
    QCOMPARE(fill->SliderOfSlot(8)->Position(), 0);
    QCOMPARE(sub->SliderOfSlot(8)->Position(), 0);
    QCOMPARE(Frame().Links().LinkText(4), QString("STACKS: out of step"));
    QTRY_COMPARE(Frame().Links().LinkText(3), QString("STACKS: following"));
    QVERIFY2(!SettledFrames().contains(QRegularExpression("\\b5:")), "the changed unit was moved");

    // Filters and Mute follow as they are (the member out of step does
    // not).
    QVERIFY(WaitIdle());
    left->CBHighPass->setCurrentIndex(3);
    emit left->CBHighPass->activated(3);
    QCOMPARE(right->CBHighPass->currentIndex(), 3);
    left->Mute->click();
    QVERIFY(right->Mute->isChecked() && !fill->Mute->isChecked());
    QVERIFY(WaitIdle());
    const pa422::Bytes device = DeviceBlock(3, 0);
    QCOMPARE(pa422::BlockByte(device, all::kHighPass), pa422::BlockByte(DeviceBlock(1, 0), all::kHighPass));
    QCOMPARE(pa422::BlockByte(device, all::kMute), 1);

    // Resynced by taking its device's curve as it is: it follows from then
    // on with that difference.
    Frame().Links().AskResync = [](const QString&, const QString&, const QStringList& answers) {
      return answers.indexOf("Read Device and Keep Its Offset");
    };
    fill->Resync1->trigger();
    QCOMPARE(Frame().Links().LinkText(4), QString("STACKS: following"));
    left->SliderOfSlot(8)->SetPosition(5);
    QCOMPARE(fill->SliderOfSlot(8)->Position(), 3);

    // The bus window shows the group.
    Frame().WindowBusItem->trigger();
    BusWindow* bus = Frame().Bus();
    QVERIFY(bus);
    QTRY_COMPARE(bus->Table->item(bus->RowOf(3), BusWindow::GroupColumn)->text(), QString("STACKS: following"));
  }

  void joinAnswersAndAMoveAlone() {
    StartProgram("1,3");
    TEqualizerDocument louder;
    louder.BandSteps[7] = 10;
    QVERIFY(SeedDevice(3, 1, louder));
    TMDIChild* left = WindowOn(1);
    TMDIChild* right = WindowOn(3);
    QVERIFY(left && right);
    Frames();
    // Cancel: no group, nothing sent.
    Frame().Links().AskJoin = [](const QString&, const QString&, const QStringList&) { return -1; };
    QVERIFY(!Frame().Links().Link({left, right}, LinkMode::Relative, {}));
    QCOMPARE(Frame().Links().LinkText(1), QString());
    // Copy from the right window: the left one takes its curve, one
    // TRANSMIT_ALL_DATA, and the right device hears nothing.
    Frame().Links().AskJoin = [&](const QString&, const QString&, const QStringList& answers) {
      return answers.indexOf("Copy from " + right->Caption() + " (address 3)");
    };
    QVERIFY(Frame().Links().Link({left, right}, LinkMode::Relative, {}));
    QCOMPARE(left->SliderOfSlot(8)->Position(), 10);
    const QString sent = SettledFrames();
    QCOMPARE(sent.count(QRegularExpression("\\b1:81")), 1);
    QVERIFY2(!sent.contains(QRegularExpression("\\b3:")), qPrintable(sent));
    QCOMPARE(DeviceBand(1, 8), 10);

    // Ctrl held: that member alone, its offset changes and is kept.
    right->SliderOfSlot(8)->setFocus();
    QTest::keyClick(right->SliderOfSlot(8), Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(right->SliderOfSlot(8)->Position(), 11);
    QCOMPARE(left->SliderOfSlot(8)->Position(), 10);
    Activate(*left);
    left->SliderOfSlot(8)->setFocus();
    QTest::keyClick(left->SliderOfSlot(8), Qt::Key_Up);
    QCOMPARE(left->SliderOfSlot(8)->Position(), 11);
    QCOMPARE(right->SliderOfSlot(8)->Position(), 12);
    QCOMPARE(LoadGroups(Frame().SettingsPath()).at(0).offsets.at(3)[7], 1);
  }

  // The question when the curves differ, through the real dialog with four
  // windows: every choice names its window, distinct; an absolute group is
  // not offered to keep differences; filter differences are listed when
  // Filters follow, and the copy (from the third) takes them too.
  void theJoinQuestionNamesEveryWindow() {
    StartProgram("1,2,3,4");
    TEqualizerDocument louder, filtered;
    louder.BandSteps[7] = 10;
    filtered.HighPassIndex = 7;
    QVERIFY(SeedDevice(2, 1, louder));
    QVERIFY(SeedDevice(3, 1, filtered));
    std::vector<TMDIChild*> windows;
    for (int address = 1; address <= 4; ++address) windows.push_back(WindowOn(address));
    for (TMDIChild* w : windows) QVERIFY(w);
    QStringList choices, expected;
    QString details;
    OnNextModal([&](QWidget* modal) {
      auto* join = qobject_cast<TLinkJoinDlg*>(modal);
      QVERIFY(join);
      for (int row = 0; row < join->ChoiceList->count(); ++row)
        choices << join->ChoiceList->item(row)->text();
      details = join->DetailsBox->toPlainText();
      join->ChoiceList->setCurrentRow(2);
      QTest::mouseClick(join->OKBtn, Qt::LeftButton);
    });
    QVERIFY(Frame().Links().Link({windows.begin(), windows.end()}, LinkMode::Absolute, {true, true, false}));
    for (TMDIChild* w : windows)
      expected << QString("Copy from %1 (address %2)").arg(w->Caption()).arg(w->DeviceAddress());
    QCOMPARE(choices, expected);
    QVERIFY2(details.contains(QString::fromUtf8("high pass OUT \u2192 40 Hz")), qPrintable(details));
    QVERIFY2(details.contains(QString::fromUtf8("band 8 (125 Hz) 0.0 dB \u2192 +5.0 dB")), qPrintable(details));
    for (TMDIChild* w : windows) {
      QCOMPARE(w->SliderOfSlot(8)->Position(), 0);
      QCOMPARE(w->CBHighPass->currentIndex(), 7);
    }
    QVERIFY(WaitIdle());
    QCOMPARE(pa422::BlockByte(DeviceBlock(4, 0), all::kHighPass),
             pa422::BlockByte(DeviceBlock(3, 0), all::kHighPass));
    QCOMPARE(DeviceBand(2, 8), 0);
  }
};

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  ApplicationHint::Install(app);
  LinkWindowsTest test;
  return QTest::qExec(&test, argc, argv);
}
#include "link_windows_test.moc"
