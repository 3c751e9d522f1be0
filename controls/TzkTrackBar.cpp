#include "TzkTrackBar.h"

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

namespace {

// The four colours of the thumb images.
constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kSilver = 0xFFC0C0C0;
constexpr QRgb kGrey = 0xFF808080;

bool IsSilver(QRgb c) { return (c & 0x00FFFFFF) == (kSilver & 0x00FFFFFF); }

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

// A two-line sunken frame just inside rect, each line t pixels thick, in
// the palette's three-dimensional colours: shadow and dark outside at the
// top and left, highlight and face at the bottom and right. Drawn with
// filled rectangles, which cover whole device pixels at any device pixel
// ratio where a pen's line would straddle them.
void DrawScaledSunkenFrame(QPainter& p, const QRect& rect, const QPalette& palette, int t) {
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

}  // namespace

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
  QAccessibleValueChangeEvent event(this, position_);
  QAccessible::updateAccessibility(&event);
  MoveThumb();
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
      DrawScaledSunkenFrame(p, track, palette(), LineWidth());
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
