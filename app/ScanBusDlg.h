#pragma once
// The Scan Bus dialog: the range of addresses a scan asks, "From" and "To"
// (1 and 240 unless changed), and what a scan of absent addresses costs.
#include <QDialog>
#include <utility>

class QLabel;
class QPushButton;
class QSpinBox;

class TScanBusDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TScanBusDlg(QWidget* parent = nullptr);

  // From the lower to the higher of the two boxes.
  std::pair<int, int> Range() const;

  QLabel* FromLabel;
  QSpinBox* SEFrom;
  QLabel* ToLabel;
  QSpinBox* SETo;
  QLabel* CostLabel;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void UpdateCost();
};
