// Printing a real equalizer window to PDF: one job, and the question for
// more copies answered No and Yes.
#include <QPrinter>
#include <QScrollBar>
#include <QTest>
#include <cmath>

#include "tests/eqwindow/PdfProbe.h"
#include "tests/eqwindow/WindowEditTests.h"
#include "tests/eqwindow/WindowFixture.h"

class WindowPrintTest : public QObject, public WindowFixture {
  Q_OBJECT

  void PrintCopies(TMDIChild& w, const QString& pdf, int copies) {
    w.RunPrintDialog = [&](QPrinter& printer) {
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(pdf);
      printer.setCopyCount(copies);
      return true;
    };
    w.PrintEqualizerWindow();
  }

 private slots:
  void initTestCase() { SetUpTestCase(); }
  void init() { SetUp(); }
  void cleanup() { TearDown(); }

  void oneCopyIsOneJobWithoutAQuestion() {
    StartProgram("1");
    TMDIChild* w = NewWindow();
    const QString pdf = QString::fromStdString(*dir / "one.pdf");
    PrintCopies(*w, pdf, 1);
    QCOMPARE(ReadPdfInfo(pdf).pages, 1);
    QVERIFY(messages->shown.empty());
    QVERIFY(!QFile::exists(QString::fromStdString(*dir / "one-2.pdf")));
  }

  void aNarrowWindowPrintsAllItsControls() {
    // The window's picture alone: no response picture below it.
    StartProgram("1", true, "[Response]\nVisible=0\n");
    TMDIChild* w = NewWindow();
    Options().TileOptions = 0;
    SubWindow(*w)->resize(300, SubWindow(*w)->height());
    QTest::qWait(20);
    QVERIFY(w->HorzScrollBar->isVisible());
    const QString pdf = QString::fromStdString(*dir / "narrow.pdf");
    PrintCopies(*w, pdf, 1);
    // The printed picture has the proportions of the whole client area,
    // not of the part the window shows.
    const QRect ink = InkBounds(RenderFirstPage(pdf, QString::fromStdString(*dir / "narrow"), 30));
    QVERIFY(!ink.isEmpty());
    const double printed = double(ink.width()) / ink.height();
    const double whole = double(w->ClientArea->width()) / w->ClientArea->height();
    QVERIFY2(std::abs(printed - whole) < 0.05 * whole,
             qPrintable(QString("printed %1, client area %2").arg(printed).arg(whole)));
  }

  void threeCopiesAskAndPrintTwoMoreOnYes() {
    StartProgram("1");
    TMDIChild* w = NewWindow();
    const QString pdf = QString::fromStdString(*dir / "three.pdf");
    messages->answers = {false};
    PrintCopies(*w, pdf, 3);
    QCOMPARE(messages->shown.size(), size_t(1));
    QCOMPARE(messages->shown[0].caption, std::string("Confirm"));
    QCOMPARE(messages->shown[0].text, std::string("Do you want to print 2 more copies?"));
    QCOMPARE(messages->shown[0].icon, MessageIcon::Question);
    QVERIFY(!QFile::exists(QString::fromStdString(*dir / "three-2.pdf")));

    messages->answers = {true};
    PrintCopies(*w, pdf, 3);
    for (const char* name : {"three.pdf", "three-2.pdf", "three-3.pdf"})
      QCOMPARE(ReadPdfInfo(QString::fromStdString(*dir / name)).pages, 1);
    QVERIFY(!QFile::exists(QString::fromStdString(*dir / "three-4.pdf")));
  }
};

int RunWindowPrintTests(int argc, char** argv) {
  WindowPrintTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "window_print_test.moc"
