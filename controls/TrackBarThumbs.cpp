#include "controls/TrackBarThumbs.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygon>
#include <algorithm>
#include <cstring>
#include <vector>

namespace trackbar_bitmaps {

// Vertical thumb images are breadth wide and length high; the horizontal
// ones are the same images turned about the top-left to bottom-right
// diagonal, so their top-left edges stay white and their grooves turn with
// the track.
QSize VerticalImageSize(TzkTrackBar::TThumbSize size) {
  switch (size) {
    case TzkTrackBar::tsSmall: return {12, 8};
    case TzkTrackBar::tsMedium: return {18, 12};
    case TzkTrackBar::tsLarge: return {24, 16};
  }
  return {18, 12};
}

QImage Transposed(const QImage& image) {
  QImage out(image.height(), image.width(), QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) out.setPixel(y, x, image.pixel(x, y));
  return out;
}

// First pixel of row y that belongs to a left-pointing pointer of height h:
// the two left corners are cut away in triangles depth rows deep (3, 2, 1
// pixels in the small size), leaving a tip two rows high.
int PointerRowStart(int y, int h) {
  const int depth = h / 2 - 1;
  if (y < depth) return depth - y;
  if (y > h - 1 - depth) return y - (h - 1 - depth);
  return 0;
}

// A raised button: white top and left edges, black bottom and right edges
// with a grey line inside them, silver face. Across the face runs a grey
// groove with a white highlight under it, stopping one pixel short of the
// edges so the face stays one area.
QImage VerticalBox(QSize s) {
  const int w = s.width(), h = s.height();
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(kSilver);
  for (int x = 0; x < w; ++x) {
    img.setPixel(x, 0, kWhite);
    img.setPixel(x, h - 1, kBlack);
    if (x > 0 && x < w - 1) img.setPixel(x, h - 2, kGrey);
  }
  for (int y = 0; y < h; ++y) {
    if (y < h - 1) img.setPixel(0, y, kWhite);
    img.setPixel(w - 1, y, kBlack);
    if (y > 0 && y < h - 1) img.setPixel(w - 2, y, kGrey);
  }
  const int groove = h / 2 - 1;
  for (int x = 2; x <= w - 4; ++x) {
    img.setPixel(x, groove, kGrey);
    img.setPixel(x, groove + 1, kWhite);
  }
  return img;
}

// A raised button whose left end comes to a point. Pixels outside the
// shape are black so that OR-ing the image onto the masked background
// leaves the background there.
QImage VerticalPointer(QSize s) {
  const int w = s.width(), h = s.height();
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(kBlack);
  for (int y = 0; y < h; ++y) {
    const int x0 = PointerRowStart(y, h);
    for (int x = x0; x < w; ++x) img.setPixel(x, y, kSilver);
    if (y == 0) {
      for (int x = x0; x < w - 1; ++x) img.setPixel(x, y, kWhite);
    } else if (y == h - 1) {
      continue;  // all black
    } else if (y < h / 2) {
      img.setPixel(x0, y, kWhite);
    } else {
      img.setPixel(x0, y, kBlack);
      img.setPixel(x0 + 1, y, kGrey);
    }
    if (y > 0 && y < h - 1) img.setPixel(w - 2, y, kGrey);
    img.setPixel(w - 1, y, kBlack);
  }
  for (int x = PointerRowStart(h - 2, h) + 1; x < w - 1; ++x) img.setPixel(x, h - 2, kGrey);
  return img;
}

QImage VerticalPointerMask(QSize s) {
  const int w = s.width(), h = s.height();
  QImage img(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y) {
    const int x0 = PointerRowStart(y, h);
    for (int x = 0; x < w; ++x) img.setPixel(x, y, x < x0 ? kWhite : kBlack);
  }
  return img;
}

// Resizes image by taking for every new pixel the source pixel under its
// centre: a bitmap stays sharp-edged, each of its pixels becoming a block
// with no blended colours.
QImage ScaledNearest(const QImage& image, QSize size) {
  if (size == image.size()) return image.convertToFormat(QImage::Format_RGB32);
  const QImage src = image.convertToFormat(QImage::Format_RGB32);
  QImage out(size, QImage::Format_RGB32);
  if (out.isNull() || src.isNull()) return out;
  const int sw = src.width(), sh = src.height(), dw = size.width(), dh = size.height();
  std::vector<int> column(dw);
  for (int x = 0; x < dw; ++x) column[x] = int((2 * int64_t(x) + 1) * sw / (2 * int64_t(dw)));
  for (int y = 0; y < dh; ++y) {
    const int sy = int((2 * int64_t(y) + 1) * sh / (2 * int64_t(dh)));
    const auto* in = reinterpret_cast<const QRgb*>(src.constScanLine(sy));
    auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < dw; ++x) row[x] = in[column[x]];
  }
  return out;
}

