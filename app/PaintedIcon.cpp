#include "app/PaintedIcon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <map>
#include <utility>

namespace {
class PaintedIconEngine : public QIconEngine {
 public:
  explicit PaintedIconEngine(IconPainter paint) : paint_(std::move(paint)) {}

  QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }

  // Asked in device pixels: the icon sets the device pixel ratio itself.
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
    const int side = std::max(1, std::min(size.width(), size.height()));
    const std::pair<int, int> key(side, int(mode));
    auto cached = cache_.find(key);
    if (cached == cache_.end())
      cached = cache_.emplace(key, QPixmap::fromImage(paint_(side, mode))).first;
    return cached->second;
  }

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    QPixmap drawn = pixmap(rect.size() * ratio, mode, state);
    drawn.setDevicePixelRatio(ratio);
    painter->drawPixmap(rect, drawn);
  }

  QIconEngine* clone() const override { return new PaintedIconEngine(paint_); }

 private:
  IconPainter paint_;
  std::map<std::pair<int, int>, QPixmap> cache_;
};
}  // namespace

QIcon PaintedIcon(IconPainter paint) { return QIcon(new PaintedIconEngine(std::move(paint))); }
