// The Com Port Setup and Select Port dialogs, and the port selector the
// serial port component calls.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLabel>
#include <QTest>
#include <map>

#include "app/ComPortDlg.h"
#include "app/ComSelectForm.h"
#include "app/FormSupport.h"
#include "serial/SerialDevice.h"
#include "tests/app/DialogTestSupport.h"
#include "testsupport/FakePortTree.h"
#include "testsupport/PortAccess.h"
#include "testsupport/Pty.h"
#include "testsupport/RecordingOperatorMessages.h"
#include "testsupport/TempDir.h"

class ComPortDialogTest : public QObject {
  Q_OBJECT
 private slots:
  void CaptionsAndNoItemAtCreation() {
    TComPortDlg dlg;
    QCOMPARE(dlg.windowTitle(), QString("Com Port Setup"));
    QCOMPARE(dlg.RadioGroup1->title(), QString("Com Port Number"));
    QCOMPARE(dlg.RadioGroup1->Count(), 4);
    for (int i = 0; i < 4; ++i)
      QCOMPARE(dlg.RadioGroup1->Item(i)->text(), QString("Com %1").arg(i + 1));
    QCOMPARE(dlg.OKBtn->text(), QString("OK"));
    QCOMPARE(dlg.CancelBtn->text(), QString("Cancel"));
    QVERIFY(dlg.OKBtn->isDefault());
    QCOMPARE(dlg.ItemIndex(), -1);
    if (AtDesignScale(dlg)) QCOMPARE(dlg.size(), QSize(401, 205));
    QCOMPARE(UnnamedControls(dlg), QStringList());
    dlg.SetItemIndex(0);
    dlg.show();
    SaveScreen(dlg, "com-port-setup");
  }

  void ItemIndexSetClearAndClamp() {
    TComPortDlg dlg;
    dlg.SetItemIndex(2);
    QCOMPARE(dlg.ItemIndex(), 2);
    QVERIFY(dlg.RadioGroup1->Item(2)->isChecked());
    dlg.SetItemIndex(-1);
    QCOMPARE(dlg.ItemIndex(), -1);
    for (int i = 0; i < 4; ++i) QVERIFY(!dlg.RadioGroup1->Item(i)->isChecked());
    // The group is exclusive again after a clear.
    dlg.RadioGroup1->Item(0)->click();
    dlg.RadioGroup1->Item(1)->click();
    QCOMPARE(dlg.ItemIndex(), 1);
    QVERIFY(!dlg.RadioGroup1->Item(0)->isChecked());
    // A port number above 4 selects "Com 4".
    dlg.SetItemIndex(7);
    QCOMPARE(dlg.ItemIndex(), 3);
  }

  void OkAndEscapeEndTheModalDialog() {
    TComPortDlg dlg;
    OnModal([](QDialog& d) {
      auto& setup = static_cast<TComPortDlg&>(d);
      setup.RadioGroup1->Item(1)->click();
      setup.OKBtn->click();
    });
    QCOMPARE(dlg.exec(), int(QDialog::Accepted));
    QCOMPARE(dlg.ItemIndex(), 1);

    // OK with no item selected gives -1 (port number 0).
    dlg.SetItemIndex(-1);
    OnModal([](QDialog& d) { static_cast<TComPortDlg&>(d).OKBtn->click(); });
    QCOMPARE(dlg.exec(), int(QDialog::Accepted));
    QCOMPARE(dlg.ItemIndex(), -1);

    dlg.SetItemIndex(3);
    OnModal([](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); });
    QCOMPARE(dlg.exec(), int(QDialog::Rejected));
    QCOMPARE(dlg.ItemIndex(), 3);
  }
};

namespace {

QStringList Entries(const TComSelectForm& form) {
  QStringList entries;
  for (int i = 0; i < form.PortsComboBox->count(); ++i) entries << form.PortsComboBox->itemText(i);
  return entries;
}
}  // namespace

