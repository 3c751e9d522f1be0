// Printing a window's picture: the page-fit rule, and one-page PDF jobs
// whose picture fills the printable width or height as the rule says.
#include <QPainter>
#include <QPrinter>
#include <QTest>

#include "eqwindow/EqualizerPrinting.h"
#include "tests/eqwindow/PdfProbe.h"
#include "tests/eqwindow/WindowEditTests.h"
#include "testsupport/TempDir.h"

namespace {
// A picture in the window colour with a dark border, so that its extent
// shows on the rendered page.
QImage Picture(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(QColor(200, 200, 200));
  for (int x = 0; x < w; ++x) image.setPixel(x, 0, 0), image.setPixel(x, h - 1, 0);
  for (int y = 0; y < h; ++y) image.setPixel(0, y, 0), image.setPixel(w - 1, y, 0);
  return image;
}

void UsePdf(QPrinter& printer, const QString& file, const QPageSize& size) {
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(file);
  printer.setPageSize(size);
  printer.setPageOrientation(QPageLayout::Portrait);
  printer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
}
}  // namespace

class PrintingTest : public QObject {
  Q_OBJECT

 private slots:
  void pictureFitsThePageKeepingItsProportions() {
    // The design window on an A4 page at 600 dpi (4960 x 7015 printable):
    // wider than the page, so it spans the width.
    QCOMPARE(FitToPage({792, 285}, {4960, 7015}), QSize(4960, 1785));
    // Taller than the page: it spans the height.
    QCOMPARE(FitToPage({300, 600}, {4960, 7015}), QSize(3508, 7015));
    // Exactly the page's proportions count as wide.
    QCOMPARE(FitToPage({200, 100}, {2000, 1000}), QSize(2000, 1000));
    // a rounds to the nearest: 1999.4 stays below the width, 1999.6 reaches it.
    QCOMPARE(FitToPage({19994, 10000}, {2000, 1000}), QSize(1999, 1000));
    QCOMPARE(FitToPage({19996, 10000}, {2000, 1000}), QSize(2000, 1000));
    // Large printers do not overflow the products.
    QCOMPARE(FitToPage({4000, 3000}, {70000, 99000}), QSize(70000, 52500));
    // Nothing to draw, or nowhere to draw it.
    QVERIFY(FitToPage({0, 285}, {4960, 7015}).isEmpty());
    QVERIFY(FitToPage({792, 285}, {0, 0}).isEmpty());
  }

  void copiesGoToNumberedFilesBesideTheFirst() {
    QCOMPARE(CopyOutputFileName("/tmp/a/curve.pdf", 1), QString("/tmp/a/curve.pdf"));
    QCOMPARE(CopyOutputFileName("/tmp/a/curve.pdf", 3), QString("/tmp/a/curve-3.pdf"));
    QCOMPARE(CopyOutputFileName("/tmp/a/my.curve.pdf", 2), QString("/tmp/a/my.curve-2.pdf"));
    QCOMPARE(CopyOutputFileName("/tmp/a/curve", 2), QString("/tmp/a/curve-2"));
  }

  void widePictureSpansThePrintableWidthOfAPdfPage() {
    TempDir dir;
    const QString pdf = QString::fromStdString(dir / "wide.pdf");
    QPrinter printer(QPrinter::HighResolution);
    UsePdf(printer, pdf, QPageSize(QPageSize::A4));
    QString error;
    QVERIFY(PrintPicturePage(printer, Picture(792, 285), &error));
    const PdfInfo info = ReadPdfInfo(pdf);
    QCOMPARE(info.pages, 1);
    QVERIFY(qAbs(info.pageSizePt.width() - 595.28) < 1 && qAbs(info.pageSizePt.height() - 841.89) < 1);

    // At 72 dpi one pixel is one point; the margins are 28.35 points.
    const QRect ink = InkBounds(RenderFirstPage(pdf, QString::fromStdString(dir / "wide"), 72));
    const double printableWidth = info.pageSizePt.width() - 2 * 28.35;
    QVERIFY2(qAbs(ink.left() - 28.35) <= 1.5 && qAbs(ink.top() - 28.35) <= 1.5,
             qPrintable(QString("picture at %1,%2").arg(ink.left()).arg(ink.top())));
    QVERIFY2(qAbs(ink.width() - printableWidth) <= 2, qPrintable(QString::number(ink.width())));
    QVERIFY2(qAbs(ink.height() - ink.width() * 285.0 / 792) <= 2,
             qPrintable(QString::number(ink.height())));
  }

