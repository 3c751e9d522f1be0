#pragma once
// The Target dialog: the curve a window's fit aims for. Flat, a tilt about
// 1 kHz with its slope, the cinema X-curve, or a house curve read from a
// file. OK reads the house-curve file; a file that cannot be taken is
// named in a message and the dialog stays open.
#include <QDialog>
#include <functional>
#include <optional>

#include "eq/MeasurementFile.h"

class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class OperatorMessages;
class TRadioGroup;

class TTargetDlg : public QDialog {
  Q_OBJECT
 public:
  enum Item { FlatItem, TiltItem, XCurveItem, HouseItem };

  explicit TTargetDlg(OperatorMessages& messages, QWidget* parent = nullptr);

  // Shows this target as chosen; houseFile is the path of the last house
  // curve (its file name is what a house target describes itself by).
  void SetTarget(const TargetCurve& target, const QString& houseFile);
  // The target chosen, once the dialog was accepted.
  const std::optional<TargetCurve>& Target() const { return target_; }
  QString HouseFile() const;

  // The house-curve file's open dialog; when empty the platform's is shown.
  // Returns the chosen path, or an empty one when cancelled.
  std::function<QString()> RunBrowseDialog;

  TRadioGroup* RadioGroup1;
  QLabel* SlopeLabel;
  QDoubleSpinBox* SESlope;
  QLabel* FileLabel;
  QLineEdit* EBHouseFile;
  QPushButton* BrowseBtn;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 public slots:
  void accept() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BrowseBtnClick();
  // The slope belongs to the tilt, the file to the house curve.
  void EnableItemControls();

  OperatorMessages& messages_;
  std::optional<TargetCurve> target_;
};
