// The slider: position rules and their events, geometry as drawn, keys,
// mouse, thumb-only repainting, the disabled look, the thumb images and the
// slider scaled with its form.
#include <QPainter>
#include <QtTest>
#include <cmath>

#include "controls/TzkTrackBar.h"

namespace {

using TB = TzkTrackBar;

// Records OnChanging and OnChange in order; OnChanging answers `allow`.
struct Recorder {
  QStringList events;
  bool allow = true;
  explicit Recorder(TB& bar) {
    bar.OnChanging = [this](TB&, int newPos, bool& allowChange) {
      events << QStringLiteral("changing %1").arg(newPos);
      allowChange = allow;
    };
    bar.OnChange = [this](TB& sender) { events << QStringLiteral("change %1").arg(sender.Position()); };
  }
  QStringList Take() { return std::exchange(events, {}); }
};

// The equalizer window's band slider: vertical, -24..24, small box thumb,
// 241 pixels high.
void MakeBandSlider(TB& bar, int width = 40) {
  bar.SetThumbStyle(TB::tsBox);
  bar.SetThumbSize(TB::tsSmall);
  bar.resize(width, 241);
  bar.SetMin(-24);
  bar.SetMax(24);
}

// The band slider of a form scaled by 2: twice the design height (the
// margin, thumb and track all double).
void MakeScaledBandSlider(TB& bar) {
  MakeBandSlider(bar, 80);
  bar.SetScale(2);
  bar.resize(80, 482);
}

QImage Grab(QWidget& w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }

const QRgb kBlack = qRgb(0, 0, 0), kWhite = qRgb(255, 255, 255), kSilver = qRgb(192, 192, 192),
           kGrey = qRgb(128, 128, 128);

QString Hex(QRgb c) { return QString::number(c & 0xFFFFFF, 16); }

void SendMouse(QWidget& w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
  QMouseEvent e(type, QPointF(at), w.mapToGlobal(QPointF(at)), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(&w, &e);
}
void Press(QWidget& w, QPoint at, Qt::MouseButton b = Qt::LeftButton) {
  SendMouse(w, QEvent::MouseButtonPress, at, b, b);
}
void Release(QWidget& w, QPoint at) { SendMouse(w, QEvent::MouseButtonRelease, at, Qt::LeftButton, {}); }
void DragTo(QWidget& w, QPoint at) { SendMouse(w, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton); }

// Moves the shown slider to each position in turn: every move repaints
// the old and the new thumb rectangles, no more.
void MovesRepaintOnlyTheThumb(TB& bar, std::initializer_list<int> positions) {
  for (int to : positions) {
    const QRect from = bar.ThumbRect();
    bar.ResetStats();
    bar.SetPosition(to);
    QTRY_VERIFY(bar.Stats().paintEvents > 0);
    QCOMPARE(bar.Stats().fullRenders, 0);
    const QRegion allowed = QRegion(from) + bar.ThumbRect();
    QVERIFY2((bar.Stats().lastRegion - allowed).isEmpty(), qPrintable(QString::number(to)));
    QVERIFY(bar.Stats().pixels <= 2 * int64_t(bar.ThumbLength()) * bar.ThumbBreadth());
  }
}

}  // namespace

class TrackBarTest : public QObject {
  Q_OBJECT

 private slots:
  void newControl() {
    TB bar;
    QCOMPARE(bar.size(), QSize(200, 50));
    QCOMPARE(bar.focusPolicy(), Qt::StrongFocus);
    QCOMPARE(bar.Position(), 0);
    QCOMPARE(bar.Orientation(), TB::toHorizontal);
    QCOMPARE(bar.ThumbImage().size(), QSize(12, 18));  // medium horizontal pointer
    bar.SetTrackWidth(2);
    QCOMPARE(bar.TrackWidth(), 6);
  }

