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
