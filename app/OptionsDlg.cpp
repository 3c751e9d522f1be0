#include "app/OptionsDlg.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QTabWidget>
#include <algorithm>

#include "app/FormSupport.h"

namespace {
constexpr int kMinRangeDb = 1;
constexpr int kMaxRangeDb = 12;

QGroupBox* Group(const QString& caption, QWidget* parent, int left, int top, int width,
                 int height) {
  return Place(new QGroupBox(caption, parent), left, top, width, height, caption);
}

QCheckBox* CheckBox(const QString& caption, QWidget* parent, int left, int top, int width,
                    int height) {
  return Place(new QCheckBox(caption, parent), left, top, width, height, caption.trimmed());
}

// A read-only number box with its label to the left of it.
QLineEdit* ReadOnlyBox(const QString& label, QWidget* parent, int labelLeft, int left, int top) {
  auto* edit = Place(new QLineEdit(parent), left, top, 53, 21, label.trimmed());
  edit->setReadOnly(true);
  edit->setAccessibleDescription(label.trimmed());
  auto* caption = Place(new QLabel(label, parent), labelLeft, top + 3, left - labelLeft - 2, 15,
                        label.trimmed());
  caption->setBuddy(edit);
  return edit;
}
}  // namespace

TOptionsDlg::TOptionsDlg(OperatorMessages& messages, QWidget* parent)
    : QDialog(parent), messages_(messages) {
  BeginForm(*this, "Options", 501, 367);

  PageControl1 = Place(new QTabWidget(this), 0, 0, 501, 367, "Options pages");
  ScreenLayoutPage = new QWidget;
  EditPage = new QWidget;
  PageControl1->addTab(ScreenLayoutPage, "Screen Layout");
  PageControl1->addTab(EditPage, "Edit");
  ScreenLayoutPage->setAccessibleName("Screen Layout");
  EditPage->setAccessibleName("Edit");

  // Page "Screen Layout".
  QWidget* page = ScreenLayoutPage;
  CurrentConditions = Group("Current Conditions", page, 16, 8, 353, 89);
  EditSliderHeight = ReadOnlyBox("Slider Height   ", CurrentConditions, 6, 80, 20);
  EditSliderWidth = ReadOnlyBox("Slider Width   ", CurrentConditions, 6, 80, 56);
  EditChildWindowHeight = ReadOnlyBox("Window Height   ", CurrentConditions, 150, 248, 20);
  EditChildWindowWidth = ReadOnlyBox("Window Width   ", CurrentConditions, 150, 248, 56);

  Bevel1 = Place(new QFrame(page), 12, 108, 469, 181, "Screen layout frame");
  Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);

  SliderRangeGroup = Group("Slider Range (dB)", page, 32, 156, 101, 73);
  PlusMinusLabel = Place(new QLabel("+/-  ", SliderRangeGroup), 8, 31, 24, 15, "+/-");
  SESliderRange = Place(new QSpinBox(SliderRangeGroup), 32, 28, 61, 22, "Slider Range (dB)");
  SESliderRange->setRange(kMinRangeDb, kMaxRangeDb);
  SESliderRange->setValue(kMaxRangeDb);
  SESliderRange->setAccessibleDescription("Slider Range (dB)");
  PlusMinusLabel->setBuddy(SESliderRange);

  RGTileOptions = new TRadioGroup("Tile Options",
                                  {"All on Screen", "Two on Screen", "Three on Screen "},
                                  QRect(144, 124, 149, 153), page);

  WindowParameters = Group("Window Parameters", page, 304, 144, 153, 117);
  CBHintsOnScreen = CheckBox("Show Tool Tips", WindowParameters, 12, 32, 133, 17);
  CBTaskBarEnabled = CheckBox("Task Bar Enabled", WindowParameters, 12, 76, 133, 17);

  // Page "Edit".
  CopyPasteOptions = Group("Copy / Paste Options", EditPage, 64, 28, 265, 165);
  CopyBand1_29 = CheckBox("Copy Bands 1 - 29", CopyPasteOptions, 16, 28, 241, 17);
  CopyMasterGain = CheckBox("Copy Master Gain  ", CopyPasteOptions, 16, 60, 241, 17);
  CopyPasteHPLPFilters =
      CheckBox("Copy High Pass and Low Pass Filters", CopyPasteOptions, 16, 92, 241, 17);
  CopyPresetName = CheckBox("Copy Preset Name", CopyPasteOptions, 16, 124, 241, 17);
  // Paste always takes the bands; the option itself is not edited here.
  CopyBand1_29->setChecked(true);
  CopyBand1_29->setEnabled(false);

  PageControl1->setCurrentWidget(EditPage);

  // The buttons stand on the lower edge of the pages, above the page control.
  Button1 = Place(new QPushButton("OK", this), 243, 320, 75, 25, "OK");
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, &TOptionsDlg::Button1Click);
  Button2 = Place(new QPushButton("Cancel", this), 323, 320, 75, 25, "Cancel");
  connect(Button2, &QPushButton::clicked, this, &TOptionsDlg::Button2Click);
  HelpBtn = Place(new QPushButton("&Help", this), 403, 320, 75, 25, "Help");
  HelpBtn->setAutoDefault(false);

  EndForm(*this);
}

void TOptionsDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) {
    CentreOnScreen(*this);
    FormActivate();
  }
}

void TOptionsDlg::FormActivate() {
  EditSliderHeight->setText(QString::number(Options.SliderHeight));
  EditSliderWidth->setText(QString::number(Options.SliderWidth));
  EditChildWindowHeight->setText(QString::number(Options.ChildWindowHeight));
  EditChildWindowWidth->setText(QString::number(Options.ChildWindowWidth));
  // The spin box keeps the value within 1 to 12 dB (a range of 26 steps
  // shows 12).
  SESliderRange->setValue(Options.SliderRange / 2);
  CBHintsOnScreen->setChecked(Options.HintsOnPage);
  CBTaskBarEnabled->setChecked(Options.TaskBarEnabled);
  RGTileOptions->SetItemIndex(Options.TileOptions);
  CopyPasteHPLPFilters->setChecked(Options.CopyHPLP);
  CopyPresetName->setChecked(Options.CopyPresetName);
  CopyMasterGain->setChecked(Options.CopyMasterGain);
}

int TOptionsDlg::SliderRangeDb() const {
  bool whole = false;
  const int v = SESliderRange->cleanText().trimmed().toInt(&whole);
  if (!whole) return kMinRangeDb;
  return std::clamp(v, kMinRangeDb, kMaxRangeDb);
}

void TOptionsDlg::Button1Click() {
  Options.AutoScale = true;
  Options.HintsOnPage = CBHintsOnScreen->isChecked();

  const int32_t steps = 2 * SliderRangeDb();
  const int32_t inUse = MaxBandExcursion ? MaxBandExcursion() : 0;
  if (steps < inUse) {
    messages_.ShowMessage(
        "Slider Range Error",
        "Warning!  Slider range selected will destroy current settings.  Retaining current value.",
        MessageIcon::Warning);
  } else {
    Options.SliderRange = steps;
  }

  Options.TaskBarEnabled = CBTaskBarEnabled->isChecked();
  Options.TileOptions = RGTileOptions->ItemIndex();
  Options.CopyHPLP = CopyPasteHPLPFilters->isChecked();
  Options.CopyPresetName = CopyPresetName->isChecked();
  Options.CopyMasterGain = CopyMasterGain->isChecked();

  if (StartLayoutTimer) StartLayoutTimer();
  accept();
}

void TOptionsDlg::Button2Click() { reject(); }
