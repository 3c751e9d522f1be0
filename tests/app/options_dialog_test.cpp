// The options dialog: filling the controls, the slider-range guard on OK,
// Cancel, and the page kept between showings.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include "app/FormSupport.h"
#include "app/OptionsDlg.h"
#include "tests/app/DialogTestSupport.h"
#include "testsupport/RecordingOperatorMessages.h"

namespace {
const std::string kRangeText =
    "Warning!  Slider range selected will destroy current settings.  Retaining current value.";

// Options that differ from the defaults in every field.
TProgramOptions Unusual() {
  TProgramOptions o;
  o.SliderHeight = 123;
  o.SliderWidth = 17;
  o.SliderRange = 16;
  o.ChildWindowHeight = 456;
  o.ChildWindowWidth = 789;
  o.AutoScale = false;
  o.HintsOnPage = false;
  o.TaskBarEnabled = false;
  o.TileOptions = 2;
  o.CopyBands1_29 = false;
  o.CopyHPLP = true;
  o.CopyPresetName = true;
  o.CopyMasterGain = true;
  return o;
}

// The spin box's own text, which the operator may leave half typed.
QLineEdit* SpinText(QSpinBox* spin) { return spin->findChild<QLineEdit*>(); }
}  // namespace

class OptionsDialogTest : public QObject {
  Q_OBJECT
 private slots:
  void CaptionsAndDesign() {
    RecordingOperatorMessages messages;
    TOptionsDlg dlg(messages);
    QCOMPARE(dlg.windowTitle(), QString("Options"));
    QCOMPARE(dlg.PageControl1->count(), 2);
    QCOMPARE(dlg.PageControl1->tabText(0), QString("Screen Layout"));
    QCOMPARE(dlg.PageControl1->tabText(1), QString("Edit"));
    QCOMPARE(dlg.RGTileOptions->title(), QString("Tile Options"));
    QCOMPARE(dlg.RGTileOptions->Item(2)->text(), QString("Three on Screen "));
    QCOMPARE(dlg.CopyMasterGain->text(), QString("Copy Master Gain  "));
    QCOMPARE(dlg.CopyPasteHPLPFilters->text(), QString("Copy High Pass and Low Pass Filters"));
    QCOMPARE(dlg.SESliderRange->minimum(), 1);
    QCOMPARE(dlg.SESliderRange->maximum(), 12);
    QCOMPARE(dlg.HelpBtn->text(), QString("&Help"));
    QVERIFY(dlg.Button1->isDefault());
    if (AtDesignScale(dlg)) QCOMPARE(dlg.size(), QSize(501, 367));
    QCOMPARE(UnnamedControls(dlg), QStringList());

    dlg.Options = Unusual();
    dlg.show();
    SaveScreen(dlg, "options-edit");
    dlg.PageControl1->setCurrentWidget(dlg.ScreenLayoutPage);
    SaveScreen(dlg, "options-screen-layout");
    // No label's words run under the box it names (trailing blanks may).
    for (QLabel* label : dlg.CurrentConditions->findChildren<QLabel*>())
      QVERIFY2(label->fontMetrics().horizontalAdvance(label->text().trimmed()) <= label->width(),
               qPrintable(label->text()));
  }

