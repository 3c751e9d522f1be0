#include "controls/TzkTrackBar.h"

#include <QAccessible>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "controls/TrackBarThumbs.h"
#include "controls/zkCommon.h"

using namespace trackbar_bitmaps;

QImage TzkTrackBar::MakeThumbImage(TThumbSize size, TThumbStyle style, TTrackOrientation orientation) {
  const QSize s = VerticalImageSize(size);
  QImage img = style == tsBox ? VerticalBox(s) : VerticalPointer(s);
  return orientation == toVertical ? img : Transposed(img);
}

QImage TzkTrackBar::MakeThumbMask(TThumbSize size, TTrackOrientation orientation) {
  const QImage img = VerticalPointerMask(VerticalImageSize(size));
  return orientation == toVertical ? img : Transposed(img);
}

TzkTrackBar::TzkTrackBar(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);  // the cursor changes over the thumb
  setAttribute(Qt::WA_OpaquePaintEvent);
  thumbCursor_ = MakeThumbCursor();
  BuildDisabledPattern();
  LoadThumbImages();
  resize(200, 50);
  FollowShape();
}

TzkTrackBar::~TzkTrackBar() = default;

// ---- Properties ----

void TzkTrackBar::SetMin(int value) {
  if (value == min_) return;
  min_ = value < max_ ? value : max_ - 1;
  if (position_ < min_) ClampPositionToRange();
  Invalidate();
}

void TzkTrackBar::SetMax(int value) {
  if (value == max_) return;
  max_ = value > min_ ? value : min_ + 1;
  if (position_ > max_) ClampPositionToRange();
  Invalidate();
}

void TzkTrackBar::ClampPositionToRange() {
  const int target = std::clamp(position_, min_, max_);
  SetPositionValue(target, true);
  // A refused move would leave the position outside the range, where the
  // thumb leaves the track and the value can no longer be reached by the
  // keys; the range wins, but the owner hears no OnChange for it.
  if (position_ < min_ || position_ > max_) StorePosition(std::clamp(position_, min_, max_), false);
}

void TzkTrackBar::SetPosition(int value) { SetPositionValue(value, true); }
void TzkTrackBar::SetPositionNC(int value) { SetPositionValue(value, false); }

void TzkTrackBar::SetPositionValue(int64_t value, bool notify) {
  // Compared before clamping: a value beyond the end with the thumb already
  // there still asks OnChanging and raises OnChange.
  if (value == position_) return;
  const int clamped = int(std::clamp<int64_t>(value, min_, max_));
  bool allow = true;
  if (OnChanging) OnChanging(*this, clamped, allow);
  if (!allow) return;
  StorePosition(clamped, notify);
}

void TzkTrackBar::StorePosition(int value, bool notify) {
  position_ = value;
  if (notify && OnChange) OnChange(*this);
  QAccessibleValueChangeEvent event(this, AccessibleValue());
  QAccessible::updateAccessibility(&event);
  MoveThumb();
}

void TzkTrackBar::SetAccessibleValueScale(double stepsPerUnit, const QString& unit) {
  if (!std::isfinite(stepsPerUnit) || stepsPerUnit <= 0) return;
  stepsPerUnit_ = stepsPerUnit;
  unit_ = unit;
}

TzkTrackBar::TTrackOrientation TzkTrackBar::Orientation() const {
  const_cast<TzkTrackBar*>(this)->FollowShape();
  return orientation_;
}

void TzkTrackBar::SetOrientation(TTrackOrientation value) {
  if (value == orientation_) return;
  orientation_ = value;
  LoadThumbImages();
  Invalidate();
}

void TzkTrackBar::SetThumbSize(TThumbSize value) {
  if (value == thumbSize_) return;
  thumbSize_ = value;
  LoadThumbImages();
  Invalidate();
}

void TzkTrackBar::SetThumbStyle(TThumbStyle value) {
  if (value == thumbStyle_) return;
  thumbStyle_ = value;
  LoadThumbImages();
  Invalidate();
}

void TzkTrackBar::SetTickStyle(TTickStyle value) {
  if (value == tickStyle_) return;
  tickStyle_ = value;
  Invalidate();
}

