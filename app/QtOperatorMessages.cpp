#include "app/QtOperatorMessages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>
#include <QTextEdit>
#include <algorithm>

namespace {
QMessageBox::Icon ToQt(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Error:
      return QMessageBox::Critical;
    case MessageIcon::Warning:
      return QMessageBox::Warning;
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::Question:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

// A box that fits the screen: a text too long for it (a line for each of
// many devices) goes, its longest paragraph, into the box's details, shown
// open and scrolling, so that the question and the buttons stay in view.
class FittedBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);  // the box takes its size here
    if (fitted_) return;
    fitted_ = true;
    QScreen* screen = parentWidget() ? parentWidget()->screen() : this->screen();
    const QRect available = screen->availableGeometry();
    // The title bar, where the window manager has not added it yet.
    const int decoration = std::max(frameGeometry().height() - height(),
                                    style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this));
    const int room = available.height() - decoration;
    if (height() <= room) return;
    QStringList paragraphs = text().split("\n\n");
    const auto longest =
        std::max_element(paragraphs.begin(), paragraphs.end(),
                         [](const QString& a, const QString& b) { return a.size() < b.size(); });
    const QString details = *longest;
    paragraphs.erase(longest);
    setText(paragraphs.join("\n\n"));
    setDetailedText(details);
    for (QAbstractButton* b : buttons())
      if (buttonRole(b) == ActionRole) b->click();  // opens the details
    if (auto* edit = findChild<QTextEdit*>()) {
      edit->setAccessibleName("Details");
      // As tall as its text, or as the screen leaves room for.
      const int needed = int(edit->document()->size().height()) + 2 * edit->frameWidth();
      const int least = 3 * edit->fontMetrics().lineSpacing();
      edit->setFixedHeight(std::max(least, std::min(needed, edit->height() + room - height())));
      setText(text());  // sizes the box again
    }
    // Centred again for its new height, inside the screen.
    const int total = height() + decoration;
    const int centre =
        parentWidget() ? parentWidget()->frameGeometry().center().y() : available.center().y();
    const int top = std::clamp(centre - total / 2, available.top(),
                               std::max(available.top(), available.bottom() + 1 - total));
    move(x(), top);
  }

 private:
  bool fitted_ = false;
};

int Show(QWidget* parent, const std::string& caption, const std::string& text, MessageIcon icon,
         QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) {
  FittedBox box(ToQt(icon), QString::fromStdString(caption), QString::fromStdString(text), buttons,
                parent);
  box.setDefaultButton(defaultButton);
  return box.exec();
}
}  // namespace

void QtOperatorMessages::ShowMessage(const std::string& caption, const std::string& text,
                                     MessageIcon icon) {
  Show(parent_, caption, text, icon, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtOperatorMessages::AskYesNo(const std::string& caption, const std::string& text,
                                  MessageIcon icon) {
  return Show(parent_, caption, text, icon, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
         QMessageBox::Yes;
}

void QtOperatorMessages::ShowException(const std::string& message) {
  std::string text = message;
  // The default display ends a message with a full stop.
  if (!text.empty() && text.back() != '.') text += '.';
  Show(parent_, QApplication::applicationName().toStdString(), text, MessageIcon::Error,
       QMessageBox::Ok, QMessageBox::Ok);
}
