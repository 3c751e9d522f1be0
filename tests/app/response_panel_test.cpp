// The frame's response panel with real equalizer windows against orbsim:
// it follows the active window and every change of its curve (keys and
// drags on a slider, filter choices, Mute and Bypass, files, pastes,
// clears, device reads, undo, redo and A/B swaps), shows an empty grid
// without a window, reads out the level under the pointer, copies and
// saves the curve, keeps its place in the settings file and adds its
// picture to the printed page.
#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QCheckBox>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <functional>
#include <vector>

#include "app/ResponsePanel.h"
#include "app/TApplication.h"
#include "controls/ApplicationHint.h"
#include "controls/FittedText.h"
#include "controls/StatusPanelAccessible.h"
#include "controls/TzkTrackBarAccessible.h"
#include "eq/PresetFiles.h"
#include "settings/IniFile.h"
#include "tests/eqwindow/PdfProbe.h"
#include "tests/eqwindow/WindowFixture.h"

namespace {
constexpr int k1kHzSlot = 17;

// The text pdftotext finds on the first page.
QString PdfText(const QString& pdf) {
  QProcess p;
  p.start("pdftotext", {"-f", "1", "-l", "1", pdf, "-"});
  if (!p.waitForFinished(20000) || p.exitCode() != 0) return {};
  return QString::fromUtf8(p.readAllStandardOutput());
}

// The curve's level at the drawn point nearest a frequency.
double LevelNear(const ResponseCurve& curve, double hz) {
  size_t best = 0;
  for (size_t i = 0; i < curve.hz.size(); ++i)
    if (std::abs(std::log(curve.hz[i] / hz)) < std::abs(std::log(curve.hz[best] / hz))) best = i;
  return curve.totalDb.empty() ? NAN : curve.totalDb[best];
}
}  // namespace

class ResponsePanelTest : public QObject, public WindowFixture {
  Q_OBJECT

  ResponsePanel& Panel() { return *Frame().Response; }
  // The panel once the event loop has run and drawn what changed (a slow
  // build on a busy machine takes longer than the draw's few milliseconds).
  ResponsePanel& Settled() {
    QTest::qWait(20);
    (void)QTest::qWaitFor([this] { return !Panel().ChangeWaiting(); }, 5000);
    return Panel();
  }
  void Press(QWidget* w, Qt::Key key, int times = 1) {
    for (int i = 0; i < times; ++i) QTest::keyClick(w, key);
  }
  void PrintTo(TMDIChild& w, const QString& pdf) {
    w.RunPrintDialog = [pdf](QPrinter& printer) {
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(pdf);
      printer.setPageSize(QPageSize(QPageSize::A4));
      printer.setPageOrientation(QPageLayout::Portrait);
      printer.setCopyCount(1);
      return true;
    };
    w.PrintEqualizerWindow();
  }

 private slots:
  void initTestCase() { SetUpTestCase(); }
  void init() { SetUp(); }
  void cleanup() { TearDown(); }

  void followsTheActiveWindowAndShowsAnEmptyGridWithoutOne() {
    StartProgram("1");
    QVERIFY(Frame().ResponseDock->isVisible());
    QVERIFY(!Settled().HasCurve());
    QCOMPARE(Panel().accessibleDescription(), QString("No equalizer window: an empty grid."));
    QVERIFY(!Panel().CopyAction->isEnabled());
    QVERIFY(!Panel().SaveAction->isEnabled());

    TMDIChild* first = NewWindow();
    QVERIFY(Settled().HasCurve());
    for (double db : Panel().Curve().totalDb) QCOMPARE(db, 0.0);
    QVERIFY(Panel().CopyAction->isEnabled());
    // Four key steps up on the 1 kHz slider: +2 dB there.
    first->SliderOfSlot(k1kHzSlot)->setFocus();
    Press(first->SliderOfSlot(k1kHzSlot), Qt::Key_Up, 4);
    QCOMPARE(LevelNear(Settled().Curve(), 1000), 2.0);

    TMDIChild* second = NewWindow();
    QCOMPARE(LevelNear(Settled().Curve(), 1000), 0.0);
    QVERIFY(Panel().accessibleDescription().contains("of NONAME2."));
    Activate(*first);
    QCOMPARE(LevelNear(Settled().Curve(), 1000), 2.0);
    QVERIFY2(Panel().accessibleDescription().startsWith(
                 "Computed response (no measurement) of NONAME1. Highest +2.0 dB at 1.00 kHz"),
             qPrintable(Panel().accessibleDescription()));

    // A change in a window that is not the active one leaves the picture.
    second->SliderOfSlot(k1kHzSlot)->SetPosition(-8);
    QCOMPARE(LevelNear(Settled().Curve(), 1000), 2.0);
    SubWindow(*first)->close();
    QTRY_COMPARE(LevelNear(Settled().Curve(), 1000), -4.0);
    SubWindow(*second)->close();
    QTRY_VERIFY(!Settled().HasCurve());
    QVERIFY(!Panel().CopyAction->isEnabled());
  }

