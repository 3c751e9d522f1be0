// A measurement in the program: loaded into the active window through the
// frame's commands, drawn by the response panel with its target and
// prediction, the target chosen in the Target dialog, and the fit as one
// undo step that reaches orbsim with one transaction of the working
// settings.
#include <QAction>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cmath>

#include "app/FormSupport.h"
#include "app/MeasurementCommands.h"
#include "app/ResponsePanel.h"
#include "app/TargetDlg.h"
#include "controls/StatusPanelAccessible.h"
#include "controls/TzkTrackBarAccessible.h"
#include "link/PA422Messages.h"
#include "tests/eqwindow/WindowFixture.h"

class MeasurementWindowTest : public QObject, public WindowFixture {
  Q_OBJECT

  ResponsePanel& Panel() {
    QTest::qWait(20);
    (void)QTest::qWaitFor([this] { return !Frame().Response->ChangeWaiting(); }, 5000);
    return *Frame().Response;
  }
  MeasurementCommands& Commands() { return *Frame().Measurement; }
  // A room: a bass hump, a dip in the presence range, analyser export text.
  QString WriteRoom(const std::string& name, int points = 200) {
    std::string text = "* Freq(Hz), SPL(dB), Phase(degrees)\n";
    for (int i = 0; i < points; ++i) {
      const double hz = 20 * std::pow(1000.0, i / double(points - 1));
      const double db = 80 + 7 * std::exp(-4 * std::pow(std::log2(hz / 70), 2)) -
                        5 * std::exp(-6 * std::pow(std::log2(hz / 3000), 2));
      text += std::to_string(hz) + ", " + std::to_string(db) + ", 0\n";
    }
    WriteText(*dir / name, text);
    return QString::fromStdString(*dir / name);
  }
  QString Description() { return Panel().accessibleDescription(); }

 private slots:
  void initTestCase() { SetUpTestCase(); }
  void init() { SetUp(); }
  void cleanup() { TearDown(); }

  void measurementAndTargetBelongToTheWindow() {
    StartProgram("1");
    TMDIChild* w = NewWindow();
    QString path = WriteRoom("few.txt", 5);
    Commands().RunLoadDialog = [&path] { return path; };
    Commands().LoadMeasurementItem->trigger();
    QCOMPARE(messages->shown.back().caption, std::string("Load Measurement Error"));
    QVERIFY(messages->shown.back().text.find("few.txt") != std::string::npos);
    QVERIFY(!Panel().Overlay());

    path = WriteRoom("room.txt");
    Commands().LoadMeasurementItem->trigger();
    QVERIFY(Panel().Overlay());
    QVERIFY2(Description().contains("Measured: room.txt") && Description().contains("Target: flat."),
             qPrintable(Description()));
    // Laid on the target by the mean over 200 Hz to 5 kHz.
    const OverlayCurves& overlay = *Panel().Overlay();
    const std::vector<double>& hz = Panel().Curve().hz;
    double sum = 0;
    int count = 0;
    for (size_t i = 0; i < hz.size(); ++i)
      if (hz[i] >= 200 && hz[i] <= 5000) {
        sum += overlay.measuredDb[i] - overlay.targetDb[i];
        ++count;
      }
    QVERIFY(std::fabs(sum / count) < 0.01);
    const QString readout = Panel().ReadoutAt(Panel().ChartLayout().plot.center());
    QVERIFY2(readout.contains("; measured ") && readout.contains(", predicted "), qPrintable(readout));

    // Another window has none; the first keeps its own.
    NewWindow();
    QVERIFY(!Panel().Overlay());
    Commands().UpdateItems();
    QVERIFY(!Commands().FitItem->isEnabled() && !Commands().ClearMeasurementItem->isEnabled());
    Activate(*w);
    QVERIFY(Panel().Overlay());
    Commands().UpdateItems();
    QVERIFY(Commands().FitItem->isEnabled());
    // A locked preset is not fitted.
    w->Lock->setChecked(true);
    Commands().UpdateItems();
    QVERIFY(!Commands().FitItem->isEnabled() && !w->FitEnabled());
    w->Lock->setChecked(false);

    // The real Target dialog: a tilt of -1.5 dB per octave.
    OnNextModal([](QWidget* modal) {
      auto* dialog = qobject_cast<TTargetDlg*>(modal);
      QVERIFY(dialog && !dialog->SESlope->isEnabled());
      dialog->RadioGroup1->Item(TTargetDlg::TiltItem)->click();
      QVERIFY(dialog->SESlope->isEnabled() && !dialog->EBHouseFile->isEnabled());
      dialog->SESlope->setValue(-1.5);
      QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    });
    Commands().TargetItem->trigger();
    QVERIFY2(Description().contains("Target: tilt \u22121.5 dB per octave about 1 kHz."),
             qPrintable(Description()));
    QCOMPARE(w->Measured.target.At(2000), -1.5);

    // A house curve that cannot be taken keeps the dialog open.
    WriteText(*dir / "house.txt", "# house\n20 4\n1000 0\n20000 -6\n");
    WriteText(*dir / "bad.txt", "20 4\n10 0\n");
    Commands().RunTargetDialog = [this](TTargetDlg& dialog) {
      dialog.RadioGroup1->Item(TTargetDlg::HouseItem)->click();
      dialog.EBHouseFile->setText(QString::fromStdString(*dir / "bad.txt"));
      dialog.accept();
      if (dialog.result() == QDialog::Accepted || messages->shown.back().caption != "Target") return false;
      dialog.EBHouseFile->setText(QString::fromStdString(*dir / "house.txt"));
      dialog.accept();
      return dialog.result() == QDialog::Accepted;
    };
    Commands().TargetItem->trigger();
    QVERIFY2(Description().contains("Target: the house curve in house.txt."),
             qPrintable(Description()));
    QCOMPARE(w->Measured.target.At(20), 4.0);

    Commands().ClearMeasurementItem->trigger();
    QVERIFY(!Panel().Overlay());
    QVERIFY(Description().startsWith("Computed response (no measurement)"));
  }

