// What assistive technology reads of a status panel: its caption and the
// text it shows now.
#include <QAccessible>
#include <QtTest>

#include "controls/FittedText.h"
#include "controls/StatusPanelAccessible.h"

class StatusPanelAccessibleTest : public QObject {
  Q_OBJECT

 private slots:
  void captionAndCurrentText() {
    StatusPanel panel("+3.0");
    panel.setAccessibleName("Level value");
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&panel);
    QVERIFY(iface);
    QCOMPARE(iface->role(), QAccessible::StaticText);
    QCOMPARE(iface->text(QAccessible::Name), QString("Level value: +3.0"));
    QCOMPARE(iface->text(QAccessible::Value), QString("+3.0"));
    // A new text is read at once; a blank one leaves the caption.
    panel.setText("-1");
    QCOMPARE(iface->text(QAccessible::Name), QString("Level value: -1"));
    QCOMPARE(iface->text(QAccessible::Value), QString("-1"));
    panel.setText(" ");
    QCOMPARE(iface->text(QAccessible::Name), QString("Level value"));

    // A caption panel, and a panel without a caption of its own.
    StatusPanel caption("Freq");
    caption.setAccessibleName("Freq");
    QCOMPARE(QAccessible::queryAccessibleInterface(&caption)->text(QAccessible::Name), QString("Freq"));
    StatusPanel plain("A live");
    QCOMPARE(QAccessible::queryAccessibleInterface(&plain)->text(QAccessible::Name), QString("A live"));
  }
};

int RunStatusPanelAccessibleTests(int argc, char** argv) {
  StatusPanelAccessibleTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "status_panel_accessible_test.moc"
