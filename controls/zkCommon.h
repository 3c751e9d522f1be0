#pragma once
// Drawing shared by the program's controls.
class QPainter;
class QPalette;
class QRect;

// Draws a two-pixel sunken frame just inside rect (left, top, right,
// bottom with right and bottom exclusive, as the rectangle's edges) in the
// palette's three-dimensional colours. The pen is left at the button-face
// colour.
void DrawSunkenFrame(QPainter& canvas, const QRect& rect, const QPalette& palette);

// A two-line sunken frame just inside rect, each line t pixels thick, in
// the palette's three-dimensional colours: shadow and dark outside at the
// top and left, highlight and face at the bottom and right. Drawn with
// filled rectangles, which cover whole device pixels at any device pixel
// ratio where a pen's line would straddle them.
void DrawThickSunkenFrame(QPainter& p, const QRect& rect, const QPalette& palette, int t);