  void dragsFiltersMuteAndBypassReachThePicture() {
    StartProgram("1");
    TMDIChild* w = NewWindow();
    TzkTrackBar* slider = w->SliderOfSlot(k1kHzSlot);
    // A drag of the thumb to the top of the track: +12 dB.
    const QPoint thumb = slider->ThumbRect().center();
    QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, thumb);
    for (int y : {thumb.y() / 2, 0}) {
      QMouseEvent move(QEvent::MouseMove, QPointF(thumb.x(), y), slider->mapToGlobal(QPointF(thumb.x(), y)),
                       Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(slider, &move);
    }
    QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, QPoint(thumb.x(), 0));
    QCOMPARE(slider->Position(), 24);
    QCOMPARE(LevelNear(Settled().Curve(), 1000), 12.0);

    // The operator chooses the high-pass filter with the keys: one step
    // down the list at a time, to 100 Hz.
    w->CBHighPass->setFocus();
    Press(w->CBHighPass, Qt::Key_Down, 15);
    QCOMPARE(w->CBHighPass->currentText(), QString("100 Hz"));
    QCOMPARE(*Settled().Curve().highPassHz, 100.0);
    QVERIFY(std::abs(LevelNear(Panel().Curve(), 100) + 3.01) < 0.01);
    w->CBLowPass->setFocus();
    Press(w->CBLowPass, Qt::Key_Up, 7);  // OUT to 10 kHz
    QCOMPARE(*Settled().Curve().lowPassHz, 10000.0);

