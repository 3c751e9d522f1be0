#include "zkScale.h"

#include <QFont>
#include <QGuiApplication>
#include <QHash>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdint>

ScreenMetrics ScreenMetrics::Primary() {
  ScreenMetrics m;
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    m.width = screen->geometry().width();
    m.height = screen->geometry().height();
    m.pixelsPerInch = static_cast<int>(screen->logicalDotsPerInch() + 0.5);
  }
  return m;
}

int FontHeight(const QWidget& widget, int pixelsPerInch) {
  const QFont& font = widget.font();
  if (font.pixelSize() > 0) return -font.pixelSize();
  return -static_cast<int>(font.pointSizeF() * pixelsPerInch / 72.0 + 0.5);
}

namespace {
// A font's size in its own unit: pixels for a pixel-sized font, points
// otherwise. Fonts are scaled in that unit, so a point-sized font does not
// change merely by being converted at another dots-per-inch figure.
struct FontSize {
  int pixels = -1;
  double points = -1;
  bool operator==(const FontSize& o) const {
    return pixels == o.pixels && std::abs(points - o.points) < 1e-6;
  }
};

FontSize SizeOf(const QFont& font) {
  FontSize s;
  if (font.pixelSize() > 0)
    s.pixels = font.pixelSize();
  else
    s.points = font.pointSizeF();
  return s;
}

FontSize Scaled(FontSize s, int num, int den) {
  if (s.pixels > 0)
    s.pixels = std::max<int64_t>(1, int64_t(s.pixels) * num / den);
  else if (s.points > 0)
    s.points = s.points * num / den;
  return s;
}

void SetFontSize(QWidget& widget, FontSize size) {
  QFont font = widget.font();
  if (size.pixels > 0)
    font.setPixelSize(size.pixels);
  else if (size.points > 0)
    font.setPointSizeF(size.points);
  else
    return;
  widget.setFont(font);
}

void CollectFontSizes(QWidget& widget, QHash<QWidget*, FontSize>& sizes) {
  sizes.insert(&widget, SizeOf(widget.font()));
  for (QObject* child : widget.children())
    if (auto* w = qobject_cast<QWidget*>(child); w && !w->isWindow()) CollectFontSizes(*w, sizes);
}

// Scales a control's place and size (unless it is the form itself) and its
// font by num/den, parents before children. A control whose font size
// comes from its parent already has the scaled size when its turn comes
// and keeps following the parent; one with a size of its own gets its old
// size scaled, once.
void ScaleBy(QWidget& widget, int num, int den, const QHash<QWidget*, FontSize>& before,
             bool moveAndSize) {
  if (moveAndSize) {
    const QRect g = widget.geometry();
    // Edges are scaled, not sizes, so neighbouring controls stay flush.
    const int64_t left = int64_t(g.left()) * num / den;
    const int64_t top = int64_t(g.top()) * num / den;
    const int64_t right = (int64_t(g.left()) + g.width()) * num / den;
    const int64_t bottom = (int64_t(g.top()) + g.height()) * num / den;
    widget.setGeometry(int(left), int(top), int(right - left), int(bottom - top));
  }
  const FontSize target = Scaled(before.value(&widget), num, den);
  if (!(SizeOf(widget.font()) == target)) SetFontSize(widget, target);
  for (QObject* child : widget.children())
    if (auto* w = qobject_cast<QWidget*>(child); w && !w->isWindow()) ScaleBy(*w, num, den, before, true);
}
}  // namespace

void ScaleFormToScreen(QWidget& form, const ScreenMetrics& screen) {
  if (screen.width != kDesignScreenWidth || screen.pixelsPerInch != kDesignPixelsPerInch) {
    form.setProperty("scaled", true);
    const int height = int(int64_t(screen.height) * form.height() / kDesignScreenHeight);
    const int width = int(int64_t(screen.width) * form.width() / kDesignScreenWidth);
    form.resize(width, height);
    QHash<QWidget*, FontSize> before;
    CollectFontSizes(form, before);
    ScaleBy(form, screen.width, kDesignScreenWidth, before, false);
  }
  if (screen.pixelsPerInch != kDesignPixelsPerInch) {
    // Whole multiples of the design font height: 1 for -11 to -21, 2 for
    // -22 to -32. A form font smaller than the design's (a screen narrower
    // than 800 pixels) gives 0, which would shrink every control's text to
    // nothing; such fonts stay as step 1 made them, as they do for 1.
    const int k = FontHeight(form, screen.pixelsPerInch) / kDesignFontHeight;
    if (k > 1) {
      const QObjectList children = form.children();
      for (auto it = children.rbegin(); it != children.rend(); ++it)
        if (auto* w = qobject_cast<QWidget*>(*it); w && !w->isWindow())
          SetFontSize(*w, Scaled(SizeOf(w->font()), k, 1));
    }
  }
}

void ScaleFormToScreen(QWidget& form) { ScaleFormToScreen(form, ScreenMetrics::Primary()); }