  void fitIsOneUndoStepSentToTheWorkingSettings() {
    StartProgram("1");
    TMDIChild* w = NewWindow();
    QVERIFY(Connect(*w, 1));
    SettledFrames();
    const QString path = WriteRoom("room.txt");
    Commands().RunLoadDialog = [&path] { return path; };
    Commands().LoadMeasurementItem->trigger();
    w->SetTarget(TargetCurve::Tilt(-1));
    const double aligned = Panel().Overlay()->offsetDb;

    // Asked first, the target in words; No changes nothing.
    messages->answers = {false};
    Commands().FitItem->trigger();
    QTRY_VERIFY(!messages->shown.empty() && messages->shown.back().question);
    QCOMPARE(messages->shown.back().caption, std::string("Fit to Target"));
    const std::string question = messages->shown.back().text;
    QVERIFY2(question.find("target, tilt \u22121.0 dB per octave about 1 kHz, leaves") !=
                     std::string::npos &&
                 question.find("dB RMS error") != std::string::npos,
             question.c_str());
    QCOMPARE(w->Doc.BandSteps, (std::array<int, kBandCount>{}));
    QVERIFY(!SettledFrames().contains("1:81"));

    messages->answers = {true};
    Commands().FitItem->trigger();
    QTRY_VERIFY(w->Doc.BandSteps != (std::array<int, kBandCount>{}));
    // Within the fit's bounds: +6 dB, -12 dB; the bass hump is cut.
    for (int steps : w->Doc.BandSteps) QVERIFY(steps >= -24 && steps <= 12);
    QVERIFY(w->Doc.BandSteps[5] < 0);
    QCOMPARE(SettledFrames(), FrameWord(1, pa422::TransmitAllDataFrame(CopyVarloDataToORB(w->Doc, 0))));
    QVERIFY(Description().contains("(the fit's offset)"));

    QCOMPARE(w->Undo1->text(), QString("&Undo Fit to Target"));
    const double fitted = Panel().Overlay()->offsetDb;
    w->Undo1->trigger();
    QCOMPARE(w->Doc.BandSteps, (std::array<int, kBandCount>{}));
    QCOMPARE(SettledFrames(),
             FrameWord(1, pa422::TransmitAllDataFrame(CopyVarloDataToORB(w->Doc, 0))));
    // The measurement goes back where it was drawn before the fit; a redo
    // brings the fit's offset again.
    QCOMPARE(Panel().Overlay()->offsetDb, aligned);
    w->Redo1->trigger();
    QCOMPARE(Panel().Overlay()->offsetDb, fitted);
  }
};

int main(int argc, char** argv) {
  InstallTrackBarAccessibility();
  InstallStatusPanelAccessibility();
  TApplication app(argc, argv);
  ApplicationHint::Install(app);
  QLocale::setDefault(QLocale::c());
  MeasurementWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "measurement_window_test.moc"