  void minAndMaxKeepTheRangeAndThePosition() {
    TB bar;
    bar.SetMax(5);
    bar.SetMin(5);
    QCOMPARE(bar.Min(), 4);
    bar.SetMin(-24);
    bar.SetMax(-30);
    QCOMPARE(bar.Max(), -23);
    QCOMPARE(bar.Position(), -23);  // pulled down with the new Max

    TB band;
    MakeBandSlider(band);
    band.SetPositionNC(20);
    Recorder rec(band);
    band.SetMax(12);
    QCOMPARE(rec.Take(), QStringList({"changing 12", "change 12"}));
    band.SetPositionNC(-20);
    rec.Take();
    rec.allow = false;
    band.SetMin(-10);
    // The refused move cannot leave the position outside the range.
    QCOMPARE(rec.Take(), QStringList({"changing -10"}));
    QCOMPARE(band.Position(), -10);
  }

  void settingThePositionRaisesItsEvents() {
    TB bar;
    MakeBandSlider(bar);
    bar.SetPositionNC(24);
    Recorder rec(bar);

    bar.SetPosition(100);  // compared before clamping
    QCOMPARE(rec.Take(), QStringList({"changing 24", "change 24"}));
    QCOMPARE(bar.Position(), 24);

    bar.SetPosition(24);
    QVERIFY(rec.Take().isEmpty());

    bar.SetPositionNC(3);
    QCOMPARE(rec.Take(), QStringList({"changing 3"}));
    QCOMPARE(bar.Position(), 3);

    const QImage before = Grab(bar);
    rec.allow = false;
    bar.SetPosition(-5);
    QCOMPARE(rec.Take(), QStringList({"changing -5"}));
    QCOMPARE(bar.Position(), 3);
    QCOMPARE(Grab(bar), before);
  }

  void bandSliderTicksAndThumbWhereTheyBelong() {
    TB bar;
    MakeBandSlider(bar);
    bar.SetPositionNC(0);
    QCOMPARE(bar.TickSpacing(), 4.6875);
    QCOMPARE(bar.ThumbRect(), QRect(14, 117, 12, 8));

    const QImage img = Grab(bar);
    for (int row : {233, 121, 8}) {
      // Left ticks from x 4 to 9 and, for a box thumb, right ones from
      // W - 10 to W - 5; the end points are left out.
      QCOMPARE(Hex(img.pixel(4, row)), Hex(kBlack));
      QCOMPARE(Hex(img.pixel(9, row)), Hex(kBlack));
      QVERIFY(img.pixel(10, row) != kBlack);
      QVERIFY(img.pixel(3, row) != kBlack);
      QCOMPARE(Hex(img.pixel(30, row)), Hex(kBlack));
      QCOMPARE(Hex(img.pixel(35, row)), Hex(kBlack));
      QVERIFY(img.pixel(36, row) != kBlack);
    }
    QVERIFY(img.pixel(5, 232) != kBlack);
    QVERIFY(img.pixel(5, 234) != kBlack);
    // Thumb rows 117 to 124: white top edge, black bottom edge.
    QCOMPARE(Hex(img.pixel(19, 117)), Hex(kWhite));
    QCOMPARE(Hex(img.pixel(19, 124)), Hex(kBlack));
    QCOMPARE(Hex(img.pixel(14, 120)), Hex(kWhite));
    QCOMPARE(Hex(img.pixel(25, 120)), Hex(kBlack));
    const QRgb background = bar.palette().color(QPalette::Window).rgb();
    QCOMPARE(Hex(img.pixel(14, 116)), Hex(background));
    QCOMPARE(Hex(img.pixel(14, 125)), Hex(background));
    // The track beside the thumb: sunken frame, then the white fill.
    QCOMPARE(Hex(img.pixel(19, 60)), Hex(bar.TrackColor().rgb()));
  }

  void ownerDrawnTicksGetOneCallPerValue() {
    TB bar;
    MakeBandSlider(bar);
    bar.SetTickStyle(TB::tkOwnerDraw);
    QList<QPair<QPoint, int>> calls;
    bar.OnDrawTick = [&](TB& trackBar, QPainter& canvas, QPoint location, int index) {
      QCOMPARE(&trackBar, &bar);
      canvas.fillRect(QRect(location.x(), location.y(), 2, 1), Qt::red);
      calls << qMakePair(location, index);
    };
    const QImage img = Grab(bar);
    QCOMPARE(calls.size(), 49);
    QCOMPARE(calls.first(), qMakePair(QPoint(0, 233), -24));
    QCOMPARE(calls[24], qMakePair(QPoint(0, 121), 0));
    QCOMPARE(calls.last(), qMakePair(QPoint(0, 8), 24));
    QCOMPARE(Hex(img.pixel(1, 121)), Hex(qRgb(255, 0, 0)));
    QVERIFY(img.pixel(5, 121) != kBlack);  // no standard tick

    calls.clear();
    TB flat;  // horizontal: locations along x
    flat.SetTickStyle(TB::tkOwnerDraw);
    flat.OnDrawTick = [&](TB&, QPainter&, QPoint location, int index) { calls << qMakePair(location, index); };
    Grab(flat);
    QCOMPARE(calls.size(), 11);
    QCOMPARE(calls.first(), qMakePair(QPoint(10, 0), 0));   // m + h
    QCOMPARE(calls.last(), qMakePair(QPoint(190, 0), 10));  // 180 + 10
  }

