#include "controls/StatusPanelAccessible.h"

#include <mutex>

#include "controls/FittedText.h"

StatusPanelAccessible::StatusPanelAccessible(StatusPanel* panel)
    : QAccessibleWidget(panel, QAccessible::StaticText) {}

QString StatusPanelAccessible::text(QAccessible::Text t) const {
  const auto* panel = static_cast<const StatusPanel*>(widget());
  const QString shown = panel->text().trimmed();
  switch (t) {
    case QAccessible::Name: {
      const QString caption = panel->accessibleName();
      if (caption.isEmpty()) return shown;
      // A caption panel ("Freq", "Range") shows its own name.
      if (shown.isEmpty() || shown == caption) return caption;
      return caption + QStringLiteral(": ") + shown;
    }
    case QAccessible::Value:
      return shown;
    default:
      return QAccessibleWidget::text(t);
  }
}

namespace {
QAccessibleInterface* StatusPanelFactory(const QString& className, QObject* object) {
  if (className == QLatin1String("StatusPanel") && object && object->isWidgetType())
    if (auto* panel = qobject_cast<StatusPanel*>(object)) return new StatusPanelAccessible(panel);
  return nullptr;
}
}  // namespace

void InstallStatusPanelAccessibility() {
  static std::once_flag once;
  std::call_once(once, [] { QAccessible::installFactory(StatusPanelFactory); });
}
