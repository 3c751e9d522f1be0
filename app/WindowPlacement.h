#pragma once
// Where a top-level window may stand: a stored or default place that does
// not fit the screen (a larger screen's geometry, a hand-edited settings
// file) must not leave the window off screen, beyond it, or too small to
// use.
#include <QRect>
#include <QSize>

// The outer rectangle nearest to (left, top, width, height) that lies
// within available and is at least minimum large (but not beyond
// available). A rectangle that fits is returned unchanged; a larger one
// shrinks to the available size; one that sticks out is moved back onto
// it. Any values are taken, however large or negative.
QRect FitOnScreen(int left, int top, int width, int height, const QRect& available,
                  const QSize& minimum);
