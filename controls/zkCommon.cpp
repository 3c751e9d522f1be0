#include "controls/zkCommon.h"

#include <QPainter>
#include <QPalette>
#include <QRect>

namespace {
// A polyline of two segments, each excluding its end point, as a pen that
// stops one pixel short draws it.
void Line(QPainter& p, int x1, int y1, int x2, int y2) {
  if (x1 == x2 && y1 == y2) return;
  const int dx = (x2 > x1) - (x2 < x1);
  const int dy = (y2 > y1) - (y2 < y1);
  if (x2 - dx == x1 && y2 - dy == y1)
    p.drawPoint(x1, y1);  // one pixel long
  else
    p.drawLine(x1, y1, x2 - dx, y2 - dy);
}
}  // namespace

void DrawSunkenFrame(QPainter& canvas, const QRect& rect, const QPalette& palette) {
  // QRect's right() is inclusive; the frame works on exclusive edges.
  const int left = rect.left(), top = rect.top();
  const int right = rect.left() + rect.width(), bottom = rect.top() + rect.height();
  canvas.save();
  canvas.setRenderHint(QPainter::Antialiasing, false);
  auto pen = [&](QPalette::ColorRole role) { canvas.setPen(palette.color(QPalette::Active, role)); };
  pen(QPalette::Dark);  // button shadow
  Line(canvas, left, bottom - 1, left, top);
  Line(canvas, left, top, right, top);
  pen(QPalette::Light);  // button highlight
  Line(canvas, right - 1, top + 1, right - 1, bottom - 1);
  Line(canvas, right - 1, bottom - 1, left, bottom - 1);
  pen(QPalette::ButtonText);
  Line(canvas, left + 1, bottom - 2, left + 1, top + 1);
  Line(canvas, left + 1, top + 1, right - 1, top + 1);
  pen(QPalette::Button);  // button face
  Line(canvas, right - 2, top + 2, right - 2, bottom - 2);
  Line(canvas, right - 2, bottom - 2, left + 1, bottom - 2);
  canvas.restore();
  canvas.setPen(palette.color(QPalette::Active, QPalette::Button));
}

void DrawThickSunkenFrame(QPainter& p, const QRect& rect, const QPalette& palette, int t) {
  const int l = rect.left(), tp = rect.top(), r = rect.left() + rect.width(), b = rect.top() + rect.height();
  auto fill = [&](int x0, int y0, int x1, int y1, QPalette::ColorRole role) {
    if (x1 > x0 && y1 > y0) p.fillRect(QRect(x0, y0, x1 - x0, y1 - y0), palette.color(QPalette::Active, role));
  };
  fill(r - t, tp + t, r, b, QPalette::Light);                  // outer right
  fill(l + t, b - t, r, b, QPalette::Light);                   // outer bottom
  fill(l, tp, l + t, b, QPalette::Dark);                       // outer left
  fill(l, tp, r, tp + t, QPalette::Dark);                      // outer top
  fill(r - 2 * t, tp + 2 * t, r - t, b - t, QPalette::Button);  // inner right
  fill(l + 2 * t, b - 2 * t, r - t, b - t, QPalette::Button);   // inner bottom
  fill(l + t, tp + t, l + 2 * t, b - t, QPalette::ButtonText);  // inner left
  fill(l + t, tp + t, r - t, tp + 2 * t, QPalette::ButtonText); // inner top
}
