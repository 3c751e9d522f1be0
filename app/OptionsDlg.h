#pragma once
// The options dialog: edits the program options and shows the current
// slider and window sizes. It exists for the whole run, owns the one
// options record, and refuses a slider range that would cut off slider
// positions already in use.
#include <QDialog>
#include <cstdint>
#include <functional>

#include "eqwindow/OperatorMessages.h"
#include "settings/ProgramOptions.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class TRadioGroup;

class TOptionsDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TOptionsDlg(OperatorMessages& messages, QWidget* parent = nullptr);

  // The one options record of the program.
  TProgramOptions Options;
  // The largest slider position in use (the frame's value, computed just
  // before the dialog is shown); unset reads as 0.
  std::function<int32_t()> MaxBandExcursion;
  // OK starts the frame's one-shot layout timer through this.
  std::function<void()> StartLayoutTimer;

  // Fills the controls from Options; runs whenever the dialog is shown.
  void FormActivate();
  // OK: takes the controls into Options (with the slider-range guard),
  // starts the layout timer and closes the dialog.
  void Button1Click();
  // Cancel: closes the dialog; Options stay as they were.
  void Button2Click();

  QTabWidget* PageControl1;
  QWidget* ScreenLayoutPage;
  QWidget* EditPage;
  QPushButton* Button1;  // OK
  QPushButton* Button2;  // Cancel
  QPushButton* HelpBtn;

  // Page "Screen Layout".
  QGroupBox* CurrentConditions;
  QLineEdit* EditSliderHeight;
  QLineEdit* EditSliderWidth;
  QLineEdit* EditChildWindowHeight;
  QLineEdit* EditChildWindowWidth;
  QFrame* Bevel1;
  QGroupBox* SliderRangeGroup;
  QLabel* PlusMinusLabel;
  QSpinBox* SESliderRange;
  TRadioGroup* RGTileOptions;
  QGroupBox* WindowParameters;
  QCheckBox* CBHintsOnScreen;
  QCheckBox* CBTaskBarEnabled;

  // Page "Edit".
  QGroupBox* CopyPasteOptions;
  QCheckBox* CopyBand1_29;
  QCheckBox* CopyMasterGain;
  QCheckBox* CopyPasteHPLPFilters;
  QCheckBox* CopyPresetName;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // The spin box's number in dB; a text that is not a whole number reads
  // as the lowest value.
  int SliderRangeDb() const;

  OperatorMessages& messages_;
};