void TzkTrackBar::SetShowTicks(bool value) {
  if (value == showTicks_) return;
  showTicks_ = value;
  Invalidate();
}

void TzkTrackBar::SetTrackColor(const QColor& value) {
  if (value == trackColor_) return;
  trackColor_ = value;
  BuildDisabledPattern();
  Invalidate();
}

void TzkTrackBar::SetTrackWidth(int value) {
  value = std::clamp(value, kMinTrackWidth, 0xFFFF);
  if (value == trackWidth_) return;
  trackWidth_ = value;
  Invalidate();
}

void TzkTrackBar::SetScale(double scale) {
  if (!std::isfinite(scale) || scale <= 0 || scale == scale_) return;
  scale_ = scale;
  LoadThumbImages();
  Invalidate();
}

int TzkTrackBar::ScaledTrackWidth() const { return std::max(1, int(std::lround(trackWidth_ * scale_))); }

int TzkTrackBar::LineWidth() const { return std::max(1, int(std::lround(scale_))); }

void TzkTrackBar::LoadThumbImages() {
  thumbImage_ = MakeThumbImage(thumbSize_, thumbStyle_, orientation_);
  thumbMask_ = thumbStyle_ == tsPointer ? MakeThumbMask(thumbSize_, orientation_) : QImage();
  auto scaled = [this](int design) { return std::max(1, int(std::lround(design * scale_))); };
  if (orientation_ == toVertical) {
    thumbLength_ = scaled(thumbImage_.height());
    thumbBreadth_ = scaled(thumbImage_.width());
  } else {
    thumbLength_ = scaled(thumbImage_.width());
    thumbBreadth_ = scaled(thumbImage_.height());
  }
  halfLength_ = thumbLength_ / 2;
  edgeMargin_ = int(std::lround(kEdgeMargin * scale_));
  BuildDrawnImages(devicePixelRatioF());
}

void TzkTrackBar::BuildDrawnImages(qreal ratio) {
  drawnRatio_ = ratio;
  const QSize logical = orientation_ == toVertical ? QSize(thumbBreadth_, thumbLength_)
                                                   : QSize(thumbLength_, thumbBreadth_);
  const QSize device(std::max(1, qRound(logical.width() * ratio)), std::max(1, qRound(logical.height() * ratio)));
  drawnThumbImage_ = ScaledNearest(thumbImage_, device);
  drawnThumbImage_.setDevicePixelRatio(ratio);
  drawnThumbMask_ = thumbMask_.isNull() ? QImage() : ScaledNearest(thumbMask_, device);
  if (!drawnThumbMask_.isNull()) drawnThumbMask_.setDevicePixelRatio(ratio);
  const int cell = std::max(1, qRound(scale_ * ratio));
  drawnPattern_ = ScaledNearest(disabledPattern_, disabledPattern_.size() * cell);
}

void TzkTrackBar::BuildDisabledPattern() {
  const QRgb base = trackColor_.rgb();
  const QRgb odd = IsSilver(base) ? kGrey : kSilver;
  disabledPattern_ = QImage(8, 8, QImage::Format_RGB32);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) disabledPattern_.setPixel(x, y, (x + y) % 2 ? odd : base | 0xFF000000);
  if (drawnRatio_ > 0) BuildDrawnImages(drawnRatio_);
}

void TzkTrackBar::FollowShape() {
  if (size() == shapeSeen_) return;
  shapeSeen_ = size();
  SetOrientation(width() < height() ? toVertical : toHorizontal);
}

// ---- Geometry ----

QRect TzkTrackBar::TrackRect() const {
  const_cast<TzkTrackBar*>(this)->FollowShape();
  const int m = edgeMargin_, h = halfLength_, W = width(), H = height(), breadth = ScaledTrackWidth();
  if (orientation_ == toVertical) {
    const int left = (W - breadth) / 2;
    const int top = h + m, bottom = H - m - h;
    return QRect(left, top, breadth, bottom - top);
  }
  const int top = (H - breadth) / 2;
  const int left = h + m, right = W - m - h;
  return QRect(left, top, right - left, breadth);
}

