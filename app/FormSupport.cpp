#include "app/FormSupport.h"

#include <QButtonGroup>
#include <algorithm>
#include <QDialog>
#include <QGuiApplication>
#include <QRadioButton>
#include <QScreen>

#include "controls/zkScale.h"

void BeginForm(QDialog& form, const QString& caption, int clientWidth, int clientHeight) {
  QFont font = form.font();
  font.setPixelSize(-kDesignFontHeight);
  form.setFont(font);
  form.setWindowTitle(caption);
  form.resize(clientWidth, clientHeight);
}

void EndForm(QDialog& form) {
  // The size is fixed only after scaling: a fixed size would keep the
  // scaling from resizing the form. A dialog never grows taller than the
  // screen: its buttons must stay on it.
  ScaleFormToScreen(form, FormFit::WithinScreenHeight);
  form.setFixedSize(form.size());
}

void CentreOnScreen(QWidget& form) {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    QRect frame = form.frameGeometry();
    frame.moveCenter(area.center());
    form.move(frame.topLeft());
  }
}

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, const QRect& design,
                         QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)) {
  setGeometry(design);
  setAccessibleName(caption);
  // The items share the room below the caption equally.
  constexpr int captionHeight = 16, bottomMargin = 6, itemHeight = 17;
  const int n = static_cast<int>(items.size());
  const int slot = n > 0 ? (design.height() - captionHeight - bottomMargin) / n : 0;
  for (int i = 0; i < n; ++i) {
    auto* button = new QRadioButton(items[i], this);
    button->setGeometry(10, captionHeight + i * slot + (slot - itemHeight) / 2,
                        design.width() - 18, itemHeight);
    button->setAccessibleName(items[i].trimmed());
    group_->addButton(button, i);
    buttons_.push_back(button);
  }
}

int TRadioGroup::ItemIndex() const { return group_->checkedId(); }

void TRadioGroup::SetItemIndex(int index) {
  if (buttons_.empty()) return;
  if (index < 0) {
    // An exclusive group never lets its checked button go by itself.
    if (QAbstractButton* checked = group_->checkedButton()) {
      group_->setExclusive(false);
      checked->setChecked(false);
      group_->setExclusive(true);
    }
    return;
  }
  buttons_[std::min<std::size_t>(index, buttons_.size() - 1)]->setChecked(true);
}
