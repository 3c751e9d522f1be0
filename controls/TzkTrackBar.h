#pragma once
// The program's own slider: a focusable, custom-drawn control with a track,
// a bitmap thumb and tick marks the owner may draw. Unlike a stock slider,
// every change can be refused beforehand (OnChanging), a position can be
// set without OnChange (PositionNC, for positions the program sets itself),
// and moving the thumb redraws only the old and the new thumb rectangles.
//
// Positions are steps from Min (bottom or left) to Max (top or right); Max
// is always greater than Min.
//
// Sizes are designed in pixels for an 800 by 600 screen. Scale() multiplies
// the thumb, the edge margin, the track's breadth and the standard ticks so
// the slider grows with the form it sits on. Drawing happens in logical
// pixels on a canvas at the screen's device pixel ratio, and the bitmap
// thumb is enlarged pixel for pixel, so the slider stays sharp on a screen
// Qt scales itself.
#include <QColor>
#include <QCursor>
#include <QImage>
#include <QRect>
#include <QRegion>
#include <QWidget>
#include <cstdint>
#include <functional>

class QPainter;

class TzkTrackBar : public QWidget {
  Q_OBJECT

 public:
  enum TTrackOrientation { toHorizontal, toVertical };
  enum TThumbSize { tsSmall, tsMedium, tsLarge };
  enum TThumbStyle { tsBox, tsPointer };
  enum TTickStyle { tkStandard, tkOwnerDraw };

  // Pixels between the control's edges and the ends of the thumb's travel,
  // at scale 1 (EdgeMargin() is the scaled value).
  static constexpr int kEdgeMargin = 4;
  // Standard ticks run from the edge margin to this many pixels from the
  // edge, at scale 1.
  static constexpr int kTickReach = 10;
  static constexpr int kMinTrackWidth = 6;

  explicit TzkTrackBar(QWidget* parent = nullptr);
  ~TzkTrackBar() override;

  // The owner's slot number for this slider (band 1 to 29, gain 30).
  int Tag = 0;

  // After the position changed (not for SetPositionNC).
  std::function<void(TzkTrackBar& sender)> OnChange;
  // Before any position change, with the clamped new position; clearing
  // allowChange (true on entry) refuses the change.
  std::function<void(TzkTrackBar& sender, int newPos, bool& allowChange)> OnChanging;
  // One call per tick value from Min to Max when TickStyle is tkOwnerDraw.
  // location is (0, line y) for a vertical slider, (line x, 0) for a
  // horizontal one.
  std::function<void(TzkTrackBar& trackBar, QPainter& canvas, QPoint location, int index)> OnDrawTick;
  // Sees every key press before the slider interprets it (a Qt::Key value);
  // setting key to 0 suppresses it.
  std::function<void(TzkTrackBar& sender, int& key)> OnKeyDown;
  // Focus gained and lost, before the control repaints for it.
  std::function<void(TzkTrackBar& sender)> OnEnter;
  std::function<void(TzkTrackBar& sender)> OnExit;

  int Min() const { return min_; }
  void SetMin(int value);
  int Max() const { return max_; }
  void SetMax(int value);

  int Position() const { return position_; }
  // Raises OnChanging and, unless refused, OnChange; see SetPositionValue.
  void SetPosition(int value);
  int PositionNC() const { return position_; }
  // As SetPosition, but without OnChange.
  void SetPositionNC(int value);

  // What assistive technology reads as the value: the position in units
  // of stepsPerUnit steps (2 for levels in decibels, whose step is half a
  // decibel), and the unit its text names. 1 and no unit: the position.
  // Values that are not positive or not finite are ignored.
  double AccessibleStepsPerUnit() const { return stepsPerUnit_; }
  const QString& AccessibleUnit() const { return unit_; }
  void SetAccessibleValueScale(double stepsPerUnit, const QString& unit);
  // The position in those units.
  double AccessibleValue() const { return position_ / stepsPerUnit_; }

  quint16 PageSize() const { return pageSize_; }
  void SetPageSize(quint16 value) { pageSize_ = value; }

  // Follows the control's shape at every size change: vertical when
  // narrower than high. Setting it in between holds until the next resize.
  TTrackOrientation Orientation() const;
  void SetOrientation(TTrackOrientation value);
  TThumbSize ThumbSize() const { return thumbSize_; }
  void SetThumbSize(TThumbSize value);
  TThumbStyle ThumbStyle() const { return thumbStyle_; }
  void SetThumbStyle(TThumbStyle value);
  TTickStyle TickStyle() const { return tickStyle_; }
  void SetTickStyle(TTickStyle value);
  bool ShowTicks() const { return showTicks_; }
  void SetShowTicks(bool value);
  QColor TrackColor() const { return trackColor_; }
  void SetTrackColor(const QColor& value);
  // The design breadth of the track; ScaledTrackWidth() is the drawn one.
  int TrackWidth() const { return trackWidth_; }
  // Values below 6 become 6.
  void SetTrackWidth(int value);

  // The factor the form was scaled by; 1 draws the design sizes. Values
  // that are not positive or not finite are ignored.
  double Scale() const { return scale_; }
  void SetScale(double scale);
  // Scaled sizes: round(design size x Scale()); the track and the thumb
  // keep at least 1 pixel.
  int EdgeMargin() const { return edgeMargin_; }
  int ScaledTrackWidth() const;
  // The thickness of the track's frame lines and of the standard ticks.
  int LineWidth() const;