  void tallPictureSpansThePrintableHeightOfAPdfPage() {
    TempDir dir;
    const QString pdf = QString::fromStdString(dir / "tall.pdf");
    QPrinter printer(QPrinter::HighResolution);
    // A wide, low page (300 by 80 mm, 280 by 60 printable) makes the
    // design window the taller one.
    UsePdf(printer, pdf, QPageSize(QSizeF(300, 80), QPageSize::Millimeter, "Strip"));
    QVERIFY(PrintPicturePage(printer, Picture(792, 285), nullptr));
    const PdfInfo info = ReadPdfInfo(pdf);
    QCOMPARE(info.pages, 1);

    const QRect ink = InkBounds(RenderFirstPage(pdf, QString::fromStdString(dir / "tall"), 72));
    // Page sizes are kept in whole points: the page's own height counts.
    const double mm = 72 / 25.4;
    const double printableHeight = info.pageSizePt.height() - 20 * mm;
    QVERIFY(qAbs(ink.left() - 10 * mm) <= 1.5 && qAbs(ink.top() - 10 * mm) <= 1.5);
    QVERIFY2(qAbs(ink.height() - printableHeight) <= 2, qPrintable(QString::number(ink.height())));
    // The proportions are kept.
    QVERIFY2(qAbs(ink.width() - ink.height() * 792.0 / 285) <= 2,
             qPrintable(QString::number(ink.width())));
  }

  void aDrawingBelowThePictureTakesTheRoomLeftOnThePage() {
    // A4 portrait at 600 dpi, the design window spanning the width: 1/50
    // of the page's height lower (140), a rectangle as wide and 2/5 of the
    // width high (1984).
    QCOMPARE(AreaBelowPicture({4960, 1785}, {4960, 7015}), QRect(0, 1785 + 140, 4960, 1984));
    // Landscape: the rest of the page (4960 - 2524 - 99), less than 2/5.
    QCOMPARE(AreaBelowPicture({7015, 2524}, {7015, 4960}), QRect(0, 2623, 7015, 2337));
    // A picture that spans the page's height leaves no room; nor does none.
    QVERIFY(AreaBelowPicture({3508, 7015}, {4960, 7015}).isEmpty());
    QVERIFY(AreaBelowPicture({4960, 6500}, {4960, 7015}).isEmpty());
    QVERIFY(AreaBelowPicture({}, {4960, 7015}).isEmpty());

    // On a PDF page: the picture where it is without the drawing, the
    // drawing (a dark block) below it.
    TempDir dir;
    QRect areaSeen;
    const auto print = [&](const QString& name, const PageDrawing& below) {
      const QString pdf = QString::fromStdString(dir / name.toStdString());
      QPrinter printer(QPrinter::HighResolution);
      UsePdf(printer, pdf, QPageSize(QPageSize::A4));
      if (!PrintPicturePage(printer, Picture(792, 285), nullptr, below)) return QRect();
      return InkBounds(RenderFirstPage(pdf, QString::fromStdString(dir / name.toStdString()), 72));
    };
    const QRect alone = print("alone.pdf", {});
    const QRect both = print("both.pdf", [&](QPainter& painter, const QRect& area) {
      areaSeen = area;
      painter.fillRect(area, Qt::black);
    });
    QVERIFY(!alone.isEmpty());
    QCOMPARE(both.topLeft(), alone.topLeft());
    QVERIFY(qAbs(both.width() - alone.width()) <= 1);
    // At 72 dpi a point is a pixel: the block starts 1/50 of the printable
    // height (785.2 points) below the picture and is 2/5 of its width high.
    const double expected = alone.height() + 785.2 / 50 + 0.4 * alone.width();
    QVERIFY2(qAbs(both.height() - expected) <= 3,
             qPrintable(QString("%1 against %2").arg(both.height()).arg(expected)));
    QVERIFY(!areaSeen.isEmpty());
  }

  void aJobThatCannotStartSaysWhy() {
    TempDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(dir / "missing-folder/out.pdf"));
    QString error;
    QVERIFY(!PrintPicturePage(printer, Picture(10, 10), &error));
    QVERIFY2(error.contains("missing-folder/out.pdf"), qPrintable(error));
  }
};

int RunPrintingTests(int argc, char** argv) {
  PrintingTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "printing_test.moc"