// The pixel of an image scaled by ScaledNearest from `from` to `to` that
// shows source pixel p: the one at the middle of p's block.
QPoint ScaledPoint(QPoint p, QSize from, QSize to) {
  return {int((2 * int64_t(p.x()) + 1) * to.width() / (2 * int64_t(from.width()))),
          int((2 * int64_t(p.y()) + 1) * to.height() / (2 * int64_t(from.height())))};
}

// Copies src into dst with its top-left corner at `at`, both 32-bit images,
// leaving out what falls outside dst. No painter: the pixels land exactly
// where they are meant to, whatever dst's device pixel ratio.
void CopyPixels(QImage& dst, QPoint at, const QImage& src) {
  const QRect area = QRect(at, src.size()) & dst.rect();
  if (area.isEmpty()) return;
  for (int y = area.top(); y <= area.bottom(); ++y)
    std::memcpy(reinterpret_cast<QRgb*>(dst.scanLine(y)) + area.left(),
                reinterpret_cast<const QRgb*>(src.constScanLine(y - at.y())) + (area.left() - at.x()),
                size_t(area.width()) * sizeof(QRgb));
}

// Tiles rect of image with pattern, aligned with the image's top-left
// corner.
void TilePixels(QImage& image, const QRect& rect, const QImage& pattern) {
  const QRect area = rect & image.rect();
  if (area.isEmpty() || pattern.isNull()) return;
  const int pw = pattern.width(), ph = pattern.height();
  for (int y = area.top(); y <= area.bottom(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    const auto* in = reinterpret_cast<const QRgb*>(pattern.constScanLine(y % ph));
    for (int x = area.left(); x <= area.right(); ++x) row[x] = in[x % pw];
  }
}

// Fills the silver area of image containing seed, four-connected, with the
// pattern (tiled from the image's top-left corner).
void FloodFillSilver(QImage& image, QPoint seed, const QImage& pattern) {
  if (!image.rect().contains(seed) || !IsSilver(image.pixel(seed)) || pattern.isNull()) return;
  const int w = image.width(), h = image.height();
  std::vector<char> seen(size_t(w) * h, 0);
  std::vector<QPoint> stack{seed}, area;
  seen[size_t(seed.y()) * w + seed.x()] = 1;
  while (!stack.empty()) {
    const QPoint p = stack.back();
    stack.pop_back();
    area.push_back(p);
    const QPoint next[4] = {{p.x() + 1, p.y()}, {p.x() - 1, p.y()}, {p.x(), p.y() + 1}, {p.x(), p.y() - 1}};
    for (const QPoint& n : next) {
      if (n.x() < 0 || n.y() < 0 || n.x() >= w || n.y() >= h) continue;
      char& s = seen[size_t(n.y()) * w + n.x()];
      if (s || !IsSilver(image.pixel(n))) continue;
      s = 1;
      stack.push_back(n);
    }
  }
  for (const QPoint& p : area)
    image.setPixel(p, pattern.pixel(p.x() % pattern.width(), p.y() % pattern.height()));
}

// The cursor shown over the thumb: a black up-and-down arrow with a white
// outline, its hot spot in the middle.
QCursor MakeThumbCursor() {
  QImage img(32, 32, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  const QPolygon arrow({{15, 3}, {21, 9}, {17, 9}, {17, 21}, {21, 21}, {15, 27}, {9, 21},
                        {13, 21}, {13, 9}, {9, 9}});
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QPen(Qt::white, 1));
  p.setBrush(Qt::black);
  p.drawPolygon(arrow);
  p.end();
  return QCursor(QPixmap::fromImage(img), 15, 15);
}

}  // namespace trackbar_bitmaps