class SelectPortTest : public QObject {
  Q_OBJECT
 private slots:
  void Captions() {
    TComSelectForm form({1, 2, 12});
    QCOMPARE(form.windowTitle(), QString("Select Port"));
    QCOMPARE(form.Label1->text(), QString("The configured serial port is not valid."));
    QCOMPARE(form.Label2->text(), QString("Please choose another port."));
    QCOMPARE(form.OkBtn->text(), QString("OK"));
    QCOMPARE(form.AbortBtn->text(), QString("Cancel"));
    QVERIFY(form.OkBtn->isDefault());
    QVERIFY(!form.PortsComboBox->isEditable());
    if (AtDesignScale(form)) QCOMPARE(form.size(), QSize(220, 131));
    QCOMPARE(UnnamedControls(form), QStringList());
    form.show();
    SaveScreen(form, "select-port");
  }

  // Ports 1, 2 and 12 exist (2 held by another program); every other
  // number names a missing device.
  void ListsExistingPortsAndReturnsTheChoice() {
    Pty one, two, twelve;
    std::map<uint16_t, std::string> devices = {{1, one.slave}, {2, two.slave}, {12, twelve.slave}};
    auto held = OpenSerialDevice(two.slave);
    QtPortSelector selector([&](uint16_t n) {
      auto it = devices.find(n);
      return it == devices.end() ? "/dev/no-such-port-" + std::to_string(n) : it->second;
    });

    QStringList listed;
    int selectedAtStart = -2;
    OnModal([&](QDialog& d) {
      auto& form = static_cast<TComSelectForm&>(d);
      listed = Entries(form);
      selectedAtStart = form.PortsComboBox->currentIndex();
      form.PortsComboBox->setCurrentIndex(2);
      form.OkBtn->click();
    });
    QCOMPARE(selector.SelectPort(), std::optional<uint16_t>(12));
    QCOMPARE(listed, QStringList({"COM1", "COM2", "COM12"}));
    QCOMPARE(selectedAtStart, 0);

    // OK on the first entry as it stands.
    OnModal([](QDialog& d) { static_cast<TComSelectForm&>(d).OkBtn->click(); });
    QCOMPARE(selector.SelectPort(), std::optional<uint16_t>(1));
  }

