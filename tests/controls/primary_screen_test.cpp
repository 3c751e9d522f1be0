// The frame's scaling on the screen the platform reports: run once per
// offscreen screen configuration, with the expected screen as arguments
// (width height dpi).
#include <QApplication>
#include <QLabel>
#include <QTest>

#include "controls/zkScale.h"

namespace {
int expectedWidth = 800, expectedHeight = 600, expectedDpi = 96;
}

class PrimaryScreenTest : public QObject {
  Q_OBJECT
 private slots:
  void screenIsReportedAsConfigured() {
    const ScreenMetrics screen = ScreenMetrics::Primary();
    QCOMPARE(screen.width, expectedWidth);
    QCOMPARE(screen.height, expectedHeight);
    QCOMPARE(screen.pixelsPerInch, expectedDpi);
  }

  void frameOfTheDesignSizeFollowsTheScreen() {
    QWidget form;
    QFont font = form.font();
    font.setPixelSize(11);
    form.setFont(font);
    form.resize(600, 411);
    auto* label = new QLabel("Com Setup", &form);
    label->setGeometry(336, 4, 60, 25);
    ScaleFormToScreen(form);
    // Size and contents follow the screen's width; fonts only grow by whole
    // steps, which an 11-pixel form font at 120 dpi does not reach.
    QCOMPARE(form.width(), expectedWidth * 600 / 800);
    QCOMPARE(form.height(), expectedWidth * 411 / 800);
    QCOMPARE(label->geometry().left(), 336 * expectedWidth / 800);
    QCOMPARE(form.font().pixelSize(), 11 * expectedWidth / 800);
  }
};

int main(int argc, char** argv) {
  if (argc >= 4) {
    expectedWidth = std::atoi(argv[1]);
    expectedHeight = std::atoi(argv[2]);
    expectedDpi = std::atoi(argv[3]);
  }
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  PrimaryScreenTest test;
  return QTest::qExec(&test, qtArgc, argv);
}

#include "primary_screen_test.moc"