    // Bypass (key 0) and Mute (Space), the window's keys.
    Press(w, Qt::Key_0);
    QVERIFY(Settled().Curve().bypass);
    QVERIFY(Panel().Summary().contains("Bypassed: the sound passes unchanged"));
    Press(w, Qt::Key_0);
    QVERIFY(!Settled().Curve().bypass);
    Press(w, Qt::Key_Space);
    QVERIFY(Settled().Curve().mute);
    QVERIFY(Panel().Summary().contains("Muted: no sound passes"));
  }

  void filesPastesClearsAndDeviceReadsReachThePicture() {
    StartProgram("1");
    TMDIChild* w = NewWindow();
    TEqualizerDocument file;
    file.BandSteps[k1kHzSlot - 1] = 10;
    file.PresetName = "FILE";
    const std::string path = *dir / "five.V95";
    WritePresetFile(path, PresetFormat::Mac, file);
    QVERIFY(w->Open(QString::fromStdString(path), 1));
    QCOMPARE(LevelNear(Settled().Curve(), 1000), 5.0);

    w->Copy1Click();
    TMDIChild* other = NewWindow();
    QCOMPARE(LevelNear(Settled().Curve(), 1000), 0.0);
    other->Paste1Click();
    QCOMPARE(LevelNear(Settled().Curve(), 1000), 5.0);
    messages->answers = {true};
    other->FlatClick();
    QCOMPARE(LevelNear(Settled().Curve(), 1000), 0.0);

    // Connecting reads the device's curve into the window.
    TEqualizerDocument stored;
    stored.BandSteps[k1kHzSlot - 1] = -6;
    stored.HighPassIndex = 21;
    QVERIFY(SeedDevice(1, 1, stored));
    QVERIFY(Connect(*other, 1));
    // -3 dB of the band and what the 200 Hz high-pass takes at 1 kHz.
    QCOMPARE(*Settled().Curve().highPassHz, 200.0);
    QCOMPARE(LevelNear(Panel().Curve(), 1000), -3.0 + HighPassDb(DefaultResponseModel(), 1000, 200));
  }

  void undoRedoAndABSwapsReachThePicture() {
    StartProgram("1");
    TMDIChild* w = NewWindow();
    TEqualizerDocument file;
    file.BandSteps[k1kHzSlot - 1] = 10;
    const std::string path = *dir / "five.V95";
    WritePresetFile(path, PresetFormat::Mac, file);
    QVERIFY(w->Open(QString::fromStdString(path), 1));
    QCOMPARE(LevelNear(Settled().Curve(), 1000), 5.0);
    w->Undo1Click();
    QCOMPARE(LevelNear(Settled().Curve(), 1000), 0.0);
    w->Redo1Click();
    QCOMPARE(LevelNear(Settled().Curve(), 1000), 5.0);

    w->StoreB1Click();
    messages->answers = {true};
    w->FlatClick();
    QCOMPARE(LevelNear(Settled().Curve(), 1000), 0.0);
    w->CompareAB1Click();
    QCOMPARE(LevelNear(Settled().Curve(), 1000), 5.0);
    w->CompareAB1Click();
    QCOMPARE(LevelNear(Settled().Curve(), 1000), 0.0);
  }

  void aChangeIsDrawnAfterTheKeysWorkIsDone() {
    StartProgram("1");
    TMDIChild* w = NewWindow();
    QVERIFY(Connect(*w, 1));
    TzkTrackBar* slider = w->SliderOfSlot(k1kHzSlot);
    slider->setFocus();
    QTest::qWait(20);
    Panel().ResetStatistics();
    // Inside the key's handling the update is sent and nothing computed;
    // the picture follows once the transaction has ended, for the program
    // answers the device without delay while it runs.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QApplication::sendEvent(slider, &press);
    QVERIFY(w->UpdatePending);
    QCOMPARE(Panel().Statistics().recomputes, 0);
    QElapsedTimer waited;
    waited.start();
    while (Panel().Statistics().recomputes == 0 && waited.elapsed() < 3000)
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    QCOMPARE(Panel().Statistics().recomputes, 1);
    QCOMPARE(Engine().CommState, 0);
    QVERIFY(!w->UpdatePending);
    QTRY_VERIFY(Panel().Statistics().paints >= 1);
    QCOMPARE(LevelNear(Panel().Curve(), 1000), 0.5);
    QVERIFY(WaitIdle());
  }

  void pointerReadoutIsText() {
    StartProgram("1");
    TMDIChild* w = NewWindow();
    w->SliderOfSlot(k1kHzSlot)->SetPosition(4);
    ResponsePanel& panel = Settled();
    const ResponseLayout layout = panel.ChartLayout();
    const QPointF at1k = layout.At(1000, 0);
    QTest::mouseMove(panel.Chart, at1k.toPoint());
    QTRY_VERIFY2(panel.Readout->text().endsWith("+2.0 dB (computed)"), qPrintable(panel.Readout->text()));
    QVERIFY2(panel.Readout->text().contains(" kHz: ") || panel.Readout->text().contains(" Hz: "),
             qPrintable(panel.Readout->text()));
    // Exactly on the axis: the text names the frequency.
    QCOMPARE(panel.ReadoutAt(at1k), QString("1.00 kHz: +2.0 dB (computed)"));
    QCOMPARE(panel.ReadoutAt(layout.At(100, 0)), QString("100 Hz: 0.0 dB (computed)"));
    // Left of the plot, and once the pointer has gone, the extremes.
    QCOMPARE(panel.ReadoutAt(QPointF(layout.plot.left() - 2, at1k.y())),
             QString("Highest +2.0 dB at 1.00 kHz, lowest 0.0 dB at 20.0 Hz."));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(panel.Chart, &leave);
    QCOMPARE(panel.Readout->text(), QString("Highest +2.0 dB at 1.00 kHz, lowest 0.0 dB at 20.0 Hz."));
    QCOMPARE(panel.Readout->accessibleName(), QString("Response readout"));
    QCOMPARE(panel.accessibleName(), QString("Response"));
  }

  void theKeyboardReachesThePictureAndItsMenu() {
    StartProgram("1");
    TMDIChild* w = NewWindow();
    w->SliderOfSlot(k1kHzSlot)->SetPosition(4);
    ResponsePanel& panel = Settled();
    QVERIFY(panel.Chart->focusPolicy() & Qt::TabFocus);
    QVERIFY(panel.Chart->focusPolicy() & Qt::ClickFocus);
    panel.Chart->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(panel.Chart->hasFocus());
    // The focus frame: the highlight colour along the picture's edge.
    const QImage shown = panel.Chart->grab().toImage();
    QCOMPARE(shown.pixelColor(shown.width() / 2, 0), panel.Chart->palette().color(QPalette::Highlight));

    // The Menu key and Shift+F10 open the picture's menu.
    QStringList opened;
    const auto closeMenuSoon = [&] {
      QTimer::singleShot(50, [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
          QStringList items;
          for (QAction* a : popup->actions())
            if (!a->isSeparator()) items << a->text();
          opened << items.join(",");
          popup->close();
        }
      });
    };
    closeMenuSoon();
    QTest::keyClick(panel.Chart, Qt::Key_Menu);
    closeMenuSoon();
    QTest::keyClick(panel.Chart, Qt::Key_F10, Qt::ShiftModifier);
    const QString items =
        "Response &Bands,Cop&y Response,Sa&ve Response As,&Load Measurement\u2026,Tar&get\u2026,&Fit to Target,"
        "Cl&ear Measurement";
    QCOMPARE(opened, QStringList({items, items}));

    // The arrow keys move the readout's pointer from band to band, from
    // 1 kHz, and the picture describes the level there.
    QTest::keyClick(panel.Chart, Qt::Key_Right);
    QCOMPARE(panel.Readout->text(), QString("1.00 kHz: +2.0 dB (computed)"));
    QTest::keyClick(panel.Chart, Qt::Key_Right);
    QVERIFY2(panel.Readout->text().startsWith("1.26 kHz: "), qPrintable(panel.Readout->text()));
    QTest::keyClick(panel.Chart, Qt::Key_Home);
    QVERIFY2(panel.Readout->text().startsWith("25.1 Hz: "), qPrintable(panel.Readout->text()));
    QCOMPARE(panel.Chart->accessibleDescription(), panel.Readout->text());
    // The readout's text is what a screen reader reads of it.
    QCOMPARE(QAccessible::queryAccessibleInterface(panel.Readout)->text(QAccessible::Name),
             "Response readout: " + panel.Readout->text());
  }

  void theLevelAxisReachesBelowTheFiltersRollOff() {
    StartProgram("1");
    TMDIChild* w = NewWindow();
    w->CBHighPass->setCurrentIndex(15);  // 100 Hz
    w->CBHighPassChange();
    const ResponseCurve& curve = Settled().Curve();
    const ResponseLayout layout = Panel().ChartLayout();
    const double lowest = curve.totalDb[curve.Lowest()];
    QVERIFY2(layout.axes.bottomDb <= lowest - 3, qPrintable(QString::number(layout.axes.bottomDb)));
    QCOMPARE(layout.axes.topDb, 12.0);
    // The axis' ends are labelled, whatever the panel's height.
    QStringList texts;
    for (const PictureLabel& l : layout.labels) texts << l.text;
    QVERIFY2(texts.contains("+12") && texts.contains(QString::fromStdString(DbGridLabel(layout.axes.bottomDb))),
             qPrintable(texts.join(" ")));
  }

  void copiesAndSavesTheCurve() {
    StartProgram("1");
    TMDIChild* w = NewWindow();
    w->SliderOfSlot(k1kHzSlot)->SetPosition(24);
    QVERIFY(Settled().CopyAction->isEnabled());
    Panel().CopyAction->trigger();
    const QString text = QGuiApplication::clipboard()->text();
    QVERIFY2(text.startsWith("# Computed response (no measurement) of NONAME1\n# Highest +11.8 dB at 987 Hz"),
             qPrintable(text.left(200).toUtf8().toPercentEncoding(" #:()+.,\n")));
    QCOMPARE(text.count('\n'), 3 + 240);

    QString chosen, suggested;
    int filter = 1;
    Panel().RunSaveDialog = [&](const QString& name) {
      suggested = name;
      return std::pair<QString, int>(chosen, filter);
    };
    chosen = QString::fromStdString(*dir / "curve");  // no extension: the filter's
    Panel().SaveAction->trigger();
    QCOMPARE(suggested, QString("NONAME1-response.csv"));
    QVERIFY(ReadText(*dir / "curve.csv").starts_with("frequency_hz,computed_db\n20.00,0.00\n"));
    chosen = QString::fromStdString(*dir / "curve.svg");  // the extension wins
    Panel().SaveAction->trigger();
    QVERIFY(ReadText(*dir / "curve.svg").starts_with("<?xml"));
    QVERIFY(messages->shown.empty());
    // A folder where the file should go: the program's message, nothing else.
    std::filesystem::create_directory(*dir / "taken.svg");
    chosen = QString::fromStdString(*dir / "taken.svg");
    Panel().SaveAction->trigger();
    QCOMPARE(messages->shown.size(), size_t(1));
    QCOMPARE(messages->shown[0].caption, std::string("Save File Error"));
    QVERIFY(messages->shown[0].text.starts_with("Cannot write response file \"" + *dir / "taken.svg"));
    QCOMPARE(messages->shown[0].icon, MessageIcon::Error);
    // Cancelled: nothing.
    chosen.clear();
    Panel().SaveAction->trigger();
    QCOMPARE(messages->shown.size(), size_t(1));
  }

  void itsMenuItemsSitInTheWindowMenuWithHints() {
    StartProgram("1");
    NewWindow();
    QStringList texts;
    for (QAction* a : Frame().WindowMenu->actions())
      if (!a->isSeparator()) texts << a->text();
    QVERIFY2(texts.join(",").startsWith(QString::fromUtf8("&Cascade,&Tile,&Arrange Icons,&Minimize All,B&us,"
                                                          "Lin&k Windows\u2026,&Response,") +
                                        "Response &Bands,Cop&y Response,Sa&ve Response As"),
             qPrintable(texts.join(",")));
    QCOMPARE(Frame().WindowResponseItem->statusTip(),
             QString("Show or hide the computed response of the active window"));
    QCOMPARE(Panel().SaveAction->statusTip(),
             QString("Save the computed response as a CSV file or an SVG picture"));
    // The bands' own contributions, on request.
    QVERIFY(Settled().Curve().bandDb.empty());
    Panel().BandsAction->trigger();
    QCOMPARE(Settled().Curve().bandDb.size(), size_t(kBandCount));
  }

  void visibilityAndHeightAreKeptInTheSettingsFile() {
    StartProgram("1", true, "[Response]\nVisible=0\nHeight=150\nColour=blue\n");
    QVERIFY(!Frame().ResponseDock->isVisible());
    QVERIFY(!Frame().WindowResponseItem->isChecked());
    // Hidden, it draws nothing, but its commands follow the windows.
    TMDIChild* w = NewWindow();
    w->SliderOfSlot(k1kHzSlot)->SetPosition(4);
    QTest::qWait(20);
    QCOMPARE(Panel().Statistics().paints, 0);
    QVERIFY(Panel().CopyAction->isEnabled());
    Frame().WindowResponseItem->trigger();
    QVERIFY(Frame().ResponseDock->isVisible());
    QTRY_COMPARE(Frame().ResponseDock->height(), 150);
    QCOMPARE(LevelNear(Settled().Curve(), 1000), 2.0);
    program.reset();
    const std::string ini = ReadText(*dir / "Varlo95.ini");
    QVERIFY2(ini.find("[Response]\nVisible=1\nHeight=150\nColour=blue\n") != std::string::npos, ini.c_str());
    QVERIFY(ini.find("Com Port=1\n") != std::string::npos);

    // A first start shows it at its design height.
    WriteText(*dir / "Varlo95.ini", "");
    program = std::make_unique<VarloProgram>(*messages, *messages, dir->Path());
    Frame().ShowFrame();
    QVERIFY(QTest::qWaitForWindowExposed(&Frame()));
    QVERIFY(Frame().ResponseDock->isVisible());
    QTRY_COMPARE(Frame().ResponseDock->height(), ResponsePanel::kDesignHeight);
    program.reset();
    QCOMPARE(IniFile(*dir / "Varlo95.ini").ReadInteger("Response", "Height", -1), ResponsePanel::kDesignHeight);
    QCOMPARE(IniFile(*dir / "Varlo95.ini").ReadInteger("Response", "Visible", -1), 1);
  }

  // The workspace and the frame's status strip fill the room above the
  // panel, no less and no more; a window's status bar stays in view or
  // within the workspace's scrolling.
  void CheckWorkspaceAbovePanel(TMDIChild& w, const char* step) {
    QTest::qWait(20);
    TMainForm& f = Frame();
    const QRect client(f.ClientPanel->mapTo(&f, QPoint()), f.ClientPanel->size());
    QCOMPARE(f.StatusBar->geometry().bottom(), client.height() - 1);
    QCOMPARE(f.MdiArea->geometry().bottom() + 1, f.StatusBar->y());
    if (f.ResponseDock->isVisible()) {
      const QRect dock(f.ResponseDock->mapTo(&f, QPoint()), f.ResponseDock->size());
      const int separator =
          f.style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, &f);
      QVERIFY2(client.bottom() < dock.top() && dock.top() - client.bottom() - 1 <= separator, step);
    } else {
      QVERIFY2(client.bottom() == f.rect().bottom(), step);
    }
    QScrollBar* scroll = f.MdiArea->verticalScrollBar();
    scroll->setValue(scroll->maximum());
    const QRect bar(w.StatusBar1->mapTo(f.MdiArea->viewport(), QPoint()), w.StatusBar1->size());
    QVERIFY2(f.MdiArea->viewport()->rect().contains(bar), step);
    scroll->setValue(0);
  }

  void theWorkspaceFollowsThePanel() {
    StartProgram("1", true, "[Workspace Size]\nWindowState=2\n");
    TMDIChild* w = NewWindow();
    QDockWidget* dock = Frame().ResponseDock;
    QAction* shown = Frame().WindowResponseItem;
    const std::vector<std::pair<const char*, std::function<void()>>> steps = {
        {"shown", [] {}},
        {"hidden", [shown] { shown->trigger(); }},
        {"shown again", [shown] { shown->trigger(); }},
        // Its top edge dragged up: the window reaches below the workspace.
        {"taller", [&] { Frame().resizeDocks({dock}, {dock->height() * 2}, Qt::Vertical); }},
        {"maximized, lower",
         [&] {
           SubWindow(*w)->showMaximized();
           Frame().resizeDocks({dock}, {dock->height() / 2}, Qt::Vertical);
         }},
        {"maximized, hidden", [shown] { shown->trigger(); }}};
    for (const auto& [step, act] : steps) {
      act();
      CheckWorkspaceAbovePanel(*w, step);
      if (QTest::currentTestFailed()) QFAIL(step);
    }
  }

  void thePrintedPageAddsThePictureWhileThePanelShows() {
    StartProgram("1");
    TMDIChild* w = NewWindow();
    w->SliderOfSlot(k1kHzSlot)->SetPosition(12);
    const QString shown = QString::fromStdString(*dir / "shown.pdf");
    PrintTo(*w, shown);
    QCOMPARE(ReadPdfInfo(shown).pages, 1);
    const QString text = PdfText(shown);
    QVERIFY2(text.contains("Computed response (no measurement)"), qPrintable(text));
    QVERIFY(text.contains("NONAME1"));
    QVERIFY(text.contains("1k"));

    Frame().WindowResponseItem->trigger();  // hidden
    const QString hidden = QString::fromStdString(*dir / "hidden.pdf");
    PrintTo(*w, hidden);
    QVERIFY(!PdfText(hidden).contains("Computed"));
    // The window's picture stays where it was; the response lies below it.
    const QRect withPicture = InkBounds(RenderFirstPage(shown, QString::fromStdString(*dir / "a"), 30));
    const QRect alone = InkBounds(RenderFirstPage(hidden, QString::fromStdString(*dir / "b"), 30));
    QVERIFY(!alone.isEmpty());
    QCOMPARE(withPicture.topLeft(), alone.topLeft());
    QCOMPARE(withPicture.width(), alone.width());
    QVERIFY2(withPicture.height() > 2 * alone.height(),
             qPrintable(QString("%1 against %2").arg(withPicture.height()).arg(alone.height())));
  }
};

int main(int argc, char** argv) {
  InstallTrackBarAccessibility();
  InstallStatusPanelAccessibility();
  TApplication app(argc, argv);
  ApplicationHint::Install(app);
  QLocale::setDefault(QLocale::c());
  ResponsePanelTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "response_panel_test.moc"
