#include "app/ProgramIcon.h"

#include <QPainter>
#include <QPixmap>

#include "app/PaintedIcon.h"

QImage ProgramIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1f, 0x2a, 0x44));
  p.drawRoundedRect(QRectF(2, 2, 60, 60), 8, 8);
  const int tracks[] = {12, 22, 32, 42, 52};
  p.setPen(QPen(QColor(0x87, 0x96, 0xb0), 2));
  for (int x : tracks) p.drawLine(QPointF(x, 10), QPointF(x, 54));
  const QPointF curve[] = {{12, 36}, {22, 22}, {32, 28}, {42, 18}, {52, 40}};
  p.setPen(QPen(QColor(0xf2, 0xc2, 0x30), 3));
  p.drawPolyline(curve, 5);
  p.setPen(QPen(QColor(0x10, 0x15, 0x22), 1));
  p.setBrush(QColor(0xe8, 0xec, 0xf4));
  for (const QPointF& knob : curve) p.drawRect(QRectF(knob.x() - 5, knob.y() - 3, 10, 6));
  return image;
}

QIcon ProgramIcon() {
  return PaintedIcon([](int side, QIcon::Mode) { return ProgramIconImage(side); });
}
