#pragma once
// The Com Port Setup dialog: the program's own choice of serial port among
// COM 1 to COM 4. It has no behaviour of its own; the caller selects the
// current port before showing it and reads the selected item afterwards
// (item index i stands for port i + 1, -1 for none).
#include <QDialog>

class QFrame;
class QPushButton;
class TRadioGroup;

class TComPortDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TComPortDlg(QWidget* parent = nullptr);

  int ItemIndex() const;         // -1 none, 0..3
  void SetItemIndex(int index);  // -1 clears; beyond the last item selects "Com 4"

  QFrame* Bevel1;
  TRadioGroup* RadioGroup1;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 protected:
  void showEvent(QShowEvent* event) override;
};