  void keys() {
    TB bar;
    MakeBandSlider(bar);
    bar.SetPageSize(4);
    Recorder rec(bar);
    auto press = [&](int key) { QTest::keyClick(&bar, Qt::Key(key)); return bar.Position(); };

    QCOMPARE(press(Qt::Key_PageUp), 4);
    QCOMPARE(press(Qt::Key_PageDown), 0);
    QCOMPARE(press(Qt::Key_Home), 24);  // vertical: Home is the top
    rec.Take();
    QCOMPARE(press(Qt::Key_Up), 24);    // at Max: nothing
    QVERIFY(rec.Take().isEmpty());
    QCOMPARE(press(Qt::Key_PageUp), 24);  // still asks and reports
    QCOMPARE(rec.Take(), QStringList({"changing 24", "change 24"}));
    QCOMPARE(press(Qt::Key_Down), 23);
    QCOMPARE(press(Qt::Key_End), -24);
    QCOMPARE(press(Qt::Key_Down), -24);
    rec.Take();
    press(Qt::Key_Left);
    press(Qt::Key_Right);
    press(Qt::Key_A);
    QVERIFY(rec.Take().isEmpty());

    QList<int> seen;
    bar.OnKeyDown = [&](TB&, int& key) {
      seen << key;
      if (key == Qt::Key_Up) key = 0;
    };
    QCOMPARE(press(Qt::Key_Up), -24);  // suppressed by the owner
    QCOMPARE(press(Qt::Key_PageUp), -20);
    QCOMPARE(seen, QList<int>({Qt::Key_Up, Qt::Key_PageUp}));

    TB flat;  // horizontal: Home is Min, End is Max
    QTest::keyClick(&flat, Qt::Key_End);
    QCOMPARE(flat.Position(), 10);
    QTest::keyClick(&flat, Qt::Key_Home);
    QCOMPARE(flat.Position(), 0);
    QTest::keyClick(&flat, Qt::Key_Right);
    QCOMPARE(flat.Position(), 0);
  }

  void clicksOnTheTrackStepByPageSize() {
    TB bar;
    MakeBandSlider(bar);
    bar.SetPageSize(3);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    Press(bar, {18, 50});  // above the thumb
    QCOMPARE(bar.Position(), 3);
    if (bar.isActiveWindow()) QVERIFY(bar.hasFocus());  // no active window without a window manager
    Press(bar, {18, 200});  // below
    QCOMPARE(bar.Position(), 0);
    Press(bar, {18, 50}, Qt::RightButton);
    Press(bar, {2, 50});  // beside the track
    QCOMPARE(bar.Position(), 0);
    QVERIFY(!bar.Dragging());

    TB flat;  // horizontal: right of the thumb adds, left subtracts
    flat.show();
    QVERIFY(QTest::qWaitForWindowExposed(&flat));
    Press(flat, {100, 25});
    Press(flat, {150, 25});
    QCOMPARE(flat.Position(), 2);
    Press(flat, {20, 25});
    QCOMPARE(flat.Position(), 1);
  }

