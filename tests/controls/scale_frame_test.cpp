// Form scaling to the screen and the sunken frame.
#include <QLabel>
#include <QPainter>
#include <QtTest>

#include "controls/FittedText.h"
#include "controls/zkCommon.h"
#include "controls/zkScale.h"

namespace {
QFont PixelFont(int pixels, bool bold = false) {
  QFont f;
  f.setPixelSize(pixels);
  f.setBold(bold);
  return f;
}

// A 600 by 411 form in the design font with: a label that inherits the
// font, one with a size of its own, one that only asks for bold, and a
// panel whose label inherits through it.
struct Form {
  QWidget form;
  QLabel* inherits;
  QLabel* ownSize;
  QLabel* boldOnly;
  QWidget* panel;
  QLabel* nested;
  explicit Form(int formFontPixels = 11) {
    form.setFont(PixelFont(formFontPixels));
    form.resize(600, 411);
    inherits = new QLabel("a", &form);
    inherits->setGeometry(10, 20, 100, 30);
    ownSize = new QLabel("b", &form);
    ownSize->setFont(PixelFont(20));
    ownSize->setGeometry(0, 0, 800, 10);
    boldOnly = new QLabel("c", &form);
    QFont bold;
    bold.setBold(true);
    boldOnly->setFont(bold);
    panel = new QWidget(&form);
    panel->setGeometry(100, 100, 200, 100);
    nested = new QLabel("d", panel);
    nested->setGeometry(5, 5, 50, 20);
  }
  int Pixels(QWidget* w) const { return w->font().pixelSize(); }
};
}  // namespace

class ScaleFrameTest : public QObject {
  Q_OBJECT

 private slots:
  void designScreenChangesNothing() {
    Form f;
    ScaleFormToScreen(f.form, ScreenMetrics{800, 600, 96});
    QCOMPARE(f.form.size(), QSize(600, 411));
    QCOMPARE(f.inherits->geometry(), QRect(10, 20, 100, 30));
    QCOMPARE(f.Pixels(f.ownSize), 20);
    QCOMPARE(f.Pixels(&f.form), 11);
    QVERIFY(!f.form.property("scaled").toBool());
  }

  void widerScreenScalesFormContentsAndFontsOnce() {
    Form f;
    ScaleFormToScreen(f.form, ScreenMetrics{1024, 768, 96});
    QVERIFY(f.form.property("scaled").toBool());
    QCOMPARE(f.form.size(), QSize(768, 526));
    // Edges times 1024/800, toward zero.
    QCOMPARE(f.inherits->geometry(), QRect(12, 25, 128, 39));
    QCOMPARE(f.ownSize->geometry(), QRect(0, 0, 1024, 12));
    QCOMPARE(f.panel->geometry(), QRect(128, 128, 256, 128));
    QCOMPARE(f.nested->geometry(), QRect(6, 6, 64, 26));
    QCOMPARE(f.Pixels(&f.form), 14);
    QCOMPARE(f.Pixels(f.inherits), 14);
    QCOMPARE(f.Pixels(f.ownSize), 25);
    QCOMPARE(f.Pixels(f.boldOnly), 14);  // its size still comes from the form
    QVERIFY(f.boldOnly->font().bold());
    QCOMPARE(f.Pixels(f.nested), 14);
  }

  void higherResolutionMultipliesFontsByWholeSteps() {
    {  // -11 stays below -22: k = 1, fonts as step 1 left them
      Form f;
      QFont points;
      points.setPointSizeF(8);
      f.inherits->setFont(points);
      ScaleFormToScreen(f.form, ScreenMetrics{800, 600, 120});
      QVERIFY(f.form.property("scaled").toBool());
      QCOMPARE(f.form.size(), QSize(600, 411));
      QCOMPARE(f.Pixels(f.ownSize), 20);
      QCOMPARE(f.inherits->font().pointSizeF(), 8.0);
      QCOMPARE(f.Pixels(f.nested), 11);
    }
    {
      Form f;
      ScaleFormToScreen(f.form, ScreenMetrics{1024, 768, 120});
      QCOMPARE(f.Pixels(f.inherits), 14);
      QCOMPARE(f.Pixels(f.ownSize), 25);
    }
    {  // form font -22: every control directly on the form doubles
      Form f(22);
      ScaleFormToScreen(f.form, ScreenMetrics{800, 600, 120});
      QCOMPARE(f.Pixels(&f.form), 22);
      QCOMPARE(f.Pixels(f.inherits), 44);
      QCOMPARE(f.Pixels(f.ownSize), 40);
      QCOMPARE(f.Pixels(f.nested), 44);  // follows its panel
    }
    {  // a narrow screen makes the form font smaller than -11: k = 0
      Form f;
      ScaleFormToScreen(f.form, ScreenMetrics{640, 480, 120});
      QCOMPARE(f.form.size(), QSize(480, 328));
      QCOMPARE(f.Pixels(f.inherits), 8);
      QCOMPARE(f.Pixels(f.ownSize), 16);
    }
  }

