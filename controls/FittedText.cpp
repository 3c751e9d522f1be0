#include "controls/FittedText.h"

#include <QAccessible>
#include <QPainter>
#include <algorithm>

namespace {
// Pixels between a panel's frame and its text.
constexpr int kPanelTextMargin = 2;
}  // namespace

double TextSqueeze(int naturalWidth, int room) {
  if (naturalWidth <= 0 || naturalWidth <= room) return 1.0;
  return std::max(kMinTextSqueeze, double(std::max(room, 0)) / naturalWidth);
}

void DrawFittedText(QPainter& painter, const QRect& box, Qt::Alignment alignment,
                    const QString& text) {
  if (text.isEmpty() || box.isEmpty()) return;
  const int natural = painter.fontMetrics().horizontalAdvance(text);
  const double squeeze = TextSqueeze(natural, box.width());
  painter.save();
  painter.setClipRect(box, Qt::IntersectClip);
  if (squeeze >= 1.0) {
    painter.drawText(box, int(alignment) | Qt::TextSingleLine, text);
  } else {
    // Laid out at its natural width in a box that, squeezed, is as wide as
    // the room; a text that stays too wide starts at the box's left edge.
    const int width = int(box.width() / squeeze + 0.5);
    Qt::Alignment horizontal = alignment & Qt::AlignHorizontal_Mask;
    if (squeeze <= kMinTextSqueeze) horizontal = Qt::AlignLeft;
    painter.translate(box.left(), 0);
    painter.scale(squeeze, 1.0);
    painter.drawText(QRect(0, box.top(), width, box.height()),
                     int(horizontal | (alignment & Qt::AlignVertical_Mask)) | Qt::TextSingleLine,
                     text);
  }
  painter.restore();
}

StatusPanel::StatusPanel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Sunken);
}

QRect StatusPanel::TextRect() const {
  return contentsRect().adjusted(kPanelTextMargin, 0, -kPanelTextMargin, 0);
}

void StatusPanel::paintEvent(QPaintEvent* event) {
  // A new text is painted after every change; QLabel tells assistive
  // technology of it only while the panel has no accessible name of its
  // own, and here the name carries the text.
  if (text() != announced_) {
    announced_ = text();
    if (!accessibleName().isEmpty()) {
      QAccessibleEvent changed(this, QAccessible::NameChanged);
      QAccessible::updateAccessibility(&changed);
    }
  }
  // The frame as every panel draws it; the text by the rule above.
  QFrame::paintEvent(event);
  QPainter painter(this);
  painter.setPen(palette().color(foregroundRole()));
  DrawFittedText(painter, TextRect(), alignment(), text());
}