  void draggingRoundsHalvesToEven() {
    TB bar;
    bar.SetThumbSize(TB::tsSmall);  // horizontal small: 8 long, half length 4
    bar.resize(36, 30);
    bar.SetMax(16);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    // f = (x - 4) / 32, position = f * 16.
    Press(bar, {6, 15});
    QVERIFY(bar.Dragging());
    const QList<QPair<int, int>> steps = {{9, 2}, {11, 4}, {7, 2}, {5, 0}, {300, 16}, {-50, 0}};
    for (auto [x, expected] : steps) {
      DragTo(bar, {x, 15});
      QCOMPARE(bar.Position(), expected);
      if (x == 9) QCOMPARE(bar.cursor().shape(), Qt::BitmapCursor);  // over the thumb
    }
    Release(bar, {0, 15});
    QVERIFY(!bar.Dragging());
    DragTo(bar, {30, 15});  // no longer dragging (button state aside)
    SendMouse(bar, QEvent::MouseMove, {30, 15}, Qt::NoButton, {});
    QCOMPARE(bar.Position(), 0);
    QCOMPARE(bar.cursor().shape(), Qt::ArrowCursor);

    TB band;  // vertical: the top is Max
    MakeBandSlider(band);
    band.show();
    QVERIFY(QTest::qWaitForWindowExposed(&band));
    Press(band, {20, 120});
    DragTo(band, {20, 2});
    QCOMPARE(band.Position(), 24);
    DragTo(band, {20, 121});  // f = 116/237: -0.51 rounds to -1
    QCOMPARE(band.Position(), -1);
  }

  void orientationFollowsTheShape() {
    TB bar;
    bar.resize(30, 200);  // hidden: no resize event yet
    QCOMPARE(bar.Orientation(), TB::toVertical);
    QCOMPARE(bar.ThumbImage().size(), QSize(18, 12));
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    bar.SetOrientation(TB::toHorizontal);  // holds until the next resize
    QCOMPARE(bar.Orientation(), TB::toHorizontal);
    bar.resize(30, 201);
    QTRY_COMPARE(bar.Orientation(), TB::toVertical);
    bar.resize(201, 201);
    QTRY_COMPARE(bar.Orientation(), TB::toHorizontal);
  }

  void aMoveRepaintsOnlyTheThumb() {
    TB bar;
    MakeBandSlider(bar);
    bar.SetThumbStyle(TB::tsPointer);  // drawn over the saved background
    bar.setFocusPolicy(Qt::NoFocus);    // no focus rectangle coming and going
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    QTRY_VERIFY(bar.Stats().paintEvents > 0);
    MovesRepaintOnlyTheThumb(bar, {1, 2, 10, -24, 24});
    if (QTest::currentTestFailed()) return;
    // What the moves left on screen is what a full drawing gives.
    TB fresh;
    MakeBandSlider(fresh);
    fresh.SetThumbStyle(TB::tsPointer);
    fresh.SetPositionNC(24);
    QCOMPARE(Grab(bar), Grab(fresh));

    bar.ResetStats();
    bar.SetTrackColor(Qt::yellow);
    QTRY_COMPARE(bar.Stats().fullRenders, 1);
  }