  // Geometry as the control draws it now (right and bottom exclusive, as
  // QRect's width and height count them).
  QRect TrackRect() const;
  QRect ThumbRect() const;
  // Pixels per step along the track.
  double TickSpacing() const;
  // Where the tick line of value v lies: y for a vertical slider, x for a
  // horizontal one.
  int TickLine(int64_t v) const;
  // Thumb length along the track and breadth across it, scaled.
  int ThumbLength() const { return thumbLength_; }
  int ThumbBreadth() const { return thumbBreadth_; }

  // The thumb image in use and, for tsPointer, its mask (white keeps the
  // background), at their design sizes. Every style, size and orientation
  // has its own pair.
  const QImage& ThumbImage() const { return thumbImage_; }
  const QImage& ThumbMask() const { return thumbMask_; }
  // The same pair enlarged pixel for pixel to the thumb's size in device
  // pixels (scaled length and breadth times the device pixel ratio), as
  // they are drawn, and the device pixel ratio they were made for.
  const QImage& DrawnThumbImage() const { return drawnThumbImage_; }
  const QImage& DrawnThumbMask() const { return drawnThumbMask_; }
  qreal DrawnPixelRatio() const { return drawnRatio_; }
  static QImage MakeThumbImage(TThumbSize size, TThumbStyle style, TTrackOrientation orientation);
  static QImage MakeThumbMask(TThumbSize size, TTrackOrientation orientation);
  // The 8 by 8 pattern that fills the track and the thumb's face while the
  // control is disabled, at its design size; drawn, each of its cells is
  // round(Scale() x device pixel ratio) device pixels square.
  const QImage& DisabledPattern() const { return disabledPattern_; }
  const QCursor& ThumbCursor() const { return thumbCursor_; }

  bool Dragging() const { return dragging_; }

  // What the paint events covered, so the cost of a thumb move can be
  // measured: a move repaints the old and the new thumb rectangles only,
  // a full repaint redraws the whole control off screen first. Regions and
  // pixels are logical, whatever the device pixel ratio.
  struct PaintStats {
    int paintEvents = 0;     // paint events handled
    int fullRenders = 0;     // of which rebuilt the whole control
    int64_t pixels = 0;      // pixels copied to the widget, all events
    QRegion lastRegion;      // region of the last paint event
  };
  const PaintStats& Stats() const { return stats_; }
  void ResetStats() { stats_ = PaintStats(); }

  QSize sizeHint() const override { return {200, 50}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  // The setting rule shared by every source of a move: equal values (before
  // clamping) do nothing; otherwise clamp, ask OnChanging, store, raise
  // OnChange when notify is set, and move the thumb.
  void SetPositionValue(int64_t value, bool notify);
  void StorePosition(int value, bool notify);
  // After Min or Max moved past the position.
  void ClampPositionToRange();
  void LoadThumbImages();
  // The thumb images and the disabled pattern as drawn at the given device
  // pixel ratio.
  void BuildDrawnImages(qreal ratio);
  void BuildDisabledPattern();
  // Orientation from the current shape if the size changed since the last
  // look (a hidden widget gets its resize event only when shown).
  void FollowShape();
  void Invalidate();
  // Whether the canvas is drawn and matches the control's size and device
  // pixel ratio, so a thumb move may draw into it.
  bool CanvasCurrent() const;
  // A logical rectangle in the canvas's device pixels, and back to the
  // smallest logical rectangle covering device pixels.
  QRect ToDevice(const QRect& logical) const;
  QRect ToLogical(const QRect& device) const;
  void RenderAll();
  void DrawThumb();
  void MoveThumb();
  void UpdateCursor(QPoint pos);
  int64_t Range() const { return int64_t(max_) - min_; }

  int min_ = 0;
  int max_ = 10;
  int position_ = 0;
  quint16 pageSize_ = 1;
  double stepsPerUnit_ = 1;
  QString unit_;
  TTrackOrientation orientation_ = toHorizontal;
  TThumbSize thumbSize_ = tsMedium;
  TThumbStyle thumbStyle_ = tsPointer;
  TTickStyle tickStyle_ = tkStandard;
  bool showTicks_ = true;
  QColor trackColor_ = Qt::white;
  int trackWidth_ = 8;
  double scale_ = 1.0;
  int edgeMargin_ = kEdgeMargin;

  QImage thumbImage_;
  QImage thumbMask_;
  int thumbLength_ = 0;
  int thumbBreadth_ = 0;
  int halfLength_ = 0;
  QImage drawnThumbImage_;
  QImage drawnThumbMask_;
  qreal drawnRatio_ = 0;
  QImage disabledPattern_;
  QImage drawnPattern_;
  QCursor thumbCursor_;
  bool dragging_ = false;
  QSize shapeSeen_;

  // The control as it is on screen: every paint event copies from here.
  QImage canvas_;
  bool canvasValid_ = false;
  // What lay under the thumb when it was last drawn, and where, both in the
  // canvas's device pixels.
  QImage savedBackground_;
  QRect savedDeviceRect_;
  PaintStats stats_;
};