  void FillingFromTheOptions() {
    RecordingOperatorMessages messages;
    TOptionsDlg dlg(messages);
    dlg.Options = Unusual();
    dlg.FormActivate();
    QCOMPARE(dlg.EditSliderHeight->text(), QString("123"));
    QCOMPARE(dlg.EditSliderWidth->text(), QString("17"));
    QCOMPARE(dlg.EditChildWindowHeight->text(), QString("456"));
    QCOMPARE(dlg.EditChildWindowWidth->text(), QString("789"));
    QVERIFY(dlg.EditSliderHeight->isReadOnly());
    QCOMPARE(dlg.SESliderRange->value(), 8);
    QVERIFY(!dlg.CBHintsOnScreen->isChecked());
    QVERIFY(!dlg.CBTaskBarEnabled->isChecked());
    QCOMPARE(dlg.RGTileOptions->ItemIndex(), 2);
    QVERIFY(dlg.CopyPasteHPLPFilters->isChecked());
    QVERIFY(dlg.CopyPresetName->isChecked());
    QVERIFY(dlg.CopyMasterGain->isChecked());
    // The bands are always copied, whatever the stored flag.
    QVERIFY(dlg.CopyBand1_29->isChecked());
    QVERIFY(!dlg.CopyBand1_29->isEnabled());

    // A range widened by a file to 26 steps shows 12; odd ranges truncate.
    dlg.Options.SliderRange = 26;
    dlg.Options.TileOptions = 7;
    dlg.FormActivate();
    QCOMPARE(dlg.SESliderRange->value(), 12);
    QCOMPARE(dlg.RGTileOptions->ItemIndex(), 2);
    dlg.Options.SliderRange = 9;
    dlg.Options.TileOptions = -1;
    dlg.FormActivate();
    QCOMPARE(dlg.SESliderRange->value(), 4);
    QCOMPARE(dlg.RGTileOptions->ItemIndex(), -1);
    dlg.Options.TileOptions = 0;
    dlg.FormActivate();
    QCOMPARE(dlg.RGTileOptions->ItemIndex(), 0);

    // Showing the dialog fills it again.
    dlg.Options.SliderHeight = 99;
    dlg.show();
    QCOMPARE(dlg.EditSliderHeight->text(), QString("99"));
  }

  void OkTakesEveryControl() {
    RecordingOperatorMessages messages;
    TOptionsDlg dlg(messages);
    int timerStarts = 0;
    dlg.StartLayoutTimer = [&] { ++timerStarts; };
    dlg.Options = Unusual();
    dlg.show();
    dlg.SESliderRange->setValue(3);
    dlg.CBHintsOnScreen->setChecked(true);
    dlg.CBTaskBarEnabled->setChecked(true);
    dlg.RGTileOptions->Item(0)->click();
    dlg.CopyPasteHPLPFilters->setChecked(false);
    dlg.CopyPresetName->setChecked(false);
    dlg.CopyMasterGain->setChecked(false);
    dlg.Button1->click();

    TProgramOptions want = Unusual();
    want.AutoScale = true;
    want.HintsOnPage = true;
    want.SliderRange = 6;
    want.TaskBarEnabled = true;
    want.TileOptions = 0;
    want.CopyHPLP = want.CopyPresetName = want.CopyMasterGain = false;
    QVERIFY(dlg.Options == want);  // CopyBands1_29 stays false
    QCOMPARE(timerStarts, 1);
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(!dlg.isVisible());
    QVERIFY(messages.shown.empty());

    // No item selected is stored as -1.
    dlg.show();
    dlg.RGTileOptions->SetItemIndex(-1);
    dlg.Button1Click();
    QCOMPARE(dlg.Options.TileOptions, -1);
    QCOMPARE(timerStarts, 2);
  }

  void RangeGuard() {
    RecordingOperatorMessages messages;
    TOptionsDlg dlg(messages);
    int32_t excursion = 10;  // a band at +5 dB
    dlg.MaxBandExcursion = [&] { return excursion; };
    int timerStarts = 0;
    dlg.StartLayoutTimer = [&] { ++timerStarts; };

    // +/-4 dB would cut it off: refused, but the other options are taken.
    dlg.show();
    dlg.SESliderRange->setValue(4);
    dlg.CBHintsOnScreen->setChecked(false);
    dlg.CopyMasterGain->setChecked(true);
    dlg.Button1Click();
    QCOMPARE(messages.shown.size(), size_t(1));
    QCOMPARE(messages.shown[0].caption, std::string("Slider Range Error"));
    QCOMPARE(messages.shown[0].text, kRangeText);
    QVERIFY(messages.shown[0].icon == MessageIcon::Warning);
    QVERIFY(!messages.shown[0].question);
    QCOMPARE(dlg.Options.SliderRange, 24);
    QVERIFY(!dlg.Options.HintsOnPage);
    QVERIFY(dlg.Options.CopyMasterGain);
    QCOMPARE(timerStarts, 1);
    QCOMPARE(dlg.result(), int(QDialog::Accepted));

    // +/-5 dB is exactly the excursion: accepted.
    messages.shown.clear();
    dlg.show();
    dlg.SESliderRange->setValue(5);
    dlg.Button1Click();
    QVERIFY(messages.shown.empty());
    QCOMPARE(dlg.Options.SliderRange, 10);

    // A range of 26 steps from a file with a slider at 26: 12 dB is refused
    // and the range stays 26.
    excursion = 26;
    dlg.Options.SliderRange = 26;
    dlg.show();
    QCOMPARE(dlg.SESliderRange->value(), 12);
    dlg.Button1Click();
    QCOMPARE(messages.shown.size(), size_t(1));
    QCOMPARE(dlg.Options.SliderRange, 26);

    // With no window open every range is accepted.
    messages.shown.clear();
    for (const auto& none : {std::function<int32_t()>([] { return 0; }), std::function<int32_t()>()}) {
      dlg.MaxBandExcursion = none;
      for (int db = 1; db <= 12; ++db) {
        dlg.show();
        dlg.SESliderRange->setValue(db);
        dlg.Button1Click();
        QCOMPARE(dlg.Options.SliderRange, 2 * db);
      }
    }
    QVERIFY(messages.shown.empty());
  }

