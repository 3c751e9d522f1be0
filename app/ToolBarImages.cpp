#include "app/ToolBarImages.h"

#include <QPainter>
#include <QPixmap>

#include "app/PaintedIcon.h"
#include <algorithm>

namespace {
constexpr int kSize = 16;
const QColor kNavy(0, 0, 128), kYellow(255, 255, 0), kGrey(128, 128, 128),
    kSilver(192, 192, 192), kTeal(0, 128, 128);

void Page(QPainter& p, int x, int y, int w, int h) {
  p.setPen(Qt::black);
  p.setBrush(Qt::white);
  p.drawRect(x, y, w - 1, h - 1);
  // Folded corner.
  p.drawLine(x + w - 4, y, x + w - 1, y + 3);
}

void Draw(QPainter& p, ToolGlyph glyph) {
  switch (glyph) {
    case ToolGlyph::New:
      Page(p, 3, 1, 10, 14);
      break;
    case ToolGlyph::Open:
      p.setPen(Qt::black);
      p.setBrush(kYellow);
      p.drawRect(1, 4, 12, 9);
      p.setBrush(QColor(128, 128, 0));
      p.drawPolygon(QPolygon({QPoint(3, 7), QPoint(15, 7), QPoint(13, 13), QPoint(1, 13)}));
      break;
    case ToolGlyph::Save:
      p.setPen(Qt::black);
      p.setBrush(kNavy);
      p.drawRect(1, 1, 13, 13);
      p.setBrush(Qt::white);
      p.drawRect(4, 2, 7, 5);
      p.setBrush(kSilver);
      p.drawRect(4, 9, 7, 5);
      break;
    case ToolGlyph::Print:
      Page(p, 4, 1, 8, 7);
      p.setPen(Qt::black);
      p.setBrush(kSilver);
      p.drawRect(1, 7, 13, 6);
      p.setPen(kYellow);
      p.drawPoint(12, 9);
      break;
    case ToolGlyph::Copy:
      Page(p, 1, 1, 8, 10);
      Page(p, 6, 5, 9, 11);
      break;
    case ToolGlyph::Paste:
      p.setPen(Qt::black);
      p.setBrush(QColor(128, 64, 0));
      p.drawRect(1, 2, 10, 13);
      p.setBrush(kSilver);
      p.drawRect(4, 1, 4, 2);
      Page(p, 7, 6, 8, 10);
      break;
    case ToolGlyph::Clear:
      // A flat curve on a scale.
      p.setPen(kGrey);
      for (int x = 2; x <= 14; x += 3) p.drawLine(x, 3, x, 13);
      p.setPen(QPen(kNavy, 2));
      p.drawLine(1, 8, 15, 8);
      break;
    case ToolGlyph::Tile:
      p.setPen(Qt::black);
      p.setBrush(Qt::white);
      p.drawRect(1, 1, 13, 6);
      p.drawRect(1, 8, 13, 6);
      p.fillRect(2, 2, 12, 2, kNavy);
      p.fillRect(2, 9, 12, 2, kNavy);
      break;
    case ToolGlyph::Bus:
      // Three units on one line.
      p.setPen(Qt::black);
      p.drawLine(1, 13, 14, 13);
      p.setBrush(kSilver);
      for (int x : {1, 6, 11}) {
        p.drawRect(x, 3, 3, 5);
        p.drawLine(x + 1, 9, x + 1, 12);
        p.fillRect(x + 1, 4, 2, 1, kNavy);
      }
      break;
    case ToolGlyph::ComSetup:
      // A nine-pin serial connector.
      p.setPen(Qt::black);
      p.setBrush(kSilver);
      p.drawPolygon(QPolygon({QPoint(1, 4), QPoint(14, 4), QPoint(12, 11), QPoint(3, 11)}));
      p.setPen(kTeal);
      for (int i = 0; i < 5; ++i) p.drawPoint(3 + 2 * i, 6);
      for (int i = 0; i < 4; ++i) p.drawPoint(4 + 2 * i, 9);
      break;
    case ToolGlyph::Exit:
      p.setPen(Qt::black);
      p.setBrush(QColor(128, 64, 0));
      p.drawRect(3, 1, 8, 14);
      p.setPen(kYellow);
      p.drawPoint(9, 8);
      break;
  }
}
}  // namespace

QImage ToolGlyphImage(ToolGlyph glyph, int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  // Drawn in the 16 by 16 grid; lines and edges grow with the picture.
  if (size != kSize) p.scale(double(size) / kSize, double(size) / kSize);
  Draw(p, glyph);
  return image;
}

QImage DisabledImage(const QImage& normal, int shadowOffset) {
  QImage out(normal.size(), QImage::Format_ARGB32);
  out.fill(Qt::transparent);
  // Dark pixels of the picture make the shape; light ones stay open, as in
  // the classic embossed look.
  auto shape = [&](int x, int y) {
    if (x < 0 || y < 0 || x >= normal.width() || y >= normal.height()) return false;
    const QColor c = normal.pixelColor(x, y);
    return c.alpha() > 0 && qGray(c.rgb()) < 192;
  };
  for (int y = 0; y < out.height(); ++y)
    for (int x = 0; x < out.width(); ++x) {
      if (shape(x, y))
        out.setPixelColor(x, y, QColor(128, 128, 128));
      else if (shape(x - shadowOffset, y - shadowOffset))
        out.setPixelColor(x, y, Qt::white);
    }
  return out;
}

QIcon ToolBarIcon(ToolGlyph glyph) {
  return PaintedIcon([glyph](int side, QIcon::Mode mode) {
    const QImage normal = ToolGlyphImage(glyph, side);
    return mode == QIcon::Disabled ? DisabledImage(normal, std::max(1, side / kSize)) : normal;
  });
}