  // The system's ports no number stands for are offered with the lowest
  // free numbers; choosing one maps that number to its stable link.
  void OffersTheSystemsOtherPortsUnderFreeNumbers() {
    TempDir dir;
    const FakePortTree tree(dir.Path());
    Pty one;
    QtPortSelector selector([&](uint16_t n) { return n == 1 ? one.slave : "/dev/no-such-port-" + std::to_string(n); });
    selector.Roots = [&] { return PortRoots{tree.Sys(), tree.Dev()}; };
    selector.IsMapped = [](uint16_t n) { return n == 1 || n == 3; };
    std::vector<std::pair<uint16_t, std::string>> mapped;
    selector.MapPort = [&](uint16_t n, const std::string& device) {
      mapped.emplace_back(n, device);
      return true;
    };
    QStringList listed;
    OnModal([&](QDialog& d) {
      auto& form = static_cast<TComSelectForm&>(d);
      listed = Entries(form);
      form.PortsComboBox->setCurrentIndex(3);
      form.OkBtn->click();
    });
    QCOMPARE(selector.SelectPort(), std::optional<uint16_t>(5));
    QCOMPARE(listed.size(), 6);
    QCOMPARE(listed[0], QString("COM1"));
    QCOMPARE(listed[1], QString::fromStdString("COM2  " + tree.Dev() + "/ttyACM0: Arduino Uno, USB 1-2 (new)"));
    QCOMPARE(listed[2], QString::fromStdString("COM4  " + tree.Dev() + "/ttyS0: on-board serial port (new)"));
    QVERIFY(listed[3].startsWith("COM5  " + QString::fromStdString(tree.Dev()) + "/ttyUSB0: FT232R USB UART"));
    QCOMPARE(mapped, (std::vector<std::pair<uint16_t, std::string>>{
                         {5, tree.Dev() + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0"}}));
  }

  void EveryOtherEndingChoosesNothing() {
    Pty one;
    QtPortSelector selector([&](uint16_t n) { return n == 1 ? one.slave : std::string("/nope"); });
    OnModal([](QDialog& d) { static_cast<TComSelectForm&>(d).AbortBtn->click(); });
    QVERIFY(!selector.SelectPort());
    OnModal([](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); });
    QVERIFY(!selector.SelectPort());
    OnModal([](QDialog& d) { d.close(); });
    QVERIFY(!selector.SelectPort());

    TComSelectForm form({4});
    OnModal([](QDialog& d) { static_cast<TComSelectForm&>(d).AbortBtn->click(); });
    QCOMPARE(form.exec(), TComSelectForm::AbortResult);
  }

  // A port the user may not open is listed; OK on it says so and how to get
  // access, and keeps the dialog open for another choice. The ports are
  // tested without the capabilities that let root past file permissions.
  void PortWithoutPermissionIsListedAndExplainedWhenChosen() {
    Pty denied, open;
    QCOMPARE(chmod(denied.slave.c_str(), 0), 0);
    RecordingOperatorMessages messages;
    std::map<uint16_t, std::string> devices = {{2, denied.slave}, {4, open.slave}};
    QtPortSelector selector(
        [&](uint16_t n) {
          auto it = devices.find(n);
          return it == devices.end() ? "/dev/no-such-port-" + std::to_string(n) : it->second;
        },
        &messages);

    QStringList listed;
    bool openAfterRefusal = false;
    size_t shownAfterRefusal = 0;
    OnModal([&](QDialog& d) {
      auto& form = static_cast<TComSelectForm&>(d);
      listed = Entries(form);
      form.OkBtn->click();  // COM2, the first entry
      openAfterRefusal = form.isVisible();
      shownAfterRefusal = messages.shown.size();
      form.PortsComboBox->setCurrentIndex(1);
      form.OkBtn->click();
    });
    std::optional<uint16_t> chosen;
    {
      FilePermissionsEnforced asAnotherUser;
      QCOMPARE(OpenError(denied.slave), EACCES);
      chosen = selector.SelectPort();
    }
    QCOMPARE(listed, QStringList({"COM2", "COM4"}));
    QVERIFY(openAfterRefusal);
    QCOMPARE(shownAfterRefusal, size_t(1));
    QCOMPARE(chosen, std::optional<uint16_t>(4));
    QCOMPARE(messages.shown.size(), size_t(1));
    const auto& shown = messages.shown.front();
    QCOMPARE(shown.caption, std::string("Com Setup Error"));
    QVERIFY(shown.icon == MessageIcon::Error);
    for (const std::string& part : {std::string("permission"), std::string("COM2"), denied.slave,
                                    std::string("dialout group"), std::string("adduser")})
      QVERIFY2(shown.text.find(part) != std::string::npos, (part + " in: " + shown.text).c_str());
  }

  void OkOnAnEmptyListChoosesNothing() {
    QtPortSelector selector([](uint16_t n) { return "/dev/no-such-port-" + std::to_string(n); });
    int entries = -1;
    OnModal([&](QDialog& d) {
      auto& form = static_cast<TComSelectForm&>(d);
      entries = form.PortsComboBox->count();
      form.OkBtn->click();
    });
    QVERIFY(!selector.SelectPort());
    QCOMPARE(entries, 0);
  }
};

int RunComPortDialogTests(int argc, char** argv) {
  ComPortDialogTest t;
  return QTest::qExec(&t, argc, argv);
}

int RunSelectPortTests(int argc, char** argv) {
  SelectPortTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "com_port_dialogs_test.moc"
