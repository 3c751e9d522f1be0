#include "controls/ToolkitDialogs.h"

#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>

#include "controls/zkScale.h"

namespace {
// A dialog may take up to this share of its screen's available area.
constexpr int kScreenShare = 90;

void Fit(QDialog& dialog, QSize designSize) {
  const FormScale scale = ApplicationScale(ScreenMetrics::Primary());
  QSize wanted = dialog.sizeHint().expandedTo(dialog.size());
  if (designSize.isValid())
    wanted = wanted.expandedTo(QSize(scale.Of(designSize.width()), scale.Of(designSize.height())));
  const QWidget* parent = dialog.parentWidget();
  QScreen* screen = parent ? parent->screen() : dialog.screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (screen) {
    const QRect area = screen->availableGeometry();
    wanted = wanted.boundedTo(
        QSize(area.width() * kScreenShare / 100, area.height() * kScreenShare / 100));
  }
  dialog.resize(wanted);
}

// Fits the dialog as it shows, before the dialog centres itself over its
// parent with its new size.
class ShowFitter : public QObject {
 public:
  ShowFitter(QDialog& dialog, QSize designSize) : QObject(&dialog), designSize_(designSize) {
    dialog.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Show) return false;
    // Only a dialog that is one still: the filter also hears the events of
    // the dialog's own destruction, when it is no more than a QWidget.
    auto* dialog = qobject_cast<QDialog*>(watched);
    // A native dialog shows its widget only for its state, never on the
    // screen.
    if (dialog && !dialog->testAttribute(Qt::WA_DontShowOnScreen)) Fit(*dialog, designSize_);
    return false;
  }

 private:
  QSize designSize_;
};
}  // namespace

void FitToolkitDialog(QDialog& dialog, QSize designSize) { new ShowFitter(dialog, designSize); }