  void UnfinishedRangeTextReadsAsOne() {
    RecordingOperatorMessages messages;
    TOptionsDlg dlg(messages);
    int32_t excursion = 0;
    dlg.MaxBandExcursion = [&] { return excursion; };
    dlg.show();
    QLineEdit* text = SpinText(dlg.SESliderRange);
    QVERIFY(text);
    text->setText("");
    dlg.Button1Click();
    QCOMPARE(dlg.Options.SliderRange, 2);

    excursion = 4;
    dlg.Options.SliderRange = 20;
    dlg.show();
    SpinText(dlg.SESliderRange)->setText("x");
    dlg.Button1Click();
    QCOMPARE(dlg.Options.SliderRange, 20);
    QCOMPARE(messages.shown.size(), size_t(1));
  }

  void CancelChangesNothing() {
    RecordingOperatorMessages messages;
    TOptionsDlg dlg(messages);
    int timerStarts = 0;
    dlg.StartLayoutTimer = [&] { ++timerStarts; };
    const TProgramOptions before = Unusual();
    auto changeEverything = [](TOptionsDlg& d) {
      d.SESliderRange->setValue(2);
      d.CBHintsOnScreen->setChecked(true);
      d.CBTaskBarEnabled->setChecked(true);
      d.RGTileOptions->Item(1)->click();
      d.CopyPasteHPLPFilters->setChecked(false);
      d.CopyPresetName->setChecked(false);
      d.CopyMasterGain->setChecked(false);
    };
    dlg.Options = before;
    dlg.show();
    changeEverything(dlg);
    dlg.Button2Click();
    QVERIFY(dlg.Options == before);
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QVERIFY(!dlg.isVisible());

    // Escape and closing the window are Cancel too.
    for (auto end : {std::function<void(QDialog&)>([](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }),
                     std::function<void(QDialog&)>([](QDialog& d) { d.close(); })}) {
      OnModal([&](QDialog& d) {
        changeEverything(static_cast<TOptionsDlg&>(d));
        end(d);
      });
      QCOMPARE(dlg.exec(), int(QDialog::Rejected));
      QVERIFY(dlg.Options == before);
    }
    QCOMPARE(timerStarts, 0);
    QVERIFY(messages.shown.empty());
  }

  void EditPageFirstThenTheLastOneChosen() {
    RecordingOperatorMessages messages;
    TOptionsDlg dlg(messages);
    dlg.show();
    QCOMPARE(dlg.PageControl1->currentWidget(), dlg.EditPage);
    dlg.PageControl1->setCurrentWidget(dlg.ScreenLayoutPage);
    dlg.Button2Click();
    dlg.show();
    QCOMPARE(dlg.PageControl1->currentWidget(), dlg.ScreenLayoutPage);
    dlg.Button1Click();
  }
};

int RunOptionsDialogTests(int argc, char** argv) {
  OptionsDialogTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "options_dialog_test.moc"
