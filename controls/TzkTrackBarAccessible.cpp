#include "controls/TzkTrackBarAccessible.h"

#include <QVariant>
#include <algorithm>
#include <cmath>
#include <mutex>

#include "controls/TzkTrackBar.h"

TzkTrackBarAccessible::TzkTrackBarAccessible(TzkTrackBar* trackBar)
    : QAccessibleWidget(trackBar, QAccessible::Slider) {}

TzkTrackBar* TzkTrackBarAccessible::trackBar() const { return static_cast<TzkTrackBar*>(widget()); }

QString TzkTrackBarAccessible::text(QAccessible::Text t) const {
  switch (t) {
    case QAccessible::Name: {
      // The tool tip without the long hint that may follow a "|".
      const QString tip = trackBar()->toolTip().section(QLatin1Char('|'), 0, 0);
      return tip.isEmpty() ? trackBar()->accessibleName() : tip;
    }
    case QAccessible::Value: {
      // "+3 dB", "-1.5 dB", "0 dB"; the bare position without a unit.
      const TzkTrackBar* bar = trackBar();
      if (bar->AccessibleUnit().isEmpty()) return QString::number(bar->AccessibleValue());
      const double v = bar->AccessibleValue();
      return QString(v > 0 ? "+" : "") + QString::number(v) + " " + bar->AccessibleUnit();
    }
    default:
      return QAccessibleWidget::text(t);
  }
}

void* TzkTrackBarAccessible::interface_cast(QAccessible::InterfaceType t) {
  if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
  return QAccessibleWidget::interface_cast(t);
}

QVariant TzkTrackBarAccessible::currentValue() const { return trackBar()->AccessibleValue(); }
QVariant TzkTrackBarAccessible::maximumValue() const {
  return trackBar()->Max() / trackBar()->AccessibleStepsPerUnit();
}
QVariant TzkTrackBarAccessible::minimumValue() const {
  return trackBar()->Min() / trackBar()->AccessibleStepsPerUnit();
}
QVariant TzkTrackBarAccessible::minimumStepSize() const { return 1 / trackBar()->AccessibleStepsPerUnit(); }

void TzkTrackBarAccessible::setCurrentValue(const QVariant& value) {
  TzkTrackBar* bar = trackBar();
  bool ok = false;
  const double v = value.toDouble(&ok) * bar->AccessibleStepsPerUnit();
  if (!ok || !std::isfinite(v) || !bar->isEnabled()) return;
  const double clamped = std::clamp(std::nearbyint(v), double(bar->Min()), double(bar->Max()));
  bar->SetPosition(int(clamped));
}

namespace {
QAccessibleInterface* TrackBarFactory(const QString& className, QObject* object) {
  if (className == QLatin1String("TzkTrackBar") && object && object->isWidgetType())
    if (auto* bar = qobject_cast<TzkTrackBar*>(object)) return new TzkTrackBarAccessible(bar);
  return nullptr;
}
}  // namespace

void InstallTrackBarAccessibility() {
  static std::once_flag once;
  std::call_once(once, [] { QAccessible::installFactory(TrackBarFactory); });
}