  void oneFactorForSizeAndContentsOnWideScreens() {
    // 16:9: the form grows by the width's factor both ways, as its
    // contents do, so nothing ends below its lower edge.
    Form f;
    const FormScale scale = ScaleFormToScreen(f.form, ScreenMetrics{1920, 1080, 96});
    QCOMPARE(scale, (FormScale{1920, 800}));
    QCOMPARE(ScaleOf(f.form), scale);
    QCOMPARE(ScaleOf(*f.nested), scale);  // a control finds its form's factor
    QCOMPARE(f.form.size(), QSize(1440, 986));
    QCOMPARE(f.panel->geometry(), QRect(240, 240, 480, 240));
    // A dialog never grows taller than 9/10 of the screen's available
    // height: on 2560 by 1080 the factor is that height over the form's.
    Form d;
    const FormScale fitted =
        ScaleFormToScreen(d.form, ScreenMetrics{2560, 1080, 96, 1040}, FormFit::WithinScreenHeight);
    QCOMPARE(fitted, (FormScale{936, 411}));
    QCOMPARE(d.form.height(), 936);
    QCOMPARE(d.form.width(), 600 * 936 / 411);
    QCOMPARE(d.Pixels(d.inherits), 11 * 936 / 411);
    // Where it fits, a dialog takes the width's factor like any form.
    Form e;
    QCOMPARE(ScaleFormToScreen(e.form, ScreenMetrics{1280, 800, 96}, FormFit::WithinScreenHeight),
             (FormScale{1280, 800}));
    // A form never scaled has the factor 1.
    QWidget plain;
    QCOMPARE(ScaleOf(plain), FormScale{});
  }

  void wholeFontStepsCountTheDesignFontNotTheScaledOne() {
    // 1920 wide at 144 dpi: the width already makes the 11-pixel font 26
    // pixels; doubling it again would cut every caption.
    Form f;
    ScaleFormToScreen(f.form, ScreenMetrics{1920, 1080, 144});
    QCOMPARE(f.Pixels(&f.form), 26);
    QCOMPARE(f.Pixels(f.inherits), 26);
    QCOMPARE(f.Pixels(f.ownSize), 48);
  }

  void narrowPanelsSqueezeTheirTextRatherThanCutIt() {
    QCOMPARE(TextSqueeze(40, 50), 1.0);
    QCOMPARE(TextSqueeze(50, 40), 0.8);
    QCOMPARE(TextSqueeze(100, 10), kMinTextSqueeze);
    QCOMPARE(TextSqueeze(0, 10), 1.0);
    // The ink of a text 20 % too wide spans its panel's text room: it is
    // drawn narrower, from the room's left edge to near its right one.
    StatusPanel panel("1.25 kHz");
    panel.setFont(PixelFont(11));
    const int natural = panel.fontMetrics().horizontalAdvance(panel.text());
    panel.resize(panel.width() - panel.TextRect().width() + natural * 8 / 10, 19);
    const QImage image = panel.grab().toImage();
    const QRect room = panel.TextRect();
    int left = image.width(), right = -1;
    for (int y = room.top(); y <= room.bottom(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if (qGray(image.pixel(x, y)) < 100) {
          left = std::min(left, x);
          right = std::max(right, x);
        }
    QVERIFY(left >= room.left() && left <= room.left() + 2);
    QVERIFY2(right <= room.right() && right >= room.right() - 4,
             qPrintable(QString("ink %1..%2 in %3..%4").arg(left).arg(right).arg(room.left()).arg(room.right())));
  }

  void sunkenFrameLinesAndColours() {
    QPalette palette;
    const QColor shadow(Qt::red), highlight(Qt::green), text(Qt::blue), face(Qt::yellow);
    palette.setColor(QPalette::Dark, shadow);
    palette.setColor(QPalette::Light, highlight);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Button, face);
    QImage img(16, 14, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    // left 2, top 2, right 12, bottom 10 (exclusive)
    DrawSunkenFrame(p, QRect(2, 2, 10, 8), palette);
    QCOMPARE(p.pen().color(), face);
    p.end();

    auto at = [&](int x, int y) { return QColor(img.pixel(x, y)); };
    // Outer ring: shadow top and left, highlight bottom and right.
    QCOMPARE(at(2, 2), shadow);
    QCOMPARE(at(11, 2), shadow);
    QCOMPARE(at(2, 9), shadow);   // the highlight stops short of it
    QCOMPARE(at(11, 3), highlight);
    QCOMPARE(at(11, 9), highlight);
    QCOMPARE(at(3, 9), highlight);
    // Inner ring: button text top and left, face bottom and right.
    QCOMPARE(at(3, 3), text);
    QCOMPARE(at(10, 3), text);
    QCOMPARE(at(3, 8), text);
    QCOMPARE(at(10, 4), face);
    QCOMPARE(at(10, 8), face);
    QCOMPARE(at(4, 8), face);
    // Nothing inside or outside.
    for (QPoint q : {QPoint(4, 4), QPoint(9, 7), QPoint(12, 2), QPoint(2, 10), QPoint(1, 1), QPoint(12, 10)})
      QCOMPARE(at(q.x(), q.y()), QColor(Qt::white));
  }
};

int RunScaleFrameTests(int argc, char** argv) {
  ScaleFrameTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "scale_frame_test.moc"