QRect TzkTrackBar::ThumbRect() const {
  const_cast<TzkTrackBar*>(this)->FollowShape();
  const int64_t m = edgeMargin_, L = thumbLength_, B = thumbBreadth_, W = width(), H = height();
  const int64_t along = int64_t(position_) - min_;
  if (orientation_ == toVertical) {
    const int64_t left = (W - B) / 2;
    const int64_t bottom = H - ((H - L - 2 * m) * along / Range() + m);
    return QRect(int(left), int(bottom - L), int(B), int(L));
  }
  const int64_t left = (W - L - 2 * m) * along / Range() + m;
  const int64_t top = (H - B) / 2;
  return QRect(int(left), int(top), int(L), int(B));
}

double TzkTrackBar::TickSpacing() const {
  const_cast<TzkTrackBar*>(this)->FollowShape();
  const int travel = (orientation_ == toVertical ? height() : width()) - thumbLength_ - 2 * edgeMargin_;
  return double(travel) / double(Range());
}

int TzkTrackBar::TickLine(int64_t v) const {
  const int64_t c = int64_t(TickSpacing() * double(v - min_));  // toward zero
  if (orientation_ == toVertical) return int(height() - thumbLength_ - c - edgeMargin_ + halfLength_);
  return int(c + edgeMargin_ + halfLength_);
}

// ---- Painting ----

void TzkTrackBar::Invalidate() {
  canvasValid_ = false;
  update();
}

bool TzkTrackBar::CanvasCurrent() const {
  const qreal ratio = devicePixelRatioF();
  return canvasValid_ && !canvas_.isNull() && canvas_.devicePixelRatio() == ratio && drawnRatio_ == ratio &&
         canvas_.size() == size() * ratio;
}

// The canvas's pixel ratio is a whole number on most screens, where both
// directions are exact; for a fractional one the thumb's device rectangle
// keeps the drawn image's size, and the repainted logical rectangle covers
// all of it.
QRect TzkTrackBar::ToDevice(const QRect& logical) const {
  const qreal d = canvas_.devicePixelRatio();
  return {qRound(logical.x() * d), qRound(logical.y() * d), qRound(logical.width() * d),
          qRound(logical.height() * d)};
}

QRect TzkTrackBar::ToLogical(const QRect& device) const {
  const qreal d = canvas_.devicePixelRatio();
  return QRectF(device.x() / d, device.y() / d, device.width() / d, device.height() / d).toAlignedRect();
}

void TzkTrackBar::RenderAll() {
  FollowShape();
  const qreal ratio = devicePixelRatioF();
  if (drawnRatio_ != ratio) BuildDrawnImages(ratio);
  canvas_ = QImage(size() * ratio, QImage::Format_RGB32);
  if (canvas_.isNull()) return;
  canvas_.setDevicePixelRatio(ratio);
  canvas_.fill(palette().color(backgroundRole()));
  const QRect track = TrackRect();
  // The disabled track's checker goes on pixel by pixel, its cells whole
  // device pixels from the control's top-left corner; the frame follows.
  if (!isEnabled() && track.width() > 0 && track.height() > 0)
    TilePixels(canvas_, ToDevice(track), drawnPattern_);
  {
    QPainter p(&canvas_);
    p.setRenderHint(QPainter::Antialiasing, false);
    if (hasFocus()) {
      QStyleOptionFocusRect option;
      option.initFrom(this);
      option.rect = rect();
      option.backgroundColor = palette().color(backgroundRole());
      style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
    }

    if (track.width() > 0 && track.height() > 0) {
      if (isEnabled()) p.fillRect(track, trackColor_);
      DrawThickSunkenFrame(p, track, palette(), LineWidth());
    }

    if (showTicks_) {
      const bool vertical = orientation_ == toVertical;
      const bool bothSides = thumbStyle_ == tsBox;
      const int m = edgeMargin_, reach = int(std::lround(kTickReach * scale_)), W = width(), H = height();
      // A tick is LineWidth() thick, centred on its line: the thumb's middle.
      const int thick = LineWidth(), before = thick / 2;
      // Lines leave out their end points: from a up to b - 1.
      auto line = [&](int a, int b, int across) {
        if (b <= a) return;
        if (vertical)
          p.fillRect(QRect(a, across - before, b - a, thick), Qt::black);
        else
          p.fillRect(QRect(across - before, a, thick, b - a), Qt::black);
      };
      p.setPen(QPen(Qt::black, 0));
      for (int64_t v = min_; v <= max_; ++v) {
        const int at = TickLine(v);
        if (tickStyle_ == tkOwnerDraw) {
          if (OnDrawTick) OnDrawTick(*this, p, vertical ? QPoint(0, at) : QPoint(at, 0), int(v));
          continue;
        }
        line(m, reach, at);
        if (bothSides) line((vertical ? W : H) - reach, (vertical ? W : H) - m, at);
      }
    }
  }
  DrawThumb();
  canvasValid_ = true;
}

