#include "controls/zkScale.h"

#include "controls/ProgramStyle.h"

#include <QApplication>
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
    m.availableHeight = screen->availableGeometry().height();
  }
  return m;
}

int FormScale::Of(int designLength) const { return int(int64_t(designLength) * Num / Den); }

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

namespace {
constexpr char kScaleNum[] = "scaleNum";
constexpr char kScaleDen[] = "scaleDen";
// A dialog may take up to this share of the screen's available height.
constexpr int kDialogHeightShare = 90;
}  // namespace

FormScale ScaleFormToScreen(QWidget& form, const ScreenMetrics& screen, FormFit fit) {
  FormScale scale;
  // Whole steps of the design font are counted on the font as designed:
  // counted after the width scaling they would enlarge again text that the
  // width scaling already made as large as the form.
  const int designFontHeight = FontHeight(form, screen.pixelsPerInch);
  if (screen.width != kDesignScreenWidth || screen.pixelsPerInch != kDesignPixelsPerInch) {
    form.setProperty("scaled", true);
    scale = {screen.width, kDesignScreenWidth};
    const int limit = int(int64_t(screen.AvailableHeight()) * kDialogHeightShare / 100);
    if (fit == FormFit::WithinScreenHeight && form.height() > 0 && scale.Of(form.height()) > limit)
      scale = {std::max(1, limit), form.height()};
    form.resize(scale.Of(form.width()), scale.Of(form.height()));
    QHash<QWidget*, FontSize> before;
    CollectFontSizes(form, before);
    ScaleBy(form, scale.Num, scale.Den, before, false);
  }
  form.setProperty(kScaleNum, scale.Num);
  form.setProperty(kScaleDen, scale.Den);
  if (screen.pixelsPerInch != kDesignPixelsPerInch) {
    // Whole multiples of the design font height: 1 for -11 to -21, 2 for
    // -22 to -32; only a form designed with a larger font gets them.
    const int k = designFontHeight / kDesignFontHeight;
    if (k > 1) {
      const QObjectList children = form.children();
      for (auto it = children.rbegin(); it != children.rend(); ++it)
        if (auto* w = qobject_cast<QWidget*>(*it); w && !w->isWindow())
          SetFontSize(*w, Scaled(SizeOf(w->font()), k, 1));
    }
  }
  return scale;
}

FormScale ScaleFormToScreen(QWidget& form, FormFit fit) {
  return ScaleFormToScreen(form, ScreenMetrics::Primary(), fit);
}

FormScale ScaleOf(const QWidget& widget) {
  for (const QWidget* w = &widget; w; w = w->parentWidget()) {
    const QVariant num = w->property(kScaleNum), den = w->property(kScaleDen);
    if (num.isValid() && den.isValid() && den.toInt() > 0) return {num.toInt(), den.toInt()};
  }
  return {};
}

FormScale ApplicationScale(const ScreenMetrics& screen) {
  if (screen.width == kDesignScreenWidth && screen.pixelsPerInch == kDesignPixelsPerInch) return {};
  return {screen.width, kDesignScreenWidth};
}

void ScaleApplicationToScreen(const ScreenMetrics& screen) {
  ProgramStyle::SetScreen(screen);
  static const QFont original = QApplication::font();
  const FormScale scale = ApplicationScale(screen);
  QFont font = original;
  if (!(scale == FormScale{})) {
    const double pixels = original.pixelSize() > 0
                              ? original.pixelSize()
                              : original.pointSizeF() * kDesignPixelsPerInch / 72.0;
    font.setPixelSize(std::max(1, int(pixels * scale.Factor() + 0.5)));
  }
  // Every widget hears of a new application font: only a change is set.
  if (!(QApplication::font() == font)) QApplication::setFont(font);
}
