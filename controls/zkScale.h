#pragma once
// Adapts a form designed for an 800 by 600 screen at 96 pixels per inch to
// the screen it runs on: sizes, places and fonts grow or shrink once, at
// the end of the form's creation.
class QWidget;

// What the scaling depends on: the primary screen's size in pixels and its
// logical dots per inch.
struct ScreenMetrics {
  int width = 800;
  int height = 600;
  int pixelsPerInch = 96;

  // The primary screen as the platform reports it.
  static ScreenMetrics Primary();
};

inline constexpr int kDesignScreenWidth = 800;
inline constexpr int kDesignScreenHeight = 600;
inline constexpr int kDesignPixelsPerInch = 96;
// Design font height of every form: 11 pixels (stored negative, as pixel
// heights are).
inline constexpr int kDesignFontHeight = -11;

// Scales form (a top-level widget laid out with absolute geometry) for the
// given screen; nothing changes on the design screen. Off it, the form's
// size follows the screen's, its controls' places, sizes and fonts grow by
// screen width / 800; at other than 96 pixels per inch every control
// directly on the form then has its font multiplied by whole steps of the
// design height (form font height / -11, used only when 2 or more).
// Fonts are scaled in their own unit (pixels or points), each once.
void ScaleFormToScreen(QWidget& form, const ScreenMetrics& screen);
void ScaleFormToScreen(QWidget& form);

// Font height as the forms store it: minus the pixel size (a point-sized
// font is converted at the screen's dots per inch).
int FontHeight(const QWidget& widget, int pixelsPerInch);
