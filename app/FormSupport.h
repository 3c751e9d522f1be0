#pragma once
// Building blocks shared by the program's dialogs: forms laid out with
// absolute design geometry in the design font, and the radio group.
#include <QGroupBox>
#include <QRect>
#include <QStringList>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QDialog;
class QRadioButton;
class QWidget;

// Sets the design font (11 pixels high), the caption and the design client
// size. Controls are placed afterwards in design pixels.
void BeginForm(QDialog& form, const QString& caption, int clientWidth, int clientHeight);
// Scales the finished form to the screen once and fixes its size there.
void EndForm(QDialog& form);
// Centres a top-level window on the primary screen.
void CentreOnScreen(QWidget& form);

// Places a control at its design rectangle and names it for assistive
// technology; returns the control.
template <class Control>
Control* Place(Control* control, int left, int top, int width, int height,
               const QString& accessibleName) {
  control->setGeometry(left, top, width, height);
  control->setAccessibleName(accessibleName);
  return control;
}


// A captioned group of exclusive radio buttons, one column of items spread
// evenly over the group's height. ItemIndex is -1 when no item is selected.
class TRadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  TRadioGroup(const QString& caption, const QStringList& items, const QRect& design,
              QWidget* parent);

  int ItemIndex() const;
  // Below 0 clears the selection; beyond the last item selects the last.
  void SetItemIndex(int index);
  int Count() const { return static_cast<int>(buttons_.size()); }
  QRadioButton* Item(int index) const { return buttons_.at(index); }

 private:
  QButtonGroup* group_;
  std::vector<QRadioButton*> buttons_;
};