// Saves what lies under the thumb's place on the canvas and draws the thumb
// there, all in device pixels.
void TzkTrackBar::DrawThumb() {
  const QRect dr = ToDevice(ThumbRect());
  savedBackground_ = canvas_.copy(dr);
  savedDeviceRect_ = dr;

  QImage composed;
  if (thumbStyle_ == tsPointer && !drawnThumbMask_.isNull()) {
    composed = savedBackground_.convertToFormat(QImage::Format_RGB32);
    const int w = std::min(composed.width(), drawnThumbImage_.width());
    const int h = std::min(composed.height(), drawnThumbImage_.height());
    for (int y = 0; y < h; ++y) {
      auto* row = reinterpret_cast<QRgb*>(composed.scanLine(y));
      const auto* mask = reinterpret_cast<const QRgb*>(drawnThumbMask_.constScanLine(y));
      const auto* image = reinterpret_cast<const QRgb*>(drawnThumbImage_.constScanLine(y));
      for (int x = 0; x < w; ++x) row[x] = ((row[x] & mask[x]) | image[x]) | 0xFF000000;
    }
  } else {
    composed = drawnThumbImage_.copy();
  }
  if (!isEnabled()) {
    // The seed lies on the face in the design image; in the drawn one it is
    // the middle of that pixel's block.
    const QSize design = thumbImage_.size();
    const QPoint seed = ScaledPoint(QPoint(design.width() - 3, design.height() - 3), design, composed.size());
    FloodFillSilver(composed, seed, drawnPattern_);
  }
  CopyPixels(canvas_, dr.topLeft(), composed);
}

// After a position change: puts the saved background back at the old thumb
// rectangle, draws the thumb at the new one and repaints just those two.
void TzkTrackBar::MoveThumb() {
  if (!CanvasCurrent()) {
    update();
    return;
  }
  const QRect old = savedDeviceRect_;
  if (!old.isEmpty()) CopyPixels(canvas_, old.topLeft(), savedBackground_);
  DrawThumb();
  if (!old.isEmpty()) update(ToLogical(old));
  update(ToLogical(savedDeviceRect_));
}

void TzkTrackBar::paintEvent(QPaintEvent* event) {
  FollowShape();
  ++stats_.paintEvents;
  // Also after a move to a screen of another device pixel ratio.
  if (!CanvasCurrent()) {
    RenderAll();
    ++stats_.fullRenders;
  }
  stats_.lastRegion = event->region();
  if (canvas_.isNull()) return;
  QPainter p(this);
  // The canvas has the widget's device pixel ratio: drawn whole at the
  // origin it lands pixel for pixel, and the clip keeps it to the region.
  p.setClipRegion(event->region());
  p.drawImage(QPoint(0, 0), canvas_);
  for (const QRect& r : event->region()) stats_.pixels += int64_t(r.width()) * r.height();
}

void TzkTrackBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FollowShape();
  Invalidate();
}

void TzkTrackBar::changeEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::EnabledChange:
      if (!isEnabled()) dragging_ = false;
      Invalidate();
      break;
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
      Invalidate();
      break;
    default:
      break;
  }
  QWidget::changeEvent(event);
}

// ---- Focus, keys and mouse ----

void TzkTrackBar::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  if (OnEnter) OnEnter(*this);
  Invalidate();
}

void TzkTrackBar::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  if (OnExit) OnExit(*this);
  Invalidate();
}

