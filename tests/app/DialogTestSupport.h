#pragma once
// Helpers for the dialog tests: driving modal dialogs, accessible names,
// snapshots.
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

// Runs `act` on the next modal dialog as soon as it is shown; closes the
// dialog afterwards if `act` left it open, so a failed check cannot hang
// the test.
inline void OnModal(std::function<void(QDialog&)> act) {
  auto* poll = new QTimer;
  poll->setInterval(5);
  auto deadline = std::make_shared<int>(2000);
  QObject::connect(poll, &QTimer::timeout, [poll, act, deadline] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog && --*deadline > 0) return;
    poll->stop();
    poll->deleteLater();
    if (!dialog) return;
    act(*dialog);
    if (dialog->isVisible()) dialog->reject();
  });
  poll->start();
}

// Controls that carry no accessible name, by class and text.
inline QStringList UnnamedControls(QWidget& form) {
  QStringList unnamed;
  for (QWidget* w : form.findChildren<QWidget*>()) {
    // The line edits inside spin boxes and combo boxes belong to them.
    if (qobject_cast<QLineEdit*>(w) &&
        (qobject_cast<QAbstractSpinBox*>(w->parentWidget()) ||
         qobject_cast<QComboBox*>(w->parentWidget())))
      continue;
    const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                         qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QComboBox*>(w) ||
                         qobject_cast<QGroupBox*>(w);
    if (!control) continue;
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    if (!a || a->text(QAccessible::Name).trimmed().isEmpty())
      unnamed << QString("%1 \"%2\"").arg(w->metaObject()->className(), w->objectName());
  }
  return unnamed;
}

// Saves a picture of the form when VARLO_DIALOG_SNAPSHOTS names a folder.
inline void SaveScreen(QWidget& form, const QString& name) {
  const QString dir = qEnvironmentVariable("VARLO_DIALOG_SNAPSHOTS");
  if (dir.isEmpty()) return;
  QDir().mkpath(dir);
  form.grab().save(dir + "/" + name + ".png");
}

// Whether the form was laid out at its design size (no screen scaling).
inline bool AtDesignScale(const QWidget& form) { return !form.property("scaled").toBool(); }

int RunComPortDialogTests(int argc, char** argv);
int RunSelectPortTests(int argc, char** argv);
int RunOptionsDialogTests(int argc, char** argv);
int RunAboutBoxTests(int argc, char** argv);
