#pragma once
// Tool tips with two parts and the application's hint event.
//
// A hint text is split at its first "|": the part before is the tool tip,
// the part after is the long hint that the application publishes to its one
// hint listener while the pointer is over the control (or a menu item is
// highlighted). A text without "|" serves as both. Equalizer windows install
// themselves as the listener to show the long hint in their status bar.
#include <QObject>
#include <QString>
#include <functional>

class QAction;
class QApplication;
class QWidget;

QString ShortHint(const QString& hint);
QString LongHint(const QString& hint);

// Gives a control its tool tip and long hint; the accessible description
// becomes the tool tip so that screen readers hear it too.
void SetHint(QWidget& control, const QString& hint);
// A menu item or menu: its long hint is published while it is highlighted.
void SetHint(QAction& item, const QString& hint);

// Whether a control shows tool tips; controls without a setting follow
// their parent.
void SetShowHint(QWidget& control, bool show);
bool ShowsHint(const QWidget& control);

class ApplicationHint : public QObject {
  Q_OBJECT
 public:
  using Listener = std::function<void(const QString& longHint)>;

  static ApplicationHint& Instance();

  // One listener at a time: installing replaces the one before.
  void SetListener(const void* owner, Listener listener);
  // Removes the listener only if owner installed it.
  void RemoveListener(const void* owner);
  bool HasListener(const void* owner) const { return owner_ == owner && listener_; }

  // Sets the current long hint; the listener hears of every change.
  void Publish(const QString& longHint);
  QString Hint() const { return hint_; }

  // Watches the pointer entering controls and the tool-tip requests of the
  // whole application; sets the tool-tip colour (yellow) and delay (1000 ms).
  static void Install(QApplication& app);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  const void* owner_ = nullptr;
  Listener listener_;
  QString hint_;
};