namespace {
bool IsNavigationKey(int key) {
  switch (key) {
    case Qt::Key_Up: case Qt::Key_Down: case Qt::Key_Left: case Qt::Key_Right:
    case Qt::Key_PageUp: case Qt::Key_PageDown: case Qt::Key_Home: case Qt::Key_End:
      return true;
    default:
      return false;
  }
}
}  // namespace

bool TzkTrackBar::event(QEvent* event) {
  // On another screen the device pixel ratio may differ: the drawn thumb
  // images and the canvas are made again for it (a paint event also checks
  // the ratio, for changes that come without these events).
  if (event->type() == QEvent::ScreenChangeInternal
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
      || event->type() == QEvent::DevicePixelRatioChange
#endif
  ) {
    BuildDrawnImages(devicePixelRatioF());
    Invalidate();
  }
  // The slider wants its navigation keys even where a shortcut of the
  // window would take them.
  if (event->type() == QEvent::ShortcutOverride) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (IsNavigationKey(key->key()) && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      event->accept();
      return true;
    }
  }
  return QWidget::event(event);
}

void TzkTrackBar::keyPressEvent(QKeyEvent* event) {
  int key = event->key();
  if (OnKeyDown) OnKeyDown(*this, key);
  const bool vertical = Orientation() == toVertical;
  switch (key) {
    case 0:
      break;  // the owner took the key
    case Qt::Key_PageUp:
      SetPositionValue(int64_t(position_) + pageSize_, true);
      break;
    case Qt::Key_PageDown:
      SetPositionValue(int64_t(position_) - pageSize_, true);
      break;
    case Qt::Key_End:
      SetPositionValue(vertical ? min_ : max_, true);
      break;
    case Qt::Key_Home:
      SetPositionValue(vertical ? max_ : min_, true);
      break;
    case Qt::Key_Up:
      if (position_ < max_) SetPositionValue(int64_t(position_) + 1, true);
      break;
    case Qt::Key_Down:
      if (position_ > min_) SetPositionValue(int64_t(position_) - 1, true);
      break;
    case Qt::Key_Left:
    case Qt::Key_Right:
      break;  // taken, but they do not move the slider
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  event->accept();
}

void TzkTrackBar::mousePressEvent(QMouseEvent* event) {
  if (focusPolicy() & Qt::ClickFocus) setFocus(Qt::MouseFocusReason);
  event->accept();
  if (event->button() != Qt::LeftButton) return;
  // Qt keeps sending this widget the mouse until the button is released,
  // which is the capture the drag needs.
  const QPoint p = event->position().toPoint();
  if (ThumbRect().contains(p)) {
    dragging_ = true;
    return;
  }
  if (!TrackRect().contains(p)) return;
  const double s = TickSpacing();
  if (Orientation() == toVertical) {
    const int64_t thumbTop = int64_t(s * double(int64_t(max_) - position_)) + edgeMargin_;
    SetPositionValue(int64_t(position_) + (p.y() < thumbTop ? pageSize_ : -int64_t(pageSize_)), true);
  } else {
    const int64_t thumbLeft = int64_t(s * double(int64_t(position_) - min_)) + edgeMargin_;
    SetPositionValue(int64_t(position_) + (p.x() < thumbLeft ? -int64_t(pageSize_) : pageSize_), true);
  }
}

void TzkTrackBar::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  // A release that went elsewhere (a message box opened by a handler, for
  // example) ends the drag too.
  if (dragging_ && !(event->buttons() & Qt::LeftButton)) dragging_ = false;
  if (dragging_) {
    const bool vertical = Orientation() == toVertical;
    const double h = halfLength_;
    const double span = (vertical ? height() : width()) - h;
    if (span > 0) {
      const double f = vertical ? (height() - h - p.y()) / span : (p.x() - h) / span;
      // nearbyint rounds halves to the even neighbour in the default mode.
      const double v = std::nearbyint(f * double(Range()) + min_);
      SetPositionValue(int64_t(std::clamp(v, double(min_), double(max_))), true);
    }
  }
  if (ThumbRect().contains(p))
    setCursor(thumbCursor_);
  else
    unsetCursor();
  event->accept();
}

void TzkTrackBar::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragging_ = false;
  event->accept();
}