  void focusCallsTheHooksAndRepaintsEverything() {
    QWidget window;
    auto* first = new TB(&window);
    auto* second = new TB(&window);
    second->move(0, 60);
    QStringList hooks;
    first->OnEnter = [&](TB&) { hooks << "enter"; };
    first->OnExit = [&](TB& sender) {
      hooks << "exit";
      sender.SetTrackColor(Qt::gray);  // as the equalizer window does
    };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window)) QSKIP("no active window on this platform");
    first->setFocus();
    QTRY_VERIFY(first->hasFocus());
    first->ResetStats();
    second->setFocus();
    QTRY_COMPARE(first->Stats().fullRenders, 1);
    QCOMPARE(hooks, QStringList({"enter", "exit"}));
    QCOMPARE(first->Stats().lastRegion, QRegion(first->rect()));
  }

  void pointerThumbKeepsTheBackgroundInItsCorners() {
    TB bar;
    bar.SetThumbSize(TB::tsSmall);
    bar.resize(40, 241);
    bar.SetTrackColor(Qt::yellow);
    bar.SetMax(48);
    bar.SetPositionNC(24);
    const QImage withThumb = Grab(bar);
    const QRect r = bar.ThumbRect();  // 12 by 8, pointing left over the track
    bar.SetPositionNC(0);
    const QImage without = Grab(bar);
    for (QPoint p : {QPoint(0, 0), QPoint(2, 0), QPoint(1, 1), QPoint(0, 2), QPoint(0, 7), QPoint(2, 7)})
      QCOMPARE(Hex(withThumb.pixel(r.topLeft() + p)), Hex(without.pixel(r.topLeft() + p)));
    QCOMPARE(Hex(withThumb.pixel(r.left() + 3, r.top())), Hex(kWhite));  // edge starts
    QCOMPARE(Hex(withThumb.pixel(r.left(), r.top() + 3)), Hex(kWhite));   // the tip
    QCOMPARE(Hex(withThumb.pixel(r.left() + 5, r.top() + 3)), Hex(kSilver));
  }

  void disabledShowsTheCheckerPattern() {
    for (QColor track : {QColor(Qt::white), QColor(192, 192, 192)}) {
      TB bar;
      MakeBandSlider(bar);
      bar.SetTrackColor(track);
      bar.setEnabled(false);
      const QImage img = Grab(bar);
      const QRgb odd = track == QColor(192, 192, 192) ? kGrey : kSilver;
      // Track inside its two-pixel frame.
      for (int y = 12; y < 16; ++y)
        for (int x = 18; x < 22; ++x)
          QCOMPARE(Hex(img.pixel(x, y)), Hex((x + y) % 2 ? odd : track.rgb()));
      // Thumb face below the groove, tiled from the thumb's corner.
      const QRect r = bar.ThumbRect();
      for (int x = 3; x <= 9; ++x)
        QCOMPARE(Hex(img.pixel(r.left() + x, r.top() + 5)), Hex((x + 5) % 2 ? odd : track.rgb()));
      QCOMPARE(Hex(img.pixel(r.left(), r.top())), Hex(kWhite));  // edges stay
      QCOMPARE(Hex(img.pixel(r.right(), r.bottom())), Hex(kBlack));
    }
  }

  void scaleMultipliesTheDesignSizes() {
    TB bar;
    QCOMPARE(bar.Scale(), 1.0);
    for (double ignored : {0.0, -2.0, std::nan(""), HUGE_VAL}) bar.SetScale(ignored);
    QCOMPARE(bar.Scale(), 1.0);

    MakeScaledBandSlider(bar);
    QCOMPARE(bar.Orientation(), TB::toVertical);  // hidden: takes up the shape
    QCOMPARE(bar.Scale(), 2.0);
    QCOMPARE(bar.ThumbLength(), 16);
    QCOMPARE(bar.ThumbBreadth(), 24);
    QCOMPARE(bar.EdgeMargin(), 8);
    QCOMPARE(bar.TrackWidth(), 8);  // the design value
    QCOMPARE(bar.ScaledTrackWidth(), 16);
    QCOMPARE(bar.ThumbImage().size(), QSize(12, 8));  // design images
    QCOMPARE(bar.DrawnThumbImage().deviceIndependentSize(), QSizeF(24, 16));

    // Travel 482 - 16 - 2 * 8 = 450 over 48 steps; lines at
    // H - L - c - m + h = 466 - c.
    QCOMPARE(bar.TickSpacing(), 9.375);
    QCOMPARE(bar.TrackRect(), QRect(32, 16, 16, 450));
    QCOMPARE(bar.TickLine(-24), 466);
    QCOMPARE(bar.TickLine(0), 241);
    QCOMPARE(bar.TickLine(24), 16);
    // Bottom at 482 - (450 * along / 48 + 8), the middle on the tick line.
    const QList<QPair<int, int>> tops = {{0, 233}, {24, 8}, {-24, 458}};
    for (auto [pos, top] : tops) {
      bar.SetPositionNC(pos);
      QCOMPARE(bar.ThumbRect(), QRect(28, top, 24, 16));
      QCOMPARE(top + bar.ThumbLength() / 2, bar.TickLine(pos));
    }
    bar.SetPositionNC(0);

    TB flat;  // horizontal, medium pointer: 12 long, 18 across
    flat.SetScale(2.4);
    QCOMPARE(flat.ThumbLength(), 29);
    QCOMPARE(flat.ThumbBreadth(), 43);
    QCOMPARE(flat.EdgeMargin(), 10);
    QCOMPARE(flat.TrackRect(), QRect(24, 15, 152, 19));  // left m + h, top (50 - 19) / 2
    QCOMPARE(flat.TickLine(0), 24);
  }

  void scaledSliderAnswersTheMouseAtItsScaledThumb() {
    TB bar;
    MakeScaledBandSlider(bar);
    bar.SetPageSize(3);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    // The boundary is the scaled thumb's top, 9.375 * 24 + 8 = 233: a press
    // on the row just above it steps up, one just below the thumb down.
    Press(bar, {40, 232});
    QCOMPARE(bar.Position(), 3);
    Press(bar, {40, bar.ThumbRect().bottom() + 1});
    QCOMPARE(bar.Position(), 0);
    Press(bar, {30, 100});  // beside the 16-pixel track
    QCOMPARE(bar.Position(), 0);

    Press(bar, bar.ThumbRect().center());
    QVERIFY(bar.Dragging());
    DragTo(bar, {40, 0});
    QCOMPARE(bar.Position(), 24);
    DragTo(bar, {40, 392});  // f = (482 - 8 - 392) / 474: -15.70 rounds to -16
    QCOMPARE(bar.Position(), -16);
    DragTo(bar, {40, 481});
    QCOMPARE(bar.Position(), -24);
    Release(bar, {40, 481});
  }

  void scaledSliderDrawsAtItsScaledGeometry() {
    TB bar;
    MakeScaledBandSlider(bar);
    const QImage img = Grab(bar);
    const QRect r = bar.ThumbRect();  // 24 by 16: the small box, doubled
    const QRgb background = bar.palette().color(QPalette::Window).rgb();
    // Two-pixel edges: white top and left, black bottom and right, grey
    // inside the black, silver face.
    const QList<QPair<QPoint, QRgb>> thumb = {
        {{12, 0}, kWhite},  {{12, 1}, kWhite},  {{12, 2}, kSilver}, {{0, 4}, kWhite},  {{1, 4}, kWhite},
        {{2, 4}, kSilver},  {{12, 15}, kBlack}, {{12, 14}, kBlack}, {{12, 13}, kGrey}, {{23, 4}, kBlack},
        {{22, 4}, kBlack},  {{21, 4}, kGrey},   {{19, 4}, kSilver}};
    for (auto [at, colour] : thumb) QCOMPARE(Hex(img.pixel(r.topLeft() + at)), Hex(colour));
    QCOMPARE(Hex(img.pixel(r.left() - 1, r.top())), Hex(background));
    QCOMPARE(Hex(img.pixel(r.left(), r.top() - 1)), Hex(background));
    QCOMPARE(Hex(img.pixel(r.right() + 1, r.bottom())), Hex(background));
    QCOMPARE(Hex(img.pixel(r.left(), r.bottom() + 1)), Hex(background));

    // Ticks two rows thick, centred on their lines, from 8 to 19 and from
    // 60 to 71.
    for (int at : {bar.TickLine(-24), bar.TickLine(24), bar.TickLine(13)}) {
      for (int x : {8, 19, 60, 71})
        for (int y : {at - 1, at}) QCOMPARE(Hex(img.pixel(x, y)), Hex(kBlack));
      for (QPoint p : {QPoint(7, at), QPoint(20, at), QPoint(59, at), QPoint(72, at), QPoint(10, at - 2),
                       QPoint(10, at + 1)})
        QVERIFY(img.pixel(p) != kBlack);
    }

    // Frame lines two pixels thick around the 16-pixel track at 32.
    const QPalette& pal = bar.palette();
    const QRgb across[16] = {pal.color(QPalette::Dark).rgb(), pal.color(QPalette::Dark).rgb(),
                             pal.color(QPalette::ButtonText).rgb(), pal.color(QPalette::ButtonText).rgb(),
                             kWhite, kWhite, kWhite, kWhite, kWhite, kWhite, kWhite, kWhite,
                             pal.color(QPalette::Button).rgb(), pal.color(QPalette::Button).rgb(),
                             pal.color(QPalette::Light).rgb(), pal.color(QPalette::Light).rgb()};
    for (int x = 0; x < 16; ++x) QCOMPARE(Hex(img.pixel(32 + x, 100)), Hex(across[x]));

    // Disabled: checker cells two pixels square, on the track and the face.
    bar.setEnabled(false);
    const QImage off = Grab(bar);
    auto checker = [](int x, int y) { return (x / 2 + y / 2) % 2 ? kSilver : kWhite; };
    for (int y = 100; y < 104; ++y)
      for (int x = 36; x < 44; ++x) QCOMPARE(Hex(off.pixel(x, y)), Hex(checker(x, y)));
    for (int x = 6; x <= 17; ++x)  // below the groove, tiled from the corner
      QCOMPARE(Hex(off.pixel(r.left() + x, r.top() + 10)), Hex(checker(x, 10)));
    QCOMPARE(Hex(off.pixel(r.left() + 1, r.top() + 1)), Hex(kWhite));
  }

  void scaledThumbMoveRepaintsOnlyTheThumb() {
    TB bar;
    MakeBandSlider(bar, 80);
    bar.resize(80, 482);
    bar.SetThumbStyle(TB::tsPointer);
    bar.setFocusPolicy(Qt::NoFocus);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    QTRY_VERIFY(bar.Stats().paintEvents > 0);
    bar.ResetStats();
    bar.SetScale(2);  // drawn again whole
    QTRY_COMPARE(bar.Stats().fullRenders, 1);
    QCOMPARE(bar.Stats().lastRegion, QRegion(bar.rect()));
    MovesRepaintOnlyTheThumb(bar, {1, 2, -24, 24});
    if (QTest::currentTestFailed()) return;
    // The saved backgrounds put back what a full drawing gives.
    TB fresh;
    MakeScaledBandSlider(fresh);
    fresh.SetThumbStyle(TB::tsPointer);
    fresh.SetPositionNC(24);
    QCOMPARE(Grab(bar), Grab(fresh));
  }

  void thumbImagesHaveTheirSizesAndShapes() {
    const QSize vertical[] = {{12, 8}, {18, 12}, {24, 16}};
    const int depth[] = {3, 5, 7};
    for (int size = 0; size < 3; ++size) {
      const auto ts = TB::TThumbSize(size);
      for (auto o : {TB::toVertical, TB::toHorizontal}) {
        const QSize s = o == TB::toVertical ? vertical[size] : vertical[size].transposed();
        const QImage box = TB::MakeThumbImage(ts, TB::tsBox, o);
        const QImage pointer = TB::MakeThumbImage(ts, TB::tsPointer, o);
        const QImage mask = TB::MakeThumbMask(ts, o);
        QCOMPARE(box.size(), s);
        QCOMPARE(pointer.size(), s);
        QCOMPARE(mask.size(), s);
        // The disabled fill starts on the silver face.
        for (const QImage* img : {&box, &pointer})
          QCOMPARE(Hex(img->pixel(s.width() - 3, s.height() - 3)), Hex(kSilver));
        // Raised look: white top-left, black bottom-right.
        QCOMPARE(Hex(box.pixel(0, 0)), Hex(kWhite));
        QCOMPARE(Hex(box.pixel(s.width() - 1, s.height() - 1)), Hex(kBlack));
        // Mask triangles at the pointed end (left, or top when horizontal),
        // black image pixels under them.
        for (int i = 0; i < depth[size]; ++i) {
          const int len = depth[size] - i;  // row i of the triangle
          for (int j = 0; j < s.width() && j < s.height(); ++j) {
            const bool cut = j < len;
            const QPoint nearCorner = o == TB::toVertical ? QPoint(j, i) : QPoint(i, j);
            const QPoint farCorner = o == TB::toVertical ? QPoint(j, s.height() - 1 - i)
                                                         : QPoint(s.width() - 1 - i, j);
            QCOMPARE(mask.pixel(nearCorner) == kWhite, cut);
            QCOMPARE(mask.pixel(farCorner) == kWhite, cut);
            if (cut) QCOMPARE(Hex(pointer.pixel(nearCorner)), Hex(kBlack));
          }
        }
      }
    }
    // The small vertical box has its groove across the face (horizontal).
    const QImage small = TB::MakeThumbImage(TB::tsSmall, TB::tsBox, TB::toVertical);
    QCOMPARE(Hex(small.pixel(5, 3)), Hex(kGrey));
    QCOMPARE(Hex(small.pixel(5, 4)), Hex(kWhite));
  }
};

int RunTrackBarTests(int argc, char** argv) {
  TrackBarTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "trackbar_test.moc"
