// The slider on a screen Qt scales itself (QT_SCALE_FACTOR): drawn at the
// device pixel ratio without blur, and thumb moves that put the saved
// background back pixel for pixel. Run once per ratio; the ratio expected
// is the QT_SCALE_FACTOR in the environment (1 without it).
#include <QtTest>
#include <cmath>

#include "controls/TzkTrackBar.h"

namespace {

using TB = TzkTrackBar;

const QRgb kBlack = qRgb(0, 0, 0), kWhite = qRgb(255, 255, 255), kSilver = qRgb(192, 192, 192),
           kGrey = qRgb(128, 128, 128);

QString Hex(QRgb c) { return QString::number(c & 0xFFFFFF, 16); }

qreal ExpectedRatio() {
  bool ok = false;
  const qreal ratio = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&ok);
  return ok ? ratio : 1.0;
}

// The equalizer window's band slider, -24..24 with a small box thumb, on a
// form scaled by `scale`.
void MakeBandSlider(TB& bar, double scale) {
  bar.SetThumbStyle(TB::tsBox);
  bar.SetThumbSize(TB::tsSmall);
  bar.SetScale(scale);
  bar.resize(int(40 * scale), int(241 * scale));
  bar.SetMin(-24);
  bar.SetMax(24);
}

QImage Grab(QWidget& w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }

// Where a logical rectangle lands in the device pixels of a canvas of
// ratio r: its corner rounded, its size that of the images drawn there.
QRect DeviceRect(const QRect& r, qreal ratio) {
  return {qRound(r.x() * ratio), qRound(r.y() * ratio), qRound(r.width() * ratio), qRound(r.height() * ratio)};
}

// The logical pixels a thumb drawn at r touches: r itself at a whole
// ratio, up to one pixel more at a fractional one.
QRect Touched(const QRect& r, qreal ratio) {
  const QRect d = DeviceRect(r, ratio);
  return QRectF(d.x() / ratio, d.y() / ratio, d.width() / ratio, d.height() / ratio).toAlignedRect();
}

// Whole ratios draw every logical pixel as a square block.
int WholeRatio(qreal ratio) {
  const double n = std::round(ratio);
  return std::abs(ratio - n) < 1e-9 ? int(n) : 0;
}

}  // namespace

class TrackBarRatioTest : public QObject {
  Q_OBJECT

 private slots:
  void grabHasTheScreensPixelRatio() {
    TB bar;
    MakeBandSlider(bar, 1);
    const qreal ratio = ExpectedRatio();
    QCOMPARE(bar.devicePixelRatioF(), ratio);
    const QPixmap pixmap = bar.grab();
    QCOMPARE(pixmap.devicePixelRatio(), ratio);
    QCOMPARE(pixmap.size(), bar.size() * ratio);
    QCOMPARE(bar.DrawnPixelRatio(), ratio);
  }

  void thumbIsEnlargedPixelForPixel() {
    const qreal ratio = ExpectedRatio();
    for (double scale : {1.0, 2.0}) {
      TB bar;
      MakeBandSlider(bar, scale);
      const QImage img = Grab(bar);
      const QRect r = DeviceRect(bar.ThumbRect(), ratio);
      QCOMPARE(r.size(), bar.DrawnThumbImage().size());
      QCOMPARE(img.copy(r), bar.DrawnThumbImage());
      // No blending: only the four colours of the design image.
      for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
          const QRgb c = img.pixel(x, y);
          QVERIFY2(c == kBlack || c == kWhite || c == kSilver || c == kGrey, qPrintable(Hex(c)));
        }
      // At a whole number of device pixels per design pixel, each design
      // pixel is a block that size: at ratio 2 and scale 1 the white top
      // edge is two device rows, then the silver face begins.
      const int k = WholeRatio(scale * ratio);
      if (k == 0) continue;
      const QImage design = bar.ThumbImage();
      for (int y = 0; y < r.height(); ++y)
        for (int x = 0; x < r.width(); ++x)
          QCOMPARE(Hex(img.pixel(r.left() + x, r.top() + y)), Hex(design.pixel(x / k, y / k)));
    }
  }

  void trackAndTicksCoverWholeDevicePixels() {
    const int r = WholeRatio(ExpectedRatio());
    if (r == 0) QSKIP("logical pixels are no whole number of device pixels");
    TB bar;
    MakeBandSlider(bar, 1);
    const QImage img = Grab(bar);
    // Across the 8-pixel track at x 16, logical row 60: the frame's colours,
    // each r device pixels wide, lined up with the track's edges.
    const QPalette& pal = bar.palette();
    const QRgb across[8] = {pal.color(QPalette::Dark).rgb(), pal.color(QPalette::ButtonText).rgb(), kWhite, kWhite,
                            kWhite, kWhite, pal.color(QPalette::Button).rgb(), pal.color(QPalette::Light).rgb()};
    for (int x = 0; x < 8 * r; ++x) QCOMPARE(Hex(img.pixel(16 * r + x, 60 * r)), Hex(across[x / r]));
    // The tick of 0 on logical row 121, x 4 to 9: r rows, nothing beside.
    for (int y = 121 * r; y < 122 * r; ++y)
      for (int x = 4 * r; x < 10 * r; ++x) QCOMPARE(Hex(img.pixel(x, y)), Hex(kBlack));
    for (QPoint p : {QPoint(5 * r, 121 * r - 1), QPoint(5 * r, 122 * r), QPoint(4 * r - 1, 121 * r),
                     QPoint(10 * r, 121 * r)})
      QVERIFY(img.pixel(p) != kBlack);

    // Disabled: the checker's cells are r device pixels square.
    bar.setEnabled(false);
    const QImage off = Grab(bar);
    for (int y = 12 * r; y < 16 * r; ++y)
      for (int x = 18 * r; x < 22 * r; ++x)
        QCOMPARE(Hex(off.pixel(x, y)), Hex((x / r + y / r) % 2 ? kSilver : kWhite));
  }

  void aMoveLeavesNoTrace() {
    for (double scale : {1.0, 2.0}) {
      TB bar;
      MakeBandSlider(bar, scale);
      bar.SetThumbStyle(TB::tsPointer);  // composed over the saved background
      bar.SetTrackColor(Qt::yellow);
      bar.setFocusPolicy(Qt::NoFocus);
      bar.show();
      QVERIFY(QTest::qWaitForWindowExposed(&bar));
      QTRY_VERIFY(bar.Stats().paintEvents > 0);
      const QImage before = Grab(bar);

      for (int to : {1, 5, 24}) {
        const QRect from = bar.ThumbRect();
        bar.ResetStats();
        bar.SetPosition(to);
        QTRY_VERIFY(bar.Stats().paintEvents > 0);
        QCOMPARE(bar.Stats().fullRenders, 0);
        const QRegion allowed = QRegion(Touched(from, bar.devicePixelRatioF())) +
                                Touched(bar.ThumbRect(), bar.devicePixelRatioF());
        QVERIFY((bar.Stats().lastRegion - allowed).isEmpty());
      }
      TB fresh;
      MakeBandSlider(fresh, scale);
      fresh.SetThumbStyle(TB::tsPointer);
      fresh.SetTrackColor(Qt::yellow);
      fresh.SetPositionNC(24);
      QCOMPARE(Grab(bar), Grab(fresh));

      bar.SetPosition(0);
      QTRY_COMPARE(Grab(bar), before);
      QCOMPARE(bar.Stats().fullRenders, 0);
    }
  }
};

QTEST_MAIN(TrackBarRatioTest)

#include "trackbar_ratio_test.moc"
