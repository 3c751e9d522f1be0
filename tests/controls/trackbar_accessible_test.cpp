// What assistive technology sees of the slider and what it can do with it.
#include <QAccessible>
#include <QtTest>

#include "controls/TzkTrackBar.h"
#include "controls/TzkTrackBarAccessible.h"

namespace {
// Value changes announced since the handler was installed.
QList<QPair<QObject*, QVariant>>* g_announced = nullptr;
void RecordUpdate(QAccessibleEvent* event) {
  if (g_announced && event->type() == QAccessible::ValueChanged)
    *g_announced << qMakePair(event->object(), static_cast<QAccessibleValueChangeEvent*>(event)->value());
}
}  // namespace

class TrackBarAccessibleTest : public QObject {
  Q_OBJECT

 private slots:
  void sliderWithNameAndValues() {
    InstallTrackBarAccessibility();  // a second call changes nothing
    TzkTrackBar bar;
    bar.SetMin(-24);
    bar.SetMax(24);
    bar.setToolTip("63 Hz|Band 5 of the curve");
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&bar);
    QVERIFY(iface);
    QCOMPARE(iface->role(), QAccessible::Slider);
    QCOMPARE(iface->text(QAccessible::Name), QString("63 Hz"));
    QAccessibleValueInterface* value = iface->valueInterface();
    QVERIFY(value);
    QCOMPARE(value->minimumValue().toInt(), -24);
    QCOMPARE(value->maximumValue().toInt(), 24);
    QCOMPARE(value->minimumStepSize().toInt(), 1);
    bar.SetPositionNC(5);
    QCOMPARE(value->currentValue().toInt(), 5);

    TzkTrackBar gain;
    gain.setAccessibleName("Gain");
    QCOMPARE(QAccessible::queryAccessibleInterface(&gain)->text(QAccessible::Name), QString("Gain"));
  }

  void levelsInDecibels() {
    // The equalizer's sliders: half-decibel steps, read and set in dB.
    TzkTrackBar bar;
    bar.SetMin(-24);
    bar.SetMax(24);
    bar.SetAccessibleValueScale(2, "dB");
    bar.SetPositionNC(6);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&bar);
    QAccessibleValueInterface* value = iface->valueInterface();
    QCOMPARE(value->currentValue().toDouble(), 3.0);
    QCOMPARE(value->minimumValue().toDouble(), -12.0);
    QCOMPARE(value->maximumValue().toDouble(), 12.0);
    QCOMPARE(value->minimumStepSize().toDouble(), 0.5);
    QCOMPARE(iface->text(QAccessible::Value), QString("+3 dB"));
    bar.SetPositionNC(-3);
    QCOMPARE(iface->text(QAccessible::Value), QString("-1.5 dB"));

    QList<int> changes;
    bar.OnChange = [&](TzkTrackBar& s) { changes << s.Position(); };
    value->setCurrentValue(4.2);   // to the nearest half decibel
    value->setCurrentValue(-1.3);
    value->setCurrentValue(40);    // clamped to +12 dB
    QCOMPARE(changes, QList<int>({8, -3, 24}));
  }

  void setCurrentValueMovesAsTheOperatorWould() {
    TzkTrackBar bar;
    bar.SetMin(-24);
    bar.SetMax(24);
    QStringList events;
    bool allow = true;
    bar.OnChanging = [&](TzkTrackBar&, int newPos, bool& ok) {
      events << QStringLiteral("changing %1").arg(newPos);
      ok = allow;
    };
    bar.OnChange = [&](TzkTrackBar& s) { events << QStringLiteral("change %1").arg(s.Position()); };
    QAccessibleValueInterface* value = QAccessible::queryAccessibleInterface(&bar)->valueInterface();

    value->setCurrentValue(3.6);
    value->setCurrentValue(1000);
    value->setCurrentValue(-2.5);  // halves to even
    QCOMPARE(events, QStringList({"changing 4", "change 4", "changing 24", "change 24", "changing -2",
                                  "change -2"}));
    events.clear();
    allow = false;
    value->setCurrentValue(7);
    QCOMPARE(events, QStringList({"changing 7"}));
    QCOMPARE(bar.Position(), -2);
    allow = true;
    bar.setEnabled(false);
    value->setCurrentValue(9);
    QCOMPARE(bar.Position(), -2);
  }

  void everyPositionChangeIsAnnounced() {
    QList<QPair<QObject*, QVariant>> announced;
    g_announced = &announced;
    // Qt passes accessibility events on only while a platform bridge is
    // active (AT-SPI on xcb with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1);
    // the offscreen platform has none.
    if (!QTest::qWaitFor([] { return QAccessible::isActive(); }, 1000))
      QSKIP("no active accessibility bridge on this platform");
    QAccessible::UpdateHandler previous = QAccessible::installUpdateHandler(RecordUpdate);
    {
      TzkTrackBar bar;
      bar.SetPosition(3);
      bar.SetPositionNC(4);
      QTest::keyClick(&bar, Qt::Key_Up);
      bar.SetMax(2);  // pulls the position down
      bar.OnChanging = [](TzkTrackBar&, int, bool& ok) { ok = false; };
      bar.SetPosition(0);  // refused: nothing to announce
      QCOMPARE(announced.size(), 4);
      QCOMPARE(announced[0].first, &bar);
      QCOMPARE(announced[0].second.toInt(), 3);
      QCOMPARE(announced[1].second.toInt(), 4);
      QCOMPARE(announced[2].second.toInt(), 5);
      QCOMPARE(announced[3].second.toInt(), 2);
    }
    QAccessible::installUpdateHandler(previous);
    g_announced = nullptr;
  }
};

int RunTrackBarAccessibleTests(int argc, char** argv) {
  TrackBarAccessibleTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "trackbar_accessible_test.moc"
