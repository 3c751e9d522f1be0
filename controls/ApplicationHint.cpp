#include "controls/ApplicationHint.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QPalette>
#include <QToolTip>
#include <QWidget>

#include "controls/ProgramStyle.h"

namespace {
constexpr const char* kLongHintProperty = "varloLongHint";
constexpr const char* kShowHintProperty = "varloShowHint";
constexpr int kToolTipDelayMs = 1000;

// The program's style with the tool-tip delay of the program.
class HintStyle : public ProgramStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_ToolTip_WakeUpDelay) return kToolTipDelayMs;
    return ProgramStyle::styleHint(hint, option, widget, returnData);
  }
};
}  // namespace

QString ShortHint(const QString& hint) {
  const qsizetype bar = hint.indexOf('|');
  return bar < 0 ? hint : hint.left(bar);
}

QString LongHint(const QString& hint) {
  const qsizetype bar = hint.indexOf('|');
  return bar < 0 ? hint : hint.mid(bar + 1);
}

void SetHint(QWidget& control, const QString& hint) {
  control.setToolTip(ShortHint(hint));
  control.setProperty(kLongHintProperty, LongHint(hint));
  if (control.accessibleName().isEmpty()) control.setAccessibleName(ShortHint(hint));
  control.setAccessibleDescription(ShortHint(hint));
}

void SetHint(QAction& item, const QString& hint) {
  item.setToolTip(ShortHint(hint));
  // Menus publish an item's status tip while it is highlighted; the frame
  // passes it on as the long hint.
  item.setStatusTip(LongHint(hint));
}

void SetShowHint(QWidget& control, bool show) { control.setProperty(kShowHintProperty, show); }

bool ShowsHint(const QWidget& control) {
  for (const QWidget* w = &control; w; w = w->parentWidget()) {
    const QVariant v = w->property(kShowHintProperty);
    if (v.isValid()) return v.toBool();
  }
  return true;
}

ApplicationHint& ApplicationHint::Instance() {
  static ApplicationHint instance;
  return instance;
}

void ApplicationHint::SetListener(const void* owner, Listener listener) {
  owner_ = owner;
  listener_ = std::move(listener);
}

void ApplicationHint::RemoveListener(const void* owner) {
  if (owner_ != owner) return;
  owner_ = nullptr;
  listener_ = nullptr;
}

void ApplicationHint::Publish(const QString& longHint) {
  if (longHint == hint_) return;
  hint_ = longHint;
  if (listener_) listener_(hint_);
}

void ApplicationHint::Install(QApplication& app) {
  app.installEventFilter(&Instance());
  app.setStyle(new HintStyle);
  QPalette tips = QToolTip::palette();
  tips.setColor(QPalette::ToolTipBase, QColor(255, 255, 0));
  tips.setColor(QPalette::ToolTipText, Qt::black);
  QToolTip::setPalette(tips);
}

namespace {
// The long hint of a control, or of its nearest parent in the same window
// that has one; empty when none has.
QString LongHintOf(const QWidget* w) {
  for (const QWidget* c = w; c; c = c->isWindow() ? nullptr : c->parentWidget()) {
    const QVariant v = c->property(kLongHintProperty);
    if (v.isValid()) return v.toString();
  }
  return {};
}
}  // namespace

bool ApplicationHint::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::Enter:
      if (auto* w = qobject_cast<QWidget*>(watched)) Publish(LongHintOf(w));
      break;
    case QEvent::Leave:
      // Back over the parent: its hint counts again.
      if (auto* w = qobject_cast<QWidget*>(watched); w && !w->isWindow())
        Publish(LongHintOf(w->parentWidget()));
      break;
    case QEvent::ToolTip:
      if (auto* w = qobject_cast<QWidget*>(watched); w && !ShowsHint(*w)) return true;
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}
