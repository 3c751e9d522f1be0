#pragma once
// The Link Windows dialog: a check box per open equalizer window (its
// caption and address), "Relative" or "Absolute", and what follows:
// "Bands and Gain", "Filters", "Mute and Bypass".
#include <QDialog>
#include <QString>
#include <vector>

#include "eq/LinkGroup.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class TRadioGroup;

class TLinkWindowsDlg : public QDialog {
  Q_OBJECT
 public:
  enum { RelativeItem, AbsoluteItem };
  explicit TLinkWindowsDlg(QWidget* parent = nullptr);

  // One row per window, checked when `checked`.
  void AddWindow(const QString& caption, int address, bool checked);
  // The rows checked, in order.
  std::vector<int> CheckedRows() const;
  LinkMode Mode() const;
  LinkFollows Follows() const;

  QLabel* WindowsLabel;
  QListWidget* WindowList;
  TRadioGroup* ModeGroup;
  QCheckBox* CBBands;
  QCheckBox* CBFilters;
  QCheckBox* CBMuteBypass;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void EnableOK();
};
