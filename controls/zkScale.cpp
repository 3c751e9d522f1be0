#include "zkScale.h"

#include <QFont>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

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
void SetFontHeight(QWidget& widget, int height) {
  QFont font = widget.font();
  font.setPixelSize(height < 0 ? -height : (height > 0 ? height : 1));
  widget.setFont(font);
}

// Scales a control's place, size and font by num/den, and its children's.
void ScaleBy(QWidget& widget, int num, int den, int pixelsPerInch, bool moveAndSize) {
  if (moveAndSize) {
    const QRect g = widget.geometry();
    // Edges are scaled, not sizes, so neighbouring controls stay flush.
    const int left = g.left() * num / den;
    const int top = g.top() * num / den;
    const int right = (g.left() + g.width()) * num / den;
    const int bottom = (g.top() + g.height()) * num / den;
    widget.setGeometry(left, top, right - left, bottom - top);
  }
  // Only fonts set on this very widget are scaled; inherited ones follow
  // their parent.
  if (widget.testAttribute(Qt::WA_SetFont) || !widget.parentWidget())
    SetFontHeight(widget, FontHeight(widget, pixelsPerInch) * num / den);
  for (QObject* child : widget.children())
    if (auto* w = qobject_cast<QWidget*>(child); w && !w->isWindow())
      ScaleBy(*w, num, den, pixelsPerInch, true);
}
}  // namespace

void ScaleFormToScreen(QWidget& form, const ScreenMetrics& screen) {
  if (screen.width != kDesignScreenWidth || screen.pixelsPerInch != kDesignPixelsPerInch) {
    form.setProperty("scaled", true);
    const int height = screen.height * form.height() / kDesignScreenHeight;
    const int width = screen.width * form.width() / kDesignScreenWidth;
    form.resize(width, height);
    ScaleBy(form, screen.width, kDesignScreenWidth, screen.pixelsPerInch, false);
  }
  if (screen.pixelsPerInch != kDesignPixelsPerInch) {
    const int k = FontHeight(form, screen.pixelsPerInch) / kDesignFontHeight;
    const QObjectList children = form.children();
    for (auto it = children.rbegin(); it != children.rend(); ++it)
      if (auto* w = qobject_cast<QWidget*>(*it); w && !w->isWindow())
        SetFontHeight(*w, FontHeight(*w, screen.pixelsPerInch) * k);
  }
}

void ScaleFormToScreen(QWidget& form) { ScaleFormToScreen(form, ScreenMetrics::Primary()); }
